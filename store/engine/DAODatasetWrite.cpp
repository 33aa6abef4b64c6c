// Writing rows: the editing states, and the statements that put a row's
// changes into the table the result came from.
#include "store/engine/DAODataset.h"

#include "store/engine/DAODatabase.h"
#include "store/engine/Errors.h"
#include "store/engine/SqlDialect.h"

#include <sqlcipher/sqlite3.h>

namespace {

const char *const EmptyDatasetError = "Cannot perform this operation on an empty dataset";
const char *const NotEditingError = "Dataset not in edit or insert mode";

// A table or column name, quoted whatever it holds.
QString QuotedName(const QString &name)
{
    return SqlDialect::Quote(name);
}

void Bind(sqlite3_stmt *stmt, int index, const QVariant &value)
{
    if (!value.isValid() || value.isNull()) {
        sqlite3_bind_null(stmt, index);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        sqlite3_bind_double(stmt, index, value.toDouble());
        return;
    case QMetaType::QString: {
        const QByteArray text = value.toString().toUtf8();
        sqlite3_bind_text(stmt, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        return;
    }
    default:
        sqlite3_bind_int64(stmt, index, value.toLongLong());
    }
}

} // namespace

void TDAODataset::StartEditing(TDataSetState state)
{
    RequireWritable();
    m_buffer.assign(size_t(m_columnCount), QVariant());
    m_changed.assign(size_t(m_columnCount), false);
    if (state == TDataSetState::Edit) {
        const quint32 physical = m_order[size_t(m_current)];
        for (int c = 0; c < m_columnCount; ++c)
            m_buffer[size_t(c)] = CellValue(physical, c);
    }
    m_state = state;
}

void TDAODataset::Append()
{
    RequireBrowse();
    if (m_state != TDataSetState::Browse)
        Post();
    StartEditing(TDataSetState::Insert);
}

void TDAODataset::Edit()
{
    RequireBrowse();
    if (m_state != TDataSetState::Browse)
        return;
    if (m_order.empty()) {
        Append();
        return;
    }
    StartEditing(TDataSetState::Edit);
}

void TDAODataset::Cancel()
{
    if (m_state != TDataSetState::Edit && m_state != TDataSetState::Insert)
        return;
    m_buffer.clear();
    m_changed.clear();
    m_state = TDataSetState::Browse;
}

sqlite3_stmt *TDAODataset::CachedStatement(const QByteArray &key, const std::function<QString()> &sql)
{
    auto it = m_statements.constFind(key);
    if (it != m_statements.constEnd())
        return it.value();
    sqlite3_stmt *stmt = m_database->Prepare(sql());
    m_statements.insert(key, stmt);
    return stmt;
}

quint32 TDAODataset::NewPhysicalRow()
{
    const quint32 physical = quint32(m_rowids.size());
    m_rowids.push_back(0);
    m_cells.resize(m_cells.size() + size_t(m_columnCount));
    return physical;
}

// Reads the written row back from its table, so that what the query shows
// is what the file holds: defaults, the new key, text as stored.
void TDAODataset::ReadBack(qint64 rowid, quint32 physical)
{
    std::vector<int> columns;
    for (int c = 0; c < m_columnCount; ++c)
        if (!m_target.originColumns[size_t(c)].isEmpty())
            columns.push_back(c);
    if (columns.empty())
        return;
    sqlite3_stmt *stmt = CachedStatement(QByteArrayLiteral("R"), [&] {
        QStringList names;
        for (int c : columns)
            names << QuotedName(m_target.originColumns[size_t(c)]);
        return QStringLiteral("SELECT %1 FROM %2 WHERE rowid=?")
            .arg(names.join(QLatin1Char(',')), QuotedName(m_target.table));
    });
    sqlite3_bind_int64(stmt, 1, rowid);
    const int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) {
        for (size_t i = 0; i < columns.size(); ++i)
            m_cells[size_t(physical) * size_t(m_columnCount) + size_t(columns[i])] = ReadCell(stmt, int(i));
    }
    sqlite3_reset(stmt);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        TDAODatabase::RaiseStatementError(stmt, rc);
}

