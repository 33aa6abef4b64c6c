#include "toolkit/TreeListView.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

namespace {

constexpr int HoverExpandMs = 500;
constexpr int ScrollEdge = 12;
constexpr int ScrollStepMs = 100;

} // namespace

TTreeList::TreeView::TreeView(TTreeList *owner)
    : QTreeView(owner)
    , m_owner(owner)
{
    m_expandTimer.setSingleShot(true);
    m_expandTimer.setInterval(HoverExpandMs);
    connect(&m_expandTimer, &QTimer::timeout, this, [this] {
        if (m_hover.isValid())
            expand(m_hover);
    });
    m_scrollTimer.setInterval(ScrollStepMs);
    connect(&m_scrollTimer, &QTimer::timeout, this, &TreeView::ScrollStep);
}

void TTreeList::TreeView::mousePressEvent(QMouseEvent *event)
{
    m_pressed = FirstColumn(indexAt(event->position().toPoint()));
    QTreeView::mousePressEvent(event);
}

void TTreeList::TreeView::startDrag(Qt::DropActions)
{
    QList<int> keys = m_owner->SelectedKeys();
    const QModelIndex start = m_pressed.isValid() ? QModelIndex(m_pressed) : FirstColumn(currentIndex());
    const int startKey = m_owner->KeyOf(start);
    if (keys.isEmpty()) {
        if (!start.isValid())
            return;
        keys << startKey;
    }
    auto *drag = new QDrag(this);
    drag->setMimeData(NodesMimeData(keys, startKey));
    drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::MoveAction);
}

void TTreeList::TreeView::dragEnterEvent(QDragEnterEvent *event)
{
    if (!m_owner->OnDragOver) {
        event->ignore();
        return;
    }
    Track(event);
    // Accepted even where the hook refuses, or no move would arrive;
    // the move that follows an entry decides.
    event->accept();
}

void TTreeList::TreeView::dragMoveEvent(QDragMoveEvent *event)
{
    Track(event);
}

void TTreeList::TreeView::dragLeaveEvent(QDragLeaveEvent *event)
{
    StopTracking();
    event->accept();
}

void TTreeList::TreeView::dropEvent(QDropEvent *event)
{
    StopTracking();
    const QPoint pos = event->position().toPoint();
    const QModelIndex target = FirstColumn(indexAt(pos));
    const DropZone zone = m_owner->ZoneAt(pos);
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    if (!Accept(event, target, zone, ctrl) || !m_owner->OnDragDrop)
        return;
    m_owner->OnDragDrop(event->source(), event->mimeData(), target, zone, ctrl);
}

void TTreeList::TreeView::drawBranches(QPainter *painter, const QRect &rect, const QModelIndex &index) const
{
    const QModelIndex node = FirstColumn(index);
    const int indent = indentation();
    const QColor lines = palette().color(QPalette::Disabled, QPalette::Text);
    QPen dotted(lines, 1, Qt::DotLine);
    dotted.setCosmetic(true);
    auto hasNextSibling = [this](const QModelIndex &i) { return i.row() + 1 < model()->rowCount(i.parent()); };

    painter->save();
    painter->setPen(dotted);
    const int cell = rect.right() + 1 - indent;
    const int midX = cell + indent / 2;
    const int midY = rect.top() + rect.height() / 2;
    const bool firstOfAll = !node.parent().isValid() && node.row() == 0;
    painter->drawLine(midX, firstOfAll ? midY : rect.top(), midX, hasNextSibling(node) ? rect.bottom() : midY);
    painter->drawLine(midX, midY, cell + indent - 2, midY);
    int x = cell - indent;
    for (QModelIndex up = node.parent(); up.isValid() && x >= rect.left(); up = up.parent(), x -= indent)
        if (hasNextSibling(up))
            painter->drawLine(x + indent / 2, rect.top(), x + indent / 2, rect.bottom());

    if (model()->rowCount(node) > 0) {
        const QRect box(midX - 4, midY - 4, 8, 8);
        painter->setPen(QPen(lines, 1));
        painter->setBrush(palette().base());
        painter->drawRect(box);
        painter->setPen(QPen(palette().color(QPalette::Text), 1));
        painter->drawLine(midX - 2, midY, midX + 2, midY);
        if (!isExpanded(node))
            painter->drawLine(midX, midY - 2, midX, midY + 2);
    }
    painter->restore();
}

void TTreeList::TreeView::Track(QDragMoveEvent *event)
{
    m_dragPos = event->position().toPoint();
    const int y = m_dragPos.y();
    m_scrollDirection = y < ScrollEdge ? -1 : (y >= viewport()->height() - ScrollEdge ? 1 : 0);
    if (m_scrollDirection == 0)
        m_scrollTimer.stop();
    else if (!m_scrollTimer.isActive())
        m_scrollTimer.start();

    const QModelIndex target = FirstColumn(indexAt(m_dragPos));
    FollowPointer(target);
    Accept(event, target, m_owner->ZoneAt(m_dragPos), event->modifiers() & Qt::ControlModifier);
}

bool TTreeList::TreeView::Accept(QDropEvent *event, const QModelIndex &target, DropZone zone, bool ctrl)
{
    const bool accepted =
        m_owner->OnDragOver && m_owner->OnDragOver(event->source(), event->mimeData(), target, zone, ctrl);
    if (!accepted) {
        event->ignore();
        return false;
    }
    const Qt::DropAction action = ctrl ? Qt::CopyAction : Qt::MoveAction;
    if (event->possibleActions() & action) {
        event->setDropAction(action);
        event->accept();
    } else {
        event->acceptProposedAction();
    }
    return true;
}

void TTreeList::TreeView::FollowPointer(const QModelIndex &target)
{
    if (target.isValid() && FirstColumn(currentIndex()) != target)
        selectionModel()->setCurrentIndex(target, QItemSelectionModel::NoUpdate);
    if (target != m_hover) {
        m_hover = target;
        m_expandTimer.stop();
        if (target.isValid() && model()->rowCount(target) > 0 && !isExpanded(target))
            m_expandTimer.start();
    }
}

void TTreeList::TreeView::ScrollStep()
{
    QScrollBar *bar = verticalScrollBar();
    bar->setValue(bar->value() + m_scrollDirection * bar->singleStep());
    FollowPointer(FirstColumn(indexAt(m_dragPos)));
}

void TTreeList::TreeView::StopTracking()
{
    m_scrollTimer.stop();
    m_expandTimer.stop();
    m_hover = QPersistentModelIndex();
}
