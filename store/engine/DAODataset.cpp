#include "store/engine/DAODataset.h"

#include "store/engine/DAODatabase.h"
#include "store/engine/DateUtils.h"
#include "store/engine/Errors.h"

#include <QDateTime>

#include <sqlcipher/sqlite3.h>

#include <algorithm>
#include <cstring>

namespace {

const char *const ClosedDatasetError = "Cannot perform this operation on a closed dataset";
const char *const NotEditingError = "Dataset not in edit or insert mode";
constexpr TBookmark NoBookmark = 0xFFFFFFFFu;

double NumberOf(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QDate:
        return DateUtils::ToDays(value.toDate());
    case QMetaType::QDateTime:
        return DateUtils::ToDays(value.toDateTime());
    default:
        return value.toDouble();
    }
}

} // namespace

TDAODataset::TDAODataset(QObject *parent)
    : QObject(parent)
{
}

TDAODataset::~TDAODataset()
{
    try {
        Close();
    } catch (...) {
    }
}

void TDAODataset::SetDatabase(TDAODatabase *database)
{
    if (database == m_database)
        return;
    Close();
    m_database = database;
}

void TDAODataset::ClearStore(bool keepMemory)
{
    for (sqlite3_stmt *stmt : std::as_const(m_statements))
        sqlite3_finalize(stmt);
    m_statements.clear();
    m_fields.clear();
    m_fieldColumn.clear();
    m_columnCount = 0;
    m_target = {};
    m_cells.clear();
    m_rowids.clear();
    m_text.clear();
    m_order.clear();
    if (!keepMemory) {
        m_cells.release();
        m_rowids.release();
        m_text.release();
        m_order.shrink_to_fit();
    }
    m_buffer.clear();
    m_changed.clear();
    m_current = 0;
    m_atEnd = true;
    m_atStart = true;
}

void TDAODataset::Close()
{
    if (m_state == TDataSetState::Inactive)
        return;
    if (Announce())
        emit aboutToReset();
    ClearStore();
    m_state = TDataSetState::Inactive;
    if (m_database)
        m_database->UnregisterDataset(this);
    if (Announce())
        emit resetDone();
    if (AfterClose)
        AfterClose(*this);
}

TDAODataset::Cell TDAODataset::ReadCell(sqlite3_stmt *stmt, int column)
{
    Cell cell;
    switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_INTEGER:
        cell.kind = Cell::Int;
        cell.value = sqlite3_column_int64(stmt, column);
        break;
    case SQLITE_FLOAT: {
        const double d = sqlite3_column_double(stmt, column);
        cell.kind = Cell::Real;
        std::memcpy(&cell.value, &d, sizeof d);
        break;
    }
    case SQLITE_NULL:
        break;
    default: {
        // The bytes as stored, when they are UTF-8 already: the engine then
        // hands them over without making a copy that ends in a zero.
        const char *p = m_textAsStored ? static_cast<const char *>(sqlite3_column_blob(stmt, column))
                                       : reinterpret_cast<const char *>(sqlite3_column_text(stmt, column));
        const int n = sqlite3_column_bytes(stmt, column);
        cell.kind = Cell::Text;
        cell.value = qint64(m_text.size());
        cell.length = quint32(n);
        m_text.append(p, size_t(n));
    }
    }
    return cell;
}

