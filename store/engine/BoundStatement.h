#pragma once

#include "store/engine/DAODatabase.h"
#include "store/engine/RowReader.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <algorithm>
#include <vector>

// One prepared statement of the store, bound afresh for every use and
// finalised with the object; engine errors are raised as EDAOError. The bulk
// writers (import, merge, a disc's contents) run the same few statements
// thousands of times.
class TBoundStatement
{
public:
    TBoundStatement(TDAODatabase &db, const QString &sql);
    ~TBoundStatement();
    TBoundStatement(const TBoundStatement &) = delete;
    TBoundStatement &operator=(const TBoundStatement &) = delete;

    // The text's UTF-8 is kept here until the statement has run, so the
    // engine need not copy it.
    TBoundStatement &Bind(int index, const QString &text);
    TBoundStatement &Bind(int index, qint64 value);
    TBoundStatement &Bind(int index, int value) { return Bind(index, qint64(value)); }
    TBoundStatement &Bind(int index, double value);
    TBoundStatement &BindNull(int index);
    // A value as the engine handed it out: null, integer, real, text or blob.
    TBoundStatement &Bind(int index, const QVariant &value);
    // The first column of the first row, 0 for none.
    qint64 Scalar();
    // Runs a statement that returns no rows; the last new row's key.
    qint64 Run();
    // Steps to the next row; false after the last one (the statement is then
    // reset for the next use).
    bool Next();
    // Ends a walk over the rows early.
    void Stop();

    // The row Next stands on.
    const TRowReader &Row() const { return m_row; }
    qint64 Int(int column) const { return m_row.Int64(column); }
    double Number(int column) const { return m_row.Double(column); }
    bool IsNull(int column) const { return m_row.IsNull(column); }
    bool IsNumber(int column) const { return m_row.IsNumber(column); }
    // The text's UTF-8 bytes, valid until the next step.
    QByteArrayView Utf8(int column) const { return m_row.Utf8(column); }
    QString Text(int column) const { return m_row.Text(column); }

private:
    void Finish(int rc);

    TDAODatabase &m_db;
    sqlite3_stmt *m_stmt;
    TRowReader m_row;
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
