#include "store/catalog/CatalogStats.h"

#include "store/catalog/Schema.h"
#include "store/engine/BoundStatement.h"
#include "store/engine/DAODatabase.h"
#include "store/engine/DateUtils.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <cmath>

namespace CatalogStats {

namespace {

// Every disc read once with its four keys: the table is read in one pass and
// each chart's groups are summed from it. (The table is encrypted: every
// pass over it costs the decryption of all its pages, and the engine would
// sort the rows again for each GROUP BY.)
QString AllDiscs()
{
    return QStringLiteral("SELECT CId, QId, Day, TId, Price FROM TbCd");
}

struct TGroup
{
    bool HasKey = false;
    qint64 Key = 0;
    qint64 Discs = 0;
    TCurrency Value = 0;
};

// The discs of the table by each of the four keys.
struct TGroups
{
    QList<TGroup> Categories, Qualities, Years, Folders;
};

// Counts the discs read by AllDiscs into groups of one key.
class TSummer
{
public:
    void Add(bool hasKey, qint64 key, TCurrency value)
    {
        TGroup &group = hasKey ? m_keyed[key] : m_none;
        group.HasKey = hasKey;
        group.Key = key;
        ++group.Discs;
        group.Value += value;
    }
    QList<TGroup> Groups() const
    {
        QList<TGroup> groups = m_keyed.values();
        if (m_none.Discs > 0)
            groups.append(m_none);
        return groups;
    }

private:
    QHash<qint64, TGroup> m_keyed;
    TGroup m_none;
};

// The year of a disc's date (column 2 of AllDiscs), 0 when it has none. A
// date is a day count: a text or nothing there is no date, and neither is
// the zero day, which is what an empty date was written as before a date
// could be left empty (no disc is from 1899).
int YearOf(const TBoundStatement &q)
{
    if (!q.IsNumber(2))
        return 0;
    const double days = q.Number(2);
    return std::floor(days) == 0 ? 0 : DateUtils::ToDate(days).year();
}

TGroups ReadGroups(TDAODatabase &db)
{
    TSummer categories, qualities, years, folders;
    TBoundStatement q(db, AllDiscs());
    while (q.Next()) {
        // A price in ten-thousandths, summed exactly as integers.
        const TCurrency value = std::llround(q.Number(4) * 10000);
        categories.Add(!q.IsNull(0), q.Int(0), value);
        qualities.Add(!q.IsNull(1), q.Int(1), value);
        const int year = YearOf(q);
        years.Add(year != 0, year, value);
        folders.Add(!q.IsNull(3), q.Int(3), value);
    }
    return {categories.Groups(), qualities.Groups(), years.Groups(), folders.Groups()};
}

// Id -> name of a small list table.
QHash<qint64, QString> Names(TDAODatabase &db, const QString &sql, QList<qint64> *order = nullptr)
{
    QHash<qint64, QString> names;
    TBoundStatement q(db, sql);
    while (q.Next()) {
        names.insert(q.Int(0), q.Text(1));
        if (order)
            order->append(q.Int(0));
    }
    return names;
}

void Add(TBar &bar, const TGroup &group)
{
    bar.Discs += group.Discs;
    bar.Value += group.Value;
}

bool MostFirst(const TBar &a, const TBar &b)
{
    return a.Discs != b.Discs ? a.Discs > b.Discs : a.Label < b.Label;
}

// Bars of the groups whose key names a row of the list; the rest in one bar
// of discs without the value, last.
QList<TBar> ByList(const QList<TGroup> &groups, const QHash<qint64, QString> &names, const QList<qint64> *order,
                   const char *none)
{
    QHash<qint64, TBar> bars;
    TBar rest{QString::fromUtf8(none), 0, 0, true};
    for (const TGroup &group : groups) {
        if (group.HasKey && names.contains(group.Key)) {
            TBar &bar = bars[group.Key];
            bar.Label = names.value(group.Key);
            Add(bar, group);
        } else {
            Add(rest, group);
        }
    }
    QList<TBar> list;
    if (order) {
        for (qint64 id : *order) {
            if (bars.contains(id))
                list.append(bars.value(id));
        }
    } else {
        list = bars.values();
        std::sort(list.begin(), list.end(), MostFirst);
    }
    if (rest.Discs > 0)
        list.append(rest);
    return list;
}

struct TFolder
{
    qint64 Parent = 0;
    QString Name;
};

// The top-level folder above a folder (the folder itself when it lies
// directly below the root); the root for the root; 0 when the chain of
// parents never reaches the root.
qint64 TopFolderOf(qint64 id, const QHash<qint64, TFolder> &folders, QHash<qint64, qint64> &known)
{
    const qint64 root = Schema::RootFolderId;
    if (id == root)
        return root;
    QList<qint64> path;
    QSet<qint64> seen;
    qint64 current = id;
    qint64 top = 0;
    while (true) {
        if (const auto hit = known.constFind(current); hit != known.constEnd()) {
            top = hit.value();
            break;
        }
        const auto folder = folders.constFind(current);
        if (folder == folders.constEnd() || seen.contains(current) || current == root) {
            top = 0;
            break;
        }
        seen.insert(current);
        path.append(current);
        if (folder->Parent == root) {
            top = current;
            break;
        }
        current = folder->Parent;
    }
    for (qint64 step : path)
        known.insert(step, top);
    return top;
}

QList<TBar> ByFolder(TDAODatabase &db, const QList<TGroup> &groups)
{
    QHash<qint64, TFolder> folders;
    {
        TBoundStatement q(db, QStringLiteral("SELECT ID, Id1, Name FROM TbTree"));
        while (q.Next())
            folders.insert(q.Int(0), {q.IsNull(1) ? 0 : q.Int(1), q.Text(2)});
    }
    QHash<qint64, qint64> known;
    QHash<qint64, TBar> tops;
    TBar root{QString::fromUtf8(RootFolder)};
    TBar outside{QString::fromUtf8(OutsideTree), 0, 0, true};
    for (const TGroup &group : groups) {
        const qint64 top = group.HasKey ? TopFolderOf(group.Key, folders, known) : 0;
        if (top == Schema::RootFolderId) {
            Add(root, group);
        } else if (top == 0) {
            Add(outside, group);
        } else {
            TBar &bar = tops[top];
            bar.Label = folders.value(top).Name;
            Add(bar, group);
        }
    }
    QList<TBar> list = tops.values();
    std::sort(list.begin(), list.end(), MostFirst);
    if (root.Discs > 0)
        list.prepend(root);
    if (outside.Discs > 0)
        list.append(outside);
    return list;
}

} // namespace

TStats Read(TDAODatabase &db)
{
    TStats stats;
    const TGroups groups = ReadGroups(db);
    // The totals are the sums of the category groups: every disc is in one.
    for (const TGroup &group : groups.Categories) {
        stats.Discs += group.Discs;
        stats.Value += group.Value;
    }
    {
        TBoundStatement q(db, QStringLiteral("SELECT COUNT(*) FROM TbTree WHERE ID<>%1").arg(Schema::RootFolderId));
        if (q.Next())
            stats.Folders = q.Int(0);
    }
    stats.ByCategory =
        ByList(groups.Categories, Names(db, QStringLiteral("SELECT Id, Name FROM TbCategory")), nullptr, NoCategory);
    QList<qint64> grades;
    const auto qualities = Names(db, QStringLiteral("SELECT Id, Name FROM TbQuality ORDER BY Id"), &grades);
    stats.ByQuality = ByList(groups.Qualities, qualities, &grades, NoQuality);
    QList<TGroup> years = groups.Years;
    std::sort(years.begin(), years.end(),
              [](const TGroup &a, const TGroup &b) { return a.HasKey != b.HasKey ? a.HasKey : a.Key < b.Key; });
    for (const TGroup &group : years)
        stats.ByYear.append({group.HasKey ? QString::number(group.Key) : QString::fromUtf8(NoYear), group.Discs,
                             group.Value, !group.HasKey});
    stats.ByFolder = ByFolder(db, groups.Folders);
    return stats;
}

} // namespace CatalogStats
