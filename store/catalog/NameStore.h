#pragma once

#include "store/catalog/LookupQueries.h"

#include <QString>

class TDAODatabase;

// The writes of the two lists of names a disc refers to, categories and
// grades. Each runs on a query of its own over the connection given; engine
// errors reach the caller.
namespace NameStore {

// Whether the list has a row of this name (compared as the catalog compares
// text: without regard to letter case).
bool NameExists(TDAODatabase &db, TNameTable table, const QString &name);

// Whether a disc refers to this row of the list.
bool NameInUse(TDAODatabase &db, TNameTable table, int id);

// Adds a row of this name; returns the Id the catalog gave it.
int AddName(TDAODatabase &db, TNameTable table, const QString &name);

// Gives the row of this Id the name; a row that is no longer there is left
// alone.
void RenameName(TDAODatabase &db, TNameTable table, int id, const QString &name);

} // namespace NameStore
