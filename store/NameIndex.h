#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <vector>

class TDAODatabase;

// The names of every disc's entries held in memory, for "查找文件...": a
// search over millions of names then takes a pass over one block of memory
// instead of a pass over the catalog file. The names are read at the first
// search and again after the catalog has changed.
namespace NameIndex {

// What a search may ask of an entry besides its name.
struct TEntryFacts
{
    int Kind;
    qint64 Size;
    qint64 MTime;
};

struct TMatches
{
    std::vector<qint64> Ids; // the first matches (up to the limit), in entry order
    qint64 Count = 0;        // every match, when counted
};

// The entries whose name key holds the typed part (letter case folded; * any
// run of characters, ? one character) and that pass keep. With count set,
// every match is counted; otherwise the search stops once limit Ids are
// taken. A blank typed part is for the caller to avoid.
TMatches Find(TDAODatabase &db, const QString &typed, const std::function<bool(const TEntryFacts &)> &keep,
              qsizetype limit, bool count);

// True when name (a name key) matches the pattern (a folded part with its
// wildcards, already wrapped in *...*).
bool Matches(const QByteArray &pattern, const QByteArray &name);

// Frees the names held; the next search reads them again.
void Release();

} // namespace NameIndex
