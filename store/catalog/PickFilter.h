#pragma once

#include <QString>

// The clause a quick-pick list appends to its statement to keep the rows
// whose column starts with the typed text: " WHERE column LIKE "text*"", or
// " AND ..." when the statement has a WHERE already. The typed text is
// quoted, so that a double quote in it is only ever a character to look
// for; the whole clause is in capitals (the catalog compares text without
// regard to letter case).
QString PickFilterClause(const QString &statement, const QString &column, const QString &typed);

// The order a quick-pick list keeps its rows in: by the column searched then
// the key when that column is given (the initials or the code), by the key
// alone otherwise (a name, or the whole list). Spelt out so that the list
// reads the same whichever index the catalog answers it from.
QString PickOrderClause(const QString &column, const QString &key);
