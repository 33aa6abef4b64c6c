#include "store/catalog/NameIndex.h"

#include "store/catalog/DiscContents.h"
#include "store/engine/BoundStatement.h"
#include "store/engine/DAODatabase.h"

#include <QByteArray>
#include <QHash>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

namespace NameIndex {

namespace {

// The names of one disc's entries, in the order they were stored.
struct TDisc
{
    qint64 CdId = 0;
    QByteArray Stamp;             // what told its contents apart when they were read
    QByteArray Names;             // every name key, each followed by a zero byte
    std::vector<qsizetype> Start; // where each entry's name starts, then the end
    std::vector<qint64> Ids;
    std::vector<TEntryFacts> Facts;

    void Reserve(qint64 entries)
    {
        Start.reserve(size_t(entries) + 1);
        Ids.reserve(size_t(entries));
        Facts.reserve(size_t(entries));
        Names.reserve(qsizetype(entries) * 24);
    }
    void Add(qint64 id, QByteArrayView name, int kind, qint64 size, qint64 mtime)
    {
        Start.push_back(Names.size());
        Ids.push_back(id);
        Names.append(name);
        Names.append('\0');
        Facts.push_back({kind, size, mtime});
    }
    void Finish()
    {
        Start.push_back(Names.size());
        Names.squeeze();
        Finished = true;
    }
    bool Finished = false;
};

// A scanned disc as the catalog describes it now.
struct TScanned
{
    QByteArray Stamp;   // the summary its scan wrote
    qint64 Entries = 0; // as the summary counts them
    qint64 FirstId = 0; // its first entry's Id, when asked for
};

// Every scanned disc with its summary and, when asked for, the Id of its
// first entry, which a scan never gives the contents it replaces. The
// store's own writers say which discs they wrote; what another connection
// wrote is told by the first Ids.
std::map<qint64, TScanned> ScannedDiscs(TDAODatabase &db, bool firstIds)
{
    std::map<qint64, TScanned> discs;
    TBoundStatement rows(db, QStringLiteral("SELECT V.CdId, V.Files+V.Folders+V.Links, %1, V.ScanDate, V.Files, "
                                            "V.Folders, V.Links, V.Bytes, V.Unreadable, V.Label, V.FsSize, V.FsUsed "
                                            "FROM TbVolume V")
                                 .arg(firstIds ? QStringLiteral("(SELECT E.Id FROM TbEntry E WHERE E.CdId=V.CdId "
                                                                "AND E.ParentId=0 ORDER BY E.Id LIMIT 1)")
                                               : QStringLiteral("0")));
    while (rows.Next()) {
        TScanned &disc = discs[rows.Int(0)];
        disc.Entries = rows.Int(1);
        disc.FirstId = rows.Int(2);
        for (int column = 3; column <= 11; ++column) {
            disc.Stamp += rows.Utf8(column);
            disc.Stamp += '\x1f';
        }
    }
    return discs;
}

// The names of one catalog connection, and what tells that it changed.
struct TIndex
{
    int Serial = -1; // the connection the names were read through
    qint64 TotalChanges = -1;
    qint64 DataVersion = -1;
    qint64 MaxId = -1;
    std::vector<std::shared_ptr<TDisc>> Discs; // in the order of their first entries, discs left empty last
    std::set<qint64> Written;                  // discs the store wrote since
};

std::atomic<qint64> &ReadCount()
{
    static std::atomic<qint64> count{0};
    return count;
}

// A read of every name under way on a thread of its own. The discs read in
// full are handed out as they are done, so that a search need not wait for
// the rest.
struct TLoad
{
    int Serial = -1; // the connection the names are read for
    std::atomic<bool> Stop{false};
    std::atomic<bool> Done{false};
    std::atomic<qint64> Read{0};
    std::atomic<qint64> Total{0};
    std::mutex Lock;
    std::vector<std::shared_ptr<TDisc>> Finished; // under Lock
    std::unique_ptr<TIndex> Result;               // set before Done
    std::set<qint64> Written;                     // told meanwhile; the caller's thread only
    std::thread Thread;

