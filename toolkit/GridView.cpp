#include "toolkit/GridView.h"

#include "store/engine/DAODataSource.h"
#include "store/engine/DAODataset.h"
#include "toolkit/DataGrid.h"
#include "toolkit/GridColumnDrag.h"
#include "toolkit/GridModel.h"

#include <QApplication>
#include <QDrag>
#include <QHelpEvent>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>

// -- Header ---------------------------------------------------------------

TGridHeader::TGridHeader(QWidget *owner, QWidget *parent)
    : QHeaderView(Qt::Horizontal, parent)
    , m_owner(owner)
{
    setObjectName(QStringLiteral("GridHeader"));
    setSectionsClickable(true);
    setSectionsMovable(false); // moved by dragging, see dropEvent
    setSortIndicatorShown(true);
    setSortIndicator(-1, Qt::AscendingOrder);
    setDefaultAlignment(Qt::AlignCenter);
    setHighlightSections(false);
    setStretchLastSection(false);
    setSectionResizeMode(QHeaderView::Interactive);
    setMinimumSectionSize(16);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    m_dropMark = new QWidget(viewport());
    m_dropMark->setObjectName(QStringLiteral("HeaderDropMark"));
    m_dropMark->setAutoFillBackground(true);
    QPalette palette = m_dropMark->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Highlight));
    m_dropMark->setPalette(palette);
    m_dropMark->hide();
}

bool TGridHeader::OnHandle(int x) const
{
    const int logical = logicalIndexAt(x);
    if (logical < 0)
        return false;
    const int grip = style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, this);
    const int left = sectionViewportPosition(logical);
    const int right = left + sectionSize(logical);
    return (x < left + grip && visualIndex(logical) > 0) || x > right - 2 * grip;
}

int TGridHeader::DropGap(int x) const
{
    const int visual = visualIndexAt(x);
    if (visual < 0)
        return x < 0 ? 0 : count();
    const int logical = logicalIndex(visual);
    return x < sectionViewportPosition(logical) + sectionSize(logical) / 2 ? visual : visual + 1;
}

void TGridHeader::mousePressEvent(QMouseEvent *event)
{
    const int x = event->position().toPoint().x();
    if (event->button() == Qt::LeftButton && logicalIndexAt(x) >= 0 && !OnHandle(x)) {
        // A press on a section is a click or the start of a column drag:
        // which one shows when the mouse moves or is released.
        m_pressed = logicalIndexAt(x);
        m_pressPos = event->position().toPoint();
        event->accept();
        return;
    }
    m_pressed = -1;
    QHeaderView::mousePressEvent(event);
}

void TGridHeader::mouseMoveEvent(QMouseEvent *event)
{
    if (m_pressed >= 0 && (event->buttons() & Qt::LeftButton)) {
        if ((event->position().toPoint() - m_pressPos).manhattanLength() >= QApplication::startDragDistance()) {
            const int logical = m_pressed;
            m_pressed = -1;
            StartDrag(logical);
        }
        return;
    }
    QHeaderView::mouseMoveEvent(event);
}

void TGridHeader::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_pressed < 0) {
        QHeaderView::mouseReleaseEvent(event);
        return;
    }
    const int section = m_pressed;
    m_pressed = -1;
    if (event->button() != Qt::LeftButton || logicalIndexAt(event->position().toPoint()) != section)
        return;
    // A click: sort by the section, the other way round when it is sorted by already.
    Qt::SortOrder order = Qt::AscendingOrder;
    if (sortIndicatorSection() == section)
        order = sortIndicatorOrder() == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    setSortIndicator(section, order);
    emit sectionClicked(section);
}

void TGridHeader::StartDrag(int logical)
{
    const QString field = model()->headerData(logical, orientation(), TDAODataSource::FieldNameRole).toString();
    auto *drag = new QDrag(this);
    drag->setMimeData(GridColumnDrag::Make(field));
    const QRect rect(sectionViewportPosition(logical), 0, sectionSize(logical), viewport()->height());
    drag->setPixmap(viewport()->grab(rect));
    drag->setHotSpot(m_pressPos - rect.topLeft());
    drag->exec(Qt::MoveAction);
    m_dropMark->hide();
}

void TGridHeader::dragEnterEvent(QDragEnterEvent *event)
{
    GridColumnDrag::AcceptColumn(event, m_owner);
}

