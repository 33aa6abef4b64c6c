#pragma once

#include <QString>

// The clause a quick-pick list appends to its statement to keep the rows
// whose column starts with the typed text: " WHERE column LIKE "text*"", or
// " AND ..." when the statement has a WHERE already. The typed text is
// quoted, so that a double quote in it is only ever a character to look
// for; the whole clause is in capitals (the catalog compares text without
// regard to letter case).
QString PickFilterClause(const QString &statement, const QString &column, const QString &typed);
