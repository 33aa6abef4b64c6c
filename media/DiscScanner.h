#pragma once

#include "media/EntryKind.h"

#include <QString>
#include <QStringList>

#include <functional>

// Reads a folder tree (a mounted disc, an image, any folder) entry by entry
// without following symbolic links: each link is recorded as a link. A
// folder that cannot be read is recorded, counted and listed, and the scan
// goes on.
namespace DiscScanner {

struct TFound
{
    QString Name;
    TEntryKind Kind = TEntryKind::File;
    qint64 Size = 0;
    qint64 MTime = 0;
    bool Unreadable = false;
};

struct TResult
{
    bool Cancelled = false;
    qint64 Files = 0;
    qint64 Folders = 0;
    qint64 Links = 0;
    qint64 Bytes = 0;
    QStringList Unreadable; // paths below the root, "/a/b"
};

struct TCallbacks
{
    // Receives each entry with the Id its folder got (0: the root); returns
    // the entry's own Id. May throw: the scan then ends with that error.
    std::function<qint64(qint64 parentId, const TFound &entry)> Add;
    // Called now and then with the counts so far; false cancels.
    std::function<bool(const TResult &sofar)> Progress;
    // For tests: true makes a folder (its path below the root) unreadable.
    std::function<bool(const QString &path)> RefuseFolder;
};

// Scans everything below root (not root itself). A root that cannot be read
// throws EFileError.
TResult Scan(const QString &root, const TCallbacks &callbacks);
} // namespace DiscScanner
