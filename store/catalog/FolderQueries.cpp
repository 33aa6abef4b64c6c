#include "store/catalog/FolderQueries.h"

#include "store/catalog/Schema.h"
#include "store/engine/SqlDialect.h"

namespace FolderQueries {

QString AllFolders()
{
    return QStringLiteral("SELECT * FROM TbTree");
}

QString OneFolder(int folderId)
{
    return QStringLiteral("SELECT * FROM TbTree WHERE Id=%1").arg(folderId);
}

QString FolderChoices()
{
    return QStringLiteral("SELECT Id,Name FROM TbTree WHERE Id<>%1").arg(Schema::RootFolderId);
}

QString FolderParents()
{
    return QStringLiteral("SELECT Id,Id1 FROM TbTree WHERE Id<>%1").arg(Schema::RootFolderId);
}

QString FolderName(int folderId)
{
    return QStringLiteral("SELECT Name FROM TbTree WHERE Id=%1").arg(folderId);
}

QString FoldersNamed(const QString &name)
{
    return QStringLiteral("SELECT Id,Id1,Name FROM TbTree WHERE Name=%1").arg(SqlDialect::Quote(name));
}

QString DiscsInFolder(int folderId)
{
    return QStringLiteral("SELECT Id FROM TbCd WHERE TId=%1").arg(folderId);
}

QString SubFolders(int folderId)
{
    return QStringLiteral("SELECT ID FROM TbTree WHERE Id1=%1 AND ID<>%1").arg(folderId);
}

} // namespace FolderQueries
