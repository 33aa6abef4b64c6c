#include "browser/CdTreePane.h"

#include "store/catalog/DataModule.h"
#include "store/catalog/DiscStore.h"
#include "store/catalog/FolderQueries.h"
#include "store/catalog/FolderStore.h"
#include "store/catalog/Schema.h"
#include "store/engine/DAODatabase.h"
#include "store/engine/DAOQuery.h"
#include "store/engine/Errors.h"
#include "toolkit/BulkProgress.h"
#include "toolkit/CommandGuard.h"
#include "toolkit/MessageBoxes.h"
#include "toolkit/WaitCursor.h"

#include <QMenu>
#include <QMimeData>
#include <QSet>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

const QString LayoutKey = QStringLiteral("tlCdTree");

} // namespace

TCdTreePane::TCdTreePane(TDAOQuery &folders, QWidget *parent)
    : QWidget(parent)
    , m_folders(&folders)
{
    setObjectName(QStringLiteral("CdTreePane"));
    tlCdTree = new TTreeList(this);
    tlCdTree->setObjectName(QStringLiteral("tlCdTree"));
    TTreeColumn id;
    id.FieldName = id.Caption = QStringLiteral("ID");
    id.Visible = false;
    TTreeColumn parentId;
    parentId.FieldName = parentId.Caption = QStringLiteral("Id1");
    parentId.Visible = false;
    TTreeColumn name;
    name.FieldName = QStringLiteral("Name");
    name.Caption = QStringLiteral("光盘夹目录");
    name.Width = 150;
    name.FooterFormat = QStringLiteral("目录总数：%1");
    tlCdTree->SetColumns({id, parentId, name});
    tlCdTree->SetStateImages({TTreeList::FolderImage(false), TTreeList::FolderImage(true)});
    tlCdTree->OnGetStateIndex = [this](const QModelIndex &node) { return tlCdTreeGetStateIndex(node); };
    tlCdTree->SetDataSet(&folders, QStringLiteral("ID"), QStringLiteral("Id1"), QStringLiteral("Name"));

    pmCdTree = new QMenu(this);
    pmCdTree->setObjectName(QStringLiteral("pmCdTree"));
    pmCdTreeAdd = pmCdTree->addAction(QStringLiteral("添加光盘夹目录"));
    pmCdTreeAdd->setObjectName(QStringLiteral("pmCdTreeAdd"));
    pmCdTreeDel = pmCdTree->addAction(QStringLiteral("删除"));
    pmCdTreeDel->setObjectName(QStringLiteral("pmCdTreeDel"));
    pmCdTreeRen = pmCdTree->addAction(QStringLiteral("重命名"));
    pmCdTreeRen->setObjectName(QStringLiteral("pmCdTreeRen"));
    connect(pmCdTreeAdd, &QAction::triggered, this, Guarded([this] { pmCdTreeAddClick(); }));
    connect(pmCdTreeDel, &QAction::triggered, this, Guarded([this] { pmCdTreeDelClick(); }));
    connect(pmCdTreeRen, &QAction::triggered, this, Guarded([this] { pmCdTreeRenClick(); }));

    connect(tlCdTree, &TTreeList::Clicked, this, Guarded([this] { tlCdTreeClick(); }));
    connect(tlCdTree, &TTreeList::ContextMenuRequested, pmCdTree, [this](const QPoint &at) { pmCdTree->popup(at); });
    tlCdTree->OnDragOver = [this](QObject *source, const QMimeData *mime, const QModelIndex &target, DropZone zone,
                                  bool ctrl) {
        bool accepted = false;
        RunCommand([&] { accepted = tlCdTreeDragOver(source, mime, target, zone, ctrl); });
        return accepted;
    };
    tlCdTree->OnDragDrop = [this](QObject *source, const QMimeData *mime, const QModelIndex &target, DropZone zone,
                                  bool ctrl) {
        RunCommand([&] { tlCdTreeDragDrop(source, mime, target, zone, ctrl); });
    };

    folders.AfterScroll = [this](TDAODataset &) { QCdTreeAfterScroll(); };

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tlCdTree);
    UpdateCdTreeMenu();
}

TCdTreePane::~TCdTreePane()
{
    if (m_folders)
        m_folders->AfterScroll = nullptr;
}

void TCdTreePane::RestoreLayout(const QSettings &settings)
{
    tlCdTree->RestoreLayout(settings, LayoutKey);
}

void TCdTreePane::SaveLayout(QSettings &settings) const
{
    tlCdTree->SaveLayout(settings, LayoutKey);
}

bool TCdTreePane::HasFolders() const
{
    return m_folders && m_folders->Active() && m_folders->RowCount() > 0;
}

int TCdTreePane::CurrentFolderId() const
{
    return HasFolders() ? m_folders->Field(QStringLiteral("ID")).AsInteger() : 0;
}

