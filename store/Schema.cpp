#include "Schema.h"

#include "DAODatabase.h"
#include "Errors.h"

#include <QFileInfo>

#include <sqlcipher/sqlite3.h>

namespace Schema {

namespace {

struct ColumnDef
{
    const char *name;
    const char *definition; // SQLite type and constraints
    bool currentOnly;       // added by the upgrade to the current layout
};

struct TableDef
{
    const char *name;
    std::vector<ColumnDef> columns;
    bool oldOnly; // dropped by the upgrade
};

// Text compares without regard to letter case, as every statement of the
// program expects; widths are GBK bytes, kept by the data-access layer.
const std::vector<TableDef> &Tables()
{
    static const std::vector<TableDef> tables = {
        {"TbCd",
         {
             {"ID", "INTEGER PRIMARY KEY AUTOINCREMENT", false},
             {"Day", "DATETIME", false},
             {"Code", "TEXT(20) COLLATE NOCASE", false},
             {"Serial", "TEXT(10) COLLATE NOCASE", false},
             {"Name", "TEXT(20) COLLATE NOCASE", false},
             {"CId", "INTEGER", false},
             {"TId", "INTEGER", false},
             {"QId", "INTEGER", false},
             {"DId", "INTEGER", false},
             {"Price", "CURRENCY", false},
             {"Location", "TEXT(50) COLLATE NOCASE", false},
             {"Memo", "LONGTEXT COLLATE NOCASE", false},
             {"Picture", "TEXT(255) COLLATE NOCASE", true},
             {"Spell", "TEXT(20) COLLATE NOCASE NOT NULL DEFAULT ''", true},
         },
         false},
        {"TbTree",
         {
             {"ID", "INTEGER PRIMARY KEY AUTOINCREMENT", false},
             {"Id1", "INTEGER", false},
             {"Name", "TEXT(20) COLLATE NOCASE", false},
         },
         false},
        {"TbCategory",
         {
             {"Id", "INTEGER PRIMARY KEY AUTOINCREMENT", false},
             {"Name", "TEXT(20) COLLATE NOCASE", false},
         },
         false},
        {"TbQuality",
         {
             {"Id", "INTEGER PRIMARY KEY AUTOINCREMENT", false},
             {"Name", "TEXT(20) COLLATE NOCASE", false},
         },
         false},
        {"TbSetings",
         {
             {"Version", "TEXT(50) COLLATE NOCASE", false},
         },
         false},
        {"TbDirImage",
         {
             {"ID", "INTEGER", false},
             {"Id1", "INTEGER", false},
             {"Day", "DATETIME", false},
             {"Name", "TEXT(255) COLLATE NOCASE", false},
             {"Size", "INTEGER", false},
         },
         true},
    };
    return tables;
}

void Exec(sqlite3 *db, const QString &sql)
{
    char *error = nullptr;
    const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        const QString message = QString::fromUtf8(error ? error : sqlite3_errstr(rc));
        sqlite3_free(error);
        throw EDAOError(message, rc);
    }
}

QString Quoted(const QString &text)
{
    QString t = text;
    t.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + t + QLatin1Char('\'');
}

} // namespace

QStringList IndexStatements()
{
    return {
        QStringLiteral("CREATE INDEX IF NOT EXISTS TbCdSpell ON TbCd(Spell)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS TbCdCode ON TbCd(Code)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS TbCdTId ON TbCd(TId)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS TbTreeId1 ON TbTree(Id1)"),
    };
}

QStringList CreateStatements(Layout layout)
{
    QStringList statements;
    for (const TableDef &table : Tables()) {
        if (table.oldOnly && layout == Layout::Build101)
            continue;
        QStringList columns;
        for (const ColumnDef &column : table.columns) {
            if (column.currentOnly && layout == Layout::Build100)
                continue;
            columns << QStringLiteral("%1 %2").arg(QLatin1String(column.name), QLatin1String(column.definition));
        }
        statements << QStringLiteral("CREATE TABLE %1 (%2)")
                          .arg(QLatin1String(table.name), columns.join(QStringLiteral(", ")));
    }
    if (layout == Layout::Build101) {
        statements << IndexStatements();
        // A code, when given, names one disc. Only new catalogs get the
        // constraint: an older file may already hold a repeated code.
        statements << QStringLiteral("CREATE UNIQUE INDEX TbCdCodeUnique ON TbCd(Code) WHERE trim(Code)<>''");
    }
    else
        statements << QStringLiteral("CREATE INDEX TbCdCode ON TbCd(Code)")
                   << QStringLiteral("CREATE INDEX TbCdTId ON TbCd(TId)");
    return statements;
}

void CreateCatalog(const QString &path, Layout layout, bool seed, const QString &password)
{
    if (QFileInfo::exists(path))
        throw EFileError(QStringLiteral("文件“%1”已经存在。").arg(path));
    sqlite3 *raw = OpenCatalogHandle(path, password, false, true);
    std::unique_ptr<sqlite3, int (*)(sqlite3 *)> db(raw, sqlite3_close);
    Exec(raw, QStringLiteral("BEGIN"));
    for (const QString &statement : CreateStatements(layout))
        Exec(raw, statement);
    Exec(raw, QStringLiteral("INSERT INTO TbTree (ID, Id1, Name) VALUES (%1, 0, '主目录')").arg(RootFolderId));
    Exec(raw, QStringLiteral("INSERT INTO TbSetings (Version) VALUES (%1)")
                  .arg(Quoted(QLatin1String(layout == Layout::Build100 ? VersionOld : VersionCurrent))));
    if (seed) {
        for (const char *name : {"电影", "音乐", "软件", "游戏", "教学", "动画", "资料"})
            Exec(raw, QStringLiteral("INSERT INTO TbCategory (Name) VALUES (%1)").arg(Quoted(QString::fromUtf8(name))));
        for (const char *name : {"全新", "良好", "一般", "较差", "损坏"})
            Exec(raw, QStringLiteral("INSERT INTO TbQuality (Name) VALUES (%1)").arg(Quoted(QString::fromUtf8(name))));
    }
    Exec(raw, QStringLiteral("COMMIT"));
}

} // namespace Schema
