#include "ImportStore.h"

#include "DAODatabase.h"
#include "DAOQuery.h"
#include "Schema.h"

#include <QHash>

#include <sqlcipher/sqlite3.h>

namespace ImportStore {

namespace {

// One prepared statement, bound afresh for every row.
class TStatement
{
public:
    TStatement(TDAODatabase &db, const QString &sql) : m_db(db), m_stmt(db.Prepare(sql)) {}
    ~TStatement() { sqlite3_finalize(m_stmt); }
    TStatement(const TStatement &) = delete;
    TStatement &operator=(const TStatement &) = delete;

    TStatement &Bind(int index, const QString &text)
    {
        const QByteArray utf8 = text.toUtf8();
        sqlite3_bind_text(m_stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        return *this;
    }
    TStatement &Bind(int index, qint64 value)
    {
        sqlite3_bind_int64(m_stmt, index, value);
        return *this;
    }
    TStatement &Bind(int index, double value)
    {
        sqlite3_bind_double(m_stmt, index, value);
        return *this;
    }
    TStatement &BindNull(int index)
    {
        sqlite3_bind_null(m_stmt, index);
        return *this;
    }
    // The first column of the first row, 0 for none.
    qint64 Scalar()
    {
        const int rc = sqlite3_step(m_stmt);
        const qint64 value = rc == SQLITE_ROW ? sqlite3_column_int64(m_stmt, 0) : 0;
        Finish(rc == SQLITE_ROW ? SQLITE_DONE : rc);
        return value;
    }
    // Runs the statement; the new row's key.
    qint64 Run()
    {
        Finish(sqlite3_step(m_stmt));
        return sqlite3_last_insert_rowid(m_db.Handle());
    }

private:
    void Finish(int rc)
    {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
        if (rc != SQLITE_DONE && rc != SQLITE_ROW)
            TDAODatabase::RaiseEngineError(m_db.Handle(), sqlite3_extended_errcode(m_db.Handle()));
    }

    TDAODatabase &m_db;
    sqlite3_stmt *m_stmt;
};

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

// Finds or adds names in a category or grade table, remembering each.
class TNameTable
{
public:
    TNameTable(TDAODatabase &db, const QString &table, QStringList &added)
        : m_find(db, QStringLiteral("SELECT Id FROM %1 WHERE Name=?1").arg(table)),
          m_add(db, QStringLiteral("INSERT INTO %1 (Name) VALUES (?1)").arg(table)), m_added(added)
    {
    }
    qint64 Id(const QString &name)
    {
        if (name.isEmpty())
            return 0;
        const QString key = name.toLower();
        auto it = m_ids.constFind(key);
        if (it != m_ids.constEnd())
            return *it;
        qint64 id = m_find.Bind(1, name).Scalar();
        if (id == 0) {
            id = m_add.Bind(1, name).Run();
            m_added << name;
        }
        m_ids.insert(key, id);
        return id;
    }

private:
    TStatement m_find, m_add;
    QStringList &m_added;
    QHash<QString, qint64> m_ids;
};

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
    TStatement insert(db, QStringLiteral("INSERT INTO TbCd (Day, Code, Serial, Name, Spell, CId, TId, QId, DId, Price, "
                                         "Location, Memo, Picture) VALUES (?1,?2,?3,?4,?5,?6,?7,?8,0,?9,?10,?11,?12)"));
    TStatement findFolder(db, QStringLiteral("SELECT ID FROM TbTree WHERE Id1=?1 AND Name=?2 ORDER BY ID LIMIT 1"));
    TStatement addFolder(db, QStringLiteral("INSERT INTO TbTree (Id1, Name) VALUES (?1, ?2)"));
    TNameTable categories(db, QStringLiteral("TbCategory"), report.Categories);
    TNameTable qualities(db, QStringLiteral("TbQuality"), report.Qualities);
    QHash<QString, qint64> folders; // path below the target, lower case → Id

    auto folderOf = [&](const QStringList &path) {
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
            insert.Bind(1, d.Day);
        else
            insert.BindNull(1);
        insert.Bind(2, d.Code).Bind(3, d.Serial).Bind(4, d.Name).Bind(5, d.Spell);
        insert.Bind(6, categories.Id(row.Category)).Bind(7, folderOf(row.FolderPath)).Bind(8, qualities.Id(row.Quality));
        insert.Bind(9, Currency::ToDouble(d.Price)).Bind(10, d.Location).Bind(11, d.Memo).Bind(12, picture);
        insert.Run();
        ++report.Added;
    }
    work.Commit();
    return report;
}

} // namespace ImportStore
