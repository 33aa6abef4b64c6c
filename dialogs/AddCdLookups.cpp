#include "dialogs/AddCdLookups.h"

#include "store/catalog/DataModule.h"
#include "store/catalog/DiscList.h"
#include "store/catalog/FolderQueries.h"

QString NextDiscCode()
{
    bool ok = false;
    const int largest = DM->GetFieldValue(LargestDiscIdStatement(), QLatin1String(LargestDiscIdField)).toInt(&ok);
    return ok ? QString::number(largest + 1) : QStringLiteral("1");
}

bool DiscCodeExists(const QString &code, int excludeId)
{
    return DM->HasRecords(DiscsWithCodeStatement(code, excludeId));
}

int LookupOrAddName(TNameTable table, const QString &name)
{
    if (DM->HasRecords(LookupQueries::NamedRows(table, name)))
        return DM->Q1.Field(QStringLiteral("Id")).AsInteger();
    DM->Q1.Append();
    DM->Q1.Field(QStringLiteral("Name")).SetAsString(name);
    DM->Q1.Post();
    return DM->Q1.Field(QStringLiteral("Id")).AsInteger();
}

int LookupOrAddFolder(const QString &name, int parentId)
{
    if (DM->HasRecords(FolderQueries::FoldersNamed(name)))
        return DM->Q1.Field(QStringLiteral("Id")).AsInteger();
    DM->Q1.Append();
    DM->Q1.Field(QStringLiteral("Id1")).SetAsInteger(parentId);
    DM->Q1.Field(QStringLiteral("Name")).SetAsString(name);
    DM->Q1.Post();
    return DM->Q1.Field(QStringLiteral("Id")).AsInteger();
}
