#include "SelDirForm.h"

#include "DataModule.h"
#include "Errors.h"

#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <vector>

namespace {

constexpr int FolderIdRole = Qt::UserRole;

bool IsAncestorOrSelf(const QTreeWidgetItem *candidate, const QTreeWidgetItem *item)
{
    for (const QTreeWidgetItem *p = item; p; p = p->parent())
        if (p == candidate)
            return true;
    return false;
}

void ExpandAll(QTreeWidgetItem *item)
{
    item->setExpanded(true);
    for (int i = 0; i < item->childCount(); ++i)
        ExpandAll(item->child(i));
}

QTreeWidgetItem *FindFolder(QTreeWidgetItem *item, qint32 id)
{
    if (item->data(0, FolderIdRole).toInt() == id)
        return item;
    for (int i = 0; i < item->childCount(); ++i)
        if (QTreeWidgetItem *found = FindFolder(item->child(i), id))
            return found;
    return nullptr;
}

} // namespace

TSelDirFm::TSelDirFm(TDM &dm, QWidget *parent)
    : TEnterFm(parent), m_dm(dm)
{
    setWindowTitle(QStringLiteral("选择查找范围"));
    QScope.SetDatabase(&m_dm.DbBase);

    Label1 = new QLabel(QStringLiteral("选择查找范围："), this);
    tlScope = new QTreeWidget(this);
    tlScope->setObjectName(QStringLiteral("tlScope"));
    tlScope->setColumnCount(1);
    tlScope->setHeaderHidden(true);
    tlScope->setSelectionMode(QAbstractItemView::SingleSelection);
    tlScope->header()->setStretchLastSection(true);
    btnOk = new QPushButton(QStringLiteral("确定"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnCancle = new QPushButton(QStringLiteral("取消"), this);
    btnCancle->setObjectName(QStringLiteral("btnCancle"));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancle);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(tlScope, 1);
    layout->addLayout(buttons);

    setTabOrder(btnOk, btnCancle);
    setTabOrder(btnCancle, tlScope);
    resize(402, 293);

    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancle, &QPushButton::clicked, this, &QDialog::reject);
}

void TSelDirFm::LoadScope()
{
    tlScope->clear();
    TDM::OpenQuery(QScope, QStringLiteral("SELECT * FROM TbTree"));

    // Every folder first, then each under its parent, in the order read.
    struct Row
    {
        qint32 id;
        qint32 parentId;
        QTreeWidgetItem *item;
    };
    std::vector<Row> rows;
    rows.reserve(size_t(QScope.RowCount()));
    QHash<qint32, QTreeWidgetItem *> byId;
    for (QScope.First(); !QScope.AtEnd(); QScope.Next()) {
        auto *item = new QTreeWidgetItem(QStringList{QScope.Field(QStringLiteral("Name")).AsString()});
        const qint32 id = QScope.Field(QStringLiteral("ID")).AsInteger();
        item->setData(0, FolderIdRole, id);
        rows.push_back({id, QScope.Field(QStringLiteral("Id1")).AsInteger(), item});
        byId.insert(id, item);
    }
    QScope.First();

    QList<QTreeWidgetItem *> topLevel;
    for (const Row &row : rows) {
        QTreeWidgetItem *parent = byId.value(row.parentId);
        // A folder whose parents lead back to itself would hang from
        // nothing; it is shown at the top like an orphan.
        if (parent && !IsAncestorOrSelf(row.item, parent))
            parent->addChild(row.item);
        else
            topLevel << row.item;
    }
    tlScope->addTopLevelItems(topLevel);

    if (QTreeWidgetItem *first = tlScope->topLevelItem(0)) {
        ExpandAll(first);
        tlScope->setCurrentItem(first);
    }
}

qint32 TSelDirFm::CurrentFolderId() const
{
    const QTreeWidgetItem *item = tlScope->currentItem();
    return item ? item->data(0, FolderIdRole).toInt() : 0;
}

QTreeWidgetItem *TSelDirFm::ItemOfFolder(qint32 id) const
{
    for (int i = 0; i < tlScope->topLevelItemCount(); ++i)
        if (QTreeWidgetItem *found = FindFolder(tlScope->topLevelItem(i), id))
            return found;
    return nullptr;
}

qint32 ChooseScopeFolder(QWidget *parent)
{
    if (!DM)
        throw EAppError(QStringLiteral("没有打开的光盘夹。"));
    TSelDirFm dlg(*DM, parent);
    dlg.LoadScope();
    if (dlg.exec() != QDialog::Accepted)
        return 0;
    return dlg.CurrentFolderId();
}
