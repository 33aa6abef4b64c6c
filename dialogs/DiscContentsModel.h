#pragma once

#include "store/catalog/DiscContents.h"

#include <QAbstractItemModel>

#include <memory>
#include <vector>

class TDAODatabase;

// A disc's folders and files as a tree, read from the catalog one folder at
// a time as the view opens it: a disc of any size opens at once.
class TDiscContentsModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    enum Column { NameColumn, SizeColumn, DayColumn, ColumnCount };

    TDiscContentsModel(TDAODatabase &db, qint64 discId, QObject *parent = nullptr);
    ~TDiscContentsModel() override;

    // Reads the disc's top level again (after a scan or a clear).
    void Reload();

    // The entry shown at index.
    const DiscContents::TEntry *EntryAt(const QModelIndex &index) const;
    // How many folders have been read so far, the root's top level included.
    int FoldersRead() const { return m_foldersRead; }

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    bool hasChildren(const QModelIndex &parent = {}) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct TNode
    {
        DiscContents::TEntry Entry;
        TNode *Parent = nullptr;
        int Row = 0;
        bool Fetched = false;
        std::vector<std::unique_ptr<TNode>> Children;
    };

    TNode *NodeOf(const QModelIndex &index) const;
    void Fetch(TNode &node);

    TDAODatabase &m_db;
    qint64 m_discId;
    std::unique_ptr<TNode> m_root;
    int m_foldersRead = 0;
};
