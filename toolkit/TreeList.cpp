#include "toolkit/TreeList.h"
#include "toolkit/TreeListFooter.h"
#include "toolkit/TreeListView.h"

#include "store/engine/DAODataset.h"
#include "toolkit/CommandGuard.h"

#include <QDataStream>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPersistentModelIndex>
#include <QScrollBar>
#include <QSettings>
#include <QStyle>
#include <QStyleOption>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

TTreeList::TTreeList(QWidget *parent)
    : QWidget(parent)
    , m_model(new TTreeListModel(this))
    , m_view(new TreeView(this))
    , m_footer(new Footer(this))
{
    m_view->setObjectName(QStringLiteral("view"));
    m_view->setModel(m_model);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setUniformRowHeights(true);
    m_view->setAllColumnsShowFocus(true);
    m_view->setIndentation(16);
    m_view->setIconSize(QSize(16, 16));
    m_view->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    m_view->setDragEnabled(true);
    m_view->setAcceptDrops(true);
    m_view->setDragDropMode(QAbstractItemView::DragDrop);
    m_view->setDropIndicatorShown(false);
    // The view's own scrolling and opening during a drag are replaced by the
    // tree list's.
    m_view->setAutoScroll(false);
    m_view->setAutoExpandDelay(-1);
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    QHeaderView *header = m_view->header();
    header->setDefaultAlignment(Qt::AlignCenter);
    header->setSectionsClickable(false);
    header->setSortIndicatorShown(true);
    header->setStretchLastSection(true);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_footer);
    m_footer->hide();

    m_model->StateIndex = [this](const QModelIndex &node) {
        return OnGetStateIndex ? OnGetStateIndex(FirstColumn(node)) : -1;
    };
    connect(m_model, &TTreeListModel::NodeCountChanged, m_footer, qOverload<>(&QWidget::update));
    connect(header, &QHeaderView::sectionResized, m_footer, qOverload<>(&QWidget::update));
    connect(header, &QHeaderView::geometriesChanged, m_footer, qOverload<>(&QWidget::update));
    connect(m_view->horizontalScrollBar(), &QScrollBar::valueChanged, m_footer, qOverload<>(&QWidget::update));

    // The focus and the query's cursor follow each other.
    connect(m_view->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) { MoveCursorTo(FirstColumn(current)); });
    connect(m_view, &QTreeView::expanded, this, [this](const QModelIndex &index) {
        if (!m_restoring)
            m_expandedKeys.insert(KeyOf(index));
    });
    connect(m_view, &QTreeView::collapsed, this, [this](const QModelIndex &index) {
        if (!m_restoring)
            m_expandedKeys.remove(KeyOf(index));
    });
    // Connected after the view's own handling of the reset.
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        RestoreExpanded();
        FollowCursor();
    });

    connect(m_view, &QAbstractItemView::clicked, this, &TTreeList::Clicked);
    connect(m_view, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { emit ContextMenuRequested(m_view->viewport()->mapToGlobal(pos)); });
}

TTreeList::~TTreeList() = default;

QTreeView *TTreeList::View() const
{
    return m_view;
}

void TTreeList::SetDataSet(TDAODataset *dataset, const QString &keyField, const QString &parentField,
                           const QString &nameField)
{
    if (TDAODataset *old = DataSet())
        disconnect(old, nullptr, this, nullptr);
    m_model->SetFields(keyField, parentField, nameField);
    m_model->SetDataSet(dataset);
    if (dataset)
        connect(dataset, &TDAODataset::currentRowChanged, this, &TTreeList::FollowCursor);
    ApplyColumns();
}

TDAODataset *TTreeList::DataSet() const
{
    return m_model->DataSet();
}

void TTreeList::SetColumns(const QList<TTreeColumn> &columns)
{
    m_columns = columns;
    m_model->SetColumns(columns);
    ApplyColumns();
    for (int c = 0; c < m_columns.size(); ++c)
        m_view->header()->resizeSection(c, m_columns[c].Width);
}

void TTreeList::ApplyColumns()
{
    QHeaderView *header = m_view->header();
    bool footers = false;
    for (int c = 0; c < m_columns.size(); ++c) {
        header->setSectionHidden(c, !m_columns[c].Visible);
        footers = footers || !m_columns[c].FooterFormat.isEmpty();
    }
    const int nameColumn = m_model->NameColumn();
    m_view->setTreePosition(nameColumn);
    header->setSortIndicator(nameColumn, Qt::AscendingOrder);
    m_footer->setVisible(footers);
    m_footer->update();
}

void TTreeList::SetStateImages(const QList<QIcon> &images)
{
    m_model->SetStateImages(images);
}

QIcon TTreeList::FolderImage(bool plus)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor edge(0xB0, 0x80, 0x10);
    painter.setPen(QPen(edge, 1));
    painter.setBrush(QColor(0xE8, 0xB8, 0x30));
    painter.drawRoundedRect(QRectF(1.5, 2.5, 6, 3), 1, 1); // the tab
    painter.drawRect(QRectF(1.5, 4.5, 13, 9));             // the back
    painter.setBrush(QColor(0xFF, 0xD8, 0x58));
    painter.drawRect(QRectF(1.5, 6.5, 13, 7)); // the front
    if (plus) {
        painter.setPen(QPen(QColor(0x10, 0x70, 0x10), 2));
        painter.drawLine(QPointF(10, 7.5), QPointF(10, 12.5));
        painter.drawLine(QPointF(7.5, 10), QPointF(12.5, 10));
    }
    painter.end();
    return QIcon(pixmap);
}

