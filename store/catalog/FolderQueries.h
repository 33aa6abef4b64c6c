#pragma once

#include <QString>

// The statements that read the folder tree (table TbTree: ID, its parent
// Id1, Name). The root folder is Schema::RootFolderId.
namespace FolderQueries {

// Every folder, the root included, as the tree and the folder picker show
// them (the row can be edited and written back).
QString AllFolders();
// One folder's row, for writing it (none for an Id no folder has; a new
// folder is appended to the result of 0).
QString OneFolder(int folderId);
// Id and name of every folder but the root: the folders a disc may go in.
QString FolderChoices();
// Id and parent Id1 of every folder but the root, for walking the tree.
QString FolderParents();
// The name of one folder, as field "Name".
QString FolderName(int folderId);
// Id, Id1 and Name of the folders of this name, the root included.
QString FoldersNamed(const QString &name);
// The discs in one folder (its own, not those of sub-folders).
QString DiscsInFolder(int folderId);
// The folders whose parent is this one (never the folder itself, which the
// root is for itself).
QString SubFolders(int folderId);

} // namespace FolderQueries