bool TCdTreePane::LocateFolder(int folderId)
{
    return HasFolders() && m_folders->Locate(QStringLiteral("ID"), folderId);
}

void TCdTreePane::LoadCdTree()
{
    if (!m_folders)
        return;
    TDM::OpenQuery(*m_folders, FolderQueries::AllFolders());
    // The root folder, also when an orphan's name sorts before its own.
    QModelIndex top = tlCdTree->NodeOfKey(Schema::RootFolderId);
    if (!top.isValid() || tlCdTree->LevelOf(top) != 0)
        top = tlCdTree->Model()->index(0, 0);
    tlCdTree->ExpandAll(top);
    // An open without rows raises no after-scroll.
    UpdateCdTreeMenu();
}

void TCdTreePane::tlCdTreeClick()
{
    emit FolderChosen(CurrentFolderId());
}

void TCdTreePane::pmCdTreeAddClick()
{
    if (!m_folders)
        return;
    const int parentId = CurrentFolderId();
    QString name;
    if (!AskFolderName || !AskFolderName(name))
        return;
    // A name wider than the field is cut before the first character that
    // does not fit.
    ShowFolder(FolderStore::AddFolder(Catalog(), parentId, name));
    UpdateCdTreeMenu();
}

void TCdTreePane::pmCdTreeRenClick()
{
    if (!HasFolders())
        return;
    QString name = m_folders->Field(QStringLiteral("Name")).AsString();
    if (!AskFolderName || !AskFolderName(name))
        return;
    const int id = CurrentFolderId();
    FolderStore::RenameFolder(Catalog(), id, name);
    ShowFolder(id);
}

void TCdTreePane::pmCdTreeDelClick()
{
    if (!HasFolders())
        return;
    const int id = m_folders->Field(QStringLiteral("ID")).AsInteger();
    const QString name = m_folders->Field(QStringLiteral("Name")).AsString();
    if (FolderStore::HasDiscs(Catalog(), id)) {
        Msg::Warning(QStringLiteral("目录[%1]不为空，不能删除！").arg(name));
        return;
    }
    if (id == Schema::RootFolderId) {
        Msg::Warning(QStringLiteral("主目录不能删除！"));
        return;
    }
    // Deleting the folder alone would leave its child folders without a
    // parent.
    if (FolderStore::HasSubFolders(Catalog(), id)) {
        Msg::Warning(QStringLiteral("目录[%1]下还有子目录，不能删除！").arg(name));
        return;
    }
    if (!Msg::Confirm(QStringLiteral("真的要删除[%1]目录吗？").arg(name)))
        return;
    const int parentId = m_folders->Field(QStringLiteral("Id1")).AsInteger();
    m_folders->Delete();
    // The parent takes the focus, where it is shown.
    if (parentId != id)
        tlCdTree->GotoKey(parentId);
    UpdateCdTreeMenu();
}

TDAODatabase &TCdTreePane::Catalog() const
{
    if (!m_folders || !m_folders->Database())
        throw EAppError(QStringLiteral("没有打开的光盘夹。"));
    return *m_folders->Database();
}

void TCdTreePane::ShowFolder(int folderId)
{
    TDM::OpenQuery(*m_folders, FolderQueries::AllFolders());
    tlCdTree->GotoKey(folderId);
}

void TCdTreePane::QCdTreeAfterScroll()
{
    UpdateCdTreeMenu();
}

void TCdTreePane::UpdateCdTreeMenu()
{
    const bool any = HasFolders();
    pmCdTreeAdd->setEnabled(true);
    pmCdTreeDel->setEnabled(any);
    pmCdTreeRen->setEnabled(any);
}

int TCdTreePane::tlCdTreeGetStateIndex(const QModelIndex &node) const
{
    if (!node.isValid())
        return 0;
    return tlCdTree->Model()->rowCount(node.siblingAtColumn(0)) > 0 ? 1 : 0;
}

bool TCdTreePane::tlCdTreeDragOver(QObject *source, const QMimeData *mime, const QModelIndex &target, DropZone zone,
                                   bool ctrl) const
{
    if (!target.isValid())
        return false;
    const int targetId = tlCdTree->KeyOf(target);
    if (source == tlCdTree->View() && mime && mime->hasFormat(QString::fromLatin1(TTreeList::NodesMimeType))) {
        // The folder the drag started on must have a parent too.
        const QModelIndex start = tlCdTree->NodeOfKey(TTreeList::DragStartKey(mime));
        if (!start.isValid() || tlCdTree->LevelOf(start) == 0)
            return false;
        return CanDropFolders(targetId, zone, ctrl, TTreeList::DraggedKeys(mime));
    }
    if (IsDiscList && IsDiscList(source))
        return CanDropDiscs(targetId);
    return false;
}

