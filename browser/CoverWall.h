#pragma once

#include <QListView>
#include <QStyledItemDelegate>

class QItemSelection;
class TCoverWallModel;
class TDataGrid;
class TGridView;
class TThumbnailCache;

// The disc list as a wall of covers: one tile per disc of the grid, in the
// grid's order, its cover's thumbnail over its name. The wall works on the
// grid's own selection and current row, so whatever acts on the grid (the
// detail page, delete, dragging onto a folder) acts on what the wall shows.
class TCoverWall : public QListView
{
    Q_OBJECT

public:
    // The tile's cover area and the whole tile.
    static constexpr QSize CoverSize{110, 158};
    static constexpr QSize TileSize{130, 196};

    TCoverWall(TDataGrid *grid, TThumbnailCache *thumbnails, QWidget *parent = nullptr);

    TCoverWallModel *WallModel() const { return m_model; }
    TThumbnailCache *Thumbnails() const { return m_thumbnails; }
    // Takes the grid's selection and current row, after the wall has been
    // hidden or its rows have changed.
    void SyncFromGrid();

signals:
    void DoubleClicked();
    void ContextMenuRequested(const QPoint &globalPos);

protected:
    void startDrag(Qt::DropActions supportedActions) override;
    void showEvent(QShowEvent *event) override;

private:
    void SelectionToGrid();
    void CurrentToGrid(const QModelIndex &current);

    TDataGrid *m_grid;
    TGridView *m_gridView;
    TCoverWallModel *m_model;
    TThumbnailCache *m_thumbnails;
    bool m_syncing = false;
};

// A tile of the wall: the cover (the default cover until its thumbnail is
// made), the name under it elided to the tile's width.
class TCoverTileDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    TCoverTileDelegate(TThumbnailCache *thumbnails, QObject *parent);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    TThumbnailCache *m_thumbnails;
};
