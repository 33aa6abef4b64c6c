#include "dialogs/SelDirForm.h"

#include "store/catalog/DataModule.h"
#include "store/catalog/FolderStore.h"
#include "store/engine/Errors.h"
#include "toolkit/TreeShape.h"

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

// Every item below item (itself included), without recursion: a chain of
// folders may be deep.
template <typename F> void ForEachItem(QTreeWidgetItem *item, F visit)
{
    std::vector<QTreeWidgetItem *> pending{item};
    while (!pending.empty()) {
        QTreeWidgetItem *current = pending.back();
        pending.pop_back();
        if (!visit(current))
            return;
        for (int i = current->childCount(); i-- > 0;)
            pending.push_back(current->child(i));
    }
}

} // namespace

TSelDirFm::TSelDirFm(TDM &dm, QWidget *parent)
    : TEnterFm(parent)
    , m_dm(dm)
{
    setWindowTitle(QStringLiteral("选择查找范围"));

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
    const QList<FolderStore::TFolder> folders = FolderStore::ReadFolders(m_dm.DbBase);

    // Every folder first, then each under its parent, in the order read.
    struct Row
    {
        qint32 id;
        qint32 parentId;
        QTreeWidgetItem *item;
    };
    std::vector<Row> rows;
    rows.reserve(size_t(folders.size()));
    for (const FolderStore::TFolder &folder : folders) {
        auto *item = new QTreeWidgetItem(QStringList{folder.Name});
        item->setData(0, FolderIdRole, folder.Id);
        rows.push_back({folder.Id, folder.ParentId, item});
    }

    // A folder whose parents lead back to itself would hang from nothing,
    // and one below the deepest level a view can show would take the view
    // down: both are shown at the top like an orphan.
    QHash<qint32, int> rowOfId;
    for (size_t i = 0; i < rows.size(); ++i)
        rowOfId.insert(rows[i].id, int(i));
    std::vector<int> parentOf(rows.size(), -1);
    for (size_t i = 0; i < rows.size(); ++i)
        parentOf[i] = rowOfId.value(rows[i].parentId, -1);
    TreeShape::CutCyclesAndDepth(parentOf);
    QList<QTreeWidgetItem *> topLevel;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (parentOf[i] >= 0 && size_t(parentOf[i]) != i)
            rows[size_t(parentOf[i])].item->addChild(rows[i].item);
        else
            topLevel << rows[i].item;
    }
    tlScope->addTopLevelItems(topLevel);

    if (QTreeWidgetItem *first = tlScope->topLevelItem(0)) {
        ForEachItem(first, [](QTreeWidgetItem *item) {
            item->setExpanded(true);
            return true;
        });
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
    QTreeWidgetItem *found = nullptr;
    for (int i = 0; i < tlScope->topLevelItemCount() && !found; ++i)
        ForEachItem(tlScope->topLevelItem(i), [&](QTreeWidgetItem *item) {
            if (item->data(0, FolderIdRole).toInt() == id)
                found = item;
            return !found;
        });
    return found;
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
