#include "toolkit/DataGrid.h"

#include "store/engine/DAODataSource.h"
#include "store/engine/DAODataset.h"
#include "toolkit/GridFooter.h"
#include "toolkit/GridModel.h"
#include "toolkit/GridView.h"
#include "toolkit/GroupPanel.h"

#include <QItemSelectionModel>
#include <QPointer>
#include <QScopedValueRollback>
#include <QSettings>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <numeric>

class TDataGrid::Private
{
public:
    explicit Private(TDataGrid *grid)
        : q(grid)
    {
    }

    void Fit();
    void UserResized(int logical, int oldSize, int newSize);
    void SectionsMoved();
    void FollowSourceCursor(int row);
    void FollowViewCursor(const QModelIndex &current);
    void SyncFromSource();
    std::vector<int> SelectedSourceRows() const;
    void Select(const std::vector<int> &sourceRows);
    int GroupIndent() const { return model->Grouped() ? view->indentation() : 0; }

    TDataGrid *q;
    TGridModel *model = nullptr;
    TGridView *view = nullptr;
    TGridHeader *header = nullptr;
    TGroupPanel *panel = nullptr;
    TGridFooter *footer = nullptr;
    QPointer<TDAODataSource> source;
    QList<QMetaObject::Connection> sourceConnections;

    QList<TGridColumn> columns;
    QList<int> shown;           // the view's columns, as indexes into columns
    std::vector<double> widths; // each view column's share of the width (without the group indent)

    bool fitting = false;        // the grid sizes the sections itself
    bool syncing = false;        // the cursor is being carried between query and view
    bool sourceChanging = false; // the source's rows are being inserted, removed or reset
};

// The shown columns take the view's width in proportion to their shares;
// when grouped the first column is wider by the children's indent.
void TDataGrid::Private::Fit()
{
    const int count = header->count();
    if (count == 0 || count != int(widths.size()))
        return;
    QScopedValueRollback<bool> guard(fitting, true);
    const int indent = GroupIndent();
    const int available = std::max(0, view->viewport()->width() - indent);
    const double total = std::max(1.0, std::accumulate(widths.begin(), widths.end(), 0.0));
    int used = 0;
    for (int visual = 0; visual < count; ++visual) {
        const int logical = header->logicalIndex(visual);
        int width =
            visual == count - 1 ? available - used : int(std::lround(available * widths[size_t(logical)] / total));
        width = std::max(width, header->minimumSectionSize());
        used += width;
        header->resizeSection(logical, width + (visual == 0 ? indent : 0));
    }
}

// A section resized by the user gives or takes its width from its right
// neighbour, so the columns still fill the grid; the shares follow.
void TDataGrid::Private::UserResized(int logical, int oldSize, int newSize)
{
    if (fitting)
        return;
    QScopedValueRollback<bool> guard(fitting, true);
    const int visual = header->visualIndex(logical);
    if (visual + 1 >= header->count()) {
        header->resizeSection(logical, oldSize); // the last column ends at the grid's edge
        return;
    }
    const int neighbour = header->logicalIndex(visual + 1);
    const int neighbourSize = header->sectionSize(neighbour);
    int delta = newSize - oldSize;
    if (neighbourSize - delta < header->minimumSectionSize()) {
        delta = neighbourSize - header->minimumSectionSize();
        header->resizeSection(logical, oldSize + delta);
    }
    header->resizeSection(neighbour, neighbourSize - delta);
    const int indent = GroupIndent();
    for (int l = 0; l < header->count() && l < int(widths.size()); ++l)
        widths[size_t(l)] = header->sectionSize(l) - (header->visualIndex(l) == 0 ? indent : 0);
}

void TDataGrid::Private::SectionsMoved()
{
    if (header->count() > 0)
        view->setTreePosition(header->logicalIndex(0));
    if (model->Grouped())
        Fit();
}

void TDataGrid::Private::FollowSourceCursor(int row)
{
    if (syncing || !source)
        return;
    const QModelIndex index = model->IndexOfSourceRow(row, 0);
    if (!index.isValid() || model->SourceRow(view->currentIndex()) == row)
        return;
    QScopedValueRollback<bool> guard(syncing, true);
    view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view->scrollTo(index);
}

