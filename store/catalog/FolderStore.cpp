#include "store/catalog/FolderStore.h"

#include "store/catalog/FolderQueries.h"
#include "store/catalog/OwnQuery.h"
#include "store/engine/DAODatabase.h"
#include "store/engine/DAOQuery.h"

namespace FolderStore {

namespace {

using OwnQuery::HasRows;
using OwnQuery::OpenOn;

// Sets one field of the folder's row, when the folder is there.
template <typename Set> void EditFolder(TDAODatabase &db, int folderId, Set set)
{
    TDAOQuery query;
    OpenOn(query, db, FolderQueries::OneFolder(folderId));
    if (query.RowCount() == 0)
        return;
    query.Edit();
    set(query);
    query.Post();
}

} // namespace

QList<TFolder> ReadFolders(TDAODatabase &db)
{
    TDAOQuery query;
    OpenOn(query, db, FolderQueries::AllFolders());
    QList<TFolder> folders;
    folders.reserve(query.RowCount());
    for (query.First(); !query.AtEnd(); query.Next())
        folders.append({query.Field(QStringLiteral("ID")).AsInteger(), query.Field(QStringLiteral("Id1")).AsInteger(),
                        query.Field(QStringLiteral("Name")).AsString()});
    return folders;
}

QString FolderName(TDAODatabase &db, int folderId)
{
    TDAOQuery query;
    OpenOn(query, db, FolderQueries::FolderName(folderId));
    return query.RowCount() > 0 ? query.Field(QStringLiteral("Name")).AsString() : QString();
}

bool HasDiscs(TDAODatabase &db, int folderId)
{
    return HasRows(db, FolderQueries::DiscsInFolder(folderId));
}

bool HasSubFolders(TDAODatabase &db, int folderId)
{
    return HasRows(db, FolderQueries::SubFolders(folderId));
}

int AddFolder(TDAODatabase &db, int parentId, const QString &name)
{
    TDAOQuery query;
    OpenOn(query, db, FolderQueries::OneFolder(0));
    query.Append();
    query.Field(QStringLiteral("Id1")).SetAsInteger(parentId);
    query.Field(QStringLiteral("Name")).SetAsString(name);
    query.Post();
    return query.Field(QStringLiteral("ID")).AsInteger();
}

void RenameFolder(TDAODatabase &db, int folderId, const QString &name)
{
    EditFolder(db, folderId, [&](TDAOQuery &row) { row.Field(QStringLiteral("Name")).SetAsString(name); });
}

void MoveFolder(TDAODatabase &db, int folderId, int parentId)
{
    EditFolder(db, folderId, [&](TDAOQuery &row) { row.Field(QStringLiteral("Id1")).SetAsInteger(parentId); });
}

} // namespace FolderStore