    ~TLoad()
    {
        Stop = true;
        if (Thread.joinable())
            Thread.join();
    }
    std::vector<std::shared_ptr<TDisc>> FinishedSoFar()
    {
        const std::lock_guard<std::mutex> locked(Lock);
        return Finished;
    }
};

struct THeld
{
    std::unique_ptr<TIndex> Index;
    std::unique_ptr<TLoad> Load; // stopped and waited for before the index goes
};

THeld &Held()
{
    static THeld held;
    return held;
}

qint64 MaxEntryId(TDAODatabase &db)
{
    return TBoundStatement(db, QStringLiteral("SELECT max(Id) FROM TbEntry")).Scalar();
}

// Raised when a reading in the background is stopped; what it read is not
// kept.
struct EReadStopped
{
};

// Every scanned disc's entries, in one pass over the table in steps of
// rows, each step a read of its own: a writer waits for one step at most.
// With load, the reading stops when asked to, and each disc is handed out as
// soon as the entries of the next one begin: a scan stores its entries one
// after the other, above every entry there was. Should a disc's entries go
// on after that (written while the names were read), the disc is left out,
// to be read again by the search that takes the names over.
void ReadAll(TDAODatabase &db, const std::map<qint64, TScanned> &scanned, TIndex &index, TLoad *load)
{
    QHash<qint64, std::shared_ptr<TDisc>> byId;
    std::set<qint64> leftOut;
    std::shared_ptr<TDisc> last;
    auto handOut = [&] {
        if (!load || !last || last->Finished)
            return;
        last->Finish();
        const std::lock_guard<std::mutex> locked(load->Lock);
        load->Finished.push_back(last);
    };
    qint64 read = 0;
    constexpr qint64 Step = 50000;
    TBoundStatement rows(
        db, QStringLiteral("SELECT CdId, Id, NameKey, Kind, Size, MTime FROM TbEntry WHERE Id>? ORDER BY Id LIMIT ?"));
    for (qint64 after = std::numeric_limits<qint64>::min(), inStep = Step; inStep == Step;) {
        inStep = 0;
        rows.Bind(1, after).Bind(2, Step);
        while (rows.Next()) {
            ++inStep;
            after = rows.Int(1);
            if (load && load->Stop) {
                rows.Stop();
                throw EReadStopped();
            }
            const qint64 cdId = rows.Int(0);
            if (!last || last->CdId != cdId) {
                handOut();
                last = byId.value(cdId);
                if (!last) {
                    const auto found = scanned.find(cdId);
                    if (found == scanned.end())
                        continue; // left without its disc's summary: not shown
                    auto disc = std::make_shared<TDisc>();
                    disc->CdId = cdId;
                    disc->Stamp = found->second.Stamp;
                    disc->Reserve(found->second.Entries);
                    last = disc;
                    byId.insert(cdId, disc);
                    index.Discs.push_back(std::move(disc));
                }
            }
            if (last->Finished) {
                leftOut.insert(cdId);
                continue;
            }
            last->Add(rows.Int(1), rows.Utf8(2), int(rows.Int(3)), rows.Int(4), rows.Int(5));
            ++read;
        }
        if (load)
            load->Read = read;
    }
    handOut();
    if (!leftOut.empty()) {
        std::erase_if(index.Discs, [&](const std::shared_ptr<TDisc> &disc) { return leftOut.count(disc->CdId) > 0; });
        for (const qint64 cdId : leftOut)
            byId.remove(cdId);
    }
    for (const auto &[cdId, disc] : scanned) {
        if (!byId.contains(cdId) && !leftOut.count(cdId)) {
            auto empty = std::make_shared<TDisc>();
            empty->CdId = cdId;
            empty->Stamp = disc.Stamp;
            index.Discs.push_back(std::move(empty));
        }
    }
    for (const auto &disc : index.Discs) {
        if (!disc->Finished)
            disc->Finish();
    }
    ReadCount() += read;
}

// One disc's entries.
std::shared_ptr<TDisc> ReadDisc(TDAODatabase &db, qint64 cdId, const TScanned &scanned)
{
    auto disc = std::make_shared<TDisc>();
    disc->CdId = cdId;
    disc->Stamp = scanned.Stamp;
    disc->Reserve(scanned.Entries);
    TBoundStatement rows(db,
                         QStringLiteral("SELECT Id, NameKey, Kind, Size, MTime FROM TbEntry WHERE CdId=? ORDER BY Id"));
    rows.Bind(1, cdId);
    while (rows.Next())
        disc->Add(rows.Int(0), rows.Utf8(1), int(rows.Int(2)), rows.Int(3), rows.Int(4));
    disc->Finish();
    ReadCount() += qint64(disc->Ids.size());
    return disc;
}

// Brings the held names up to the catalog's contents: the discs whose stamp
// changed, or that the store wrote, are read again, the discs gone are
// dropped. False when it is cheaper, or only safe, to read everything.
bool Update(TDAODatabase &db, const std::map<qint64, TScanned> &scanned, bool firstIds, qint64 maxId, TIndex &index)
{
    qint64 total = 0;
    for (const auto &[cdId, disc] : scanned)
        total += disc.Entries;
    std::map<qint64, TDisc *> held;
    for (const auto &disc : index.Discs)
        held[disc->CdId] = disc.get();
    std::vector<qint64> reread;
    qint64 toRead = 0;
    bool dropped = false;
    for (const auto &[cdId, disc] : scanned) {
        const auto it = held.find(cdId);
        if (it == held.end() || it->second->Stamp != disc.Stamp || index.Written.count(cdId) ||
            (firstIds && disc.FirstId != (it->second->Ids.empty() ? 0 : it->second->Ids.front()))) {
            reread.push_back(cdId);
            toRead += disc.Entries;
        }
    }
    for (const auto &[cdId, disc] : held)
        dropped = dropped || !scanned.count(cdId);
    // Entries added or removed with no disc to show for it: changed outside
    // the program's own ways; read everything.
    if (reread.empty() && !dropped && maxId != index.MaxId)
        return false;
    // Rows read by disc cost more than rows read in one pass.
    if (toRead * 4 > total)
        return false;
    std::vector<std::shared_ptr<TDisc>> discs;
    for (auto &disc : index.Discs) {
        if (scanned.count(disc->CdId) && std::find(reread.begin(), reread.end(), disc->CdId) == reread.end())
            discs.push_back(std::move(disc));
    }
    for (const qint64 cdId : reread)
        discs.push_back(ReadDisc(db, cdId, scanned.at(cdId)));
    const auto first = [](const std::shared_ptr<TDisc> &disc) {
        return disc->Ids.empty() ? std::numeric_limits<qint64>::max() : disc->Ids.front();
    };
    std::sort(discs.begin(), discs.end(), [&](const auto &a, const auto &b) { return first(a) < first(b); });
    index.Discs = std::move(discs);
    return true;
}

bool IsFor(const TLoad &load, TDAODatabase &db)
{
    return db.Connected() && load.Serial == db.ConnectionSerial();
}

// The reading's body, on its own thread: the names of the catalog at path,
// through a connection of its own that only reads.
void ReadInBackground(TLoad &load, const QString &path, const QString &password)
{
    try {
        TDAODatabase db;
        db.SetDatabaseName(path);
        db.SetPassword(password);
        db.SetReadOnly(true);
        auto index = std::make_unique<TIndex>();
        // The summaries before the entries: a disc scanned meanwhile has a
        // summary newer than the one kept, and is read again at the first
        // search.
        const std::map<qint64, TScanned> scanned = ScannedDiscs(db, false);
        index->MaxId = MaxEntryId(db);
        qint64 total = 0;
        for (const auto &[cdId, disc] : scanned)
            total += disc.Entries;
        load.Total = total;
        ReadAll(db, scanned, *index, &load);
        load.Result = std::move(index);
    } catch (...) {
        // Nothing kept: the first search reads the names itself, and tells of
        // any failure then.
    }
    load.Done = true;
}

// Takes over what a reading for db's connection read, once it is done; the
// names are then checked against the catalog as it is now, as after a
// change made elsewhere.
void TakeOverReading(TDAODatabase &db)
{
    THeld &held = Held();
    if (!held.Load)
        return;
    if (!IsFor(*held.Load, db)) {
        held.Load.reset();
        return;
    }
    if (held.Load->Thread.joinable())
        held.Load->Thread.join();
    std::unique_ptr<TLoad> load = std::move(held.Load);
    if (!load->Result)
        return;
    held.Index = std::move(load->Result);
    held.Index->Serial = load->Serial;
    held.Index->Written = std::move(load->Written);
}

// The index for the catalog as it is now: the one held, brought up to date,
// or a new one.
const TIndex &Current(TDAODatabase &db)
{
    TakeOverReading(db);
    db.SetConnected(true);
    const qint64 changes = db.RowsWritten();
    const qint64 version = TBoundStatement(db, QStringLiteral("PRAGMA data_version")).Scalar();
    std::unique_ptr<TIndex> &held = Held().Index;
    const bool same = held && held->Serial == db.ConnectionSerial();
    if (same && held->TotalChanges == changes && held->DataVersion == version && held->Written.empty())
        return *held;
    // What the catalog holds is read after the change counts, so that a
    // change made meanwhile is seen at the next search.
    const bool scannedOnce = DiscContents::HasTables(db);
    const bool elsewhere = same && held->DataVersion != version;
    const std::map<qint64, TScanned> scanned = scannedOnce ? ScannedDiscs(db, elsewhere) : std::map<qint64, TScanned>{};
    const qint64 maxId = scannedOnce ? MaxEntryId(db) : 0;
    // A read that fails leaves nothing held, never half the names.
    try {
        if (!same || !Update(db, scanned, elsewhere, maxId, *held)) {
            held.reset();
            auto index = std::make_unique<TIndex>();
            index->Serial = db.ConnectionSerial();
            if (scannedOnce)
                ReadAll(db, scanned, *index, nullptr);
            held = std::move(index);
        }
    } catch (...) {
        held.reset();
        throw;
    }
    held->TotalChanges = changes;
    held->DataVersion = version;
    held->MaxId = maxId;
    held->Written.clear();
    return *held;
}

// The start of the character after the one at s.
const char *NextChar(const char *s, const char *end)
{
    ++s;
    while (s < end && (static_cast<unsigned char>(*s) & 0xC0) == 0x80)
        ++s;
    return s;
}

bool MatchBytes(const char *p, const char *pe, const char *s, const char *se)
{
    const char *starP = nullptr;
    const char *starS = nullptr;
    while (s < se) {
        if (p < pe && *p == '*') {
            starP = ++p;
            starS = s;
        } else if (p < pe && *p == '?') {
            ++p;
            s = NextChar(s, se);
        } else if (p < pe && *p == *s) {
            ++p;
            ++s;
        } else if (starP) {
            p = starP;
            starS = NextChar(starS, se);
            s = starS;
        } else {
            return false;
        }
    }
    while (p < pe && *p == '*')
        ++p;
    return p == pe;
}

// Calls take for each entry of the disc whose name matches, until it
// returns false; false then. literal is a run of the typed part that every
// matching name holds, found with memmem; pattern is the whole part wrapped
// in *...* when it has wildcards, empty for a plain part.
template <typename Take>
bool FindInDisc(const TDisc &disc, const QByteArray &literal, const QByteArray &pattern, Take take)
{
    const char *names = disc.Names.constData();
    const size_t entries = disc.Ids.size();
    auto matches = [&](size_t entry) {
        return pattern.isEmpty() || MatchBytes(pattern.constData(), pattern.constData() + pattern.size(),
                                               names + disc.Start[entry], names + disc.Start[entry + 1] - 1);
    };
    if (literal.isEmpty()) {
        for (size_t entry = 0; entry < entries; ++entry) {
            if (matches(entry) && !take(disc, entry))
                return false;
        }
        return true;
    }
    // The run is found in the whole block at once, then placed.
    const char *at = names;
    const char *end = names + disc.Names.size();
    while (at < end) {
        const void *hit = memmem(at, size_t(end - at), literal.constData(), size_t(literal.size()));
        if (!hit)
            break;
        const qsizetype offset = static_cast<const char *>(hit) - names;
        const size_t entry =
            size_t(std::upper_bound(disc.Start.begin(), disc.Start.end(), offset) - disc.Start.begin()) - 1;
        if (entry >= entries)
            break;
        if (matches(entry) && !take(disc, entry))
            return false;
        at = names + disc.Start[entry + 1];
    }
    return true;
}

// The longest run of the part without a wildcard.
QByteArray LongestLiteral(const QByteArray &part)
{
    QByteArray longest;
    qsizetype from = 0;
    for (qsizetype i = 0; i <= part.size(); ++i) {
        if (i == part.size() || part[i] == '*' || part[i] == '?') {
            if (i - from > longest.size())
                longest = part.mid(from, i - from);
            from = i + 1;
        }
    }
    return longest;
}

// A typed part as the search looks for it: literal is a run of it that every
// matching name holds, pattern the whole part wrapped in *...* when it has
// wildcards, empty for a plain part.
struct TPart
{
    QByteArray Literal;
    QByteArray Pattern;

