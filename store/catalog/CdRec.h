#pragma once

#include "store/engine/DAOTypes.h"

#include <QString>

#include <optional>

class TDAODataset;

// One disc as the disc editor fills it and the disc list writes it.
struct TCdRec
{
    int Id = 0; // 0 for a new disc
    // Days since 1899-12-30; none for a disc without a date (NULL in the
    // catalog), which stays without one however often it is saved.
    std::optional<double> Day;
    QString Serial;
    QString Code;
    QString Name;
    QString Spell;
    int CId = 0;
    int TId = 0;
    int QId = 0;
    int DId = 0;
    // None for a disc whose price was left empty (NULL in the catalog, as an
    // import writes an empty price cell), which saving keeps empty.
    std::optional<TCurrency> Price = TCurrency(0);
    QString Location;
    QString Picture; // file name in the Picture folder, no folder part
    QString Memo;
};

// The disc at the dataset's current row (a row of the disc list).
TCdRec ReadCdRec(TDAODataset &discs);
// Sets the fields of the dataset's current row, in edit or insert, to the
// disc; its Id is the catalog's to give and is left alone.
void WriteCdRec(TDAODataset &discs, const TCdRec &disc);
