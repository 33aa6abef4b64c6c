#pragma once

#include "store/catalog/CdRec.h"
#include "store/catalog/LookupQueries.h"

#include <QString>

#include <optional>

class TDAODatabase;

// The disc editor's look-ups and the writing of a disc. Each runs on a query
// of its own over the connection given; engine errors reach the caller.
namespace DiscStore {

// The code proposed for a new disc: the largest disc Id plus one, "1" when
// there is no disc yet. It follows the Ids, not the codes already given.
QString NextDiscCode(TDAODatabase &db);

// True when another disc than excludeId already has this code (compared as
// the catalog compares text: without regard to letter case).
bool DiscCodeExists(TDAODatabase &db, const QString &code, int excludeId);

// The Id of the category or quality of this name, the row added first when
// there is none.
int LookupOrAddName(TDAODatabase &db, TNameTable table, const QString &name);

// The Id of the first folder of this name (the root folder included), or of
// a new folder of this name made a child of parentId.
int LookupOrAddFolder(TDAODatabase &db, const QString &name, int parentId);

// A disc with the names of its category and grade, as the disc list shows
// them (empty for a row that is missing).
struct TListedDisc
{
    TCdRec Disc;
    QString Category;
    QString Quality;
};

// The disc of this Id; none when there is no such disc.
std::optional<TListedDisc> ReadDisc(TDAODatabase &db, int discId);

// Writes the disc in one transaction: a new row when adding (the catalog
// gives its Id), otherwise the row of disc.Id. Text wider than its column is
// cut as the disc list cuts it. Returns the disc's Id; on an engine error
// (a code another disc holds, a full disk) nothing is written.
int SaveDisc(TDAODatabase &db, const TCdRec &disc, bool adding);

// Puts the disc in the folder.
void MoveDisc(TDAODatabase &db, int discId, int folderId);

} // namespace DiscStore
