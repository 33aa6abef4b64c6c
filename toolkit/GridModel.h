#pragma once

#include "toolkit/GridKeys.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QList>
#include <QPointer>

#include <functional>
#include <map>
#include <vector>

class TDAODataSource;

// The rows a data grid shows, over a data source: the grid's shown columns
// in their own order, texts in each column's display format, the rows sorted
// by a column (stable, on keys read once per column; rows without a value
// after the others, in either order) and optionally grouped by a column.
// Grouped, the top-level items are the groups, in the order of
// their values, each holding its rows; a group row's text names the value,
// the row count and a sum. Single-row changes of the source are followed in
// place; anything larger re-reads the rows.
class TGridModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    enum Roles {
        GroupRowRole = Qt::UserRole + 40, // true on group rows
    };

    struct Column
    {
        QString FieldName;
        QString Caption;
        QString DisplayFormat;
        Qt::Alignment Alignment = Qt::AlignLeft | Qt::AlignVCenter;
    };

    explicit TGridModel(QObject *parent = nullptr);

    void SetSource(TDAODataSource *source);
    TDAODataSource *Source() const;
    void SetColumns(const QList<Column> &columns);
    const QList<Column> &Columns() const { return m_columns; }
    int ColumnOfField(const QString &fieldName) const;
    // Counts and sums written on group rows; see TDataGrid::SetGroupSummary.
    void SetGroupSummary(const QString &countFormat, const QString &sumField, const QString &sumFormat,
                         int sumDecimals);

    // What a data row's cell shows besides its text (an icon, a colour, a
    // tool tip): asked for the decoration, foreground and tool tip roles
    // with the row of the source and the column's field; none when unset.
    std::function<QVariant(int sourceRow, const QString &fieldName, int role)> CellRole;

    void SetGroupColumn(int column);
    int GroupColumn() const { return m_groupColumn; }
    bool Grouped() const { return m_groupColumn >= 0; }
    int SortColumn() const { return m_sortColumn; }
    Qt::SortOrder SortOrder() const { return m_sortOrder; }

    bool IsGroupRow(const QModelIndex &index) const;
    // The source row of a data row, -1 for a group row.
    int SourceRow(const QModelIndex &index) const;
    // A data row's place among all data rows in the order shown (as if every
    // group were expanded), -1 for a group row.
    int Position(const QModelIndex &index) const;
    int SourceRowAt(int position) const { return m_rows[size_t(position)]; }
    int DataRowCount() const { return int(m_rows.size()); }
    QModelIndex IndexOfSourceRow(int sourceRow, int column = 0) const;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    bool hasChildren(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    Qt::DropActions supportedDragActions() const override { return Qt::MoveAction | Qt::CopyAction; }

private:
    struct Group
    {
        quintptr id = 0; // internal id of the group's children; never reused
        int first = 0;   // position of its first row in m_rows
        int count = 0;
        qint64 sum = 0; // ten-thousandths
        double key = 0;
    };

    bool Live() const;
    void Rebuild();
    void ResolveColumns();
    TGridKeys &Keys(int sourceColumn);
    void ActivateKeys();
    bool HasSums() const;
    bool GroupsDescending() const;
    bool Less(int a, int b) const;
    bool LessStable(int a, int b) const { return Less(a, b) || (!Less(b, a) && a < b); }
    void RebuildPositions();
    void RebuildGroups();
    void IndexGroups();
    qint64 SumValue(int sourceRow) const;
    int GroupAt(int position) const;
    int GroupOfKey(double key) const; // the place of the key among the groups
    QString DisplayText(int sourceRow, int column) const;
    QString GroupText(const Group &group) const;
    void Relayout(bool grouped, const std::function<void()> &change);

    void SourceAboutToBeReset();
    void SourceReset();
    void SourceRowsInserted(const QModelIndex &parent, int first, int last);
    void SourceRowsAboutToBeRemoved(const QModelIndex &parent, int first, int last);
    void SourceRowsRemoved(const QModelIndex &parent, int first, int last);
    void SourceDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight);
    void InsertRow(int sourceRow);

    QPointer<TDAODataSource> m_source;
    QList<QMetaObject::Connection> m_connections;
    QList<Column> m_columns;
    std::vector<int> m_sourceColumn; // per column; -1 when the source lacks the field

    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    int m_groupColumn = -1;

    QString m_countFormat;
    QString m_sumField;
    QString m_sumFormat;
    int m_sumDecimals = 0;
    int m_sumSourceColumn = -1;

    std::vector<int> m_rows;          // position -> source row
    std::vector<int> m_positions;     // source row -> position
    std::map<int, TGridKeys> m_keys;  // by source column, read when first needed
    TGridKeys *m_groupKeys = nullptr; // the keys of the group and sort columns
    TGridKeys *m_sortKeys = nullptr;
    std::vector<qint64> m_sums; // per source row, while grouped
    std::vector<Group> m_groups;
    QHash<quintptr, int> m_groupOfId;
    quintptr m_nextGroupId = 1;

    bool m_resetPending = false; // a multi-row change re-reads everything
    int m_removing = -1;         // the source row announced for removal
};
