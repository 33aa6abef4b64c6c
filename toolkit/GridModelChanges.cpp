// The grid's rows following single changes of the source in place: a row
// inserted, removed or changed moves, joins or leaves its group without the
// rest being read again.
#include "toolkit/GridModel.h"

#include "store/engine/DAODataSource.h"
#include "store/engine/DAODataset.h"

#include <algorithm>

void TGridModel::SourceAboutToBeReset()
{
    if (m_resetPending)
        return;
    m_resetPending = true;
    beginResetModel();
}

void TGridModel::SourceReset()
{
    if (!m_resetPending)
        beginResetModel();
    m_keys.clear();
    Rebuild();
    m_resetPending = false;
    endResetModel();
}

void TGridModel::SourceRowsInserted(const QModelIndex &parent, int first, int last)
{
    if (parent.isValid())
        return;
    if (m_resetPending || last > first) {
        SourceReset();
        return;
    }
    const int row = first;
    for (int &r : m_rows)
        if (r >= row)
            ++r;
    m_positions.insert(m_positions.begin() + row, -1);
    bool regroup = false; // a new text re-ranks the group keys
    for (auto &[column, keys] : m_keys) {
        keys.Insert(row);
        if (!keys.Set(row, m_source->data(m_source->index(row, column), TDAODataSource::ValueRole))) {
            keys.Build(*m_source, column, TDAODataSource::ValueRole);
            regroup = regroup || &keys == m_groupKeys;
        }
    }
    if (HasSums())
        m_sums.insert(m_sums.begin() + row, SumValue(row));
    if (regroup) {
        beginResetModel();
        Rebuild();
        endResetModel();
        return;
    }
    InsertRow(row);
}

void TGridModel::InsertRow(int row)
{
    const auto before = [this](int a, int b) { return LessStable(a, b); };
    if (!m_groupKeys) {
        const int p = int(std::lower_bound(m_rows.begin(), m_rows.end(), row, before) - m_rows.begin());
        beginInsertRows({}, p, p);
        m_rows.insert(m_rows.begin() + p, row);
        RebuildPositions();
        endInsertRows();
        return;
    }
    const double key = m_groupKeys->At(row);
    const qint64 sum = HasSums() ? m_sums[size_t(row)] : 0;
    const int g = GroupOfKey(key);
    if (g < int(m_groups.size()) && m_groups[size_t(g)].key == key) {
        Group &group = m_groups[size_t(g)];
        const auto begin = m_rows.begin() + group.first;
        const int p = int(std::lower_bound(begin, begin + group.count, row, before) - m_rows.begin());
        beginInsertRows(index(g, 0), p - group.first, p - group.first);
        m_rows.insert(m_rows.begin() + p, row);
        ++group.count;
        group.sum += sum;
        for (size_t i = size_t(g) + 1; i < m_groups.size(); ++i)
            ++m_groups[i].first;
        RebuildPositions();
        endInsertRows();
        emit dataChanged(index(g, 0), index(g, columnCount() - 1));
        return;
    }
    const int first = g < int(m_groups.size()) ? m_groups[size_t(g)].first : int(m_rows.size());
    beginInsertRows({}, g, g);
    m_rows.insert(m_rows.begin() + first, row);
    m_groups.insert(m_groups.begin() + g, Group{m_nextGroupId++, first, 1, sum, key});
    for (size_t i = size_t(g) + 1; i < m_groups.size(); ++i)
        ++m_groups[i].first;
    IndexGroups();
    RebuildPositions();
    endInsertRows();
}

void TGridModel::SourceRowsAboutToBeRemoved(const QModelIndex &parent, int first, int last)
{
    if (parent.isValid() || m_resetPending)
        return;
    if (last > first) {
        SourceAboutToBeReset();
        return;
    }
    m_removing = first;
    const int p = m_positions[size_t(first)];
    if (!Grouped()) {
        beginRemoveRows({}, p, p);
        return;
    }
    const int g = GroupAt(p);
    const Group &group = m_groups[size_t(g)];
    if (group.count == 1)
        beginRemoveRows({}, g, g);
    else
        beginRemoveRows(index(g, 0), p - group.first, p - group.first);
}

