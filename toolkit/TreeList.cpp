#include "TreeList.h"

#include "CommandGuard.h"
#include "DAODataset.h"

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
#include <QStyle>
#include <QStyleOption>
#include <QPersistentModelIndex>
#include <QScrollBar>
#include <QSettings>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

constexpr int HoverExpandMs = 500;
constexpr int ScrollEdge = 12;
constexpr int ScrollStepMs = 100;

const QString LayoutGroup = QStringLiteral("Software/Zentra-SoftWare/Vorlix/");

QModelIndex FirstColumn(const QModelIndex &index)
{
    return index.isValid() ? index.siblingAtColumn(0) : QModelIndex();
}

} // namespace

// The tree's view: tree lines in the grey-text colour, and the drag and drop
// of the tree list.
class TTreeList::TreeView : public QTreeView
{
public:
    explicit TreeView(TTreeList *owner)
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

    // Expanding many nodes one by one is quick only while a layout of all
    // rows is pending anyway.
    void ScheduleLayout() { scheduleDelayedItemsLayout(); }

protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        m_pressed = FirstColumn(indexAt(event->position().toPoint()));
        QTreeView::mousePressEvent(event);
    }

    // A drag of nodes moves nothing by itself: the drop hook decides.
    void startDrag(Qt::DropActions) override
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

    void dragEnterEvent(QDragEnterEvent *event) override
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

    void dragMoveEvent(QDragMoveEvent *event) override { Track(event); }

    void dragLeaveEvent(QDragLeaveEvent *event) override
    {
        StopTracking();
        event->accept();
    }

    void dropEvent(QDropEvent *event) override
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

    void drawBranches(QPainter *painter, const QRect &rect, const QModelIndex &index) const override
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

private:
    // One move of a drag over the tree: the node under the pointer becomes
    // current, a collapsed node opens when the pointer rests on it, the tree
    // scrolls near its edges, and the hook says whether to accept.
    void Track(QDragMoveEvent *event)
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

    bool Accept(QDropEvent *event, const QModelIndex &target, DropZone zone, bool ctrl)
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

    void FollowPointer(const QModelIndex &target)
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

    void ScrollStep()
    {
        QScrollBar *bar = verticalScrollBar();
        bar->setValue(bar->value() + m_scrollDirection * bar->singleStep());
        FollowPointer(FirstColumn(indexAt(m_dragPos)));
    }

    void StopTracking()
    {
        m_scrollTimer.stop();
        m_expandTimer.stop();
        m_hover = QPersistentModelIndex();
    }

    TTreeList *m_owner;
    QPersistentModelIndex m_pressed;
    QPersistentModelIndex m_hover;
    QTimer m_expandTimer;
    QTimer m_scrollTimer;
    QPoint m_dragPos;
    int m_scrollDirection = 0;
};

// The footers under the columns that have one.
class TTreeList::Footer : public QWidget
{
public:
    explicit Footer(TTreeList *owner)
        : QWidget(owner)
        , m_owner(owner)
    {
        setObjectName(QStringLiteral("TreeFooter"));
        setAttribute(Qt::WA_StyledBackground);
        setFixedHeight(fontMetrics().height() + 6);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        // The background as the skin paints it, if any.
        QPainter painter(this);
        QStyleOption option;
        option.initFrom(this);
        style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawLine(0, 0, width(), 0);
        painter.setPen(palette().color(QPalette::WindowText));
        const QHeaderView *header = m_owner->m_view->header();
        const int offset = m_owner->m_view->viewport()->geometry().left();
        for (int c = 0; c < m_owner->m_columns.size(); ++c) {
            const TTreeColumn &column = m_owner->m_columns[c];
            if (column.FooterFormat.isEmpty() || header->isSectionHidden(c))
                continue;
            const QRect cell(offset + header->sectionViewportPosition(c) + 3, 1, header->sectionSize(c) - 6,
                             height() - 1);
            painter.drawText(cell, int(column.Alignment & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter,
                             m_owner->FooterText(column.FieldName));
        }
    }

private:
    TTreeList *m_owner;
};

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

void TTreeList::SaveLayout(const QString &key) const
{
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Zentra-Software"),
                       QStringLiteral("Vorlix"));
    settings.setValue(LayoutGroup + key + QStringLiteral("/Header"), m_view->header()->saveState());
}

void TTreeList::RestoreLayout(const QString &key)
{
    const QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Zentra-Software"),
                             QStringLiteral("Vorlix"));
    const QByteArray state = settings.value(LayoutGroup + key + QStringLiteral("/Header")).toByteArray();
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
