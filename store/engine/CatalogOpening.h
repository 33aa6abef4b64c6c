#pragma once

#include "store/engine/EngineHandle.h"

#include <QString>

// Opens a catalog file as SQLite with its key and proves the key at once:
// the file must hold a catalog (HoldsCatalog), unless it is being created.
// An existing file is refused when it is cut short or, unless checkNumbers
// is false, holds a record number out of range (NumberOutOfRange). Throws
// EDAOError with a clear message naming the file.
TCatalogHandle OpenCatalogHandle(const QString &path, const QString &password, bool readOnly, bool create = false,
                                 bool checkNumbers = true);

// The refusal of a catalog holding a record number out of range; details
// name the number.
[[noreturn]] void RaiseNumberOutOfRange(const QString &path, const QString &details);

// The engine's error on db as the user should read it: a Chinese sentence
// naming the catalog file (a damaged file, a full disk, a failed write, a file
// held by another program or replaced on disk, a folder that cannot be
// written). The engine's own words are not part of it: ExplainEngineDetails
// gives them, for the log and the message box's details.
QString ExplainEngineError(sqlite3 *db, int code);
QString ExplainEngineDetails(sqlite3 *db, int code);