void TGridModel::SourceRowsRemoved(const QModelIndex &parent, int first, int last)
{
    Q_UNUSED(first);
    Q_UNUSED(last);
    if (parent.isValid())
        return;
    if (m_resetPending) {
        SourceReset();
        return;
    }
    const int row = m_removing;
    m_removing = -1;
    const int p = m_positions[size_t(row)];
    const int g = Grouped() ? GroupAt(p) : -1;
    m_rows.erase(m_rows.begin() + p);
    for (int &r : m_rows)
        if (r > row)
            --r;
    for (auto &[column, keys] : m_keys)
        keys.Remove(row);
    qint64 sum = 0;
    if (HasSums()) {
        sum = m_sums[size_t(row)];
        m_sums.erase(m_sums.begin() + row);
    }
    bool groupKept = false;
    if (g >= 0) {
        Group &group = m_groups[size_t(g)];
        size_t next = size_t(g) + 1;
        if (--group.count == 0) {
            m_groups.erase(m_groups.begin() + g);
            IndexGroups();
            next = size_t(g);
        } else {
            group.sum -= sum;
            groupKept = true;
        }
        for (size_t i = next; i < m_groups.size(); ++i)
            --m_groups[i].first;
    }
    RebuildPositions();
    endRemoveRows();
    if (groupKept)
        emit dataChanged(index(g, 0), index(g, columnCount() - 1));
}

void TGridModel::SourceDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight)
{
    if (m_resetPending || !topLeft.isValid() || !bottomRight.isValid())
        return;
    bool moved = false;      // a sort or group key changed
    bool regrouped = false;  // a group appears, empties, or the group keys were re-read
    QHash<double, int> gain; // rows won (lost) per group key
    std::vector<int> changedGroups;
    for (int row = topLeft.row(); row <= bottomRight.row(); ++row) {
        const double oldGroupKey = m_groupKeys ? m_groupKeys->At(row) : 0;
        for (auto &[column, keys] : m_keys) {
            bool changed = false;
            if (!keys.Set(row, m_source->data(m_source->index(row, column), TDAODataSource::ValueRole), &changed)) {
                keys.Build(*m_source, column, TDAODataSource::ValueRole);
                changed = true;
                regrouped = regrouped || &keys == m_groupKeys;
            }
            moved = moved || (changed && (&keys == m_groupKeys || &keys == m_sortKeys));
        }
        if (m_groupKeys && m_groupKeys->At(row) != oldGroupKey) {
            --gain[oldGroupKey];
            ++gain[m_groupKeys->At(row)];
        }
        if (HasSums()) {
            const qint64 value = SumValue(row);
            const qint64 delta = value - m_sums[size_t(row)];
            m_sums[size_t(row)] = value;
            if (delta != 0) {
                const int g = GroupAt(m_positions[size_t(row)]);
                m_groups[size_t(g)].sum += delta;
                changedGroups.push_back(g);
            }
        }
    }
    for (auto it = gain.cbegin(); it != gain.cend() && !regrouped; ++it) {
        const int g = GroupOfKey(it.key());
        const bool exists = g < int(m_groups.size()) && m_groups[size_t(g)].key == it.key();
        regrouped = exists ? m_groups[size_t(g)].count + it.value() <= 0 : it.value() > 0;
    }
    if (regrouped) {
        beginResetModel();
        Rebuild();
        endResetModel();
        return;
    }
    if (moved)
        Relayout(Grouped(), [this] { Rebuild(); });
    const int lastColumn = columnCount() - 1;
    if (lastColumn < 0)
        return;
    for (int row = topLeft.row(); row <= bottomRight.row(); ++row)
        emit dataChanged(IndexOfSourceRow(row, 0), IndexOfSourceRow(row, lastColumn));
    if (moved)
        return; // the group rows were rebuilt with their sums
    std::sort(changedGroups.begin(), changedGroups.end());
    changedGroups.erase(std::unique(changedGroups.begin(), changedGroups.end()), changedGroups.end());
    for (int g : changedGroups)
        emit dataChanged(index(g, 0), index(g, lastColumn));
}
