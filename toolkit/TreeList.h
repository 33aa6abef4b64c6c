#pragma once

#include "toolkit/TreeListModel.h"

#include <QList>
#include <QPoint>
#include <QSet>
#include <QWidget>

#include <functional>

class QLabel;
class QMimeData;
class QSettings;
class QTreeView;
class TDAODataset;

// A tree over a query, for folders and the like: built from the query's rows
// by key and parent fields (see TTreeListModel), with a state image per
// node, tree lines, a footer, several nodes selectable, the focused node kept
// at the query's cursor both ways, nodes dragged inside the tree, drops
// decided by hooks, and a column layout kept in the settings its owner hands
// over. Smooth with tens of thousands of nodes.
class TTreeList : public QWidget
{
    Q_OBJECT

public:
    // Where a drop lands on a node: on its row (text, images, expand button)
    // or on the indentation left of its expand button.
    enum class DropZone { OnRow, Indent };

    // The MIME type of nodes dragged out of a tree list; the drag's source is
    // the tree's view (View()).
    static constexpr const char *NodesMimeType = "application/x-vorlix-tree-nodes";

    explicit TTreeList(QWidget *parent = nullptr);
    ~TTreeList() override;

    void SetDataSet(TDAODataset *dataset, const QString &keyField, const QString &parentField,
                    const QString &nameField);
    TDAODataset *DataSet() const;
    void SetColumns(const QList<TTreeColumn> &columns);

    TTreeListModel *Model() const { return m_model; }
    QTreeView *View() const;

    // The state image of a node: OnGetStateIndex picks one of the images.
    void SetStateImages(const QList<QIcon> &images);
    std::function<int(const QModelIndex &node)> OnGetStateIndex;
    // 16×16 yellow folders: plain, and with a plus sign.
    static QIcon FolderImage(bool plus);

    // The text of a column's footer, e.g. "目录总数：12".
    QString FooterText(const QString &fieldName) const;

    // Nodes, by index of Model() (column 0) or by key.
    QModelIndex CurrentNode() const;
    QModelIndex NodeOfKey(int key) const { return m_model->IndexOfKey(key); }
    int KeyOf(const QModelIndex &node) const { return m_model->KeyOf(node); }
    int LevelOf(const QModelIndex &node) const { return m_model->LevelOf(node); }
    // Moves the query's cursor (and so the focus) to a node; false when
    // there is no such node.
    bool GotoKey(int key);
    QList<int> SelectedKeys() const;
    void ClearSelection();
    // Expands a node and everything below it.
    void ExpandAll(const QModelIndex &node);
    bool IsExpanded(const QModelIndex &node) const;

    // Drag and drop. Both hooks get the drag's source, its data, the node
    // under the pointer (invalid when none), the zone and whether Ctrl is
    // held; OnDragOver says whether a drop there is accepted. A drag of
    // nodes carries DraggedKeys: the selected nodes, or the node where it
    // started when none is selected.
    using DropHook = std::function<bool(QObject *source, const QMimeData *mime, const QModelIndex &target,
                                        DropZone zone, bool ctrl)>;
    DropHook OnDragOver;
    std::function<void(QObject *source, const QMimeData *mime, const QModelIndex &target, DropZone zone, bool ctrl)>
        OnDragDrop;
    static QList<int> DraggedKeys(const QMimeData *mime);
    // The node under the pointer when the drag started, or 0.
    static int DragStartKey(const QMimeData *mime);
    static QMimeData *NodesMimeData(const QList<int> &keys, int startKey);
    // The zone of a point of the view's viewport over a node.
    DropZone ZoneAt(const QPoint &viewportPos) const;

    // The column widths, in the subgroup key of the settings' current group.
    // The caller owns the settings.
    void SaveLayout(QSettings &settings, const QString &key) const;
    void RestoreLayout(const QSettings &settings, const QString &key);

signals:
    // A mouse click on a node.
    void Clicked();
    void ContextMenuRequested(const QPoint &globalPos);

private:
    class TreeView;
    class Footer;

    void ApplyColumns();
    void FollowCursor();
    void MoveCursorTo(const QModelIndex &index);
    void RememberExpanded();
    void RestoreExpanded();

    TTreeListModel *m_model;
    TreeView *m_view;
    Footer *m_footer;
    QList<TTreeColumn> m_columns;
    QSet<int> m_expandedKeys;
    bool m_syncing = false;
    bool m_restoring = false;
};
