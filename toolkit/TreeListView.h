#pragma once

#include "toolkit/TreeList.h"

#include <QPersistentModelIndex>
#include <QPoint>
#include <QTimer>
#include <QTreeView>

class QDropEvent;

// The node of an index: the index in the first column of its row.
inline QModelIndex FirstColumn(const QModelIndex &index)
{
    return index.isValid() ? index.siblingAtColumn(0) : QModelIndex();
}

// The tree's view: tree lines in the grey-text colour, and the drag and drop
// of the tree list. A drag over it opens the node the pointer rests on and
// scrolls near the edges; the tree list's hooks decide what is accepted.
class TTreeList::TreeView : public QTreeView
{
public:
    explicit TreeView(TTreeList *owner);

    // Expanding many nodes one by one is quick only while a layout of all
    // rows is pending anyway.
    void ScheduleLayout() { scheduleDelayedItemsLayout(); }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    // A drag of nodes moves nothing by itself: the drop hook decides.
    void startDrag(Qt::DropActions) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void drawBranches(QPainter *painter, const QRect &rect, const QModelIndex &index) const override;

private:
    // One move of a drag over the tree: the node under the pointer becomes
    // current, a collapsed node opens when the pointer rests on it, the tree
    // scrolls near its edges, and the hook says whether to accept.
    void Track(QDragMoveEvent *event);
    bool Accept(QDropEvent *event, const QModelIndex &target, DropZone zone, bool ctrl);
    void FollowPointer(const QModelIndex &target);
    void ScrollStep();
    void StopTracking();

    TTreeList *m_owner;
    QPersistentModelIndex m_pressed;
    QPersistentModelIndex m_hover;
    QTimer m_expandTimer;
    QTimer m_scrollTimer;
    QPoint m_dragPos;
    int m_scrollDirection = 0;
};