void TDAODataset::Post()
{
    if (m_state != TDataSetState::Edit && m_state != TDataSetState::Insert)
        throw EDAODatabaseError(QString::fromLatin1(NotEditingError));

    std::vector<int> changed;
    for (int c = 0; c < m_columnCount; ++c)
        if (m_changed[size_t(c)] && !m_target.originColumns[size_t(c)].isEmpty())
            changed.push_back(c);

    // Statements are prepared once for each set of changed columns.
    QByteArray key(1, m_state == TDataSetState::Insert ? 'I' : 'U');
    for (int c : changed)
        key.append(reinterpret_cast<const char *>(&c), sizeof c);
    auto names = [&] {
        QStringList list;
        for (int c : changed)
            list << QuotedName(m_target.originColumns[size_t(c)]);
        return list;
    };
    const QString table = QuotedName(m_target.table);

    auto run = [](sqlite3_stmt *stmt) {
        const int rc = sqlite3_step(stmt);
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
        if (rc != SQLITE_DONE)
            TDAODatabase::RaiseStatementError(stmt, rc);
    };

    if (m_state == TDataSetState::Insert) {
        sqlite3_stmt *stmt = CachedStatement(key, [&] {
            if (changed.empty())
                return QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table);
            QStringList marks;
            for (size_t i = 0; i < changed.size(); ++i)
                marks << QStringLiteral("?");
            return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                .arg(table, names().join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
        });
        for (size_t i = 0; i < changed.size(); ++i)
            Bind(stmt, int(i) + 1, m_buffer[size_t(changed[i])]);
        run(stmt);
        const qint64 rowid = sqlite3_last_insert_rowid(sqlite3_db_handle(stmt));
        const quint32 physical = NewPhysicalRow();
        m_rowids[physical] = rowid;
        ReadBack(rowid, physical);
        const int row = int(m_order.size());
        if (Announce())
            emit rowAboutToBeInserted(row);
        m_order.push_back(physical);
        if (Announce())
            emit rowInserted(row);
        m_current = row;
    } else {
        const quint32 physical = m_order[size_t(m_current)];
        const qint64 rowid = m_rowids[physical];
        if (!changed.empty()) {
            sqlite3_stmt *stmt = CachedStatement(key, [&] {
                QStringList sets;
                for (const QString &name : names())
                    sets << name + QStringLiteral("=?");
                return QStringLiteral("UPDATE %1 SET %2 WHERE rowid=?").arg(table, sets.join(QLatin1Char(',')));
            });
            for (size_t i = 0; i < changed.size(); ++i)
                Bind(stmt, int(i) + 1, m_buffer[size_t(changed[i])]);
            sqlite3_bind_int64(stmt, int(changed.size()) + 1, rowid);
            run(stmt);
            if (sqlite3_changes(sqlite3_db_handle(stmt)) == 0)
                throw EDAOError(QStringLiteral("Record is deleted."), 3167);
            ReadBack(rowid, physical);
        }
        if (Announce())
            emit rowChanged(m_current);
    }
    m_buffer.clear();
    m_changed.clear();
    m_state = TDataSetState::Browse;
    m_atEnd = false;
    if (Announce())
        emit currentRowChanged(m_current);
}

void TDAODataset::Delete()
{
    RequireBrowse();
    if (m_state == TDataSetState::Insert) {
        Cancel();
        return;
    }
    Cancel();
    if (m_order.empty())
        throw EDAODatabaseError(QString::fromLatin1(EmptyDatasetError));
    RequireWritable();
    const int row = m_current;
    sqlite3_stmt *stmt = CachedStatement(QByteArrayLiteral("D"), [this] {
        return QStringLiteral("DELETE FROM %1 WHERE rowid=?").arg(QuotedName(m_target.table));
    });
    sqlite3_bind_int64(stmt, 1, m_rowids[m_order[size_t(row)]]);
    const int rc = sqlite3_step(stmt);
    sqlite3_reset(stmt);
    if (rc != SQLITE_DONE)
        TDAODatabase::RaiseStatementError(stmt, rc);

    if (Announce())
        emit rowAboutToBeRemoved(row);
    m_order.erase(m_order.begin() + row);
    if (Announce())
        emit rowRemoved(row);
    if (m_current >= int(m_order.size()))
        m_current = std::max(0, int(m_order.size()) - 1);
    m_atEnd = m_order.empty();
    if (!m_order.empty() && Announce())
        emit currentRowChanged(m_current);
}
