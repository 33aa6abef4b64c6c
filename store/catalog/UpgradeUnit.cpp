#include "store/catalog/UpgradeUnit.h"

#include "pinyin/Spell.h"
#include "store/catalog/DataModule.h"
#include "store/catalog/Schema.h"
#include "store/engine/Errors.h"
#include "store/engine/RowReader.h"
#include "store/engine/SqlDialect.h"

#include <memory>
#include <optional>
#include <utility>
#include <vector>

using SqlDialect::SqliteLiteral;

namespace {

// The indexes a table has, by name and statement, so that they come back
// after the table is built anew.
std::vector<std::pair<QString, QString>> IndexesOf(TDAODatabase &db, const QString &table)
{
    std::vector<std::pair<QString, QString>> indexes;
    db.ForEachRow(QStringLiteral("SELECT name, sql FROM sqlite_master WHERE type='index' AND "
                                 "tbl_name=%1 COLLATE NOCASE AND sql IS NOT NULL")
                      .arg(SqliteLiteral(table)),
                  [&](const TRowReader &row) { indexes.emplace_back(row.Text(0), row.Text(1)); });
    return indexes;
}

// The table's ID counter: the largest ID it ever handed out, deleted rows
// included. None when the table never had a row.
std::optional<qint64> CounterOf(TDAODatabase &db, const QString &table)
{
    std::optional<qint64> counter;
    db.ForEachRow(
        QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name=%1 COLLATE NOCASE").arg(SqliteLiteral(table)),
        [&](const TRowReader &row) {
            if (!counter)
                counter = row.Int64(0);
        });
    return counter;
}

// SQLite keeps a column's declared width only in the table's statement, so a
// wider column means the table built anew under the new statement, with
// every row, ID, index and the ID counter carried over.
void WidenTable(TDAODatabase &db, const QString &table)
{
    const auto indexes = IndexesOf(db, table);
    const std::optional<qint64> counter = CounterOf(db, table);
    const QString columns = Schema::ColumnNames(table, Schema::Layout::Build102).join(QLatin1Char(','));
    const QString wide = table + QStringLiteral("_Build102");

    db.Exec(Schema::CreateTableStatement(table, Schema::Layout::Build102, wide));
    db.Exec(QStringLiteral("INSERT INTO %1 (%2) SELECT %2 FROM %3").arg(wide, columns, table));
    db.Exec(QStringLiteral("DROP TABLE %1").arg(table));
    db.Exec(QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(wide, table));
    // The copy set the counter to the largest ID copied (or to 0 for no
    // row); put back the one the table had.
    db.Exec(QStringLiteral("DELETE FROM sqlite_sequence WHERE name=%1").arg(SqliteLiteral(table)));
    db.Exec(QStringLiteral("INSERT INTO sqlite_sequence (name, seq) SELECT %1, max(%2, coalesce((SELECT max(rowid) "
                           "FROM %3), 0)) WHERE %4 OR EXISTS (SELECT 1 FROM %3)")
                .arg(SqliteLiteral(table))
                .arg(counter.value_or(0))
                .arg(table)
                .arg(counter ? 1 : 0));
    for (const auto &[name, sql] : indexes) {
        db.Exec(name.compare(QLatin1String(Schema::CodeUniqueIndex), Qt::CaseInsensitive) == 0
                    ? Schema::CodeUniqueIndexStatement(Schema::Layout::Build102)
                    : sql);
    }
}

} // namespace

QString GetDbVersion(TDM &dm)
{
    return dm.GetFieldValue(QStringLiteral("SELECT * FROM TbSetings"), QStringLiteral("Version"));
}

void Upgrade100To101(TDM &dm, const QString &version)
{
    if (version != QLatin1String(Schema::VersionOld))
        return;

    TDAOTransaction transaction(dm.DbBase);
    dm.ExecuteSQL(QStringLiteral("ALTER TABLE TbCd ADD COLUMN Picture TEXT(255)"));
    dm.ExecuteSQL(QStringLiteral("ALTER TABLE TbCd ADD COLUMN Spell TEXT(20) NOT NULL"));
    if (dm.HasRecords(QStringLiteral("SELECT Name,Spell FROM TbCd"))) {
        TDAOQuery &q = dm.Q1;
        q.First();
        while (!q.AtEnd()) {
            q.Edit();
            q.Field(QStringLiteral("Spell")).SetAsString(GetSpell(q.Field(QStringLiteral("Name")).AsString()));
            q.Post();
            q.Next();
        }
    }
    dm.ExecuteSQL(QStringLiteral("DROP TABLE TbDirImage"));
    dm.ExecuteSQL(QStringLiteral("UPDATE TbSetings SET Version=\"%1\"").arg(QLatin1String(Schema::Version101)));
    // The quick jump and the folder listing need the indexes of the current
    // layout.
    for (const QString &statement : Schema::IndexStatements())
        dm.ExecuteSQL(statement);
    transaction.Commit();
}

namespace {

// The current indexes created where missing, those they replace dropped.
void CreateIndexes(TDM &dm)
{
    for (const QString &statement : Schema::IndexStatements() + Schema::RetiredIndexStatements())
        dm.ExecuteSQL(statement);
}

} // namespace

void UpdateIndexes(TDM &dm)
{
    if (dm.GetFieldValue(Schema::IndexesPresentStatement(), QStringLiteral("Found")).toInt() ==
        Schema::IndexStatements().size())
        return;
    try {
        TDAOTransaction transaction(dm.DbBase);
        dm.Q1.Close();
        CreateIndexes(dm);
        transaction.Commit();
    } catch (const EDAOError &error) {
        // The indexes only make lookups quicker: a file that cannot take
        // them now (read-only, busy in another program, a full disk, tables
        // not as expected) is opened as it is, and gets them at a later
        // opening. A damaged or refused file is the opening's error.
        if (error.IsDamagedFile())
            throw;
    }
}

void Upgrade101To102(TDM &dm, const QString &version)
{
    if (version != QLatin1String(Schema::Version101))
        return;

    TDAOTransaction transaction(dm.DbBase);
    dm.Q1.Close();
    for (const QString &table : Schema::WidenedTables())
        WidenTable(dm.DbBase, table);
    dm.DbBase.Exec(
        QStringLiteral("UPDATE TbSetings SET Version=%1").arg(SqliteLiteral(QLatin1String(Schema::VersionCurrent))));
    transaction.Commit();
}

void UpgradeDb(TDM &dm)
{
    const QString version = GetDbVersion(dm);
    if (version == QLatin1String(Schema::VersionCurrent)) {
        UpdateIndexes(dm);
        return;
    }
    if (version != QLatin1String(Schema::VersionOld) && version != QLatin1String(Schema::Version101))
        return;
    // Both steps or none: a file left between them would be a "Build1.01"
    // that the user never had.
    TDAOTransaction transaction(dm.DbBase);
    Upgrade100To101(dm, version);
    Upgrade101To102(dm, GetDbVersion(dm));
    CreateIndexes(dm);
    dm.Q1.Close();
    transaction.Commit();
}