void TCdTreePane::tlCdTreeDragDrop(QObject *source, const QMimeData *mime, const QModelIndex &target, DropZone zone,
                                   bool ctrl)
{
    if (!tlCdTreeDragOver(source, mime, target, zone, ctrl))
        return;
    const int targetId = tlCdTree->KeyOf(target);
    if (source == tlCdTree->View())
        DropFolders(targetId, zone, ctrl, TTreeList::DraggedKeys(mime));
    else
        DropDiscs(targetId);
}

bool TCdTreePane::CanDropDiscs(int targetId) const
{
    const QModelIndex target = tlCdTree->NodeOfKey(targetId);
    return target.isValid() && tlCdTree->LevelOf(target) > 0;
}

void TCdTreePane::DropDiscs(int targetId)
{
    if (!m_folders || !QCd || !CanDropDiscs(targetId))
        return;
    // The target is the current folder: the focus follows the pointer.
    if (CurrentFolderId() != targetId)
        tlCdTree->GotoKey(targetId);
    const QList<TBookmark> discs = SelectedDiscs ? SelectedDiscs() : QList<TBookmark>();
    const TWaitCursor busy;
    TBulkProgress progress(QStringLiteral("正在移动光盘..."), int(discs.size()), this);
    const int folderId = CurrentFolderId();
    {
        // All the discs move, or none does.
        TDAOTransaction work(Catalog());
        for (TBookmark disc : discs) {
            progress.Step();
            const int row = QCd->RowOfBookmark(disc);
            if (row >= 0)
                DiscStore::MoveDisc(Catalog(), QCd->ValueAt(row, QCd->Field(QStringLiteral("ID")).Index()).toInt(),
                                    folderId);
        }
        work.Commit();
    }
    emit DiscsMoved();
    emit FolderChosen(folderId);
}

bool TCdTreePane::CanDropFolders(int targetId, DropZone zone, bool ctrl, const QList<int> &folderIds) const
{
    const QModelIndex target = tlCdTree->NodeOfKey(targetId);
    if (!target.isValid() || folderIds.isEmpty())
        return false;
    // Beside a top-level folder there is no parent to take.
    if (zone == DropZone::Indent && tlCdTree->LevelOf(target) == 0)
        return false;
    for (int id : folderIds) {
        const QModelIndex folder = tlCdTree->NodeOfKey(id);
        if (!folder.isValid() || tlCdTree->LevelOf(folder) == 0)
            return false;
        if (!ctrl && tlCdTree->Model()->IsInSubtree(target, folder))
            return false;
    }
    return true;
}

TCdTreePane::FolderCopy TCdTreePane::Snapshot(const QModelIndex &node) const
{
    const TTreeListModel *model = tlCdTree->Model();
    FolderCopy copy{node.data(TTreeListModel::NameRole).toString(), {}};
    for (int row = 0; row < model->rowCount(node); ++row)
        copy.children << Snapshot(model->index(row, 0, node));
    return copy;
}

void TCdTreePane::WriteCopy(const FolderCopy &folder, int parentId)
{
    // The store gives the new row its ID; the children name it.
    const int id = FolderStore::AddFolder(Catalog(), parentId, folder.name);
    for (const FolderCopy &child : folder.children)
        WriteCopy(child, id);
}

void TCdTreePane::DropFolders(int targetId, DropZone zone, bool ctrl, const QList<int> &folderIds)
{
    if (!m_folders || !CanDropFolders(targetId, zone, ctrl, folderIds))
        return;
    const TTreeListModel *model = tlCdTree->Model();
    const QModelIndex target = tlCdTree->NodeOfKey(targetId);
    const int parentId = zone == DropZone::OnRow ? targetId : tlCdTree->KeyOf(target.parent());
    QList<QModelIndex> folders;
    QSet<int> seen;
    for (int id : folderIds)
        if (!seen.contains(id)) {
            seen.insert(id);
            folders << tlCdTree->NodeOfKey(id);
        }

    // Every folder moves or is copied, or none is.
    TDAOTransaction work(Catalog());
    if (!ctrl) {
        for (const QModelIndex &folder : std::as_const(folders))
            FolderStore::MoveFolder(Catalog(), tlCdTree->KeyOf(folder), parentId);
    } else {
        // A folder below another dragged one comes with that one's copy. The
        // subtrees are taken as they are before the first copy is written,
        // so a copy into its own subtree ends.
        QList<FolderCopy> copies;
        for (const QModelIndex &folder : std::as_const(folders)) {
            bool inside = false;
            for (const QModelIndex &other : std::as_const(folders))
                inside = inside || (other != folder && model->IsInSubtree(folder, other));
            if (!inside)
                copies << Snapshot(folder);
        }
        for (const FolderCopy &copy : std::as_const(copies))
            WriteCopy(copy, parentId);
    }
    work.Commit();
    // The target stays the current folder.
    ShowFolder(targetId);
    tlCdTree->ClearSelection();
}