void TGridHeader::dragMoveEvent(QDragMoveEvent *event)
{
    if (GridColumnDrag::AcceptColumn(event, m_owner).isEmpty())
        return;
    if (event->source() != this)
        return; // a grouped column coming back: no place to show
    const int gap = DropGap(event->position().toPoint().x());
    int x = 0;
    if (gap < count()) {
        x = sectionViewportPosition(logicalIndex(gap));
    } else if (count() > 0) {
        const int last = logicalIndex(count() - 1);
        x = sectionViewportPosition(last) + sectionSize(last);
    }
    m_dropMark->setGeometry(std::max(0, x - 1), 0, 2, viewport()->height());
    m_dropMark->show();
    m_dropMark->raise();
}

void TGridHeader::dragLeaveEvent(QDragLeaveEvent *event)
{
    m_dropMark->hide();
    QHeaderView::dragLeaveEvent(event);
}

void TGridHeader::dropEvent(QDropEvent *event)
{
    m_dropMark->hide();
    const QString field = GridColumnDrag::AcceptColumn(event, m_owner);
    if (field.isEmpty())
        return;
    if (event->source() != this)
        return; // the group panel's column: the panel ungroups when it sees where it went
    for (int logical = 0; logical < count(); ++logical) {
        if (model()->headerData(logical, orientation(), TDAODataSource::FieldNameRole).toString() != field)
            continue;
        const int from = visualIndex(logical);
        int to = DropGap(event->position().toPoint().x());
        if (to > from)
            --to;
        if (to != from)
            moveSection(from, to);
        return;
    }
}

// -- Rows -----------------------------------------------------------------

TGridView::TGridView(QWidget *parent)
    : QTreeView(parent)
{
    setObjectName(QStringLiteral("GridView"));
    setUniformRowHeights(true);
    setRootIsDecorated(false); // group rows draw their own arrow
    setIndentation(16);
    setItemsExpandable(true);
    setExpandsOnDoubleClick(true);
    setAnimated(false);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setDefaultDropAction(Qt::MoveAction);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setTextElideMode(Qt::ElideRight);
}

TGridModel *TGridView::GridModel() const
{
    return qobject_cast<TGridModel *>(model());
}

int TGridView::ArrowLeft() const
{
    return header()->count() > 0 ? header()->sectionViewportPosition(header()->logicalIndex(0)) : 0;
}

QList<TBookmark> TGridView::SelectedBookmarks() const
{
    const TGridModel *grid = GridModel();
    if (!grid || !grid->Source() || !selectionModel())
        return {};
    std::vector<int> positions;
    for (const QItemSelectionRange &range : selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            const int position = grid->Position(grid->index(row, 0, range.parent()));
            if (position >= 0)
                positions.push_back(position);
        }
    }
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    QList<TBookmark> bookmarks;
    bookmarks.reserve(qsizetype(positions.size()));
    const TDAODataSource *source = grid->Source();
    for (int position : positions)
        bookmarks << source->data(source->index(grid->SourceRowAt(position), 0), TDAODataSource::BookmarkRole)
                         .value<TBookmark>();
    return bookmarks;
}

QMimeData *TGridView::RowsMimeData() const
{
    const QList<TBookmark> bookmarks = SelectedBookmarks();
    if (bookmarks.isEmpty())
        return nullptr;
    QByteArray payload;
    for (TBookmark bookmark : bookmarks) {
        if (!payload.isEmpty())
            payload += ',';
        payload += QByteArray::number(bookmark);
    }
    auto *mime = new QMimeData;
    mime->setData(QString::fromLatin1(TDataGrid::RowsMimeType), payload);
    return mime;
}

void TGridView::startDrag(Qt::DropActions supportedActions)
{
    QMimeData *mime = RowsMimeData();
    if (!mime)
        return;
    auto *drag = new QDrag(this);
    drag->setMimeData(mime);
    const QModelIndex current = currentIndex();
    if (current.isValid()) {
        const QRect cell = visualRect(current);
        const QRect row = QRect(0, cell.top(), viewport()->width(), cell.height()).intersected(viewport()->rect());
        if (!row.isEmpty()) {
            drag->setPixmap(viewport()->grab(row));
            drag->setHotSpot(QPoint(8, row.height() / 2));
        }
    }
    drag->exec(supportedActions | Qt::MoveAction, Qt::MoveAction);
}

