#include "NameIndex.h"

#include "BoundStatement.h"
#include "DAODatabase.h"
#include "DiscContents.h"

#include <QByteArray>

#include <algorithm>
#include <cstring>
#include <memory>

namespace NameIndex {

namespace {

// The names of one catalog connection, and what tells that it changed.
struct TIndex
{
    sqlite3 *Handle = nullptr;
    int Serial = -1;
    qint64 TotalChanges = -1;
    qint64 DataVersion = -1;
    QByteArray Names;             // every name key, each followed by a zero byte
    std::vector<qsizetype> Start; // where each entry's name starts, then the end
    std::vector<qint64> Ids;
    std::vector<TEntryFacts> Facts;
};

std::unique_ptr<TIndex> &Held()
{
    static std::unique_ptr<TIndex> index;
    return index;
}

qint64 DataVersion(TDAODatabase &db)
{
    return TBoundStatement(db, QStringLiteral("PRAGMA data_version")).Scalar();
}

// The index for the catalog as it is now: the one held, or a new one.
const TIndex &Current(TDAODatabase &db)
{
    sqlite3 *handle = db.Handle();
    const qint64 changes = sqlite3_total_changes(handle);
    const qint64 version = DataVersion(db);
    std::unique_ptr<TIndex> &held = Held();
    if (held && held->Handle == handle && held->Serial == db.ConnectionSerial() && held->TotalChanges == changes &&
        held->DataVersion == version)
        return *held;
    held.reset();
    auto index = std::make_unique<TIndex>();
    index->Handle = handle;
    index->Serial = db.ConnectionSerial();
    index->TotalChanges = changes;
    index->DataVersion = version;
    if (DiscContents::HasTables(db)) {
        TBoundStatement rows(db, QStringLiteral("SELECT Id, NameKey, Kind, Size, MTime FROM TbEntry"));
        while (rows.Next()) {
            index->Start.push_back(index->Names.size());
            index->Ids.push_back(rows.Int(0));
            index->Names += rows.Utf8(1);
            index->Names += '\0';
            index->Facts.push_back({int(rows.Int(2)), rows.Int(3), rows.Int(4)});
        }
    }
    index->Start.push_back(index->Names.size());
    held = std::move(index);
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

} // namespace

bool Matches(const QByteArray &pattern, const QByteArray &name)
{
    return MatchBytes(pattern.constData(), pattern.constData() + pattern.size(), name.constData(),
                      name.constData() + name.size());
}

TMatches Find(TDAODatabase &db, const QString &typed, const std::function<bool(const TEntryFacts &)> &keep,
              qsizetype limit, bool count)
{
    const TIndex &index = Current(db);
    const QByteArray part = DiscContents::NameKey(typed).toUtf8();
    TMatches matches;
    auto take = [&](size_t entry) {
        if (keep && !keep(index.Facts[entry]))
            return true;
        ++matches.Count;
        if (matches.Ids.size() < size_t(limit))
            matches.Ids.push_back(index.Ids[entry]);
        return count || matches.Ids.size() < size_t(limit);
    };
    const char *names = index.Names.constData();
    const size_t entries = index.Ids.size();
    if (!part.contains('*') && !part.contains('?')) {
        // A plain part: found in the whole block at once, then placed.
        const char *at = names;
        const char *end = names + index.Names.size();
        while (at < end) {
            const void *hit = memmem(at, size_t(end - at), part.constData(), size_t(part.size()));
            if (!hit)
                break;
            const qsizetype offset = static_cast<const char *>(hit) - names;
            const size_t entry =
                size_t(std::upper_bound(index.Start.begin(), index.Start.end(), offset) - index.Start.begin()) - 1;
            if (entry >= entries || !take(entry))
                break;
            at = names + index.Start[entry + 1];
        }
        return matches;
    }
    const QByteArray pattern = '*' + part + '*';
    for (size_t entry = 0; entry < entries; ++entry) {
        const char *name = names + index.Start[entry];
        const char *nameEnd = names + index.Start[entry + 1] - 1;
        if (MatchBytes(pattern.constData(), pattern.constData() + pattern.size(), name, nameEnd) && !take(entry))
            break;
    }
    return matches;
}

void Release()
{
    Held().reset();
}

} // namespace NameIndex
