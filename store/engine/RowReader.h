#pragma once

#include <QByteArrayView>
#include <QString>
#include <QVariant>

struct sqlite3_stmt;

// The row a statement stands on, read column by column (from 0). Handed out
// by the engine while it steps a statement: valid only until the next step.
class TRowReader
{
public:
    int Columns() const;
    bool IsNull(int column) const;
    // Whether the value is stored as a number (an integer or a real).
    bool IsNumber(int column) const;
    qint64 Int64(int column) const;
    double Double(int column) const;
    QString Text(int column) const;
    // The text's UTF-8 bytes, valid until the next step.
    QByteArrayView Utf8(int column) const;
    // The value as the engine stores it: null, integer (qint64), real
    // (double), text (QString) or blob (QByteArray).
    QVariant Value(int column) const;

private:
    friend class TDAODatabase;
    friend class TBoundStatement;
    explicit TRowReader(sqlite3_stmt *stmt)
        : m_stmt(stmt)
    {
    }

    sqlite3_stmt *m_stmt;
};
