#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <vector>

class TDAODatabase;

// The names of every disc's entries held in memory, for "查找文件...": a
// search over millions of names then takes a pass over one block of memory
// per disc instead of a pass over the catalog file. The names are read once
// per connection, on a thread of their own when asked to beforehand (the
// window asks when it opens), otherwise at the first search; afterwards only
// the discs whose contents changed (a scan, a rescan, contents cleared, a
// disc deleted) are read again, so an edit of a disc's name or a new disc
// costs no reading at all. Another catalog, or the same one opened afresh,
// is read again in full.
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
    // The first matches (up to the limit): disc by disc in the order the
    // discs were scanned, each disc's entries in the order they were stored;
    // for contents scanned one after the other this is the order of the
    // entries' Ids.
    std::vector<qint64> Ids;
    qint64 Count = 0;     // every match, when counted
    bool Complete = true; // false: only the names read so far were searched
};

// The entries whose name key holds the typed part (letter case folded; * any
// run of characters, ? one character) and that pass keep. With count set,
// every match is counted; otherwise the search stops once limit Ids are
// taken. A blank typed part is for the caller to avoid.
TMatches Find(TDAODatabase &db, const QString &typed, const std::function<bool(const TEntryFacts &)> &keep,
              qsizetype limit, bool count);

// The discs holding an entry whose name key holds the typed part, by Id.
std::vector<qint64> DiscsHolding(TDAODatabase &db, const QString &typed);

// Starts reading the names of db's catalog on a thread of its own, with a
// connection of its own, so that they are ready, or partly read, when the
// first search comes. Nothing when they are held or being read already, or
// the catalog holds no contents.
void Prepare(TDAODatabase &db);

// How far the reading started by Prepare has come.
struct TProgress
{
    bool Reading = false;
    qint64 Read = 0;  // entries
    qint64 Total = 0; // as the discs' summaries count them
};
TProgress Progress(TDAODatabase &db);

// As Find without counting, but while the names are being read it searches
// the discs read so far instead of waiting for the rest (Complete false).
TMatches FindRead(TDAODatabase &db, const QString &typed, const std::function<bool(const TEntryFacts &)> &keep,
                  qsizetype limit);

// True when name (a name key) matches the pattern (a folded part with its
// wildcards, already wrapped in *...*).
bool Matches(const QByteArray &pattern, const QByteArray &name);

// Told by the store's writers that a disc's contents were written or removed
// on this connection: the disc is read again at the next search.
void Changed(TDAODatabase &db, qint64 discId);

// Frees the names held, and stops a reading under way; the next search reads
// them again. Called when the catalog's connection closes.
void Release();

// How many entries have been read into memory since the program started: a
// measure of the work the searches caused, for tests.
qint64 EntriesRead();

} // namespace NameIndex
