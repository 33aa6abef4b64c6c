#include "dialogs/DiscContentsModel.h"

#include "store/catalog/ContentsText.h"

#include <QApplication>
#include <QStyle>

using DiscContents::TKind;

TDiscContentsModel::TDiscContentsModel(TDAODatabase &db, qint64 discId, QObject *parent)
    : QAbstractItemModel(parent)
    , m_db(db)
    , m_discId(discId)
{
    Reload();
}

TDiscContentsModel::~TDiscContentsModel() = default;

void TDiscContentsModel::Reload()
{
    beginResetModel();
    m_root = std::make_unique<TNode>();
    m_root->Entry.Kind = TKind::Folder;
    m_foldersRead = 0;
    Fetch(*m_root);
    endResetModel();
}

void TDiscContentsModel::Fetch(TNode &node)
{
    node.Fetched = true;
    ++m_foldersRead;
    const QList<DiscContents::TEntry> entries = DiscContents::Children(m_db, m_discId, node.Entry.Id);
    node.Children.reserve(entries.size());
    for (const DiscContents::TEntry &entry : entries) {
        auto child = std::make_unique<TNode>();
        child->Entry = entry;
        child->Parent = &node;
        child->Row = int(node.Children.size());
        node.Children.push_back(std::move(child));
    }
}

TDiscContentsModel::TNode *TDiscContentsModel::NodeOf(const QModelIndex &index) const
{
    return index.isValid() ? static_cast<TNode *>(index.internalPointer()) : m_root.get();
}

const DiscContents::TEntry *TDiscContentsModel::EntryAt(const QModelIndex &index) const
{
    return index.isValid() ? &NodeOf(index)->Entry : nullptr;
}

QModelIndex TDiscContentsModel::index(int row, int column, const QModelIndex &parent) const
{
    const TNode *node = NodeOf(parent);
    if (row < 0 || column < 0 || column >= ColumnCount || row >= int(node->Children.size()))
        return {};
    return createIndex(row, column, node->Children[size_t(row)].get());
}

QModelIndex TDiscContentsModel::parent(const QModelIndex &child) const
{
    const TNode *node = NodeOf(child);
    if (!child.isValid() || node->Parent == m_root.get())
        return {};
    return createIndex(node->Parent->Row, 0, node->Parent);
}

int TDiscContentsModel::rowCount(const QModelIndex &parent) const
{
    if (parent.column() > 0)
        return 0;
    return int(NodeOf(parent)->Children.size());
}

int TDiscContentsModel::columnCount(const QModelIndex &) const
{
    return ColumnCount;
}

bool TDiscContentsModel::hasChildren(const QModelIndex &parent) const
{
    if (parent.column() > 0)
        return false;
    const TNode *node = NodeOf(parent);
    return node->Fetched ? !node->Children.empty() : node->Entry.HasChildren;
}

bool TDiscContentsModel::canFetchMore(const QModelIndex &parent) const
{
    const TNode *node = NodeOf(parent);
    return !node->Fetched && node->Entry.HasChildren;
}

void TDiscContentsModel::fetchMore(const QModelIndex &parent)
{
    TNode *node = NodeOf(parent);
    if (node->Fetched)
        return;
    const QList<DiscContents::TEntry> entries = DiscContents::Children(m_db, m_discId, node->Entry.Id);
    node->Fetched = true;
    ++m_foldersRead;
    if (entries.isEmpty())
        return;
    beginInsertRows(parent, 0, int(entries.size()) - 1);
    for (const DiscContents::TEntry &entry : entries) {
        auto child = std::make_unique<TNode>();
        child->Entry = entry;
        child->Parent = node;
        child->Row = int(node->Children.size());
        node->Children.push_back(std::move(child));
    }
    endInsertRows();
}

QVariant TDiscContentsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const DiscContents::TEntry &entry = NodeOf(index)->Entry;
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case NameColumn:
            return entry.Name;
        case SizeColumn:
            if (entry.Unreadable)
                return QStringLiteral("无法读取");
            if (entry.Kind == TKind::Link)
                return QStringLiteral("链接");
            return entry.Kind == TKind::File ? ContentsText::SizeText(entry.Size) : QString();
        case DayColumn:
            return ContentsText::DayText(entry.MTime);
        default:
            return {};
        }
    }
    if (role == Qt::DecorationRole && index.column() == NameColumn) {
        const QStyle::StandardPixmap icon = entry.Kind == TKind::Folder ? QStyle::SP_DirIcon
                                            : entry.Kind == TKind::Link ? QStyle::SP_FileLinkIcon
                                                                        : QStyle::SP_FileIcon;
        return QApplication::style()->standardIcon(icon);
    }
    if (role == Qt::TextAlignmentRole && index.column() == SizeColumn)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::ToolTipRole && entry.Kind == TKind::File)
        return QStringLiteral("%1 字节").arg(QLocale().toString(entry.Size));
    return {};
}

QVariant TDiscContentsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case NameColumn:
        return QStringLiteral("名称");
    case SizeColumn:
        return QStringLiteral("大小");
    case DayColumn:
        return QStringLiteral("修改日期");
    default:
        return {};
    }
}
