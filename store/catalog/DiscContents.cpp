#include "store/catalog/DiscContents.h"

#include "store/catalog/ImportStore.h"
#include "store/catalog/NameIndex.h"
#include "store/engine/BoundStatement.h"
#include "store/engine/DAODatabase.h"
#include "store/engine/SqlDialect.h"

#include <QHash>
#include <QStringList>

#include <algorithm>
#include <limits>

namespace DiscContents {

namespace {

// The tables, their index and the trigger that removes a disc's contents
// with the disc, wherever the disc is deleted.
const QStringList &CreateStatements()
{
    static const QStringList statements = {
        QStringLiteral("CREATE TABLE TbVolume (CdId INTEGER PRIMARY KEY, Label TEXT NOT NULL DEFAULT '', "
                       "FsSize INTEGER NOT NULL DEFAULT 0, FsUsed INTEGER NOT NULL DEFAULT 0, ScanDate TEXT, "
                       "Files INTEGER NOT NULL DEFAULT 0, Folders INTEGER NOT NULL DEFAULT 0, "
                       "Links INTEGER NOT NULL DEFAULT 0, Bytes INTEGER NOT NULL DEFAULT 0, "
                       "Unreadable INTEGER NOT NULL DEFAULT 0)"),
        QStringLiteral("CREATE TABLE TbEntry (Id INTEGER PRIMARY KEY, CdId INTEGER NOT NULL, "
                       "ParentId INTEGER NOT NULL, Name TEXT NOT NULL, NameKey TEXT NOT NULL, "
                       "Kind INTEGER NOT NULL, Size INTEGER NOT NULL DEFAULT 0, MTime INTEGER NOT NULL DEFAULT 0, "
                       "Unreadable INTEGER NOT NULL DEFAULT 0)"),
        QStringLiteral("CREATE INDEX TbEntryParent ON TbEntry(CdId, ParentId)"),
        QStringLiteral("CREATE TRIGGER TbCdDeleteContents AFTER DELETE ON TbCd BEGIN "
                       "DELETE FROM TbEntry WHERE CdId=old.ID; DELETE FROM TbVolume WHERE CdId=old.ID; END"),
    };
    return statements;
}

void CreateTables(TDAODatabase &db)
{
    for (const QString &statement : CreateStatements())
        db.Exec(statement);
}

void DeleteContents(TDAODatabase &db, qint64 discId)
{
    TBoundStatement(db, QStringLiteral("DELETE FROM TbEntry WHERE CdId=?")).Bind(1, discId).Run();
    TBoundStatement(db, QStringLiteral("DELETE FROM TbVolume WHERE CdId=?")).Bind(1, discId).Run();
}

// The WHERE conditions and their values for a query; the name pattern is
// the first value when there is one.
struct TCondition
{
    QString Sql;
    QList<qint64> Numbers;
    QString Pattern;
};

TCondition ConditionOf(const TFileQuery &query)
{
    TCondition condition;
    QStringList parts;
    if (!query.Name.trimmed().isEmpty()) {
        condition.Pattern = NamePattern(query.Name);
        parts << QStringLiteral("E.NameKey GLOB ?1");
    }
    int index = 2;
    auto number = [&](const char *sql, qint64 value) {
        parts << QString::fromLatin1(sql).arg(index++);
        condition.Numbers << value;
    };
    if (query.MinSize || query.MaxSize)
        parts << QStringLiteral("E.Kind=0");
    if (query.MinSize)
        number("E.Size>=?%1", *query.MinSize);
    if (query.MaxSize)
        number("E.Size<=?%1", *query.MaxSize);
    if (query.Earliest)
        number("E.MTime>=?%1", query.Earliest->startOfDay().toSecsSinceEpoch());
    if (query.Latest)
        number("E.MTime<?%1", query.Latest->addDays(1).startOfDay().toSecsSinceEpoch());
    condition.Sql = parts.isEmpty() ? QStringLiteral("1") : parts.join(QLatin1String(" AND "));
    return condition;
}

void BindCondition(TBoundStatement &statement, const TCondition &condition)
{
    statement.Bind(1, condition.Pattern);
    for (int i = 0; i < condition.Numbers.size(); ++i)
        statement.Bind(i + 2, condition.Numbers.at(i));
}

// The size and date criteria as a test of an entry the name index holds.
std::function<bool(const NameIndex::TEntryFacts &)> FactsFilter(const TFileQuery &query)
{
    const bool sized = query.MinSize || query.MaxSize;
    const qint64 minSize = query.MinSize.value_or(std::numeric_limits<qint64>::min());
    const qint64 maxSize = query.MaxSize.value_or(std::numeric_limits<qint64>::max());
    const qint64 from =
        query.Earliest ? query.Earliest->startOfDay().toSecsSinceEpoch() : std::numeric_limits<qint64>::min();
    const qint64 before =
        query.Latest ? query.Latest->addDays(1).startOfDay().toSecsSinceEpoch() : std::numeric_limits<qint64>::max();
    if (!sized && !query.Earliest && !query.Latest)
        return {};
    return [=](const NameIndex::TEntryFacts &facts) {
        if (sized && (facts.Kind != int(TKind::File) || facts.Size < minSize || facts.Size > maxSize))
            return false;
        return facts.MTime >= from && facts.MTime < before;
    };
}

bool UsesNameIndex(const TFileQuery &query)
{
    return !query.Name.trimmed().isEmpty();
}

} // namespace

bool HasTables(TDAODatabase &db)
{
    TBoundStatement statement(
        db, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='table' AND name IN ('TbEntry','TbVolume')"));
    return statement.Scalar() == 2;
}

TWriter::TWriter(TDAODatabase &db, qint64 discId)
    : m_db(db)
    , m_discId(discId)
    , m_work(std::make_unique<TDAOTransaction>(db))
{
    if (HasTables(db)) {
        // The new entries are numbered above every entry there was, the
        // disc's previous ones included, so that a rescan is told apart from
        // the contents it replaces.
        m_nextId = TBoundStatement(db, QStringLiteral("SELECT max(Id) FROM TbEntry")).Scalar() + 1;
        DeleteContents(db, discId);
    } else {
        CreateTables(db);
    }
    m_insert = std::make_unique<TBoundStatement>(
        db, QStringLiteral("INSERT INTO TbEntry (Id, CdId, ParentId, Name, NameKey, Kind, Size, MTime, Unreadable) "
                           "VALUES (?,?,?,?,?,?,?,?,?)"));
}

TWriter::~TWriter()
{
    m_insert.reset(); // finalised before the transaction is rolled back
}

qint64 TWriter::Add(qint64 parentId, const QString &name, TKind kind, qint64 size, qint64 mtime, bool unreadable)
{
    return m_insert->Bind(1, m_nextId++)
        .Bind(2, m_discId)
        .Bind(3, parentId)
        .Bind(4, name)
        .Bind(5, NameKey(name))
        .Bind(6, int(kind))
        .Bind(7, size)
        .Bind(8, mtime)
        .Bind(9, unreadable ? 1 : 0)
        .Run();
}

void TWriter::Commit(const TVolume &volume)
{
    m_insert.reset();
    TBoundStatement(m_db, QStringLiteral("INSERT INTO TbVolume (CdId, Label, FsSize, FsUsed, ScanDate, Files, "
                                         "Folders, Links, Bytes, Unreadable) VALUES (?,?,?,?,?,?,?,?,?,?)"))
        .Bind(1, m_discId)
        .Bind(2, volume.Label)
        .Bind(3, volume.FsSize)
        .Bind(4, volume.FsUsed)
        .Bind(5, volume.ScanDate.toString(Qt::ISODate))
        .Bind(6, volume.Files)
        .Bind(7, volume.Folders)
        .Bind(8, volume.Links)
        .Bind(9, volume.Bytes)
        .Bind(10, volume.Unreadable)
        .Run();
    m_work->Commit();
    NameIndex::Changed(m_db, m_discId);
}

void Clear(TDAODatabase &db, qint64 discId)
{
    if (!HasTables(db))
        return;
    TDAOTransaction work(db);
    DeleteContents(db, discId);
    work.Commit();
    NameIndex::Changed(db, discId);
}

std::optional<TVolume> Volume(TDAODatabase &db, qint64 discId)
{
    if (!HasTables(db))
        return std::nullopt;
    TBoundStatement statement(db, QStringLiteral("SELECT Label, FsSize, FsUsed, ScanDate, Files, Folders, Links, "
                                                 "Bytes, Unreadable FROM TbVolume WHERE CdId=?"));
    statement.Bind(1, discId);
    if (!statement.Next())
        return std::nullopt;
    TVolume volume;
    volume.Label = statement.Text(0);
    volume.FsSize = statement.Int(1);
    volume.FsUsed = statement.Int(2);
    volume.ScanDate = QDateTime::fromString(statement.Text(3), Qt::ISODate);
    volume.Files = statement.Int(4);
    volume.Folders = statement.Int(5);
    volume.Links = statement.Int(6);
    volume.Bytes = statement.Int(7);
    volume.Unreadable = statement.Int(8);
    statement.Stop();
    return volume;
}

QList<TEntry> Children(TDAODatabase &db, qint64 discId, qint64 parentId)
{
    QList<TEntry> entries;
    if (!HasTables(db))
        return entries;
    TBoundStatement statement(
        db, QStringLiteral("SELECT E.Id, E.Name, E.Kind, E.Size, E.MTime, E.Unreadable, "
                           "E.Kind=1 AND EXISTS (SELECT 1 FROM TbEntry C WHERE C.CdId=E.CdId AND C.ParentId=E.Id) "
                           "FROM TbEntry E WHERE E.CdId=? AND E.ParentId=? "
                           "ORDER BY E.Kind<>1, E.NameKey, E.Name"));
    statement.Bind(1, discId).Bind(2, parentId);
    while (statement.Next()) {
        TEntry entry;
        entry.Id = statement.Int(0);
        entry.ParentId = parentId;
        entry.Name = statement.Text(1);
        entry.Kind = TKind(statement.Int(2));
        entry.Size = statement.Int(3);
        entry.MTime = statement.Int(4);
        entry.Unreadable = statement.Int(5) != 0;
        entry.HasChildren = statement.Int(6) != 0;
        entries << entry;
    }
    return entries;
}

QString FolderPath(TDAODatabase &db, qint64 parentId)
{
    QStringList names;
    TBoundStatement statement(db, QStringLiteral("SELECT ParentId, Name FROM TbEntry WHERE Id=?"));
    // A damaged chain (a loop) ends after a depth no disc reaches.
    for (int depth = 0; parentId != 0 && depth < 4096; ++depth) {
        statement.Bind(1, parentId);
        if (!statement.Next())
            break;
        names.prepend(statement.Text(1));
        parentId = statement.Int(0);
        statement.Stop();
    }
    return QLatin1Char('/') + names.join(QLatin1Char('/'));
}

QString NameKey(const QString &name)
{
    return name.toCaseFolded();
}

QString NamePattern(const QString &typed)
{
    // Only * and ? are wildcards: a bracket is taken as itself.
    QString pattern = QStringLiteral("*");
    for (const QChar c : NameKey(typed)) {
        if (c == QLatin1Char('['))
            pattern += QLatin1String("[[]");
        else
            pattern += c;
    }
    return pattern + QLatin1Char('*');
}

QList<TFoundFile> FindFiles(TDAODatabase &db, const TFileQuery &query, bool *complete)
{
    QList<TFoundFile> found;
    if (complete)
        *complete = true;
    if (!HasTables(db))
        return found;
    const QString columns = QStringLiteral("SELECT E.Id, E.ParentId, E.Name, E.Kind, E.Size, E.MTime, E.CdId, D.Name, "
                                           "D.Code, D.TId FROM TbEntry E JOIN TbCd D ON D.ID=E.CdId WHERE ");
    QStringList statements;
    TCondition condition;
    if (UsesNameIndex(query)) {
        // The names are matched in memory; the rows found are read by Id,
        // a bounded number per statement.
        const qsizetype limit = query.Limit > 0 ? query.Limit : std::numeric_limits<qsizetype>::max();
        const NameIndex::TMatches matches = complete
                                                ? NameIndex::FindRead(db, query.Name, FactsFilter(query), limit)
                                                : NameIndex::Find(db, query.Name, FactsFilter(query), limit, false);
        if (complete)
            *complete = matches.Complete;
        constexpr size_t PerStatement = 1000;
        for (size_t first = 0; first < matches.Ids.size(); first += PerStatement) {
            QStringList ids;
            for (size_t i = first; i < std::min(matches.Ids.size(), first + PerStatement); ++i)
                ids << QString::number(matches.Ids[i]);
            statements << columns + QStringLiteral("E.Id IN (%1)").arg(ids.join(QLatin1Char(',')));
        }
    } else {
        condition = ConditionOf(query);
        statements << columns + condition.Sql +
                          (query.Limit > 0 ? QStringLiteral(" LIMIT %1").arg(query.Limit) : QString());
    }
    for (const QString &sql : statements) {
        TBoundStatement statement(db, sql);
        BindCondition(statement, condition);
        while (statement.Next()) {
            TFoundFile file;
            file.EntryId = statement.Int(0);
            file.ParentId = statement.Int(1);
            file.Name = statement.Text(2);
            file.Kind = TKind(statement.Int(3));
            file.Size = statement.Int(4);
            file.MTime = statement.Int(5);
            file.DiscId = statement.Int(6);
            file.DiscName = statement.Text(7);
            file.DiscCode = statement.Text(8);
            file.FolderId = statement.Int(9);
            found << file;
        }
    }
    QHash<qint64, QString> folderPaths;
    QHash<int, QString> catalogPaths;
    for (const auto &[id, path] : ImportStore::FolderPaths(db))
        catalogPaths.insert(id, path);
    for (TFoundFile &file : found) {
        auto path = folderPaths.constFind(file.ParentId);
        if (path == folderPaths.constEnd())
            path = folderPaths.insert(file.ParentId, FolderPath(db, file.ParentId));
        file.Folder = *path;
        file.CatalogPath = catalogPaths.value(int(file.FolderId));
    }
    std::stable_sort(found.begin(), found.end(), [](const TFoundFile &a, const TFoundFile &b) {
        if (a.DiscId != b.DiscId)
            return a.DiscId < b.DiscId;
        if (a.Folder != b.Folder)
            return a.Folder < b.Folder;
        return a.Name < b.Name;
    });
    return found;
}

qint64 CountFiles(TDAODatabase &db, const TFileQuery &query)
{
    if (!HasTables(db))
        return 0;
    if (UsesNameIndex(query))
        return NameIndex::Find(db, query.Name, FactsFilter(query), 0, true).Count;
    const TCondition condition = ConditionOf(query);
    TBoundStatement statement(db, QStringLiteral("SELECT count(*) FROM TbEntry E WHERE ") + condition.Sql);
    BindCondition(statement, condition);
    return statement.Scalar();
}

QString HoldingFileCondition(TDAODatabase &db, const QString &typed)
{
    if (!HasTables(db))
        return QStringLiteral(" 1=0 ");
    // The discs are found among the names held for "查找文件...", so that a
    // find need not read every name again.
    const std::vector<qint64> discs = NameIndex::DiscsHolding(db, typed);
    if (discs.empty())
        return QStringLiteral(" 1=0 ");
    QStringList ids;
    ids.reserve(qsizetype(discs.size()));
    for (const qint64 disc : discs)
        ids << QString::number(disc);
    return QLatin1String(" A.ID IN (") + ids.join(QLatin1Char(',')) + QLatin1String(") ");
}

} // namespace DiscContents
