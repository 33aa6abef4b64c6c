#pragma once

#include "media/DiscScanner.h"
#include "store/catalog/DiscContents.h"

class TDAODatabase;

// A disc's folder tree read into the catalog as that disc's contents.
namespace ContentsScan {

// Scans root into the disc: one transaction; a cancelled or failed scan
// leaves the disc's previous contents. The volume's label and sizes come
// from the caller; the counts and the scan date are filled in here.
// callbacks.Add is the writer's own.
DiscScanner::TResult ScanInto(TDAODatabase &db, qint64 discId, const QString &root, DiscContents::TVolume volume,
                              DiscScanner::TCallbacks callbacks = {});

} // namespace ContentsScan
