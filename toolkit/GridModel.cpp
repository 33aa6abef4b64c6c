#include "toolkit/GridModel.h"

#include "store/engine/DAODataSource.h"
#include "store/engine/DAODataset.h"
#include "store/engine/DAOTypes.h"
#include "toolkit/GridFormat.h"

#include <algorithm>
#include <cmath>
#include <numeric>

TGridModel::TGridModel(QObject *parent)
    : QAbstractItemModel(parent)
{
}

void TGridModel::SetSource(TDAODataSource *source)
{
    if (source == m_source)
        return;
    beginResetModel();
    for (const auto &connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
    m_source = source;
    m_keys.clear();
    m_resetPending = false;
    if (source) {
        m_connections
            << connect(source, &QAbstractItemModel::modelAboutToBeReset, this, &TGridModel::SourceAboutToBeReset)
            << connect(source, &QAbstractItemModel::modelReset, this, &TGridModel::SourceReset)
            << connect(source, &QAbstractItemModel::layoutAboutToBeChanged, this, &TGridModel::SourceAboutToBeReset)
            << connect(source, &QAbstractItemModel::layoutChanged, this, &TGridModel::SourceReset)
            << connect(source, &QAbstractItemModel::rowsInserted, this, &TGridModel::SourceRowsInserted)
            << connect(source, &QAbstractItemModel::rowsAboutToBeRemoved, this, &TGridModel::SourceRowsAboutToBeRemoved)
            << connect(source, &QAbstractItemModel::rowsRemoved, this, &TGridModel::SourceRowsRemoved)
            << connect(source, &QAbstractItemModel::dataChanged, this, &TGridModel::SourceDataChanged)
            << connect(source, &QObject::destroyed, this, [this] {
                   beginResetModel();
                   m_keys.clear();
                   m_connections.clear();
                   Rebuild();
                   endResetModel();
               });
    }
    Rebuild();
    endResetModel();
}

TDAODataSource *TGridModel::Source() const
{
    return m_source;
}

void TGridModel::SetColumns(const QList<Column> &columns)
{
    beginResetModel();
    m_columns = columns;
    m_sortColumn = -1;
    m_groupColumn = -1;
    Rebuild();
    endResetModel();
}

int TGridModel::ColumnOfField(const QString &fieldName) const
{
    if (fieldName.isEmpty())
        return -1;
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns.at(i).FieldName.compare(fieldName, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void TGridModel::SetGroupSummary(const QString &countFormat, const QString &sumField, const QString &sumFormat,
                                 int sumDecimals)
{
    m_countFormat = countFormat;
    m_sumField = sumField;
    m_sumFormat = sumFormat;
    m_sumDecimals = sumDecimals;
    if (!Grouped()) {
        ResolveColumns();
        return;
    }
    beginResetModel();
    Rebuild();
    endResetModel();
}

void TGridModel::SetGroupColumn(int column)
{
    if (column < -1 || column >= m_columns.size())
        column = -1;
    if (column == m_groupColumn)
        return;
    beginResetModel();
    m_groupColumn = column;
    Rebuild();
    endResetModel();
}

void TGridModel::sort(int column, Qt::SortOrder order)
{
    if (column < -1 || column >= m_columns.size())
        column = -1;
    if (column == m_sortColumn && (column < 0 || order == m_sortOrder))
        return;
    m_sortColumn = column;
    m_sortOrder = order;
    Relayout(Grouped(), [this] { Rebuild(); });
}

// -- The order of the rows ----------------------------------------------

void TGridModel::ResolveColumns()
{
    m_sourceColumn.assign(size_t(m_columns.size()), -1);
    m_sumSourceColumn = -1;
    if (!m_source)
        return;
    for (int i = 0; i < m_columns.size(); ++i)
        m_sourceColumn[size_t(i)] = m_source->ColumnOfField(m_columns.at(i).FieldName);
    if (!m_sumField.isEmpty())
        m_sumSourceColumn = m_source->ColumnOfField(m_sumField);
}

TGridKeys &TGridModel::Keys(int sourceColumn)
{
    auto it = m_keys.find(sourceColumn);
    if (it == m_keys.end()) {
        it = m_keys.emplace(sourceColumn, TGridKeys()).first;
        it->second.Build(*m_source, sourceColumn, TDAODataSource::ValueRole);
    }
    return it->second;
}

void TGridModel::ActivateKeys()
{
    m_groupKeys = m_source && Grouped() ? &Keys(m_sourceColumn[size_t(m_groupColumn)]) : nullptr;
    m_sortKeys = m_source && m_sortColumn >= 0 ? &Keys(m_sourceColumn[size_t(m_sortColumn)]) : nullptr;
}

bool TGridModel::GroupsDescending() const
{
    return m_sortColumn == m_groupColumn && m_sortOrder == Qt::DescendingOrder;
}

namespace {

// A row without a value (a disc without a date, say) has the key -infinity;
// such rows come after those with a value, in either order.
bool KeyBefore(double a, double b, bool descending)
{
    const bool aMissing = std::isinf(a) && a < 0;
    const bool bMissing = std::isinf(b) && b < 0;
    if (aMissing || bMissing)
        return !aMissing && bMissing;
    return descending ? a > b : a < b;
}

} // namespace

bool TGridModel::Less(int a, int b) const
{
    if (m_groupKeys) {
        const double ka = m_groupKeys->At(a);
        const double kb = m_groupKeys->At(b);
        if (ka != kb)
            return KeyBefore(ka, kb, GroupsDescending());
    }
    if (m_sortKeys) {
        const double ka = m_sortKeys->At(a);
        const double kb = m_sortKeys->At(b);
        if (ka != kb)
            return KeyBefore(ka, kb, m_sortOrder == Qt::DescendingOrder);
    }
    return false;
}

void TGridModel::Rebuild()
{
    ResolveColumns();
    ActivateKeys();
    const int rows = m_source ? m_source->rowCount() : 0;
    m_rows.resize(size_t(rows));
    std::iota(m_rows.begin(), m_rows.end(), 0);
    if (m_groupKeys || m_sortKeys)
        std::stable_sort(m_rows.begin(), m_rows.end(), [this](int a, int b) { return Less(a, b); });
    RebuildPositions();
    RebuildGroups();
}

void TGridModel::RebuildPositions()
{
    m_positions.assign(m_rows.size(), -1);
    for (size_t p = 0; p < m_rows.size(); ++p)
        m_positions[size_t(m_rows[p])] = int(p);
}

bool TGridModel::HasSums() const
{
    return m_groupKeys && m_sumSourceColumn >= 0;
}

qint64 TGridModel::SumValue(int sourceRow) const
{
    const QVariant value = m_source->data(m_source->index(sourceRow, m_sumSourceColumn), TDAODataSource::ValueRole);
    return value.isValid() ? Currency::FromDouble(value.toDouble()) : 0;
}

void TGridModel::RebuildGroups()
{
    m_groups.clear();
    m_sums.clear();
    if (m_groupKeys) {
        if (HasSums()) {
            m_sums.resize(m_rows.size());
            for (size_t r = 0; r < m_sums.size(); ++r)
                m_sums[r] = SumValue(int(r));
        }
        for (size_t p = 0; p < m_rows.size(); ++p) {
            const int row = m_rows[p];
            const double key = m_groupKeys->At(row);
            if (m_groups.empty() || m_groups.back().key != key)
                m_groups.push_back(Group{m_nextGroupId++, int(p), 0, 0, key});
            ++m_groups.back().count;
            if (HasSums())
                m_groups.back().sum += m_sums[size_t(row)];
        }
    }
    IndexGroups();
}

void TGridModel::IndexGroups()
{
    m_groupOfId.clear();
    for (size_t g = 0; g < m_groups.size(); ++g)
        m_groupOfId.insert(m_groups[g].id, int(g));
}

int TGridModel::GroupAt(int position) const
{
    const auto it = std::upper_bound(m_groups.begin(), m_groups.end(), position,
                                     [](int p, const Group &group) { return p < group.first; });
    return int(it - m_groups.begin()) - 1;
}

int TGridModel::GroupOfKey(double key) const
{
    const bool descending = GroupsDescending();
    const auto it = std::lower_bound(m_groups.begin(), m_groups.end(), key, [descending](const Group &g, double k) {
        return KeyBefore(g.key, k, descending);
    });
    return int(it - m_groups.begin());
}

// Rearranges the rows in place: what views keep (selection, current row,
// expanded groups) follows its rows and groups.
void TGridModel::Relayout(bool grouped, const std::function<void()> &change)
{
    const auto hint = grouped ? QAbstractItemModel::NoLayoutChangeHint : QAbstractItemModel::VerticalSortHint;
    emit layoutAboutToBeChanged({}, hint);
    const QModelIndexList from = persistentIndexList();
    std::vector<std::pair<int, double>> kept; // source row, or -1 and a group's key
    kept.reserve(size_t(from.size()));
    for (const QModelIndex &index : from) {
        if (IsGroupRow(index))
            kept.emplace_back(-1, m_groups[size_t(index.row())].key);
        else
            kept.emplace_back(SourceRow(index), 0.0);
    }
    change();
    QModelIndexList to;
    to.reserve(from.size());
    for (qsizetype i = 0; i < from.size(); ++i) {
        const auto &[row, key] = kept[size_t(i)];
        if (row >= 0) {
            to << IndexOfSourceRow(row, from.at(i).column());
        } else {
            const int g = GroupOfKey(key);
            const bool found = g < int(m_groups.size()) && m_groups[size_t(g)].key == key;
            to << (found ? createIndex(g, from.at(i).column(), quintptr(0)) : QModelIndex());
        }
    }
    changePersistentIndexList(from, to);
    emit layoutChanged({}, hint);
}

// -- The model ------------------------------------------------------------

bool TGridModel::IsGroupRow(const QModelIndex &index) const
{
    return index.isValid() && index.model() == this && Grouped() && index.internalId() == 0 &&
           index.row() < int(m_groups.size());
}

int TGridModel::Position(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this)
        return -1;
    if (!Grouped())
        return index.row() < int(m_rows.size()) ? index.row() : -1;
    if (index.internalId() == 0)
        return -1;
    const auto it = m_groupOfId.constFind(index.internalId());
    if (it == m_groupOfId.constEnd())
        return -1;
    const Group &group = m_groups[size_t(it.value())];
    return index.row() < group.count ? group.first + index.row() : -1;
}

int TGridModel::SourceRow(const QModelIndex &index) const
{
    const int p = Position(index);
    return p < 0 ? -1 : m_rows[size_t(p)];
}

QModelIndex TGridModel::IndexOfSourceRow(int sourceRow, int column) const
{
    if (sourceRow < 0 || sourceRow >= int(m_positions.size()) || column < 0 || column >= m_columns.size())
        return {};
    const int p = m_positions[size_t(sourceRow)];
    if (p < 0)
        return {};
    if (!Grouped())
        return createIndex(p, column, quintptr(0));
    const Group &group = m_groups[size_t(GroupAt(p))];
    return createIndex(p - group.first, column, group.id);
}

QModelIndex TGridModel::index(int row, int column, const QModelIndex &parent) const
{
    if (!hasIndex(row, column, parent))
        return {};
    if (!parent.isValid())
        return createIndex(row, column, quintptr(0));
    return createIndex(row, column, m_groups[size_t(parent.row())].id);
}

QModelIndex TGridModel::parent(const QModelIndex &child) const
{
    if (!child.isValid() || child.internalId() == 0)
        return {};
    const auto it = m_groupOfId.constFind(child.internalId());
    if (it == m_groupOfId.constEnd())
        return {};
    return createIndex(it.value(), 0, quintptr(0));
}

int TGridModel::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return Grouped() ? int(m_groups.size()) : int(m_rows.size());
    if (parent.column() != 0 || !IsGroupRow(parent))
        return 0;
    return m_groups[size_t(parent.row())].count;
}

int TGridModel::columnCount(const QModelIndex &) const
{
    return int(m_columns.size());
}

bool TGridModel::hasChildren(const QModelIndex &parent) const
{
    return rowCount(parent) > 0;
}

QString TGridModel::DisplayText(int sourceRow, int column) const
{
    const int sourceColumn = m_sourceColumn[size_t(column)];
    if (sourceColumn < 0)
        return {};
    const QModelIndex cell = m_source->index(sourceRow, sourceColumn);
    const QString &format = m_columns.at(column).DisplayFormat;
    if (format.isEmpty())
        return m_source->data(cell, Qt::DisplayRole).toString();
    return GridFormat::Text(m_source->data(cell, TDAODataSource::ValueRole), format);
}

QString TGridModel::GroupText(const Group &group) const
{
    const Column &column = m_columns.at(m_groupColumn);
    QString text = (column.Caption.isEmpty() ? column.FieldName : column.Caption) + QStringLiteral("：") +
                   DisplayText(m_rows[size_t(group.first)], m_groupColumn);
    QStringList parts;
    if (!m_countFormat.isEmpty())
        parts << m_countFormat.arg(group.count);
    if (!m_sumFormat.isEmpty() && m_sumSourceColumn >= 0)
        parts << m_sumFormat.arg(GridFormat::FixedScaled(group.sum, m_sumDecimals));
    if (!parts.isEmpty())
        text += QStringLiteral("  (") + parts.join(QStringLiteral(", ")) + u')';
    return text;
}

QVariant TGridModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    if (IsGroupRow(index)) {
        if (role == GroupRowRole)
            return true;
        if (role == Qt::DisplayRole && index.column() == 0)
            return GroupText(m_groups[size_t(index.row())]);
        return {};
    }
    const int row = SourceRow(index);
    if (row < 0)
        return {};
    const int sourceColumn = m_sourceColumn[size_t(index.column())];
    switch (role) {
    case Qt::DisplayRole:
        return DisplayText(row, index.column());
    case Qt::TextAlignmentRole:
        return int(m_columns.at(index.column()).Alignment);
    case GroupRowRole:
        return false;
    case TDAODataSource::ValueRole:
        return sourceColumn < 0 ? QVariant() : m_source->data(m_source->index(row, sourceColumn), role);
    case TDAODataSource::BookmarkRole:
        return m_source->data(m_source->index(row, 0), role);
    case Qt::DecorationRole:
    case Qt::ForegroundRole:
    case Qt::ToolTipRole:
        return CellRole ? CellRole(row, m_columns.at(index.column()).FieldName, role) : QVariant();
    default:
        return {};
    }
}

QVariant TGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_columns.size())
        return QAbstractItemModel::headerData(section, orientation, role);
    switch (role) {
    case Qt::DisplayRole:
        return m_columns.at(section).Caption;
    case Qt::TextAlignmentRole:
        return int(Qt::AlignCenter);
    case Qt::InitialSortOrderRole:
        return int(Qt::AscendingOrder);
    case TDAODataSource::FieldNameRole:
        return m_columns.at(section).FieldName;
    default:
        return {};
    }
}

Qt::ItemFlags TGridModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    if (IsGroupRow(index))
        return Qt::ItemIsEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
}
