#include "toolkit/TreeListModel.h"

#include "store/engine/DAODataset.h"
#include "toolkit/TreeShape.h"

#include <QLocale>

#include <algorithm>
#include <optional>

struct TTreeListModel::Node
{
    int key = 0;
    int parentKey = 0;
    TBookmark bookmark = 0; // rises with the query's order
    QString name;
    std::optional<QCollatorSortKey> sortKey;
    QStringList texts; // per column
    Node *parent = nullptr;
    int row = 0;     // among the parent's children
    size_t slot = 0; // in m_nodes
    std::vector<Node *> children;
};

namespace {

// Holds the model's "applying a change" state for one handler.
class UpdatingScope
{
public:
    explicit UpdatingScope(int &counter)
        : m_counter(counter)
    {
        ++m_counter;
    }
    ~UpdatingScope() { --m_counter; }
    UpdatingScope(const UpdatingScope &) = delete;
    UpdatingScope &operator=(const UpdatingScope &) = delete;

private:
    int &m_counter;
};

int FieldIndex(TDAODataset &dataset, const QString &name)
{
    if (name.isEmpty())
        return -1;
    const TDAOField *field = dataset.FindField(name);
    return field ? field->Index() : -1;
}

} // namespace

TTreeListModel::TTreeListModel(QObject *parent)
    : QAbstractItemModel(parent)
    , m_collator(QLocale(QLocale::Chinese, QLocale::China))
    , m_root(std::make_unique<Node>())
{
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    m_collator.setNumericMode(true);
}

TTreeListModel::~TTreeListModel()
{
    Detach();
}

void TTreeListModel::SetFields(const QString &keyField, const QString &parentField, const QString &nameField)
{
    m_keyField = keyField;
    m_parentField = parentField;
    m_nameField = nameField;
    ResetNow();
}

void TTreeListModel::SetColumns(const QList<TTreeColumn> &columns)
{
    m_columns = columns;
    ResetNow();
}

int TTreeListModel::NameColumn() const
{
    for (int c = 0; c < m_columns.size(); ++c)
        if (m_columns[c].FieldName.compare(m_nameField, Qt::CaseInsensitive) == 0)
            return c;
    return 0;
}

void TTreeListModel::SetDataSet(TDAODataset *dataset)
{
    if (dataset == m_dataset)
        return;
    Detach();
    m_dataset = dataset;
    Attach();
    ResetNow();
}

void TTreeListModel::SetCollator(const QCollator &collator)
{
    m_collator = collator;
    ResetNow();
}

void TTreeListModel::SetStateImages(const QList<QIcon> &images)
{
    m_stateImages = images;
    if (!m_nodes.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {Qt::DecorationRole});
}

void TTreeListModel::Attach()
{
    if (!m_dataset)
        return;
    TDAODataset *ds = m_dataset;
    m_connections << connect(ds, &TDAODataset::aboutToReset, this, &TTreeListModel::DataSetAboutToReset)
                  << connect(ds, &TDAODataset::resetDone, this, &TTreeListModel::DataSetReset)
                  << connect(ds, &TDAODataset::rowInserted, this, &TTreeListModel::RowInserted)
                  << connect(ds, &TDAODataset::rowAboutToBeRemoved, this, &TTreeListModel::RowAboutToBeRemoved)
                  << connect(ds, &TDAODataset::rowRemoved, this, &TTreeListModel::RowRemoved)
                  << connect(ds, &TDAODataset::rowChanged, this, &TTreeListModel::RowChanged)
                  // The rows written while the controls were suspended are
                  // not known one by one: read them all, when there were any.
                  << connect(ds, &TDAODataset::controlsResumed, this,
                             [this, ds] {
                                 if (ds->ChangedWhileSuspended())
                                     ResetNow();
                             })
                  << connect(ds, &QObject::destroyed, this, &TTreeListModel::ResetNow);
}

