#include "store/engine/RowReader.h"

#include <sqlcipher/sqlite3.h>

int TRowReader::Columns() const
{
    return sqlite3_column_count(m_stmt);
}

bool TRowReader::IsNull(int column) const
{
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}

bool TRowReader::IsNumber(int column) const
{
    const int type = sqlite3_column_type(m_stmt, column);
    return type == SQLITE_INTEGER || type == SQLITE_FLOAT;
}

qint64 TRowReader::Int64(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}

double TRowReader::Double(int column) const
{
    return sqlite3_column_double(m_stmt, column);
}

QString TRowReader::Text(int column) const
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
    return QString::fromUtf8(text, sqlite3_column_bytes(m_stmt, column));
}

QByteArrayView TRowReader::Utf8(int column) const
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
    return QByteArrayView(text, sqlite3_column_bytes(m_stmt, column));
}

QVariant TRowReader::Value(int column) const
{
    switch (sqlite3_column_type(m_stmt, column)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(m_stmt, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_stmt, column));
    case SQLITE_TEXT:
        return QVariant(Text(column));
    case SQLITE_BLOB:
        return QVariant(QByteArray(static_cast<const char *>(sqlite3_column_blob(m_stmt, column)),
                                   sqlite3_column_bytes(m_stmt, column)));
    default:
        return QVariant();
    }
}
