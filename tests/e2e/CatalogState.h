#pragma once

#include "store/catalog/Schema.h"
#include "store/engine/CatalogOpening.h"
#include "store/engine/DAODatabase.h"
#include "store/engine/Errors.h"

#include <QCryptographicHash>
#include <QFile>
#include <QStringList>

#include <sqlcipher/sqlite3.h>

#include <memory>

// What a catalog file holds, read through the store the way the program
// opens it (read and write, so that the journal a killed program left
// behind is rolled back first). Engine errors are thrown as EDAOError.
namespace CatalogState {

using Handle = TCatalogHandle;

inline Handle Open(const QString &path)
{
    return OpenCatalogHandle(path, QString::fromLatin1(Schema::CatalogPassword), false);
}

// The rows of a statement, each row's columns joined with '|'.
inline QStringList Rows(sqlite3 *db, const QString &sql)
{
    QStringList rows;
    const int rc = RunStatement(db, sql.toUtf8(), [&](sqlite3_stmt *row) {
        QStringList columns;
        for (int c = 0; c < sqlite3_column_count(row); ++c)
            columns << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(row, c)));
        rows << columns.join(QLatin1Char('|'));
    });
    if (rc != SQLITE_OK)
        TDAODatabase::RaiseEngineError(db, rc, sql);
    return rows;
}

inline QStringList Rows(const QString &path, const QString &sql)
{
    Handle db = Open(path);
    return Rows(db.get(), sql);
}

inline int Count(const QString &path, const QString &table)
{
    return Rows(path, QStringLiteral("SELECT count(*) FROM %1").arg(table)).value(0).toInt();
}

// "ok" for a sound file, else the engine's list of faults.
inline QString IntegrityCheck(const QString &path)
{
    return Rows(path, QStringLiteral("PRAGMA integrity_check")).join(QLatin1Char('\n'));
}

// Every row of every table, in one digest: equal digests, equal catalogs.
inline QByteArray Digest(const QString &path)
{
    Handle db = Open(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QString &table :
         Rows(db.get(), QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' ORDER BY name"))) {
        hash.addData(table.toUtf8());
        for (const QString &row : Rows(db.get(), QStringLiteral("SELECT * FROM \"%1\" ORDER BY rowid").arg(table)))
            hash.addData(row.toUtf8() + '\n');
    }
    return hash.result().toHex();
}

// The bytes of a file, for files that must stay as they are.
inline QByteArray FileDigest(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex();
}

} // namespace CatalogState