void TTreeListModel::Detach()
{
    for (const auto &connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
}

std::unique_ptr<TTreeListModel::Node> TTreeListModel::ReadNode(int row) const
{
    auto node = std::make_unique<Node>();
    node->key = m_dataset->ValueAt(row, m_keyIndex).toInt();
    node->parentKey = m_dataset->ValueAt(row, m_parentIndex).toInt();
    node->bookmark = m_dataset->BookmarkAt(row);
    if (m_nameIndex >= 0)
        node->name = m_dataset->ValueAt(row, m_nameIndex).toString();
    node->sortKey = m_collator.sortKey(node->name);
    node->texts.reserve(qsizetype(m_columnFields.size()));
    for (int field : m_columnFields)
        node->texts << (field >= 0 ? m_dataset->TextAt(row, field) : QString());
    return node;
}

bool TTreeListModel::LessThan(const Node *a, const Node *b) const
{
    const int order = a->sortKey->compare(*b->sortKey);
    if (order != 0)
        return order < 0;
    return a->bookmark < b->bookmark;
}

void TTreeListModel::Rebuild()
{
    m_root = std::make_unique<Node>();
    m_nodes.clear();
    m_byKey.clear();
    m_byBookmark.clear();
    m_duplicateKeys = false;
    m_columnFields.clear();
    if (!m_dataset || !m_dataset->Active())
        return;
    m_keyIndex = FieldIndex(*m_dataset, m_keyField);
    m_parentIndex = FieldIndex(*m_dataset, m_parentField);
    m_nameIndex = FieldIndex(*m_dataset, m_nameField);
    if (m_keyIndex < 0 || m_parentIndex < 0)
        return;
    for (const TTreeColumn &column : std::as_const(m_columns))
        m_columnFields.push_back(FieldIndex(*m_dataset, column.FieldName));

    const int count = m_dataset->RowCount();
    m_nodes.reserve(size_t(count));
    m_byKey.reserve(count);
    m_byBookmark.reserve(count);
    for (int row = 0; row < count; ++row) {
        auto node = ReadNode(row);
        node->slot = size_t(row);
        if (m_byKey.contains(node->key))
            m_duplicateKeys = true;
        else
            m_byKey.insert(node->key, node.get());
        m_byBookmark.insert(node->bookmark, node.get());
        m_nodes.push_back(std::move(node));
    }

    std::vector<int> parentOf(size_t(count), -1);
    for (int i = 0; i < count; ++i) {
        const Node *parent = m_byKey.value(m_nodes[size_t(i)]->parentKey);
        if (parent && parent->slot != size_t(i))
            parentOf[size_t(i)] = int(parent->slot);
    }
    // Cycles cut at their last row in the query's order, chains cut below
    // the deepest level a view can show.
    TreeShape::CutCyclesAndDepth(parentOf);

    for (int i = 0; i < count; ++i) {
        Node *node = m_nodes[size_t(i)].get();
        Node *parent = parentOf[size_t(i)] >= 0 ? m_nodes[size_t(parentOf[size_t(i)])].get() : m_root.get();
        node->parent = parent;
        parent->children.push_back(node);
    }
    auto sortChildren = [this](Node *parent) {
        std::sort(parent->children.begin(), parent->children.end(),
                  [this](const Node *a, const Node *b) { return LessThan(a, b); });
        Renumber(parent, 0);
    };
    sortChildren(m_root.get());
    for (const auto &node : m_nodes)
        if (!node->children.empty())
            sortChildren(node.get());
}

void TTreeListModel::ResetNow()
{
    UpdatingScope scope(m_updating);
    const bool outer = !m_resetting;
    if (outer)
        beginResetModel();
    Rebuild();
    if (outer) {
        endResetModel();
        emit NodeCountChanged(NodeCount());
    }
}

void TTreeListModel::Renumber(Node *parent, int from)
{
    for (size_t i = size_t(from); i < parent->children.size(); ++i)
        parent->children[i]->row = int(i);
}

void TTreeListModel::TakeChild(Node *node)
{
    Node *parent = node->parent;
    parent->children.erase(parent->children.begin() + node->row);
    Renumber(parent, node->row);
    node->parent = nullptr;
}

void TTreeListModel::PutChild(Node *parent, Node *node, int position)
{
    parent->children.insert(parent->children.begin() + position, node);
    node->parent = parent;
    Renumber(parent, position);
}

// Where node goes among parent's children, not counting node itself.
int TTreeListModel::SortedPosition(const Node *parent, const Node *node) const
{
    const auto &children = parent->children;
    const int skip = node->parent == parent ? node->row : -1;
    int low = 0;
    int high = int(children.size()) - (skip >= 0 ? 1 : 0);
    while (low < high) {
        const int mid = (low + high) / 2;
        const Node *other = children[size_t(skip >= 0 && mid >= skip ? mid + 1 : mid)];
        if (LessThan(other, node))
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

// The parent a node is shown under: the node its parent key names, unless
// that is missing or lies in the node's own subtree.
TTreeListModel::Node *TTreeListModel::ShownParent(Node *node) const
{
    Node *parent = m_byKey.value(node->parentKey);
    if (!parent)
        return m_root.get();
    for (const Node *p = parent; p && p != m_root.get(); p = p->parent)
        if (p == node)
            return m_root.get();
    return parent;
}

// After a change applied row by row, the tree must still be what a rebuild
// would give: that holds unless some top-level node names a parent that
// exists (a new parent for an orphan, a cycle made or broken), or keys repeat.
bool TTreeListModel::NeedsRebuild() const
{
    if (m_duplicateKeys)
        return true;
    for (const Node *top : m_root->children) {
        const Node *parent = m_byKey.value(top->parentKey);
        if (parent && parent != top)
            return true;
    }
    return false;
}

void TTreeListModel::StateChanged(Node *parent)
{
    if (parent == m_root.get())
        return;
    const QModelIndex at = IndexOfNode(parent, NameColumn());
    emit dataChanged(at, at, {Qt::DecorationRole});
}

void TTreeListModel::RemoveNode(Node *node)
{
    if (m_byKey.value(node->key) == node)
        m_byKey.remove(node->key);
    m_byBookmark.remove(node->bookmark);
    const size_t slot = node->slot;
    if (slot + 1 != m_nodes.size()) {
        std::swap(m_nodes[slot], m_nodes.back());
        m_nodes[slot]->slot = slot;
    }
    m_nodes.pop_back();
}

void TTreeListModel::DataSetAboutToReset()
{
    if (m_resetting)
        return;
    ++m_updating;
    m_resetting = true;
    beginResetModel();
}

void TTreeListModel::DataSetReset()
{
    if (!m_resetting)
        return;
    Rebuild();
    m_resetting = false;
    endResetModel();
    --m_updating;
    emit NodeCountChanged(NodeCount());
}

void TTreeListModel::RowInserted(int row)
{
    if (m_resetting || !m_dataset || m_keyIndex < 0 || m_parentIndex < 0)
        return;
    UpdatingScope scope(m_updating);
    auto owned = ReadNode(row);
    if (m_byKey.contains(owned->key)) {
        ResetNow();
        return;
    }
    Node *node = owned.get();
    Node *parent = m_byKey.value(node->parentKey, m_root.get());
    if (parent != m_root.get() && Depth(parent) + 1 > TreeShape::MaxDepth) {
        ResetNow();
        return;
    }
    const int position = SortedPosition(parent, node);
    beginInsertRows(IndexOfNode(parent), position, position);
    node->slot = m_nodes.size();
    m_byKey.insert(node->key, node);
    m_byBookmark.insert(node->bookmark, node);
    m_nodes.push_back(std::move(owned));
    PutChild(parent, node, position);
    endInsertRows();
    if (parent->children.size() == 1)
        StateChanged(parent);
    emit NodeCountChanged(NodeCount());
    if (NeedsRebuild())
        ResetNow();
}

void TTreeListModel::RowAboutToBeRemoved(int row)
{
    if (m_resetting || !m_dataset)
        return;
    UpdatingScope scope(m_updating);
    Node *node = m_byBookmark.value(m_dataset->BookmarkAt(row));
    if (!node)
        return;
    if (!node->children.empty() || m_duplicateKeys) {
        // Its children move to the top level: read the tree again once the
        // row is gone.
        ++m_updating;
        m_resetting = true;
        m_rebuildOnRemoved = true;
        beginResetModel();
        return;
    }
    Node *parent = node->parent;
    beginRemoveRows(IndexOfNode(parent), node->row, node->row);
    TakeChild(node);
    RemoveNode(node);
    endRemoveRows();
    if (parent->children.empty())
        StateChanged(parent);
    emit NodeCountChanged(NodeCount());
}

void TTreeListModel::RowRemoved(int)
{
    if (!m_rebuildOnRemoved)
        return;
    m_rebuildOnRemoved = false;
    Rebuild();
    m_resetting = false;
    endResetModel();
    --m_updating;
    emit NodeCountChanged(NodeCount());
}

void TTreeListModel::RowChanged(int row)
{
    if (m_resetting || !m_dataset || m_keyIndex < 0 || m_parentIndex < 0)
        return;
    UpdatingScope scope(m_updating);
    Node *node = m_byBookmark.value(m_dataset->BookmarkAt(row));
    auto fresh = ReadNode(row);
    if (!node || fresh->key != node->key) {
        ResetNow();
        return;
    }
    node->parentKey = fresh->parentKey;
    node->name = std::move(fresh->name);
    node->sortKey = std::move(fresh->sortKey);
    node->texts = std::move(fresh->texts);

    Node *oldParent = node->parent;
    Node *newParent = ShownParent(node);
    const int oldRow = node->row;
    const int position = SortedPosition(newParent, node);
    const bool sameParent = newParent == oldParent;
    if (!sameParent || position != oldRow) {
        // Qt counts the destination before the node leaves its place.
        const int destination = sameParent && position > oldRow ? position + 1 : position;
        if (beginMoveRows(IndexOfNode(oldParent), oldRow, oldRow, IndexOfNode(newParent), destination)) {
            TakeChild(node);
            PutChild(newParent, node, position);
            endMoveRows();
        }
    }
    emit dataChanged(IndexOfNode(node, 0), IndexOfNode(node, columnCount() - 1));
    if (!sameParent && Depth(node) + Height(node) > TreeShape::MaxDepth) {
        ResetNow();
        return;
    }
    if (!sameParent) {
        if (oldParent->children.empty())
            StateChanged(oldParent);
        if (newParent->children.size() == 1)
            StateChanged(newParent);
    }
    if (NeedsRebuild())
        ResetNow();
}

TTreeListModel::Node *TTreeListModel::NodeOf(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    return static_cast<Node *>(index.internalPointer());
}

QModelIndex TTreeListModel::IndexOfNode(const Node *node, int column) const
{
    if (!node || node == m_root.get() || column < 0 || column >= columnCount())
        return {};
    return createIndex(node->row, column, const_cast<Node *>(node));
}

QModelIndex TTreeListModel::IndexOfKey(int key, int column) const
{
    return IndexOfNode(m_byKey.value(key), column);
}

QModelIndex TTreeListModel::IndexOfBookmark(TBookmark bookmark, int column) const
{
    return IndexOfNode(m_byBookmark.value(bookmark), column);
}

int TTreeListModel::KeyOf(const QModelIndex &index) const
{
    const Node *node = NodeOf(index);
    return node ? node->key : 0;
}

int TTreeListModel::LevelOf(const QModelIndex &index) const
{
    const Node *node = NodeOf(index);
    return node ? Depth(node) : -1;
}

int TTreeListModel::Depth(const Node *node) const
{
    int level = 0;
    for (const Node *p = node->parent; p && p != m_root.get(); p = p->parent)
        ++level;
    return level;
}

// Levels below node, without recursion.
int TTreeListModel::Height(const Node *node) const
{
    int height = 0;
    std::vector<std::pair<const Node *, int>> pending{{node, 0}};
    while (!pending.empty()) {
        const auto [current, level] = pending.back();
        pending.pop_back();
        height = std::max(height, level);
        for (const Node *child : current->children)
            pending.push_back({child, level + 1});
    }
    return height;
}

bool TTreeListModel::IsInSubtree(const QModelIndex &node, const QModelIndex &ancestor) const
{
    const Node *target = NodeOf(ancestor);
    if (!target)
        return false;
    for (const Node *p = NodeOf(node); p && p != m_root.get(); p = p->parent)
        if (p == target)
            return true;
    return false;
}

QModelIndex TTreeListModel::index(int row, int column, const QModelIndex &parent) const
{
    if (row < 0 || column < 0 || column >= columnCount() || parent.column() > 0)
        return {};
    const Node *p = parent.isValid() ? NodeOf(parent) : m_root.get();
    if (!p || row >= int(p->children.size()))
        return {};
    return createIndex(row, column, p->children[size_t(row)]);
}

QModelIndex TTreeListModel::parent(const QModelIndex &child) const
{
    const Node *node = NodeOf(child);
    if (!node)
        return {};
    return IndexOfNode(node->parent);
}

int TTreeListModel::rowCount(const QModelIndex &parent) const
{
    if (parent.column() > 0)
        return 0;
    const Node *p = parent.isValid() ? NodeOf(parent) : m_root.get();
    return p ? int(p->children.size()) : 0;
}

int TTreeListModel::columnCount(const QModelIndex &) const
{
    return int(m_columns.size());
}

QVariant TTreeListModel::data(const QModelIndex &index, int role) const
{
    const Node *node = NodeOf(index);
    if (!node || index.column() >= columnCount())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return node->texts.value(index.column());
    case Qt::DecorationRole:
        if (index.column() == NameColumn() && StateIndex) {
            const int state = StateIndex(index);
            if (state >= 0 && state < m_stateImages.size())
                return m_stateImages[state];
        }
        return {};
    case Qt::TextAlignmentRole:
        return int(m_columns[index.column()].Alignment);
    case KeyRole:
        return node->key;
    case ParentKeyRole:
        return node->parentKey;
    case BookmarkRole:
        return QVariant::fromValue(node->bookmark);
    case NameRole:
        return node->name;
    case LevelRole:
        return LevelOf(index);
    default:
        return {};
    }
}

QVariant TTreeListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && section >= 0 && section < columnCount() && role == Qt::DisplayRole)
        return m_columns[section].Caption;
    return QAbstractItemModel::headerData(section, orientation, role);
}

Qt::ItemFlags TTreeListModel::flags(const QModelIndex &index) const
{
    if (!NodeOf(index))
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}
