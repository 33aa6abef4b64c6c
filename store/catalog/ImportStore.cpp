#include "store/catalog/ImportStore.h"

#include "store/catalog/Schema.h"
#include "store/engine/BoundStatement.h"
#include "store/engine/DAODatabase.h"
#include "store/engine/DAOQuery.h"
#include "store/engine/RowReader.h"

#include <QHash>

#include <tuple>
#include <utility>
#include <vector>

namespace ImportStore {

namespace {

// A path cut in the middle when it is longer than MaxPathLength: its first
// names and its last ones are kept. The shortened path of a folder's parent
// extended by the folder's name and shortened again gives the folder's.
QString ShortPath(const QString &path)
{
    constexpr qsizetype Head = MaxPathLength / 3;
    if (path.size() <= MaxPathLength)
        return path;
    return path.left(Head) + QStringLiteral("…") + path.right(MaxPathLength - Head - 1);
}

// The catalog's first grade, the one rows without a grade get: its Id (0
// while the catalog has none) and name.
std::pair<qint64, QString> FirstQualityRow(TDAODatabase &db)
{
    std::pair<qint64, QString> first{0, QString()};
    db.ForEachRow(QStringLiteral("SELECT Id, Name FROM TbQuality ORDER BY Id LIMIT 1"), [&](const TRowReader &row) {
        first = {row.Int64(0), row.Text(1)};
    });
    return first;
}

int WidthOf(TDAODatabase &db, const QString &table, const QString &column)
{
    TDAOQuery q;
    q.SetDatabase(&db);
    q.SetSQL(QStringLiteral("SELECT %1 FROM %2 WHERE 1=0").arg(column, table));
    q.Open();
    const int size = q.FieldAt(0).Size();
    q.Close();
    return size;
}

} // namespace

ImportPlan::TWidths ReadWidths(TDAODatabase &db)
{
    ImportPlan::TWidths w;
    const QString disc = QStringLiteral("TbCd");
    w.Name = WidthOf(db, disc, QStringLiteral("Name"));
    w.Code = WidthOf(db, disc, QStringLiteral("Code"));
    w.Serial = WidthOf(db, disc, QStringLiteral("Serial"));
    w.Location = WidthOf(db, disc, QStringLiteral("Location"));
    w.Spell = WidthOf(db, disc, QStringLiteral("Spell"));
    w.Folder = WidthOf(db, QStringLiteral("TbTree"), QStringLiteral("Name"));
    w.Category = WidthOf(db, QStringLiteral("TbCategory"), QStringLiteral("Name"));
    w.Quality = WidthOf(db, QStringLiteral("TbQuality"), QStringLiteral("Name"));
    return w;
}

QSet<QString> ExistingCodes(TDAODatabase &db)
{
    QSet<QString> codes;
    db.ForEachRow(QStringLiteral("SELECT Code FROM TbCd WHERE trim(Code)<>''"),
                  [&](const TRowReader &row) { codes.insert(row.Text(0).toLower()); });
    return codes;
}

QList<QPair<int, QString>> FolderPaths(TDAODatabase &db)
{
    struct TFolder
    {
        qint64 Parent = 0;
        QString Name;
        QString Path;
        enum { Unknown, OnWalk, Known } State = Unknown;
    };
    QHash<qint64, TFolder> folders;
    db.ForEachRow(QStringLiteral("SELECT ID, Id1, Name FROM TbTree"), [&](const TRowReader &row) {
        TFolder folder;
        folder.Parent = row.Int64(1);
        folder.Name = row.Text(2);
        folders.insert(row.Int64(0), folder);
    });
    // Each path is made once, from its parent's: a deep chain costs no more
    // than its length. The climb ends at the root, at a folder whose path is
    // known, or where the chain breaks (a missing parent, a loop).
    std::vector<qint64> walk;
    for (auto it = folders.begin(); it != folders.end(); ++it) {
        if (it.key() == Schema::RootFolderId || it->State == TFolder::Known)
            continue;
        for (qint64 id = it.key();;) {
            TFolder &folder = folders[id];
            if (folder.State != TFolder::Unknown)
                break;
            folder.State = TFolder::OnWalk;
            walk.push_back(id);
            if (folder.Parent == Schema::RootFolderId || !folders.contains(folder.Parent))
                break;
            id = folder.Parent;
        }
        for (auto id = walk.rbegin(); id != walk.rend(); ++id) {
            TFolder &folder = folders[*id];
            const auto parent = folders.constFind(folder.Parent);
            const bool below = folder.Parent != Schema::RootFolderId && parent != folders.constEnd() &&
                               parent->State == TFolder::Known;
            folder.Path = below ? ShortPath(parent->Path + QLatin1Char('/') + folder.Name) : ShortPath(folder.Name);
            folder.State = TFolder::Known;
        }
        walk.clear();
    }
    QList<QPair<int, QString>> paths;
    paths.reserve(folders.size());
    for (auto it = folders.constBegin(); it != folders.constEnd(); ++it)
        if (it.key() != Schema::RootFolderId)
            paths << qMakePair(int(it.key()), it->Path);
    std::sort(paths.begin(), paths.end(), [](const auto &a, const auto &b) { return a.second < b.second; });
    paths.prepend(qMakePair(int(Schema::RootFolderId), ShortPath(folders.value(Schema::RootFolderId).Name)));
    return paths;
}

QString FirstQuality(TDAODatabase &db)
{
    return FirstQualityRow(db).second;
}

int FolderDepth(TDAODatabase &db, int folder)
{
    TBoundStatement parentOf(db, QStringLiteral("SELECT Id1 FROM TbTree WHERE ID=?1"));
    QSet<qint64> seen;
    int depth = 0;
    for (qint64 id = folder; id != Schema::RootFolderId && id != 0 && !seen.contains(id); ++depth) {
        seen.insert(id);
        id = parentOf.Bind(1, id).Scalar();
    }
    return depth;
}

QString TReport::Text() const
{
    QStringList lines;
    lines << (Cancelled ? QStringLiteral("导入已取消，光盘夹没有任何改变。")
                        : QStringLiteral("已导入光盘：%1 张").arg(Added));
    if (Cancelled)
        return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
    lines << QStringLiteral("跳过的行：%1 行").arg(Skipped.size());
    for (const QString &s : Skipped)
        lines << QStringLiteral("  ") + s;
    auto list = [&](const QString &caption, const QStringList &items) {
        lines << QStringLiteral("%1：%2 个").arg(caption).arg(items.size());
        for (const QString &item : items)
            lines << QStringLiteral("  ") + item;
    };
    list(QStringLiteral("新建的光盘夹目录"), Folders);
    list(QStringLiteral("新增的分类"), Categories);
    list(QStringLiteral("新增的质量"), Qualities);
    if (DefaultQualityCount > 0)
        lines << QStringLiteral("没有质量的光盘：%1 张，质量设为“%2”").arg(DefaultQualityCount).arg(DefaultQuality);
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

TReport Import(TDAODatabase &db, const QList<ImportPlan::TRow> &rows, int targetFolder, const TCallbacks &callbacks)
{
    TReport report;
    TDAOTransaction work(db);
    TBoundStatement insert(
        db, QStringLiteral("INSERT INTO TbCd (Day, Code, Serial, Name, Spell, CId, TId, QId, DId, Price, "
                           "Location, Memo, Picture) VALUES (?1,?2,?3,?4,?5,?6,?7,?8,0,?9,?10,?11,?12)"));
    TBoundStatement findFolder(db,
                               QStringLiteral("SELECT ID FROM TbTree WHERE Id1=?1 AND Name=?2 ORDER BY ID LIMIT 1"));
    TBoundStatement addFolder(db, QStringLiteral("INSERT INTO TbTree (Id1, Name) VALUES (?1, ?2)"));
    TNameIds categories(db, QStringLiteral("TbCategory"), report.Categories);
    TNameIds qualities(db, QStringLiteral("TbQuality"), report.Qualities);
    // A folder's children by name, lower case: each folder is one entry,
    // however deep it lies.
    QHash<QPair<qint64, QString>, qint64> folders;

    QHash<QStringList, qint64> byPath; // the path as the row spells it → Id

    auto folderOf = [&](const QStringList &path) -> qint64 {
        if (path.isEmpty())
            return targetFolder;
        if (auto hit = byPath.constFind(path); hit != byPath.constEnd())
            return *hit;
        qint64 id = targetFolder;
        QString shown; // the path so far as the report tells it
        for (const QString &name : path) {
            shown = shown.isEmpty() ? ShortPath(name) : ShortPath(shown + QLatin1Char('/') + name);
            const QPair<qint64, QString> key(id, name.toLower());
            auto it = folders.constFind(key);
            if (it != folders.constEnd()) {
                id = *it;
                continue;
            }
            qint64 child = findFolder.Bind(1, id).Bind(2, name).Scalar();
            if (child == 0) {
                child = addFolder.Bind(1, id).Bind(2, name).Run();
                report.Folders << shown;
            }
            folders.insert(key, child);
            id = child;
        }
        byPath.insert(path, id);
        return id;
    };

    // The grade of rows without one: the catalog's first, looked up when
    // first needed (none while the catalog has none).
    qint64 firstQuality = 0;
    auto qualityOf = [&](const QString &name) -> qint64 {
        if (!name.isEmpty())
            return qualities.Id(name);
        if (firstQuality == 0)
            std::tie(firstQuality, report.DefaultQuality) = FirstQualityRow(db);
        if (firstQuality != 0)
            ++report.DefaultQualityCount;
        return firstQuality;
    };

    for (const ImportPlan::TRow &row : rows) {
        if (callbacks.Step && !callbacks.Step()) {
            report = TReport();
            report.Cancelled = true;
            return report; // the transaction rolls back
        }
        if (row.Skipped) {
            report.Skipped << QStringLiteral("第%1行：%2").arg(row.Number).arg(row.Problems.join(QStringLiteral("；")));
            continue;
        }
        const TCdRec &d = row.Disc;
        QString picture;
        if (!row.PictureSource.isEmpty() && callbacks.StorePicture)
            picture = callbacks.StorePicture(row.PictureSource);
        if (row.HasDay)
            insert.Bind(1, *d.Day);
        else
            insert.BindNull(1);
        insert.Bind(2, d.Code).Bind(3, d.Serial).Bind(4, d.Name).Bind(5, d.Spell);
        insert.Bind(6, categories.Id(row.Category)).Bind(7, folderOf(row.FolderPath)).Bind(8, qualityOf(row.Quality));
        if (row.HasPrice)
            insert.Bind(9, Currency::ToDouble(*d.Price));
        else
            insert.BindNull(9);
        insert.Bind(10, d.Location).Bind(11, d.Memo).Bind(12, picture);
        insert.Run();
        ++report.Added;
    }
    work.Commit();
    return report;
}

} // namespace ImportStore
