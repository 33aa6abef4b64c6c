#include "browser/CoverWall.h"

#include "browser/CoverWallModel.h"
#include "store/engine/DAODataSource.h"
#include "toolkit/DataGrid.h"
#include "toolkit/GridModel.h"
#include "toolkit/GridView.h"
#include "toolkit/ThumbnailCache.h"

#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QPainter>
#include <QScopedValueRollback>

TCoverWall::TCoverWall(TDataGrid *grid, TThumbnailCache *thumbnails, QWidget *parent)
    : QListView(parent)
    , m_grid(grid)
    , m_gridView(qobject_cast<TGridView *>(grid->View()))
    , m_model(new TCoverWallModel(m_gridView->GridModel(), this))
    , m_thumbnails(thumbnails)
{
    setObjectName(QStringLiteral("lvCoverWall"));
    setViewMode(QListView::IconMode);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    setUniformItemSizes(true);
    setGridSize(TileSize);
    setSpacing(0);
    setWordWrap(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setItemDelegate(new TCoverTileDelegate(thumbnails, this));
    setModel(m_model);

    // A thumbnail made in the background shows at the next paint.
    connect(thumbnails, &TThumbnailCache::Ready, viewport(), qOverload<>(&QWidget::update));
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { SelectionToGrid(); });
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) { CurrentToGrid(current); });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        m_thumbnails->ClearPending();
        if (isVisible())
            SyncFromGrid();
    });
    // The grid's current row moves with the query's cursor (a jump by code,
    // a disc added): the wall follows it.
    connect(m_gridView->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] {
        if (isVisible() && !m_syncing)
            SyncFromGrid();
    });
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &index) {
        if (index.isValid())
            emit DoubleClicked();
    });
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { emit ContextMenuRequested(viewport()->mapToGlobal(pos)); });
}

void TCoverWall::showEvent(QShowEvent *event)
{
    QListView::showEvent(event);
    SyncFromGrid();
}

void TCoverWall::SyncFromGrid()
{
    QScopedValueRollback<bool> guard(m_syncing, true);
    QItemSelection selection;
    int first = -1;
    int last = -1;
    const auto flush = [&] {
        if (first >= 0)
            selection.select(m_model->index(first), m_model->index(last));
    };
    std::vector<int> rows;
    for (const QItemSelectionRange &range : m_gridView->selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row) {
            const int wallRow = m_model->RowOfGridIndex(m_gridView->model()->index(row, 0, range.parent()));
            if (wallRow >= 0)
                rows.push_back(wallRow);
        }
    std::sort(rows.begin(), rows.end());
    for (int row : rows) {
        if (row == last || row == last + 1) {
            last = row;
            continue;
        }
        flush();
        first = last = row;
    }
    flush();
    const QModelIndex current = m_model->index(m_model->RowOfGridIndex(m_gridView->currentIndex()));
    selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (current.isValid())
        scrollTo(current);
}

void TCoverWall::SelectionToGrid()
{
    if (m_syncing)
        return;
    QScopedValueRollback<bool> guard(m_syncing, true);
    QItemSelection selection;
    QModelIndex first;
    QModelIndex last;
    const int lastColumn = m_gridView->model()->columnCount() - 1;
    const auto flush = [&] {
        if (first.isValid())
            selection.select(first, last.siblingAtColumn(lastColumn));
    };
    std::vector<int> rows;
    for (const QItemSelectionRange &range : selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.push_back(row);
    std::sort(rows.begin(), rows.end());
    for (int row : rows) {
        const QModelIndex index = m_model->GridIndex(row);
        if (!index.isValid())
            continue;
        if (last.isValid() && index.parent() == last.parent() && index.row() == last.row() + 1) {
            last = index;
            continue;
        }
        flush();
        first = last = index;
    }
    flush();
    m_gridView->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void TCoverWall::CurrentToGrid(const QModelIndex &current)
{
    if (m_syncing || !current.isValid())
        return;
    QScopedValueRollback<bool> guard(m_syncing, true);
    // The grid carries its current row to the query's cursor: the detail
    // page and the disc commands follow.
    m_gridView->selectionModel()->setCurrentIndex(m_model->GridIndex(current.row()), QItemSelectionModel::NoUpdate);
}

void TCoverWall::startDrag(Qt::DropActions)
{
    // The same payload as rows dragged out of the grid.
    QMimeData *mime = m_gridView->RowsMimeData();
    if (!mime)
        return;
    auto *drag = new QDrag(this);
    drag->setMimeData(mime);
    const QModelIndex current = currentIndex();
    if (current.isValid()) {
        QImage cover = m_thumbnails->Thumbnail(current.data(TCoverWallModel::PictureRole).toString());
        if (cover.isNull())
            cover = m_thumbnails->Fallback();
        if (!cover.isNull())
            drag->setPixmap(QPixmap::fromImage(cover.scaled(cover.size() / 2, Qt::KeepAspectRatio)));
    }
    drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::MoveAction);
}

TCoverTileDelegate::TCoverTileDelegate(TThumbnailCache *thumbnails, QObject *parent)
    : QStyledItemDelegate(parent)
    , m_thumbnails(thumbnails)
{
}

QSize TCoverTileDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    return TCoverWall::TileSize;
}

void TCoverTileDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const QRect tile = option.rect.adjusted(3, 3, -3, -3);
    const bool selected = option.state & QStyle::State_Selected;
    painter->save();
    if (selected)
        painter->fillRect(tile, option.palette.color(QPalette::Highlight));
    // The cover, or the default cover while its thumbnail is being made.
    QImage cover = m_thumbnails->Thumbnail(index.data(TCoverWallModel::PictureRole).toString());
    if (cover.isNull())
        cover = m_thumbnails->Fallback();
    const QRect coverArea(tile.left() + (tile.width() - TCoverWall::CoverSize.width()) / 2, tile.top() + 4,
                          TCoverWall::CoverSize.width(), TCoverWall::CoverSize.height());
    if (!cover.isNull()) {
        const QSize shown = cover.size().scaled(coverArea.size(), Qt::KeepAspectRatio).boundedTo(cover.size());
        const QRect target(coverArea.left() + (coverArea.width() - shown.width()) / 2,
                           coverArea.bottom() + 1 - shown.height(), shown.width(), shown.height());
        painter->drawImage(target, cover);
        painter->setPen(option.palette.color(QPalette::Mid));
        painter->drawRect(target.adjusted(0, 0, -1, -1));
    }
    const QRect textArea(tile.left() + 2, coverArea.bottom() + 4, tile.width() - 4,
                         tile.bottom() - coverArea.bottom() - 4);
    const QString name =
        option.fontMetrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight, textArea.width());
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setFont(option.font);
    painter->drawText(textArea, Qt::AlignHCenter | Qt::AlignTop, name);
    if (option.state & QStyle::State_HasFocus) {
        painter->setPen(QPen(option.palette.color(QPalette::Highlight), 1, Qt::DotLine));
        painter->drawRect(tile.adjusted(0, 0, -1, -1));
    }
    painter->restore();
}
