#pragma once

#include "DAODatabase.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <sqlcipher/sqlite3.h>

// One prepared statement of the store, bound afresh for every use and
// finalised with the object. Engine errors are raised as EDAOError.
class TStoreStatement
{
public:
    TStoreStatement(TDAODatabase &db, const QString &sql) : m_db(db), m_stmt(db.Prepare(sql)) {}
    ~TStoreStatement() { sqlite3_finalize(m_stmt); }
    TStoreStatement(const TStoreStatement &) = delete;
    TStoreStatement &operator=(const TStoreStatement &) = delete;

    TStoreStatement &Bind(int index, const QString &text)
    {
        const QByteArray utf8 = text.toUtf8();
        sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        return *this;
    }
    TStoreStatement &Bind(int index, qint64 value)
    {
        sqlite3_bind_int64(m_stmt, index, value);
        return *this;
    }
    TStoreStatement &Bind(int index, int value) { return Bind(index, qint64(value)); }

    // Runs a statement that returns no rows; the last new row's key.
    qint64 Run()
    {
        const int rc = sqlite3_step(m_stmt);
        Reset(rc);
        return sqlite3_last_insert_rowid(m_db.Handle());
    }
    // Steps to the next row; false after the last one (the statement is then
    // reset for the next use).
    bool Next()
    {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        Reset(rc);
        return false;
    }
    // Ends a walk over the rows early.
    void Stop() { Reset(SQLITE_DONE); }
    // The first column of the first row, 0 for none.
    qint64 Scalar()
    {
        const qint64 value = Next() ? Int(0) : 0;
        Stop();
        return value;
    }

    qint64 Int(int column) const { return sqlite3_column_int64(m_stmt, column); }
    bool IsNull(int column) const { return sqlite3_column_type(m_stmt, column) == SQLITE_NULL; }
    // The text's UTF-8 bytes, valid until the next step.
    QByteArrayView Utf8(int column) const
    {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
        return QByteArrayView(text, sqlite3_column_bytes(m_stmt, column));
    }
    QString Text(int column) const
    {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
        return QString::fromUtf8(text, sqlite3_column_bytes(m_stmt, column));
    }

private:
    void Reset(int rc)
    {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
        if (rc != SQLITE_DONE && rc != SQLITE_ROW)
            TDAODatabase::RaiseEngineError(m_db.Handle(), sqlite3_extended_errcode(m_db.Handle()));
    }

    TDAODatabase &m_db;
    sqlite3_stmt *m_stmt;
};
