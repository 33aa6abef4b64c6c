#include "ImportStore.h"

#include "BoundStatement.h"
#include "DAODatabase.h"
#include "DAOQuery.h"
#include "Schema.h"

#include <QHash>

#include <sqlcipher/sqlite3.h>

namespace ImportStore {

namespace {

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
    db.ForEachRow(QStringLiteral("SELECT Code FROM TbCd WHERE trim(Code)<>''"), [&](sqlite3_stmt *row) {
        codes.insert(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(row, 0))).toLower());
    });
    return codes;
}

QList<QPair<int, QString>> FolderPaths(TDAODatabase &db)
{
    QHash<qint64, QPair<qint64, QString>> folders; // Id → parent, name
    db.ForEachRow(QStringLiteral("SELECT ID, Id1, Name FROM TbTree"), [&](sqlite3_stmt *row) {
        folders.insert(sqlite3_column_int64(row, 0),
                       {sqlite3_column_int64(row, 1),
                        QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(row, 2)))});
    });
    QList<QPair<int, QString>> paths;
    for (auto it = folders.constBegin(); it != folders.constEnd(); ++it) {
        if (it.key() == Schema::RootFolderId)
            continue;
        QStringList names{it->second};
        qint64 parent = it->first;
        // A broken chain (a missing parent, a loop) ends the path.
        for (int depth = 0; parent != Schema::RootFolderId && folders.contains(parent) && depth < 1000; ++depth) {
            names.prepend(folders.value(parent).second);
            parent = folders.value(parent).first;
        }
        paths << qMakePair(int(it.key()), names.join(QLatin1Char('/')));
    }
    std::sort(paths.begin(), paths.end(), [](const auto &a, const auto &b) { return a.second < b.second; });
    paths.prepend(qMakePair(int(Schema::RootFolderId), folders.value(Schema::RootFolderId).second));
    return paths;
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
    QHash<QString, qint64> folders; // path below the target, lower case → Id

    QHash<QStringList, qint64> byPath; // the path as the row spells it → Id

    auto folderOf = [&](const QStringList &path) -> qint64 {
        if (path.isEmpty())
            return targetFolder;
        if (auto hit = byPath.constFind(path); hit != byPath.constEnd())
            return *hit;
        qint64 id = targetFolder;
        QString key;
        for (const QString &name : path) {
            key += QLatin1Char('/') + name.toLower();
            auto it = folders.constFind(key);
            if (it != folders.constEnd()) {
                id = *it;
                continue;
            }
            qint64 child = findFolder.Bind(1, id).Bind(2, name).Scalar();
            if (child == 0) {
                child = addFolder.Bind(1, id).Bind(2, name).Run();
                report.Folders << path.mid(0, key.count(QLatin1Char('/'))).join(QLatin1Char('/'));
            }
            folders.insert(key, child);
            id = child;
        }
        byPath.insert(path, id);
        return id;
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
        insert.Bind(6, categories.Id(row.Category))
            .Bind(7, folderOf(row.FolderPath))
            .Bind(8, qualities.Id(row.Quality));
        insert.Bind(9, Currency::ToDouble(d.Price)).Bind(10, d.Location).Bind(11, d.Memo).Bind(12, picture);
        insert.Run();
        ++report.Added;
    }
    work.Commit();
    return report;
}

} // namespace ImportStore
