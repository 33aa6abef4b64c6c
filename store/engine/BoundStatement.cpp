#include "store/engine/BoundStatement.h"

#include <sqlcipher/sqlite3.h>

TBoundStatement::TBoundStatement(TDAODatabase &db, const QString &sql)
    : m_db(db)
    , m_stmt(db.Prepare(sql))
    , m_row(m_stmt)
{
}

TBoundStatement::~TBoundStatement()
{
    sqlite3_finalize(m_stmt);
}

TBoundStatement &TBoundStatement::Bind(int index, const QString &text)
{
    const size_t slot = size_t(qMax(index, 1));
    if (slot > m_texts.size())
        m_texts.resize(slot);
    QByteArray &utf8 = m_texts[slot - 1];
    utf8 = text.toUtf8();
    sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_STATIC);
    return *this;
}

TBoundStatement &TBoundStatement::Bind(int index, qint64 value)
{
    sqlite3_bind_int64(m_stmt, index, value);
    return *this;
}

TBoundStatement &TBoundStatement::Bind(int index, double value)
{
    sqlite3_bind_double(m_stmt, index, value);
    return *this;
}

TBoundStatement &TBoundStatement::BindNull(int index)
{
    sqlite3_bind_null(m_stmt, index);
    return *this;
}

TBoundStatement &TBoundStatement::Bind(int index, const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::LongLong:
        return Bind(index, value.toLongLong());
    case QMetaType::Double:
        return Bind(index, value.toDouble());
    case QMetaType::QString:
        return Bind(index, value.toString());
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        sqlite3_bind_blob(m_stmt, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
        return *this;
    }
    default:
        return BindNull(index);
    }
}

qint64 TBoundStatement::Scalar()
{
    const int rc = sqlite3_step(m_stmt);
    const qint64 value = rc == SQLITE_ROW ? sqlite3_column_int64(m_stmt, 0) : 0;
    Finish(rc == SQLITE_ROW ? SQLITE_DONE : rc);
    return value;
}

qint64 TBoundStatement::Run()
{
    Finish(sqlite3_step(m_stmt));
    return m_db.LastInsertId();
}

bool TBoundStatement::Next()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    Finish(rc);
    return false;
}

void TBoundStatement::Stop()
{
    Finish(SQLITE_DONE);
}

void TBoundStatement::Finish(int rc)
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW)
        TDAODatabase::RaiseEngineError(m_db.Handle(), sqlite3_extended_errcode(m_db.Handle()));
}
