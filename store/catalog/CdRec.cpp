#include "store/catalog/CdRec.h"

#include "store/engine/DAODataset.h"
#include "store/engine/DAOField.h"

TCdRec ReadCdRec(TDAODataset &discs)
{
    TCdRec disc;
    disc.Id = discs.Field(QStringLiteral("ID")).AsInteger();
    const TDAOField &day = discs.Field(QStringLiteral("Day"));
    if (!day.IsNull())
        disc.Day = day.AsDateTime();
    disc.Serial = discs.Field(QStringLiteral("Serial")).AsString();
    disc.Code = discs.Field(QStringLiteral("Code")).AsString();
    disc.Name = discs.Field(QStringLiteral("Name")).AsString();
    disc.Spell = discs.Field(QStringLiteral("Spell")).AsString();
    disc.CId = discs.Field(QStringLiteral("CId")).AsInteger();
    disc.TId = discs.Field(QStringLiteral("TId")).AsInteger();
    disc.QId = discs.Field(QStringLiteral("QId")).AsInteger();
    disc.DId = discs.Field(QStringLiteral("DId")).AsInteger();
    const TDAOField &price = discs.Field(QStringLiteral("Price"));
    if (price.IsNull())
        disc.Price.reset();
    else
        disc.Price = price.AsCurrency();
    disc.Location = discs.Field(QStringLiteral("Location")).AsString();
    disc.Picture = discs.Field(QStringLiteral("Picture")).AsString();
    disc.Memo = discs.Field(QStringLiteral("Memo")).AsString();
    return disc;
}

void WriteCdRec(TDAODataset &discs, const TCdRec &disc)
{
    TDAOField &day = discs.Field(QStringLiteral("Day"));
    if (disc.Day)
        day.SetAsDateTime(*disc.Day);
    else
        day.Clear();
    discs.Field(QStringLiteral("Serial")).SetAsString(disc.Serial);
    discs.Field(QStringLiteral("Code")).SetAsString(disc.Code);
    discs.Field(QStringLiteral("Name")).SetAsString(disc.Name);
    discs.Field(QStringLiteral("Spell")).SetAsString(disc.Spell);
    discs.Field(QStringLiteral("CId")).SetAsInteger(disc.CId);
    discs.Field(QStringLiteral("TId")).SetAsInteger(disc.TId);
    discs.Field(QStringLiteral("QId")).SetAsInteger(disc.QId);
    discs.Field(QStringLiteral("DId")).SetAsInteger(disc.DId);
    TDAOField &price = discs.Field(QStringLiteral("Price"));
    if (disc.Price)
        price.SetAsCurrency(*disc.Price);
    else
        price.Clear();
    discs.Field(QStringLiteral("Location")).SetAsString(disc.Location);
    discs.Field(QStringLiteral("Picture")).SetAsString(disc.Picture);
    discs.Field(QStringLiteral("Memo")).SetAsString(disc.Memo);
}
