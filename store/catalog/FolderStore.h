#pragma once

#include <QList>
#include <QString>

class TDAODatabase;

// The folder tree's reads and writes (table TbTree). Each runs on a query of
// its own over the connection given; engine errors reach the caller. A name
// wider than the column is cut before the first character that does not
// fit, as the tree cuts it.
namespace FolderStore {

struct TFolder
{
    int Id = 0;
    int ParentId = 0; // Id1; none (0) for the root folder
    QString Name;
};

// Every folder, the root included, in the order the catalog hands them out.
QList<TFolder> ReadFolders(TDAODatabase &db);

// The folder's name; empty when there is no such folder.
QString FolderName(TDAODatabase &db, int folderId);

// Whether discs lie in the folder itself / folders lie below it.
bool HasDiscs(TDAODatabase &db, int folderId);
bool HasSubFolders(TDAODatabase &db, int folderId);

// Adds a folder under parentId; returns the Id the catalog gave it.
int AddFolder(TDAODatabase &db, int parentId, const QString &name);
// Renames the folder / hangs it under another parent. A folder that is no
// longer there is left alone.
void RenameFolder(TDAODatabase &db, int folderId, const QString &name);
void MoveFolder(TDAODatabase &db, int folderId, int parentId);

} // namespace FolderStore
