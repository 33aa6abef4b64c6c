#include "store/catalog/LookupQueries.h"

#include "store/engine/SqlDialect.h"

namespace LookupQueries {

namespace {

QLatin1String TableName(TNameTable table)
{
    return table == TNameTable::Category ? QLatin1String("TbCategory") : QLatin1String("TbQuality");
}

// The disc column that refers to the list.
QLatin1String DiscColumn(TNameTable table)
{
    return table == TNameTable::Category ? QLatin1String("CId") : QLatin1String("QId");
}

} // namespace

QString AllNames(TNameTable table)
{
    return QStringLiteral("SELECT * FROM %1").arg(TableName(table));
}

QString OneName(TNameTable table, int id)
{
    return QStringLiteral("SELECT * FROM %1 WHERE Id=%2").arg(TableName(table)).arg(id);
}

QString NameChoices(TNameTable table)
{
    return QStringLiteral("SELECT Id,Name FROM %1").arg(TableName(table));
}

QString NameChoicesWithNone(TNameTable table)
{
    return QStringLiteral("SELECT Id,Name FROM %1 UNION SELECT 0,\"-不选-\" FROM TbSetings").arg(TableName(table));
}

QString NamedRows(TNameTable table, const QString &name)
{
    return QStringLiteral("SELECT Id,Name FROM %1 WHERE Name=%2").arg(TableName(table), SqlDialect::Quote(name));
}

QString NameIds(TNameTable table, const QString &name)
{
    return QStringLiteral("SELECT Id FROM %1 WHERE Name=%2").arg(TableName(table), SqlDialect::Quote(name));
}

QString DiscsUsingName(TNameTable table, int id)
{
    return QStringLiteral("SELECT Id FROM TbCd WHERE %1=%2").arg(DiscColumn(table)).arg(id);
}

QString CatalogVersion()
{
    return QStringLiteral("SELECT Version FROM TbSetings");
}

} // namespace LookupQueries
