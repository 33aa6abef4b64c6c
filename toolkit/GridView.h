#pragma once

#include "store/engine/DAOTypes.h"

#include <QHeaderView>
#include <QStyledItemDelegate>
#include <QTreeView>

class QMimeData;
class TDataGrid;
class TGridModel;

// The header of a data grid. A click sorts; a section dragged with the mouse
// is dropped back onto the header to move it, or onto the grid's group
// panel to group by it.
class TGridHeader : public QHeaderView
{
    Q_OBJECT

public:
    // The header belongs to the grid `owner`: it accepts only that grid's
    // column drags.
    explicit TGridHeader(QWidget *owner, QWidget *parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    bool OnHandle(int x) const;
    int DropGap(int x) const; // the visual index a dropped section takes
    void StartDrag(int logical);

    QWidget *m_owner;
    QWidget *m_dropMark;
    int m_pressed = -1;
    QPoint m_pressPos;
};

// The rows of a data grid: group rows drawn across the whole width with
// their arrow, selected rows dragged out as the query's bookmarks.
class TGridView : public QTreeView
{
    Q_OBJECT

public:
    explicit TGridView(QWidget *parent = nullptr);

    TGridModel *GridModel() const;
    // The selected data rows as bookmarks of the query, in the order shown.
    QList<TBookmark> SelectedBookmarks() const;
    // What a drag of the selected rows carries: the bookmarks as "1,5,9"
    // under TDataGrid::RowsMimeType; null when no data row is selected.
    QMimeData *RowsMimeData() const;
    // The left edge of the group rows' arrow, in viewport coordinates.
    int ArrowLeft() const;

signals:
    void viewportResized();

protected:
    void drawRow(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void mousePressEvent(QMouseEvent *event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    bool viewportEvent(QEvent *event) override;
};

// Cells in the grid's look, with the grid's own cell drawing first.
class TGridDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    TGridDelegate(const TDataGrid *grid, QObject *parent);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    // A cell too narrow for its text shows it elided; its tool tip is the
    // whole text.
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

private:
    const TDataGrid *m_grid;
};