QString TTreeList::FooterText(const QString &fieldName) const
{
    for (const TTreeColumn &column : m_columns)
        if (column.FieldName.compare(fieldName, Qt::CaseInsensitive) == 0 && !column.FooterFormat.isEmpty())
            return column.FooterFormat.arg(m_model->NodeCount());
    return {};
}

QModelIndex TTreeList::CurrentNode() const
{
    return FirstColumn(m_view->currentIndex());
}

bool TTreeList::GotoKey(int key)
{
    TDAODataset *dataset = DataSet();
    const QModelIndex node = NodeOfKey(key);
    if (!dataset || !node.isValid())
        return false;
    const int row = dataset->RowOfBookmark(node.data(TTreeListModel::BookmarkRole).value<TBookmark>());
    if (row < 0)
        return false;
    dataset->MoveTo(row);
    return true;
}

QList<int> TTreeList::SelectedKeys() const
{
    QList<int> keys;
    QSet<int> seen;
    for (const QModelIndex &index : m_view->selectionModel()->selectedIndexes()) {
        const int key = KeyOf(index);
        if (!seen.contains(key)) {
            seen.insert(key);
            keys << key;
        }
    }
    return keys;
}

void TTreeList::ClearSelection()
{
    m_view->selectionModel()->clearSelection();
}

void TTreeList::ExpandAll(const QModelIndex &node)
{
    if (!node.isValid())
        return;
    m_view->ScheduleLayout();
    QList<QModelIndex> pending{FirstColumn(node)};
    while (!pending.isEmpty()) {
        const QModelIndex index = pending.takeLast();
        const int children = m_model->rowCount(index);
        if (children == 0)
            continue;
        m_view->expand(index);
        for (int row = 0; row < children; ++row)
            pending << m_model->index(row, 0, index);
    }
}

bool TTreeList::IsExpanded(const QModelIndex &node) const
{
    return m_view->isExpanded(FirstColumn(node));
}

QMimeData *TTreeList::NodesMimeData(const QList<int> &keys, int startKey)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << qint32(startKey) << qint32(keys.size());
    for (int key : keys)
        out << qint32(key);
    auto *mime = new QMimeData;
    mime->setData(QString::fromLatin1(NodesMimeType), bytes);
    return mime;
}

QList<int> TTreeList::DraggedKeys(const QMimeData *mime)
{
    QList<int> keys;
    if (!mime || !mime->hasFormat(QString::fromLatin1(NodesMimeType)))
        return keys;
    QDataStream in(mime->data(QString::fromLatin1(NodesMimeType)));
    qint32 start = 0, count = 0;
    in >> start >> count;
    for (qint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        qint32 key = 0;
        in >> key;
        if (in.status() == QDataStream::Ok)
            keys << key;
    }
    return keys;
}

int TTreeList::DragStartKey(const QMimeData *mime)
{
    if (!mime || !mime->hasFormat(QString::fromLatin1(NodesMimeType)))
        return 0;
    QDataStream in(mime->data(QString::fromLatin1(NodesMimeType)));
    qint32 start = 0;
    in >> start;
    return start;
}

TTreeList::DropZone TTreeList::ZoneAt(const QPoint &viewportPos) const
{
    const QModelIndex node = FirstColumn(m_view->indexAt(viewportPos));
    if (!node.isValid())
        return DropZone::OnRow;
    const int treeStart = m_view->header()->sectionViewportPosition(m_model->NameColumn());
    return viewportPos.x() < treeStart + LevelOf(node) * m_view->indentation() ? DropZone::Indent : DropZone::OnRow;
}

void TTreeList::SaveLayout(QSettings &settings, const QString &key) const
{
    settings.setValue(key + QStringLiteral("/Header"), m_view->header()->saveState());
}

void TTreeList::RestoreLayout(const QSettings &settings, const QString &key)
{
    const QByteArray state = settings.value(key + QStringLiteral("/Header")).toByteArray();
    if (!state.isEmpty())
        m_view->header()->restoreState(state);
    // A stored layout keeps the widths; which columns show is the program's.
    ApplyColumns();
}

// The query's cursor moved: the focus follows, and the node is selected.
void TTreeList::FollowCursor()
{
    TDAODataset *dataset = DataSet();
    if (m_syncing || !dataset || !dataset->Active() || dataset->RowCount() == 0 || dataset->ControlsSuspended())
        return;
    const QModelIndex node = m_model->IndexOfBookmark(dataset->BookmarkAt(dataset->CurrentRow()));
    if (!node.isValid())
        return;
    m_syncing = true;
    m_view->selectionModel()->setCurrentIndex(node, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_view->scrollTo(node);
    m_syncing = false;
}

// The focus moved in the view: the query's cursor follows.
void TTreeList::MoveCursorTo(const QModelIndex &node)
{
    TDAODataset *dataset = DataSet();
    if (m_syncing || m_model->Updating() || !node.isValid() || !dataset || !dataset->Active() ||
        dataset->ControlsSuspended())
        return;
    const int row = dataset->RowOfBookmark(node.data(TTreeListModel::BookmarkRole).value<TBookmark>());
    if (row < 0 || row == dataset->CurrentRow())
        return;
    m_syncing = true;
    RunCommand([&] { dataset->MoveTo(row); });
    m_syncing = false;
}

void TTreeList::RestoreExpanded()
{
    const QSet<int> keys = m_expandedKeys;
    m_expandedKeys.clear();
    m_restoring = true;
    m_view->ScheduleLayout();
    for (int key : keys) {
        const QModelIndex node = NodeOfKey(key);
        if (node.isValid() && m_model->rowCount(node) > 0) {
            m_view->expand(node);
            m_expandedKeys.insert(key);
        }
    }
    m_restoring = false;
}
