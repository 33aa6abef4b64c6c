#include "AddCdLookups.h"

#include "DataModule.h"
#include "SqlDialect.h"

using SqlDialect::Quote;

QString NextDiscCode()
{
    bool ok = false;
    const int largest =
        DM->GetFieldValue(QStringLiteral("SELECT Max(Id) As Code FROM TbCd"), QStringLiteral("Code")).toInt(&ok);
    return ok ? QString::number(largest + 1) : QStringLiteral("1");
}

bool DiscCodeExists(const QString &code, int excludeId)
{
    // One pass over the placeholders: a typed "%2" stays text.
    return DM->HasRecords(QStringLiteral("SELECT Id FROM TbCd WHERE (Code=%1) and (Id<>%2)")
                              .arg(Quote(code), QString::number(excludeId)));
}

int LookupOrAddName(TNameTable table, const QString &name)
{
    const QString tableName =
        table == TNameTable::Category ? QStringLiteral("TbCategory") : QStringLiteral("TbQuality");
    if (DM->HasRecords(QStringLiteral("SELECT Id,Name FROM %1 WHERE Name=%2").arg(tableName, Quote(name))))
        return DM->Q1.Field(QStringLiteral("Id")).AsInteger();
    DM->Q1.Append();
    DM->Q1.Field(QStringLiteral("Name")).SetAsString(name);
    DM->Q1.Post();
    return DM->Q1.Field(QStringLiteral("Id")).AsInteger();
}

int LookupOrAddFolder(const QString &name, int parentId)
{
    if (DM->HasRecords(QStringLiteral("SELECT Id,Id1,Name FROM TbTree WHERE Name=%1").arg(Quote(name))))
        return DM->Q1.Field(QStringLiteral("Id")).AsInteger();
    DM->Q1.Append();
    DM->Q1.Field(QStringLiteral("Id1")).SetAsInteger(parentId);
    DM->Q1.Field(QStringLiteral("Name")).SetAsString(name);
    DM->Q1.Post();
    return DM->Q1.Field(QStringLiteral("Id")).AsInteger();
}
