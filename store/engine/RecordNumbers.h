#pragma once

#include <QString>

struct sqlite3;

// The program carries record numbers (discs, folders, categories, grades)
// as 32-bit integers. A file holding a number beyond that (a crafted or
// damaged file: no collection gets near it) would have its rows mixed up, so
// it is refused at open.

// The first number of the open file beyond the limit, as "table.column =
// value" or "table, rowid n"; empty when there is none. complete, when
// given, tells whether every statement of the check ran to its end (an empty
// answer is then a sure one).
QString NumberOutOfRange(sqlite3 *db, bool *complete = nullptr);