    explicit TPart(const QString &typed)
    {
        const QByteArray part = DiscContents::NameKey(typed).toUtf8();
        Pattern = part.contains('*') || part.contains('?') ? '*' + part + '*' : QByteArray();
        Literal = LongestLiteral(part);
    }
};

// The matches among the discs given, in their order.
TMatches Search(const std::vector<std::shared_ptr<TDisc>> &discs, const QString &typed,
                const std::function<bool(const TEntryFacts &)> &keep, qsizetype limit, bool count)
{
    const TPart part(typed);
    TMatches matches;
    auto take = [&](const TDisc &disc, size_t entry) {
        if (keep && !keep(disc.Facts[entry]))
            return true;
        ++matches.Count;
        if (matches.Ids.size() < size_t(limit))
            matches.Ids.push_back(disc.Ids[entry]);
        return count || matches.Ids.size() < size_t(limit);
    };
    for (const auto &disc : discs) {
        if (!FindInDisc(*disc, part.Literal, part.Pattern, take))
            break;
    }
    return matches;
}

} // namespace

bool Matches(const QByteArray &pattern, const QByteArray &name)
{
    return MatchBytes(pattern.constData(), pattern.constData() + pattern.size(), name.constData(),
                      name.constData() + name.size());
}

TMatches Find(TDAODatabase &db, const QString &typed, const std::function<bool(const TEntryFacts &)> &keep,
              qsizetype limit, bool count)
{
    return Search(Current(db).Discs, typed, keep, limit, count);
}

TMatches FindRead(TDAODatabase &db, const QString &typed, const std::function<bool(const TEntryFacts &)> &keep,
                  qsizetype limit)
{
    TLoad *load = Held().Load.get();
    if (!load || !IsFor(*load, db) || load->Done)
        return Find(db, typed, keep, limit, false);
    TMatches matches = Search(load->FinishedSoFar(), typed, keep, limit, false);
    matches.Complete = false;
    return matches;
}

std::vector<qint64> DiscsHolding(TDAODatabase &db, const QString &typed)
{
    const TPart part(typed);
    std::vector<qint64> discs;
    for (const auto &disc : Current(db).Discs) {
        // The first match is enough.
        if (!FindInDisc(*disc, part.Literal, part.Pattern, [](const TDisc &, size_t) { return false; }))
            discs.push_back(disc->CdId);
    }
    std::sort(discs.begin(), discs.end());
    return discs;
}

void Prepare(TDAODatabase &db)
{
    THeld &held = Held();
    const bool indexed = held.Index && db.Connected() && held.Index->Serial == db.ConnectionSerial();
    if (indexed || (held.Load && IsFor(*held.Load, db)))
        return;
    Release();
    if (!DiscContents::HasTables(db))
        return;
    auto load = std::make_unique<TLoad>();
    db.SetConnected(true);
    load->Serial = db.ConnectionSerial();
    TLoad *reading = load.get();
    load->Thread = std::thread(ReadInBackground, std::ref(*reading), db.DatabaseName(), db.Password());
    held.Load = std::move(load);
}

TProgress Progress(TDAODatabase &db)
{
    const TLoad *load = Held().Load.get();
    if (!load || !IsFor(*load, db) || load->Done)
        return {};
    return {true, load->Read, load->Total};
}

void Changed(TDAODatabase &db, qint64 discId)
{
    THeld &held = Held();
    if (!db.Connected())
        return;
    if (held.Index && held.Index->Serial == db.ConnectionSerial())
        held.Index->Written.insert(discId);
    if (held.Load && IsFor(*held.Load, db))
        held.Load->Written.insert(discId);
}

void Release()
{
    THeld &held = Held();
    held.Load.reset();
    held.Index.reset();
}

qint64 EntriesRead()
{
    return ReadCount();
}

} // namespace NameIndex