void TDataGrid::Private::FollowViewCursor(const QModelIndex &current)
{
    if (syncing || sourceChanging || !source)
        return;
    const int row = model->SourceRow(current);
    if (row < 0)
        return;
    QScopedValueRollback<bool> guard(syncing, true);
    source->SetCurrentRow(row);
}

void TDataGrid::Private::SyncFromSource()
{
    if (source)
        FollowSourceCursor(source->CurrentRow());
}

std::vector<int> TDataGrid::Private::SelectedSourceRows() const
{
    std::vector<int> rows;
    for (const QItemSelectionRange &range : view->selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row) {
            const int sourceRow = model->SourceRow(model->index(row, 0, range.parent()));
            if (sourceRow >= 0)
                rows.push_back(sourceRow);
        }
    return rows;
}

// Selects the given rows in one go, as runs of neighbouring rows.
void TDataGrid::Private::Select(const std::vector<int> &sourceRows)
{
    std::vector<int> positions;
    for (int row : sourceRows) {
        const int position = model->Position(model->IndexOfSourceRow(row));
        if (position >= 0)
            positions.push_back(position);
    }
    std::sort(positions.begin(), positions.end());
    const int lastColumn = model->columnCount() - 1;
    QItemSelection selection;
    QModelIndex first;
    QModelIndex last;
    for (int position : positions) {
        const QModelIndex index = model->IndexOfSourceRow(model->SourceRowAt(position));
        if (last.isValid() && index.parent() == last.parent() && index.row() == last.row() + 1) {
            last = index;
            continue;
        }
        if (first.isValid())
            selection.select(first, last.siblingAtColumn(lastColumn));
        first = last = index;
    }
    if (first.isValid())
        selection.select(first, last.siblingAtColumn(lastColumn));
    view->selectionModel()->select(selection, QItemSelectionModel::Select);
}

TDataGrid::TDataGrid(QWidget *parent)
    : QWidget(parent)
    , d(new Private(this))
{
    d->model = new TGridModel(this);
    d->panel = new TGroupPanel(this, this);
    d->view = new TGridView(this);
    d->header = new TGridHeader(this, d->view);
    d->view->setHeader(d->header);
    d->view->setModel(d->model);
    d->view->setItemDelegate(new TGridDelegate(this, d->view));
    d->view->setSortingEnabled(true);
    d->footer = new TGridFooter(d->view, this);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(d->panel);
    layout->addWidget(d->view, 1);
    layout->addWidget(d->footer);

    connect(d->view, &TGridView::viewportResized, this, [this] { d->Fit(); });
    connect(d->header, &QHeaderView::sectionResized, this,
            [this](int logical, int oldSize, int newSize) { d->UserResized(logical, oldSize, newSize); });
    connect(d->header, &QHeaderView::sectionMoved, this, [this] { d->SectionsMoved(); });
    connect(d->view->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) { d->FollowViewCursor(current); });
    connect(d->model, &QAbstractItemModel::modelReset, this, [this] { d->SyncFromSource(); });
    connect(d->model, &QAbstractItemModel::layoutChanged, this, [this] {
        if (d->view->currentIndex().isValid())
            d->view->scrollTo(d->view->currentIndex());
    });
    connect(d->view, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &index) {
        if (index.isValid() && !d->model->IsGroupRow(index))
            emit DoubleClicked();
    });
    connect(d->view, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { emit ContextMenuRequested(d->view->viewport()->mapToGlobal(pos)); });
    connect(d->panel, &TGroupPanel::groupRequested, this, &TDataGrid::GroupBy);
    connect(d->panel, &TGroupPanel::ungroupRequested, this, [this] { GroupBy({}); });
}

TDataGrid::~TDataGrid()
{
    // The children outlive this destructor's body: nothing they signal
    // while they go may reach the private part.
    for (const QObject *child : std::initializer_list<const QObject *>{d->model, d->view, d->view->selectionModel(),
                                                                       d->header, d->panel, d->source})
        if (child)
            disconnect(child, nullptr, this, nullptr);
    delete d;
}

