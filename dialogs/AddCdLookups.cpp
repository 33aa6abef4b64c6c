#include "AddCdLookups.h"

#include "DataModule.h"
#include "DiscList.h"
#include "FolderQueries.h"
#include "TextBlank.h"

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

QString CleanDiscName(const QString &typed)
{
    QString name = typed;
    name.remove(QChar(u'\0'));
    return name;
}

bool IsBlankName(QStringView name)
{
    for (const char32_t c : name.toUcs4()) {
        if (c <= 0xFFFF && TextBlank::IsSpace(QChar(char16_t(c))))
            continue;
        const QChar::Category category = QChar::category(c);
        if (category == QChar::Other_Control || category == QChar::Other_Format)
            continue;
        // Letters by their class, yet drawn as nothing.
        if (c == 0x115F || c == 0x1160 || c == 0x3164 || c == 0xFFA0)
            continue;
        return false;
    }
    return true;
}