void TDAODataset::Load(sqlite3_stmt *stmt, int rowidColumn, std::vector<ColumnInfo> columns, WriteTarget target)
{
    if (Announce())
        emit aboutToReset();
    // The rows read again keep the memory of the rows before: a list as long
    // as the last one is read without growing it step by step again.
    ClearStore(true);
    m_state = TDataSetState::Inactive;
    try {
        m_textAsStored = m_database && m_database->TextIsUtf8();
        m_columnCount = int(columns.size());
        m_target = std::move(target);
        std::vector<int> source;
        for (int c = 0; c < sqlite3_column_count(stmt); ++c)
            if (c != rowidColumn)
                source.push_back(c);

        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            m_rowids.push_back(rowidColumn >= 0 ? sqlite3_column_int64(stmt, rowidColumn) : 0);
            for (int c = 0; c < m_columnCount; ++c)
                m_cells.push_back(ReadCell(stmt, source[size_t(c)]));
        }
        if (rc != SQLITE_DONE)
            TDAODatabase::RaiseStatementError(stmt, rc);

        // Columns that are expressions take their type from their values.
        const size_t rows = m_rowids.size();
        for (int c = 0; c < m_columnCount; ++c) {
            ColumnInfo &info = columns[size_t(c)];
            if (info.typeKnown)
                continue;
            for (size_t r = 0; r < rows; ++r) {
                const Cell::Kind kind = m_cells[r * size_t(m_columnCount) + size_t(c)].kind;
                if (kind == Cell::Null)
                    continue;
                info.type = kind == Cell::Int    ? TFieldType::Integer
                            : kind == Cell::Real ? TFieldType::Float
                                                 : TFieldType::Text;
                break;
            }
        }

        auto readOnly = [this](int c) {
            return m_target.table.isEmpty() || m_target.originColumns[size_t(c)].isEmpty();
        };
        if (FieldDefs.isEmpty()) {
            QStringList used;
            for (int c = 0; c < m_columnCount; ++c) {
                const ColumnInfo &info = columns[size_t(c)];
                QString name = info.name;
                for (int n = 1; used.contains(name, Qt::CaseInsensitive); ++n)
                    name = info.name + QLatin1Char('_') + QString::number(n);
                used << name;
                m_fields.push_back(
                    std::make_unique<TDAOField>(this, int(m_fields.size()), name, info.type, info.size, readOnly(c)));
                m_fieldColumn.push_back(c);
            }
        } else {
            for (const TFieldDef &def : std::as_const(FieldDefs)) {
                int column = -1;
                for (int c = 0; c < m_columnCount && column < 0; ++c)
                    if (columns[size_t(c)].name.compare(def.Name, Qt::CaseInsensitive) == 0)
                        column = c;
                if (column < 0)
                    throw EDAODatabaseError(QStringLiteral("Field '%1' not found").arg(def.Name));
                m_fields.push_back(std::make_unique<TDAOField>(this, int(m_fields.size()), def.Name, def.Type, def.Size,
                                                               readOnly(column)));
                m_fieldColumn.push_back(column);
            }
        }

        m_order.resize(rows);
        for (size_t r = 0; r < rows; ++r)
            m_order[r] = quint32(r);
        m_current = 0;
        m_atEnd = rows == 0;
        m_atStart = true;
        m_state = TDataSetState::Browse;
        if (m_database)
            m_database->RegisterDataset(this);
    } catch (...) {
        ClearStore();
        m_state = TDataSetState::Inactive;
        if (Announce())
            emit resetDone();
        throw;
    }
    if (Announce())
        emit resetDone();
}

TDAOField *TDAODataset::FindField(const QString &name)
{
    for (const auto &field : m_fields)
        if (field->FieldName().compare(name, Qt::CaseInsensitive) == 0)
            return field.get();
    return nullptr;
}

TDAOField &TDAODataset::Field(const QString &name)
{
    if (TDAOField *field = FindField(name))
        return *field;
    if (m_state == TDataSetState::Inactive)
        throw EDAODatabaseError(QString::fromLatin1(ClosedDatasetError));
    throw EDAODatabaseError(QStringLiteral("Field '%1' not found").arg(name));
}

QVariant TDAODataset::CellValue(quint32 physical, int column) const
{
    const Cell &cell = m_cells[size_t(physical) * size_t(m_columnCount) + size_t(column)];
    switch (cell.kind) {
    case Cell::Null:
        return {};
    case Cell::Int:
        return QVariant(qlonglong(cell.value));
    case Cell::Real: {
        double d;
        std::memcpy(&d, &cell.value, sizeof d);
        return QVariant(d);
    }
    case Cell::Text:
        return QString::fromUtf8(m_text.data() + cell.value, qsizetype(cell.length));
    }
    return {};
}

QVariant TDAODataset::ValueAt(int row, int field) const
{
    const TDAOField &f = *m_fields[size_t(field)];
    return f.TypedValue(CellValue(m_order[size_t(row)], m_fieldColumn[size_t(field)]));
}

QString TDAODataset::TextAt(int row, int field) const
{
    // Views ask for the text of every cell they paint: the common cases go
    // straight from the cell.
    const TDAOField &f = *m_fields[size_t(field)];
    const quint32 physical = m_order[size_t(row)];
    const int column = m_fieldColumn[size_t(field)];
    const Cell &cell = m_cells[size_t(physical) * size_t(m_columnCount) + size_t(column)];
    const TFieldType type = f.DataType();
    if (cell.kind == Cell::Null)
        return {};
    if (cell.kind == Cell::Text && (type == TFieldType::Text || type == TFieldType::Memo))
        return QString::fromUtf8(m_text.data() + cell.value, qsizetype(cell.length));
    if (cell.kind == Cell::Int && (type == TFieldType::Integer || type == TFieldType::SmallInt))
        return QString::number(int(cell.value));
    return f.TextOf(CellValue(physical, column));
}

QVariant TDAODataset::StoredValue(int field) const
{
    const int column = m_fieldColumn[size_t(field)];
    if (m_state == TDataSetState::Edit || m_state == TDataSetState::Insert)
        return m_buffer[size_t(column)];
    if (m_state == TDataSetState::Inactive || m_order.empty())
        return {};
    return CellValue(m_order[size_t(m_current)], column);
}

