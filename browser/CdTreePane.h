#pragma once

#include "store/engine/DAOTypes.h"
#include "toolkit/TreeList.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>

class QAction;
class QMenu;
class QMimeData;
class QSettings;
class TDAODatabase;
class TDAOQuery;

// The folder tree: the tree list over the window's folder query, its context
// menu (add, delete, rename) and the dropping of discs and folders on it.
// The current folder is the folder query's cursor row.
class TCdTreePane : public QWidget
{
    Q_OBJECT

public:
    using DropZone = TTreeList::DropZone;

    // The folder query stays the window's; the pane installs its after-scroll
    // handler. The owner restores and saves the column layout.
    explicit TCdTreePane(TDAOQuery &folders, QWidget *parent = nullptr);
    ~TCdTreePane() override;

    TTreeList *tlCdTree;
    QMenu *pmCdTree;
    QAction *pmCdTreeAdd, *pmCdTreeDel, *pmCdTreeRen;

    // What the tree asks of the rest of the window.
    std::function<bool(QObject *source)> IsDiscList; // whether a drag comes from the disc list
    std::function<QList<TBookmark>()> SelectedDiscs; // the disc list's selection, as bookmarks of QCd
    TDAOQuery *QCd = nullptr;                        // the disc list's query
    // The folder-name question, set by the owner; true with the name when
    // confirmed. Unset, adding and renaming a folder are refused.
    std::function<bool(QString &name)> AskFolderName;

    // The column layout, in the settings group the owner keeps layouts in.
    void RestoreLayout(const QSettings &settings);
    void SaveLayout(QSettings &settings) const;

    // The ID of the current folder, 0 when there is none.
    int CurrentFolderId() const;
    // Makes a folder the current one (the focus follows); false when there
    // is no such folder, and the tree stays as it was.
    bool LocateFolder(int folderId);

    // Reads the folders again and opens the root folder all the way down.
    // The disc list is left alone.
    void LoadCdTree();
    // A click on a folder lists its discs.
    void tlCdTreeClick();
    void pmCdTreeAddClick();
    void pmCdTreeDelClick();
    void pmCdTreeRenClick();
    void QCdTreeAfterScroll();
    void UpdateCdTreeMenu();
    // 1 for a folder with child folders, 0 otherwise.
    int tlCdTreeGetStateIndex(const QModelIndex &node) const;

    // The tree's drop hooks: discs from the disc list, folders from the tree
    // itself. The target is the node under the pointer.
    bool tlCdTreeDragOver(QObject *source, const QMimeData *mime, const QModelIndex &target, DropZone zone,
                          bool ctrl) const;
    void tlCdTreeDragDrop(QObject *source, const QMimeData *mime, const QModelIndex &target, DropZone zone, bool ctrl);

    // The same by folder IDs. Discs go only to a folder that has a parent.
    bool CanDropDiscs(int targetId) const;
    void DropDiscs(int targetId);
    // Folders: none of them at the top level; a move never into one of the
    // dragged folders or below; OnRow makes them children of the target,
    // Indent siblings of it (not beside a top-level folder). With ctrl the
    // folders are copied with everything below them, else moved.
    bool CanDropFolders(int targetId, DropZone zone, bool ctrl, const QList<int> &folderIds) const;
    void DropFolders(int targetId, DropZone zone, bool ctrl, const QList<int> &folderIds);

signals:
    // A folder was clicked or discs were dropped on it: its discs are to be
    // listed (1: every disc).
    void FolderChosen(int folderId);
    // Discs of the disc list's selection moved into another folder.
    void DiscsMoved();

private:
    struct FolderCopy
    {
        QString name;
        QList<FolderCopy> children;
    };
    FolderCopy Snapshot(const QModelIndex &node) const;
    void WriteCopy(const FolderCopy &folder, int parentId);
    bool HasFolders() const;
    // The catalog the folders are read from.
    TDAODatabase &Catalog() const;
    // Reads the folders again after a write, this one current.
    void ShowFolder(int folderId);

    QPointer<TDAOQuery> m_folders;
};