void TGridView::drawRow(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const TGridModel *grid = GridModel();
    if (!grid || !grid->IsGroupRow(index)) {
        QTreeView::drawRow(painter, option, index);
        return;
    }
    const QRect row(0, option.rect.top(), viewport()->width(), option.rect.height());
    const bool current = currentIndex().isValid() && currentIndex().siblingAtColumn(0) == index.siblingAtColumn(0);
    const QPalette::ColorGroup group = hasFocus() ? QPalette::Active : QPalette::Inactive;
    painter->save();
    painter->fillRect(row, palette().brush(group, current ? QPalette::Highlight : QPalette::AlternateBase));

    const int left = ArrowLeft();
    QStyleOption arrow;
    arrow.initFrom(this);
    arrow.rect = QRect(left, row.top(), indentation(), row.height());
    arrow.state = QStyle::State_Item | QStyle::State_Children;
    if (isExpanded(index))
        arrow.state |= QStyle::State_Open;
    style()->drawPrimitive(QStyle::PE_IndicatorBranch, &arrow, painter, this);

    QFont bold = font();
    bold.setBold(true);
    painter->setFont(bold);
    painter->setPen(palette().color(group, current ? QPalette::HighlightedText : QPalette::Text));
    const QRect textRect(left + indentation() + 2, row.top(), row.right() - left - indentation() - 4, row.height());
    const QString text = QFontMetrics(bold).elidedText(index.data().toString(), Qt::ElideRight, textRect.width());
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, text);
    painter->setPen(palette().color(QPalette::Mid));
    painter->drawLine(row.bottomLeft(), row.bottomRight());
    painter->restore();
}

void TGridView::mousePressEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    const QModelIndex index = indexAt(pos);
    const TGridModel *grid = GridModel();
    if (event->button() == Qt::LeftButton && grid && grid->IsGroupRow(index)) {
        const int left = ArrowLeft();
        if (pos.x() >= left && pos.x() < left + indentation()) {
            setExpanded(index.siblingAtColumn(0), !isExpanded(index.siblingAtColumn(0)));
            event->accept();
            return;
        }
    }
    QTreeView::mousePressEvent(event);
}

bool TGridView::viewportEvent(QEvent *event)
{
    const bool result = QTreeView::viewportEvent(event);
    if (event->type() == QEvent::Resize)
        emit viewportResized();
    return result;
}

// -- Cells ----------------------------------------------------------------

bool TGridDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                              const QModelIndex &index)
{
    if (event->type() != QEvent::ToolTip || !index.isValid() || index.data(TGridModel::GroupRowRole).toBool())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    // A tip of the cell's own comes before its text.
    const QString tip = index.data(Qt::ToolTipRole).toString();
    if (!tip.isEmpty()) {
        QToolTip::showText(event->globalPos(), tip, view->viewport(), option.rect);
        return true;
    }
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    const QWidget *widget = cell.widget ? cell.widget : view;
    const QRect textRect = widget->style()->subElementRect(QStyle::SE_ItemViewItemText, &cell, widget);
    if (cell.text.isEmpty() || QFontMetrics(cell.font).horizontalAdvance(cell.text) <= textRect.width()) {
        QToolTip::hideText();
        event->ignore();
        return false;
    }
    QToolTip::showText(event->globalPos(), cell.text, view->viewport(), option.rect);
    return true;
}

TGridDelegate::TGridDelegate(const TDataGrid *grid, QObject *parent)
    : QStyledItemDelegate(parent)
    , m_grid(grid)
{
}

void TGridDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    bool drawn = false;
    if (m_grid->OnCustomDrawCell) {
        QStyleOptionViewItem cell = option;
        initStyleOption(&cell, index);
        const QString field =
            index.model()->headerData(index.column(), Qt::Horizontal, TDAODataSource::FieldNameRole).toString();
        drawn = m_grid->OnCustomDrawCell(painter, cell, field, cell.text);
    }
    if (!drawn)
        QStyledItemDelegate::paint(painter, option, index);
    painter->save();
    painter->setPen(option.palette.color(QPalette::Midlight).darker(110));
    painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
    painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
    painter->restore();
}

QSize TGridDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(std::max({size.height(), option.fontMetrics.height() + 6, 18}));
    return size;
}
