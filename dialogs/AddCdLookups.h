#pragma once

#include "store/catalog/LookupQueries.h"

#include <QString>

// The catalog look-ups of the disc editor. They run on the data module's
// work query Q1 and leave it open; engine errors reach the caller.

// The code proposed for a new disc: the largest disc Id plus one, "1" when
// there is no disc yet. It follows the Ids, not the codes already given.
QString NextDiscCode();

// True when another disc than excludeId already has this code (compared as
// the catalog compares text: without regard to letter case).
bool DiscCodeExists(const QString &code, int excludeId);

// The Id of the category or quality of this name, the row added first when
// there is none.
int LookupOrAddName(TNameTable table, const QString &name);

// The Id of the first folder of this name (the root folder included), or of
// a new folder of this name made a child of parentId.
int LookupOrAddFolder(const QString &name, int parentId);
