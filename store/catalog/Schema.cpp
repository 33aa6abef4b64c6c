#include "store/catalog/Schema.h"

#include "pinyin/TextBlank.h"
#include "store/engine/CatalogOpening.h"
#include "store/engine/DAODatabase.h"
#include "store/engine/Errors.h"
#include "store/engine/SqlDialect.h"

#include <QFileInfo>

#include <sqlcipher/sqlite3.h>

namespace Schema {

using SqlDialect::SqliteLiteral;

namespace {

struct ColumnDef
{
    const char *name;
    const char *type;      // SQLite type; with its constraints when the column has no width
    int width = 0;         // GBK bytes of a text column up to "Build1.01"
    int wideWidth = 0;     // GBK bytes from "Build1.02" on; 0: unchanged
    const char *tail = ""; // constraints after the collation
    Layout since = Layout::Build100;
};

struct TableDef
{
    const char *name;
    std::vector<ColumnDef> columns;
    bool oldOnly; // dropped by the first upgrade
};

// Text compares without regard to letter case, as every statement of the
// program expects; widths are GBK bytes, kept by the data-access layer.
const std::vector<TableDef> &Tables()
{
    static const std::vector<TableDef> tables = {
        {"TbCd",
         {
             {"ID", "INTEGER PRIMARY KEY AUTOINCREMENT"},
             {"Day", "DATETIME"},
             {"Code", "TEXT", 20},
             {"Serial", "TEXT", 10, 40},
             {"Name", "TEXT", 20, 100},
             {"CId", "INTEGER"},
             {"TId", "INTEGER"},
             {"QId", "INTEGER"},
             {"DId", "INTEGER"},
             {"Price", "CURRENCY"},
             {"Location", "TEXT", 50, 100},
             {"Memo", "LONGTEXT COLLATE NOCASE"},
             {"Picture", "TEXT", 255, 0, "", Layout::Build101},
             {"Spell", "TEXT", 20, 100, " NOT NULL DEFAULT ''", Layout::Build101},
         },
         false},
        {"TbTree",
         {
             {"ID", "INTEGER PRIMARY KEY AUTOINCREMENT"},
             {"Id1", "INTEGER"},
             {"Name", "TEXT", 20, 60},
         },
         false},
        {"TbCategory",
         {
             {"Id", "INTEGER PRIMARY KEY AUTOINCREMENT"},
             {"Name", "TEXT", 20, 40},
         },
         false},
        {"TbQuality",
         {
             {"Id", "INTEGER PRIMARY KEY AUTOINCREMENT"},
             {"Name", "TEXT", 20, 40},
         },
         false},
        {"TbSetings",
         {
             {"Version", "TEXT", 50},
         },
         false},
        {"TbDirImage",
         {
             {"ID", "INTEGER"},
             {"Id1", "INTEGER"},
             {"Day", "DATETIME"},
             {"Name", "TEXT", 255},
             {"Size", "INTEGER"},
         },
         true},
    };
    return tables;
}

const TableDef &Table(const QString &name)
{
    for (const TableDef &table : Tables()) {
        if (name.compare(QLatin1String(table.name), Qt::CaseInsensitive) == 0)
            return table;
    }
    throw EAppError(QStringLiteral("no table %1 in the catalog layout").arg(name));
}

bool InLayout(const TableDef &table, Layout layout)
{
    return !table.oldOnly || layout == Layout::Build100;
}

bool InLayout(const ColumnDef &column, Layout layout)
{
    return column.since <= layout;
}

QString Definition(const ColumnDef &column, Layout layout)
{
    if (column.width == 0)
        return QLatin1String(column.type);
    const int width = layout >= Layout::Build102 && column.wideWidth ? column.wideWidth : column.width;
    return QStringLiteral("%1(%2) COLLATE NOCASE%3")
        .arg(QLatin1String(column.type))
        .arg(width)
        .arg(QLatin1String(column.tail));
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

} // namespace

QString VersionOf(Layout layout)
{
    switch (layout) {
    case Layout::Build100:
        return QLatin1String(VersionOld);
    case Layout::Build101:
        return QLatin1String(Version101);
    case Layout::Build102:
        break;
    }
    return QLatin1String(VersionCurrent);
}

namespace {

struct IndexDef
{
    const char *name;
    const char *on; // the table and its columns
};

// The quick jump's list is read from TbCdPick alone, in the order of
// initials then ID, without visiting the discs' rows.
constexpr IndexDef CurrentIndexes[] = {
    {"TbCdPick", "TbCd(Spell, ID, Code, Name)"},
    {"TbCdCode", "TbCd(Code)"},
    {"TbCdTId", "TbCd(TId)"},
    {"TbTreeId1", "TbTree(Id1)"},
};

} // namespace

QStringList IndexStatements()
{
    QStringList statements;
    for (const IndexDef &index : CurrentIndexes)
        statements << QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2")
                          .arg(QLatin1String(index.name), QLatin1String(index.on));
    return statements;
}

QStringList RetiredIndexStatements()
{
    // The initials alone: TbCdPick starts with them.
    return {QStringLiteral("DROP INDEX IF EXISTS TbCdSpell")};
}

QString IndexesPresentStatement()
{
    QStringList names;
    for (const IndexDef &index : CurrentIndexes)
        names << SqliteLiteral(QLatin1String(index.name));
    return QStringLiteral("SELECT count(*) AS Found FROM sqlite_master WHERE type='index' AND name IN (%1)")
        .arg(names.join(QLatin1Char(',')));
}

QString CodeUniqueIndexStatement(Layout layout)
{
    // "Build1.01" trimmed ASCII spaces only, so two codes of full-width
    // spaces collided in the index although the program calls both blank.
    if (layout == Layout::Build101)
        return QStringLiteral("CREATE UNIQUE INDEX %1 ON TbCd(Code) WHERE trim(Code)<>''")
            .arg(QLatin1String(CodeUniqueIndex));
    QStringList codes;
    for (const char16_t c : TextBlank::Codepoints())
        codes << QString::number(int(c));
    return QStringLiteral("CREATE UNIQUE INDEX %1 ON TbCd(Code) WHERE trim(Code, char(%2))<>''")
        .arg(QLatin1String(CodeUniqueIndex), codes.join(QLatin1Char(',')));
}

int TextWidth(const QString &table, const QString &column, Layout layout)
{
    for (const ColumnDef &def : Table(table).columns) {
        if (column.compare(QLatin1String(def.name), Qt::CaseInsensitive) == 0)
            return layout >= Layout::Build102 && def.wideWidth ? def.wideWidth : def.width;
    }
    return 0;
}

QStringList WidenedTables()
{
    QStringList names;
    for (const TableDef &table : Tables()) {
        for (const ColumnDef &column : table.columns) {
            if (column.wideWidth != 0) {
                names << QLatin1String(table.name);
                break;
            }
        }
    }
    return names;
}

QStringList ColumnNames(const QString &table, Layout layout)
{
    QStringList names;
    for (const ColumnDef &column : Table(table).columns) {
        if (InLayout(column, layout))
            names << QLatin1String(column.name);
    }
    return names;
}

QStringList TableNames(Layout layout)
{
    QStringList names;
    for (const TableDef &table : Tables()) {
        if (InLayout(table, layout))
            names << QLatin1String(table.name);
    }
    return names;
}

QString CreateTableStatement(const QString &table, Layout layout, const QString &createAs)
{
    const TableDef &def = Table(table);
    QStringList columns;
    for (const ColumnDef &column : def.columns) {
        if (InLayout(column, layout))
            columns << QStringLiteral("%1 %2").arg(QLatin1String(column.name), Definition(column, layout));
    }
    return QStringLiteral("CREATE TABLE %1 (%2)")
        .arg(createAs.isEmpty() ? QLatin1String(def.name) : createAs, columns.join(QStringLiteral(", ")));
}

QStringList CreateStatements(Layout layout)
{
    QStringList statements;
    for (const TableDef &table : Tables()) {
        if (InLayout(table, layout))
            statements << CreateTableStatement(QLatin1String(table.name), layout);
    }
    if (layout == Layout::Build100)
        return statements << QStringLiteral("CREATE INDEX TbCdCode ON TbCd(Code)")
                          << QStringLiteral("CREATE INDEX TbCdTId ON TbCd(TId)");
    // A code, when given, names one disc. Only new catalogs get the
    // constraint: an older file may already hold a repeated code.
    return statements << IndexStatements() << CodeUniqueIndexStatement(layout);
}

void CreateCatalog(const QString &path, Layout layout, bool seed, const QString &password)
{
    if (QFileInfo::exists(path))
        throw EFileError(QStringLiteral("文件“%1”已经存在。").arg(path));
    const TCatalogHandle db = OpenCatalogHandle(path, password, false, true);
    sqlite3 *raw = db.get();
    Exec(raw, QStringLiteral("BEGIN"));
    for (const QString &statement : CreateStatements(layout))
        Exec(raw, statement);
    Exec(raw, QStringLiteral("INSERT INTO TbTree (ID, Id1, Name) VALUES (%1, 0, '主目录')").arg(RootFolderId));
    Exec(raw, QStringLiteral("INSERT INTO TbSetings (Version) VALUES (%1)").arg(SqliteLiteral(VersionOf(layout))));
    if (seed) {
        for (const char *name : {"电影", "音乐", "软件", "游戏", "教学", "动画", "资料"})
            Exec(raw, QStringLiteral("INSERT INTO TbCategory (Name) VALUES (%1)")
                          .arg(SqliteLiteral(QString::fromUtf8(name))));
        for (const char *name : {"全新", "良好", "一般", "较差", "损坏"})
            Exec(
                raw,
                QStringLiteral("INSERT INTO TbQuality (Name) VALUES (%1)").arg(SqliteLiteral(QString::fromUtf8(name))));
    }
    Exec(raw, QStringLiteral("COMMIT"));
}

} // namespace Schema
