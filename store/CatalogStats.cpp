#include "CatalogStats.h"

#include "BoundStatement.h"
#include "DAODatabase.h"
#include "Schema.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace CatalogStats {

namespace {

// A price in ten-thousandths, summed exactly as integers.
constexpr const char *ValueSum = "SUM(CAST(round(Price*10000) AS INTEGER))";
// The year of a disc's date (a day count since 1899-12-30); NULL without one.
constexpr const char *YearOfDay =
    "CASE WHEN typeof(Day) IN ('integer','real') THEN CAST(strftime('%Y', Day + 2415018.5) AS INTEGER) END";

QString Grouped(const char *key)
{
    return QStringLiteral("SELECT %1 AS K, COUNT(*), %2 FROM TbCd GROUP BY K")
        .arg(QLatin1String(key), QLatin1String(ValueSum));
}

struct TGroup
{
    bool HasKey = false;
    qint64 Key = 0;
    qint64 Discs = 0;
    TCurrency Value = 0;
};

QList<TGroup> ReadGroups(TDAODatabase &db, const QString &sql)
{
    QList<TGroup> groups;
    TBoundStatement q(db, sql);
    while (q.Next())
        groups.append({!q.IsNull(0), q.Int(0), q.Int(1), q.IsNull(2) ? 0 : q.Int(2)});
    return groups;
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
    TBar rest{QString::fromUtf8(none)};
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
    TBar outside{QString::fromUtf8(OutsideTree)};
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

QStringList GroupStatements()
{
    // The folder's index would make the engine visit the discs in folder
    // order, a row lookup each: a scan with a sort is several times faster.
    return {
        Grouped("CId"),
        Grouped("QId"),
        Grouped(YearOfDay),
        Grouped("+TId"),
    };
}

TStats Read(TDAODatabase &db)
{
    const QStringList statements = GroupStatements();
    TStats stats;
    // The totals are the sums of the category groups: every disc is in one.
    const QList<TGroup> categories = ReadGroups(db, statements.at(0));
    for (const TGroup &group : categories) {
        stats.Discs += group.Discs;
        stats.Value += group.Value;
    }
    {
        TBoundStatement q(db, QStringLiteral("SELECT COUNT(*) FROM TbTree WHERE ID<>%1").arg(Schema::RootFolderId));
        if (q.Next())
            stats.Folders = q.Int(0);
    }
    stats.ByCategory =
        ByList(categories, Names(db, QStringLiteral("SELECT Id, Name FROM TbCategory")), nullptr, NoCategory);
    QList<qint64> grades;
    const auto qualities = Names(db, QStringLiteral("SELECT Id, Name FROM TbQuality ORDER BY Id"), &grades);
    stats.ByQuality = ByList(ReadGroups(db, statements.at(1)), qualities, &grades, NoQuality);
    QList<TGroup> years = ReadGroups(db, statements.at(2));
    std::sort(years.begin(), years.end(),
              [](const TGroup &a, const TGroup &b) { return a.HasKey != b.HasKey ? a.HasKey : a.Key < b.Key; });
    for (const TGroup &group : years)
        stats.ByYear.append(
            {group.HasKey ? QString::number(group.Key) : QString::fromUtf8(NoYear), group.Discs, group.Value});
    stats.ByFolder = ByFolder(db, ReadGroups(db, statements.at(3)));
    return stats;
}

} // namespace CatalogStats