void TDataGrid::SetDataSource(TDAODataSource *source)
{
    if (source == d->source)
        return;
    for (const auto &connection : std::as_const(d->sourceConnections))
        disconnect(connection);
    d->sourceConnections.clear();
    d->source = source;
    if (source) {
        // While the source's rows change, the view's current row moves by
        // itself; the query's cursor is not to follow it. These run before
        // the model hears of the change...
        const auto changing = [this] { d->sourceChanging = true; };
        d->sourceConnections << connect(source, &QAbstractItemModel::modelAboutToBeReset, this, changing)
                             << connect(source, &QAbstractItemModel::rowsAboutToBeInserted, this, changing)
                             << connect(source, &QAbstractItemModel::rowsAboutToBeRemoved, this, changing)
                             << connect(source, &QAbstractItemModel::layoutAboutToBeChanged, this, changing);
    }
    d->model->SetSource(source);
    d->footer->SetSource(source);
    if (source) {
        // ...and these after it.
        const auto changed = [this] {
            d->sourceChanging = false;
            d->SyncFromSource();
        };
        d->sourceConnections << connect(source, &QAbstractItemModel::modelReset, this, changed)
                             << connect(source, &QAbstractItemModel::rowsInserted, this, changed)
                             << connect(source, &QAbstractItemModel::rowsRemoved, this, changed)
                             << connect(source, &QAbstractItemModel::layoutChanged, this, changed)
                             << connect(source, &TDAODataSource::currentRowChanged, this,
                                        [this](int row) { d->FollowSourceCursor(row); });
    }
    d->SyncFromSource();
}

TDAODataSource *TDataGrid::DataSource() const
{
    return d->source;
}

void TDataGrid::SetColumns(const QList<TGridColumn> &columns)
{
    d->columns = columns;
    d->shown.clear();
    QList<TGridModel::Column> modelColumns;
    QList<TGridColumn> shownColumns;
    d->widths.clear();
    for (int i = 0; i < columns.size(); ++i) {
        const TGridColumn &column = columns.at(i);
        if (!column.Visible)
            continue;
        d->shown << i;
        modelColumns << TGridModel::Column{column.FieldName, column.Caption, column.DisplayFormat, column.Alignment};
        shownColumns << column;
        d->widths.push_back(std::max(1, column.Width));
    }
    {
        QScopedValueRollback<bool> guard(d->fitting, true);
        d->model->SetColumns(modelColumns);
        for (int logical = 0; logical < d->header->count(); ++logical)
            if (d->header->visualIndex(logical) != logical)
                d->header->moveSection(d->header->visualIndex(logical), logical);
        d->header->setSortIndicator(-1, Qt::AscendingOrder);
    }
    d->panel->SetGrouped({}, {});
    d->footer->SetColumns(shownColumns);
    d->SectionsMoved();
    d->Fit();
}

QList<TGridColumn> TDataGrid::Columns() const
{
    QList<TGridColumn> columns = d->columns;
    for (int i = 0; i < d->shown.size() && i < int(d->widths.size()); ++i)
        columns[d->shown.at(i)].Width = int(std::lround(d->widths[size_t(i)]));
    return columns;
}

void TDataGrid::SetGroupSummary(const QString &countFormat, const QString &sumField, const QString &sumFormat,
                                int sumDecimals)
{
    const std::vector<int> selected = d->model->Grouped() ? d->SelectedSourceRows() : std::vector<int>();
    d->model->SetGroupSummary(countFormat, sumField, sumFormat, sumDecimals);
    if (!selected.empty())
        d->Select(selected);
}

void TDataGrid::GroupBy(const QString &fieldName)
{
    const int column = d->model->ColumnOfField(fieldName);
    if (column == d->model->GroupColumn())
        return;
    const std::vector<int> selected = d->SelectedSourceRows();
    d->model->SetGroupColumn(column);
    d->Select(selected);
    if (column >= 0)
        d->panel->SetGrouped(d->model->Columns().at(column).FieldName, d->model->Columns().at(column).Caption);
    else
        d->panel->SetGrouped({}, {});
    d->Fit();
    if (d->view->currentIndex().isValid())
        d->view->scrollTo(d->view->currentIndex());
}