void TDAODataset::SetStoredValue(int field, const QVariant &value)
{
    if (m_state != TDataSetState::Edit && m_state != TDataSetState::Insert)
        throw EDAODatabaseError(QString::fromLatin1(NotEditingError));
    const TDAOField &f = *m_fields[size_t(field)];
    if (f.ReadOnly())
        throw EDAOError(QStringLiteral("Field '%1' cannot be updated.").arg(f.FieldName()), 3164);
    const int column = m_fieldColumn[size_t(field)];
    m_buffer[size_t(column)] = value;
    m_changed[size_t(column)] = true;
}

void TDAODataset::RequireBrowse() const
{
    if (m_state == TDataSetState::Inactive)
        throw EDAODatabaseError(QString::fromLatin1(ClosedDatasetError));
}

void TDAODataset::RequireWritable() const
{
    if (m_target.table.isEmpty())
        throw EDAOError(QStringLiteral("Cannot update. Database or object is read-only."), 3027);
}

void TDAODataset::Scrolled()
{
    if (AfterScroll)
        AfterScroll(*this);
}

void TDAODataset::MoveCursor(int row, bool raiseScroll)
{
    if (m_state == TDataSetState::Edit || m_state == TDataSetState::Insert)
        Post();
    m_current = row;
    m_atEnd = false;
    m_atStart = row == 0;
    if (Announce())
        emit currentRowChanged(row);
    if (raiseScroll)
        Scrolled();
}

void TDAODataset::First()
{
    RequireBrowse();
    if (m_order.empty()) {
        m_atEnd = m_atStart = true;
        return;
    }
    MoveCursor(0, true);
}

void TDAODataset::Next()
{
    RequireBrowse();
    if (m_order.empty() || m_current + 1 >= int(m_order.size())) {
        if (m_state != TDataSetState::Browse)
            Post();
        m_atEnd = true;
        return;
    }
    MoveCursor(m_current + 1, true);
}

void TDAODataset::Prior()
{
    RequireBrowse();
    if (m_current <= 0) {
        m_atStart = true;
        return;
    }
    MoveCursor(m_current - 1, true);
}

void TDAODataset::Last()
{
    RequireBrowse();
    if (m_order.empty())
        return;
    MoveCursor(int(m_order.size()) - 1, true);
    m_atStart = m_order.size() == 1;
}

void TDAODataset::MoveTo(int row)
{
    RequireBrowse();
    if (row < 0 || row >= int(m_order.size()))
        return;
    MoveCursor(row, true);
}

bool TDAODataset::Locate(const QString &fieldName, const QVariant &value)
{
    RequireBrowse();
    const TDAOField &field = Field(fieldName);
    const int column = m_fieldColumn[size_t(field.Index())];
    const bool null = !value.isValid() || value.isNull();
    const bool text = value.typeId() == QMetaType::QString &&
                      (field.DataType() == TFieldType::Text || field.DataType() == TFieldType::Memo);
    const QString wantedText = text ? value.toString() : QString();
    const double wantedNumber = (null || text) ? 0.0 : NumberOf(value);

    for (int row = 0; row < int(m_order.size()); ++row) {
        const QVariant stored = CellValue(m_order[size_t(row)], column);
        bool match;
        if (null)
            match = !stored.isValid();
        else if (!stored.isValid())
            match = false;
        else if (text)
            match = stored.toString().compare(wantedText, Qt::CaseInsensitive) == 0;
        else
            match = stored.toDouble() == wantedNumber;
        if (match) {
            MoveCursor(row, true);
            return true;
        }
    }
    return false;
}

TBookmark TDAODataset::Bookmark() const
{
    if (m_order.empty())
        return NoBookmark;
    return m_order[size_t(m_current)];
}

int TDAODataset::RowOfBookmark(TBookmark bookmark) const
{
    const auto it = std::lower_bound(m_order.begin(), m_order.end(), bookmark);
    if (it == m_order.end() || *it != bookmark)
        return -1;
    return int(it - m_order.begin());
}

void TDAODataset::GotoBookmark(TBookmark bookmark)
{
    RequireBrowse();
    const int row = RowOfBookmark(bookmark);
    if (row < 0)
        throw EDAODatabaseError(QStringLiteral("Record not found"));
    MoveCursor(row, false);
}

void TDAODataset::SuspendControls()
{
    if (m_suspendCount == 0) {
        m_changedWhileSuspended = false;
        if (m_database) {
            m_database->BeginWork();
            m_workSerial = m_database->ConnectionSerial();
        }
        emit controlsSuspended();
    }
    ++m_suspendCount;
}

void TDAODataset::ResumeControls()
{
    if (m_suspendCount == 0)
        return;
    if (--m_suspendCount > 0)
        return;
    emit controlsResumed();
    if (m_database && m_database->Connected() && m_database->ConnectionSerial() == m_workSerial)
        m_database->CommitWork();
}
