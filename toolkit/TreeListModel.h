#pragma once

#include "store/engine/DAODataset.h"

#include <QAbstractItemModel>
#include <QCollator>
#include <QHash>
#include <QIcon>
#include <QList>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

// One column of a tree list, bound to a field of the query by name.
struct TTreeColumn
{
    QString FieldName;
    QString Caption;
    bool Visible = true;
    int Width = 120;
    Qt::Alignment Alignment = Qt::AlignLeft | Qt::AlignVCenter;
    // A footer under the column with the number of all nodes put into it
    // ("总数：%1"); empty for none.
    QString FooterFormat;
};

// The rows of a query as a tree: each row under the row whose key equals its
// parent field. A row whose parent is missing is shown at the top level, and
// so is a row that would sit under itself or under one of its own
// descendants (a cycle in the stored data is cut at its last row in the
// query's order), and a row that would lie deeper than TreeShape::MaxDepth.
// Children are sorted by name, then by the query's order.
//
// The model keeps its own copy of what it shows, so data() never reaches into
// the query; it follows the query's inserts, deletes and edits row by row and
// rebuilds itself after a reopen or after the query's controls were
// suspended.
class TTreeListModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    enum Roles {
        KeyRole = Qt::UserRole + 1, // int: the key field
        ParentKeyRole,              // int: the parent field as stored
        BookmarkRole,               // TBookmark: the row in the query
        NameRole,                   // QString: the name field
        LevelRole,                  // int: folders above this one as shown, 0 at the top
    };

    explicit TTreeListModel(QObject *parent = nullptr);
    ~TTreeListModel() override;

    // Field names: the key, the parent key and the name the children are
    // sorted by. Rebuilds the tree.
    void SetFields(const QString &keyField, const QString &parentField, const QString &nameField);
    void SetColumns(const QList<TTreeColumn> &columns);
    const QList<TTreeColumn> &Columns() const { return m_columns; }
    // The column showing the name field (where the tree is drawn), or 0.
    int NameColumn() const;

    TDAODataset *DataSet() const { return m_dataset; }
    void SetDataSet(TDAODataset *dataset);

    // How names are compared; the default is Chinese (pinyin) order,
    // ignoring letter case, with numbers compared by value.
    void SetCollator(const QCollator &collator);

    // The state image of a node, shown left of its name.
    void SetStateImages(const QList<QIcon> &images);
    std::function<int(const QModelIndex &node)> StateIndex;

    // Lookups; an invalid index when there is no such node.
    QModelIndex IndexOfKey(int key, int column = 0) const;
    QModelIndex IndexOfBookmark(TBookmark bookmark, int column = 0) const;
    int KeyOf(const QModelIndex &index) const;
    int LevelOf(const QModelIndex &index) const;
    // Whether node is ancestor itself or lies anywhere below it.
    bool IsInSubtree(const QModelIndex &node, const QModelIndex &ancestor) const;
    int NodeCount() const { return int(m_nodes.size()); }
    // True while the model applies a change of the query.
    bool Updating() const { return m_updating > 0 || m_resetting; }

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

signals:
    void NodeCountChanged(int count);

private:
    struct Node;

    Node *NodeOf(const QModelIndex &index) const;
    QModelIndex IndexOfNode(const Node *node, int column = 0) const;
    std::unique_ptr<Node> ReadNode(int row) const;
    void Rebuild();
    void ResetNow();
    int SortedPosition(const Node *parent, const Node *node) const;
    bool LessThan(const Node *a, const Node *b) const;
    Node *ShownParent(Node *node) const;
    int Depth(const Node *node) const;
    int Height(const Node *node) const;
    bool NeedsRebuild() const;
    void Renumber(Node *parent, int from);
    void TakeChild(Node *node);
    void PutChild(Node *parent, Node *node, int position);
    void StateChanged(Node *parent);
    void RemoveNode(Node *node);

    void Attach();
    void Detach();
    void DataSetAboutToReset();
    void DataSetReset();
    void RowInserted(int row);
    void RowAboutToBeRemoved(int row);
    void RowRemoved(int row);
    void RowChanged(int row);

    QPointer<TDAODataset> m_dataset;
    QList<QMetaObject::Connection> m_connections;
    QString m_keyField, m_parentField, m_nameField;
    int m_keyIndex = -1, m_parentIndex = -1, m_nameIndex = -1; // fields of the query
    std::vector<int> m_columnFields;
    QList<TTreeColumn> m_columns;
    QList<QIcon> m_stateImages;
    QCollator m_collator;

    std::unique_ptr<Node> m_root; // invisible: its children are the top level
    std::vector<std::unique_ptr<Node>> m_nodes;
    QHash<int, Node *> m_byKey;
    QHash<TBookmark, Node *> m_byBookmark;
    bool m_duplicateKeys = false;
    bool m_resetting = false;
    bool m_rebuildOnRemoved = false;
    int m_updating = 0;
};
