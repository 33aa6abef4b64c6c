#include "store/catalog/DiscList.h"

#include "store/catalog/Schema.h"
#include "store/engine/SqlDialect.h"

QString DiscListStatement()
{
    return QStringLiteral("SELECT A.*,B.Name AS Category,C.Name AS Quality FROM (TbCd AS A LEFT JOIN TbCategory AS B "
                          "ON A.CId=B.Id) LEFT JOIN TbQuality AS C ON A.QId=C.Id");
}

QString FolderDiscListStatement(int folderId)
{
    if (folderId == Schema::RootFolderId)
        return DiscListStatement();
    return DiscListStatement() + QStringLiteral(" WHERE TId=%1").arg(folderId);
}

QString OneDiscStatement(int discId)
{
    return DiscListStatement() + QStringLiteral(" WHERE A.Id=%1").arg(discId);
}

QString DiscListWhereStatement(const QString &condition)
{
    // No condition: every disc, rather than a WHERE with nothing after it.
    if (condition.isEmpty())
        return DiscListStatement();
    return DiscListStatement() + QLatin1String(" WHERE ") + condition;
}

QList<TFieldDef> DiscListFields()
{
    const auto Width = [](const char *table, const char *column) {
        return Schema::TextWidth(QLatin1String(table), QLatin1String(column));
    };
    return {
        {QStringLiteral("ID"), TFieldType::Integer, 0},
        {QStringLiteral("Day"), TFieldType::DateTime, 0},
        {QStringLiteral("Code"), TFieldType::Text, Width("TbCd", "Code")},
        {QStringLiteral("Serial"), TFieldType::Text, Width("TbCd", "Serial")},
        {QStringLiteral("Name"), TFieldType::Text, Width("TbCd", "Name")},
        {QStringLiteral("Spell"), TFieldType::Text, Width("TbCd", "Spell")},
        {QStringLiteral("CId"), TFieldType::Integer, 0},
        {QStringLiteral("Category"), TFieldType::Text, Width("TbCategory", "Name")},
        {QStringLiteral("TId"), TFieldType::Integer, 0},
        {QStringLiteral("QId"), TFieldType::Integer, 0},
        {QStringLiteral("Quality"), TFieldType::Text, Width("TbQuality", "Name")},
        {QStringLiteral("DId"), TFieldType::Integer, 0},
        {QStringLiteral("Price"), TFieldType::Currency, 0},
        {QStringLiteral("Location"), TFieldType::Text, Width("TbCd", "Location")},
        {QStringLiteral("Picture"), TFieldType::Text, Width("TbCd", "Picture")},
        {QStringLiteral("Memo"), TFieldType::Memo, 0},
    };
}

QString QuickPickDiscsStatement()
{
    return QStringLiteral("SELECT Id,Code,Name,Spell FROM TbCd");
}

QString LargestDiscIdStatement()
{
    return QStringLiteral("SELECT Max(Id) As Code FROM TbCd");
}

QString DiscsWithCodeStatement(const QString &code, int excludeId)
{
    // One pass over the placeholders: a typed "%2" stays text.
    return QStringLiteral("SELECT Id FROM TbCd WHERE (Code=%1) and (Id<>%2)")
        .arg(SqlDialect::Quote(code), QString::number(excludeId));
}
