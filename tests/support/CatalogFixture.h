#pragma once

#include "store/catalog/Schema.h"
#include "store/engine/DAODatabase.h"
#include "store/engine/Errors.h"
#include "tests/support/FixtureFailure.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// A fresh catalog file in a temporary folder for one test. One that cannot
// be made stops the test (FixtureFailure.h).
class CatalogFixture
{
public:
    explicit CatalogFixture(Schema::Layout layout = Schema::Layout::Build102, bool seed = false)
    {
        m_path = MakeCatalog(m_dir, layout, seed);
    }

    // Test.MDB in the folder; stops the test when the folder or the catalog
    // cannot be made.
    static QString MakeCatalog(const QTemporaryDir &dir, Schema::Layout layout, bool seed)
    {
        FIXTURE_REQUIRE(dir.isValid(), QStringLiteral("no temporary folder: %1").arg(dir.errorString()));
        const QString path = dir.filePath(QStringLiteral("Test.MDB"));
        try {
            Schema::CreateCatalog(path, layout, seed);
        } catch (const EAppError &e) {
            FixtureFailure::Fail(QStringLiteral("the catalog %1 cannot be made: %2").arg(path, e.Message()), __FILE__,
                                 __LINE__);
        }
        return path;
    }

    const QString &Path() const { return m_path; }
    QString FilePath(const QString &name) const { return m_dir.filePath(name); }

    // A database object on the catalog, not yet connected.
    void Attach(TDAODatabase &db) const
    {
        db.SetDatabaseName(m_path);
        db.SetPassword(QString::fromLatin1(Schema::CatalogPassword));
    }

    // Leaves a catalog opening as before but failing the engine's integrity
    // check: its code index is declared over the names, so every disc whose
    // name is not its code is missing from the index.
    static void BreakCodeIndex(const QString &path)
    {
        TDAODatabase db;
        db.SetDatabaseName(path);
        db.SetPassword(QString::fromLatin1(Schema::CatalogPassword));
        db.Exec(QStringLiteral("PRAGMA writable_schema=ON"));
        db.Exec(QStringLiteral("UPDATE sqlite_master SET sql='CREATE INDEX TbCdCode ON TbCd(Name)' "
                               "WHERE name='TbCdCode'"));
    }

    static QByteArray Digest(const QString &path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
};
