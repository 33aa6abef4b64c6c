#pragma once

#include "store/engine/DAODatabase.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <sqlcipher/sqlite3.h>

#include <algorithm>
#include <vector>

// One prepared statement of the store, bound afresh for every use and
// finalised with the object; engine errors are raised as EDAOError. The bulk
// writers (import, merge, a disc's contents) run the same few statements
// thousands of times.
class TBoundStatement
{
public:
    TBoundStatement(TDAODatabase &db, const QString &sql)
        : m_db(db)
        , m_stmt(db.Prepare(sql))
    {
    }
    ~TBoundStatement() { sqlite3_finalize(m_stmt); }
    TBoundStatement(const TBoundStatement &) = delete;
    TBoundStatement &operator=(const TBoundStatement &) = delete;

    // The text's UTF-8 is kept here until the statement has run, so the
    // engine need not copy it.
    TBoundStatement &Bind(int index, const QString &text)
    {
        const size_t slot = size_t(qMax(index, 1));
        if (slot > m_texts.size())
            m_texts.resize(slot);
        QByteArray &utf8 = m_texts[slot - 1];
        utf8 = text.toUtf8();
        sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_STATIC);
        return *this;
    }
    TBoundStatement &Bind(int index, qint64 value)
    {
        sqlite3_bind_int64(m_stmt, index, value);
        return *this;
    }
    TBoundStatement &Bind(int index, int value) { return Bind(index, qint64(value)); }
    TBoundStatement &Bind(int index, double value)
    {
        sqlite3_bind_double(m_stmt, index, value);
        return *this;
    }
    TBoundStatement &BindNull(int index)
    {
        sqlite3_bind_null(m_stmt, index);
        return *this;
    }
    // A value as the engine handed it out: null, integer, real, text or blob.
    TBoundStatement &Bind(int index, const QVariant &value)
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
    // The first column of the first row, 0 for none.
    qint64 Scalar()
    {
        const int rc = sqlite3_step(m_stmt);
        const qint64 value = rc == SQLITE_ROW ? sqlite3_column_int64(m_stmt, 0) : 0;
        Finish(rc == SQLITE_ROW ? SQLITE_DONE : rc);
        return value;
    }
    // Runs a statement that returns no rows; the last new row's key.
    qint64 Run()
    {
        Finish(sqlite3_step(m_stmt));
        return sqlite3_last_insert_rowid(m_db.Handle());
    }
    // Steps to the next row; false after the last one (the statement is then
    // reset for the next use).
    bool Next()
    {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        Finish(rc);
        return false;
    }
    // Ends a walk over the rows early.
    void Stop() { Finish(SQLITE_DONE); }

    qint64 Int(int column) const { return sqlite3_column_int64(m_stmt, column); }
    double Number(int column) const { return sqlite3_column_double(m_stmt, column); }
    bool IsNull(int column) const { return sqlite3_column_type(m_stmt, column) == SQLITE_NULL; }
    bool IsNumber(int column) const
    {
        const int type = sqlite3_column_type(m_stmt, column);
        return type == SQLITE_INTEGER || type == SQLITE_FLOAT;
    }
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
    void Finish(int rc)
    {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
        if (rc != SQLITE_DONE && rc != SQLITE_ROW)
            TDAODatabase::RaiseEngineError(m_db.Handle(), sqlite3_extended_errcode(m_db.Handle()));
    }

    TDAODatabase &m_db;
    sqlite3_stmt *m_stmt;
    std::vector<QByteArray> m_texts; // per parameter, the bound text
};

// Finds or adds names in a category or grade table, remembering each. Names
// match as the table's NOCASE columns compare them: ASCII letters without
// regard to case, everything else exactly.
class TNameIds
{
public:
    TNameIds(TDAODatabase &db, const QString &table, QStringList &added)
        : m_find(db, QStringLiteral("SELECT Id FROM %1 WHERE Name=?1").arg(table))
        , m_add(db, QStringLiteral("INSERT INTO %1 (Name) VALUES (?1)").arg(table))
        , m_added(added)
    {
    }
    qint64 Id(const QString &name)
    {
        if (name.isEmpty())
            return 0;
        const QString key = FoldAscii(name);
        auto it = m_ids.constFind(key);
        if (it != m_ids.constEnd())
            return *it;
        qint64 id = m_find.Bind(1, name).Scalar();
        if (id == 0) {
            id = m_add.Bind(1, name).Run();
            m_added << name;
        }
        m_ids.insert(key, id);
        return id;
    }

    static QString FoldAscii(const QString &text)
    {
        auto upper = [](QChar c) { return c >= QLatin1Char('A') && c <= QLatin1Char('Z'); };
        if (std::none_of(text.cbegin(), text.cend(), upper))
            return text;
        QString folded = text;
        for (QChar &c : folded) {
            if (upper(c))
                c = QChar(c.unicode() + 32);
        }
        return folded;
    }

private:
    TBoundStatement m_find, m_add;
    QStringList &m_added;
    QHash<QString, qint64> m_ids;
};