QString TDataGrid::GroupedBy() const
{
    const int column = d->model->GroupColumn();
    return column >= 0 ? d->model->Columns().at(column).FieldName : QString();
}

void TDataGrid::SetGroupPanelVisible(bool visible)
{
    d->panel->setVisible(visible);
}

void TDataGrid::SortBy(const QString &fieldName, Qt::SortOrder order)
{
    d->header->setSortIndicator(d->model->ColumnOfField(fieldName), order);
}

QList<TBookmark> TDataGrid::SelectedBookmarks() const
{
    return d->view->SelectedBookmarks();
}

int TDataGrid::SelectedCount() const
{
    std::vector<int> rows = d->SelectedSourceRows();
    std::sort(rows.begin(), rows.end());
    return int(std::unique(rows.begin(), rows.end()) - rows.begin());
}

void TDataGrid::ClearSelection()
{
    d->view->selectionModel()->clearSelection();
}

QString TDataGrid::FooterText(const QString &fieldName) const
{
    return d->footer->Text(fieldName);
}

void TDataGrid::SaveLayout(QSettings &settings, const QString &key) const
{
    QStringList order;
    QStringList widths;
    for (int visual = 0; visual < d->header->count(); ++visual) {
        const int logical = d->header->logicalIndex(visual);
        order << d->model->Columns().at(logical).FieldName;
        widths << QString::number(int(std::lround(d->widths[size_t(logical)])));
    }
    const int sortColumn = d->model->SortColumn();
    const QString group = key + u'/';
    settings.setValue(group + QStringLiteral("Columns"), order.join(u','));
    settings.setValue(group + QStringLiteral("Widths"), widths.join(u','));
    settings.setValue(group + QStringLiteral("SortField"),
                      sortColumn >= 0 ? d->model->Columns().at(sortColumn).FieldName : QString());
    settings.setValue(group + QStringLiteral("SortOrder"), d->model->SortOrder() == Qt::DescendingOrder
                                                               ? QStringLiteral("Descending")
                                                               : QStringLiteral("Ascending"));
    settings.setValue(group + QStringLiteral("GroupField"), GroupedBy());
}

void TDataGrid::RestoreLayout(const QSettings &settings, const QString &key)
{
    const QString group = key + u'/';
    if (!settings.contains(group + QStringLiteral("Columns")))
        return;
    const QStringList order =
        settings.value(group + QStringLiteral("Columns")).toString().split(u',', Qt::SkipEmptyParts);
    const QStringList widths = settings.value(group + QStringLiteral("Widths")).toString().split(u',');
    {
        // Known columns take their stored places and widths, in the stored
        // order; columns the layout does not know keep theirs after them.
        QScopedValueRollback<bool> guard(d->fitting, true);
        int place = 0;
        for (int i = 0; i < order.size(); ++i) {
            const int logical = d->model->ColumnOfField(order.at(i).trimmed());
            if (logical < 0 || d->header->visualIndex(logical) < place)
                continue;
            d->header->moveSection(d->header->visualIndex(logical), place++);
            bool ok = false;
            const int width = widths.value(i).trimmed().toInt(&ok);
            if (ok && width > 0)
                d->widths[size_t(logical)] = width;
        }
    }
    const bool descending =
        settings.value(group + QStringLiteral("SortOrder")).toString() == QLatin1String("Descending");
    SortBy(settings.value(group + QStringLiteral("SortField")).toString(),
           descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    GroupBy(settings.value(group + QStringLiteral("GroupField")).toString());
    d->SectionsMoved();
    d->Fit();
}

void TDataGrid::SetCellRole(std::function<QVariant(int sourceRow, const QString &fieldName, int role)> cellRole)
{
    d->model->CellRole = std::move(cellRole);
    RefreshCells();
}

void TDataGrid::RefreshCells()
{
    d->view->viewport()->update();
}

QTreeView *TDataGrid::View() const
{
    return d->view;
}
