#include "StoreStatement.h"

#include <sqlcipher/sqlite3.h>

TStoreStatement::TStoreStatement(TDAODatabase &db, const QString &sql) : m_db(db), m_stmt(db.Prepare(sql)) {}

TStoreStatement::~TStoreStatement()
{
    sqlite3_finalize(m_stmt);
}

TStoreStatement &TStoreStatement::Bind(int index, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    return *this;
}

TStoreStatement &TStoreStatement::Bind(int index, qint64 value)
{
    sqlite3_bind_int64(m_stmt, index, value);
    return *this;
}

TStoreStatement &TStoreStatement::Bind(int index, double value)
{
    sqlite3_bind_double(m_stmt, index, value);
    return *this;
}

TStoreStatement &TStoreStatement::BindNull(int index)
{
    sqlite3_bind_null(m_stmt, index);
    return *this;
}

bool TStoreStatement::Next()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        TDAODatabase::RaiseEngineError(m_db.Handle(), sqlite3_extended_errcode(m_db.Handle()));
    return false;
}

void TStoreStatement::Run()
{
    while (Next()) {
    }
}

bool TStoreStatement::IsNull(int column) const
{
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

qint64 TStoreStatement::Integer(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}

double TStoreStatement::Number(int column) const
{
    return sqlite3_column_double(m_stmt, column);
}

QString TStoreStatement::Text(int column) const
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
    return text ? QString::fromUtf8(text, sqlite3_column_bytes(m_stmt, column)) : QString();
}
