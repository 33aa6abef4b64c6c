// The catalog store against the bare engine: every case runs next to a
// baseline that does the same work on the same file through the SQLCipher
// API directly, in the same process, and the run ends with a table of the
// ratios and of the bars each case has to meet.
#include "bench/BenchSupport.h"
#include "pinyin/Spell.h"
#include "store/catalog/DataModule.h"
#include "store/catalog/DiscFind.h"
#include "store/catalog/DiscList.h"
#include "store/catalog/PickFilter.h"
#include "store/catalog/Schema.h"
#include "store/catalog/UpgradeUnit.h"
#include "store/engine/DAODataSource.h"
#include "store/engine/DAODatabase.h"
#include "store/engine/DAOQuery.h"
#include "store/engine/Errors.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>
#include <sqlcipher/sqlite3.h>

#include <string>
#include <vector>

namespace {

using Bench::Attach;
using Bench::CheckUntimed;
using Bench::RawDb;
using Bench::RawStatement;

const QString AllDiscs = DiscListStatement();

// What the user types into the quick code box and the find dialog, as the
// program sends it and as plain SQLite says it.
const QString SpellJump = QuickPickDiscsStatement() +
                          PickFilterClause(QuickPickDiscsStatement(), QStringLiteral("Spell"), QStringLiteral("XL"));
const char *const SpellJumpRaw = "SELECT Id,Code,Name,Spell FROM TbCd WHERE Spell LIKE 'XL%'";
const QString CodeJump = QuickPickDiscsStatement() +
                         PickFilterClause(QuickPickDiscsStatement(), QStringLiteral("Code"), QStringLiteral("12"));
const char *const CodeJumpRaw = "SELECT Id,Code,Name,Spell FROM TbCd WHERE Code LIKE '12%'";
const QString NameSearch = BuildFindStatement([] {
    TFindCriteria criteria;
    criteria.Name = QStringLiteral("英");
    return criteria;
}());
const QByteArray NameSearchRaw = (AllDiscs + QStringLiteral(" WHERE A.Name LIKE '%英%'")).toUtf8();

constexpr int LargeCatalog = 100000;
constexpr int DeletedDiscs = 10000;

// The generated catalogs, written once per run into the run's folder.
QString CatalogPath(int discs, Schema::Layout layout = Schema::Layout::Build102)
{
    const QString suffix = layout == Schema::Layout::Build102 ? QString() : Schema::VersionOf(layout);
    return Bench::GeneratedCatalog(QStringLiteral("%1%2.db").arg(discs).arg(suffix), discs, layout);
}

// A copy of source that an iteration may change, made with the clock
// stopped; the previous copy is replaced.
QString UntimedCopy(benchmark::State &state, const QString &source)
{
    state.PauseTiming();
    const QString path = Bench::FreshCopy(source, QStringLiteral("work.db"));
    state.ResumeTiming();
    return path;
}

// Every cell as the disc list paints it: the data source's display text.
qint64 ReadEveryCell(const TDAODataSource &source)
{
    qint64 characters = 0;
    const int rows = source.rowCount();
    const int columns = source.columnCount();
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            characters += source.data(source.index(r, c), Qt::DisplayRole).toString().size();
    benchmark::DoNotOptimize(characters);
    return rows;
}

// The columns the disc list shows, for every row: what its footer's total
// and a sort by column go through.
qint64 ReadShownColumns(const TDAODataSource &source)
{
    std::vector<int> columns;
    for (const char *name : {"Picture", "Serial", "Day", "Code", "Name", "Category", "Quality", "Price"})
        columns.push_back(source.ColumnOfField(QLatin1String(name)));
    qint64 characters = 0;
    const int rows = source.rowCount();
    for (int r = 0; r < rows; ++r)
        for (int c : columns)
            characters += source.data(source.index(r, c), Qt::DisplayRole).toString().size();
    benchmark::DoNotOptimize(characters);
    return rows;
}

// The disc list as the main window opens it: the catalog named with its key,
// the all-discs query opened, a data source bound to it.
struct OpenDiscList
{
    explicit OpenDiscList(const QString &path)
    {
        Attach(db, path);
        query.SetDatabase(&db);
        TDM::OpenQuery(query, AllDiscs);
        source.SetDataSet(&query);
    }

    TDAODatabase db;
    TDAOQuery query;
    TDAODataSource source;
};

// -- Opening the catalog and fetching the whole disc list ---------------

void AllDiscsRaw(benchmark::State &state)
{
    const QString path = CatalogPath(int(state.range(0)));
    const QByteArray sql = AllDiscs.toUtf8();
    qint64 rows = 0;
    for (auto _ : state) {
        RawDb db(path);
        rows = db.StepAll(sql.constData());
    }
    state.counters["rows"] = double(rows);
}

void AllDiscsStore(benchmark::State &state, qint64 (*read)(const TDAODataSource &))
{
    const QString path = CatalogPath(int(state.range(0)));
    qint64 rows = 0;
    for (auto _ : state) {
        const OpenDiscList list(path);
        rows = read(list.source);
    }
    state.counters["rows"] = double(rows);
}

void AllDiscsStoreEveryCell(benchmark::State &state)
{
    AllDiscsStore(state, ReadEveryCell);
}

void AllDiscsStoreShown(benchmark::State &state)
{
    AllDiscsStore(state, ReadShownColumns);
}

// Without reading any cell: what opening costs before a view paints its
// first screen.
void AllDiscsStoreOpenOnly(benchmark::State &state)
{
    AllDiscsStore(state, [](const TDAODataSource &source) { return qint64(source.rowCount()); });
}

// -- Quick jump and name search on an open catalog ----------------------

void RawQuery(benchmark::State &state, const char *sql)
{
    const RawDb db(CatalogPath(LargeCatalog));
    db.Exec("SELECT count(*) FROM sqlite_master");
    qint64 rows = 0;
    for (auto _ : state)
        rows = db.StepAll(sql);
    state.counters["rows"] = double(rows);
}

// As the quick code box fills its list: open, go to the last row for the
// count, then read every row's columns from the first.
void StoreJump(benchmark::State &state, const QString &sql)
{
    TDAODatabase db;
    Attach(db, CatalogPath(LargeCatalog));
    db.SetConnected(true);
    TDAOQuery query;
    query.SetDatabase(&db);
    qint64 rows = 0;
    for (auto _ : state) {
        TDM::OpenQuery(query, sql);
        query.Last();
        rows = query.RowCount();
        query.First();
        qint64 characters = 0;
        while (!query.AtEnd()) {
            for (int f = 0; f < query.FieldCount(); ++f)
                characters += query.FieldAt(f).AsString().size();
            query.Next();
        }
        benchmark::DoNotOptimize(characters);
    }
    query.Close();
    state.counters["rows"] = double(rows);
}

// As the find dialog shows its result: the query opened and every cell of
// its grid read through the data source.
void NameSearchStore(benchmark::State &state)
{
    TDAODatabase db;
    Attach(db, CatalogPath(LargeCatalog));
    db.SetConnected(true);
    TDAOQuery query;
    query.SetDatabase(&db);
    TDAODataSource source;
    source.SetDataSet(&query);
    const bool readCells = state.range(0) != 0;
    qint64 rows = 0;
    for (auto _ : state) {
        TDM::OpenQuery(query, NameSearch);
        rows = readCells ? ReadEveryCell(source) : source.rowCount();
    }
    query.Close();
    state.counters["rows"] = double(rows);
}

// -- Deleting 10,000 discs in one bracketed command ---------------------

// Every tenth disc of the list, as a user's scattered selection.
std::vector<int> RowsToDelete()
{
    std::vector<int> rows;
    for (int r = 0; r < DeletedDiscs; ++r)
        rows.push_back(r * (LargeCatalog / DeletedDiscs));
    return rows;
}

qint64 DiscCount(const QString &path)
{
    return RawDb(path).Count(QStringLiteral("SELECT count(*) FROM TbCd"));
}

void DeleteRaw(benchmark::State &state)
{
    const QString source = CatalogPath(LargeCatalog);
    for (auto _ : state) {
        state.PauseTiming();
        const QString path = Bench::FreshCopy(source, QStringLiteral("work.db"));
        std::vector<qint64> ids;
        {
            const RawDb db(path);
            const RawStatement stmt = db.Prepare("SELECT ID FROM TbCd ORDER BY ID");
            std::vector<qint64> all;
            while (sqlite3_step(stmt.get()) == SQLITE_ROW)
                all.push_back(sqlite3_column_int64(stmt.get(), 0));
            for (int row : RowsToDelete())
                ids.push_back(all[size_t(row)]);
        }
        state.ResumeTiming();

        RawDb db(path);
        RawStatement stmt = db.Prepare("DELETE FROM TbCd WHERE ID=?");
        db.Exec("BEGIN IMMEDIATE");
        for (qint64 id : ids) {
            sqlite3_bind_int64(stmt.get(), 1, id);
            db.Run(stmt.get());
        }
        db.Exec("COMMIT");
        stmt.reset();
        db.Close();

        CheckUntimed(
            state, [&] { return DiscCount(path) == LargeCatalog - DeletedDiscs; }, "the discs were not deleted");
    }
}

// The disc list's delete: the list's query holds every disc, a data source
// is bound to it, and inside one suspension the cursor goes to each chosen
// row by its bookmark and deletes it. Opening the list is not timed.
void DeleteStore(benchmark::State &state)
{
    const QString source = CatalogPath(LargeCatalog);
    for (auto _ : state) {
        state.PauseTiming();
        const QString path = Bench::FreshCopy(source, QStringLiteral("work.db"));
        {
            OpenDiscList list(path);
            TDAOQuery &query = list.query;
            std::vector<TBookmark> bookmarks;
            for (int row : RowsToDelete())
                bookmarks.push_back(query.BookmarkAt(row));
            state.ResumeTiming();

            {
                TDAOSuspendGuard guard(query);
                for (TBookmark bookmark : bookmarks) {
                    query.GotoBookmark(bookmark);
                    query.Delete();
                }
            }

            state.PauseTiming();
            if (list.source.rowCount() != LargeCatalog - DeletedDiscs)
                throw EAppError(QStringLiteral("the list still shows the deleted discs"));
        }
        if (DiscCount(path) != LargeCatalog - DeletedDiscs)
            throw EAppError(QStringLiteral("the discs were not deleted"));
        state.ResumeTiming();
    }
}

// -- Upgrading a 100,000-disc catalog of the older layout ---------------

// The current version and initials for every disc.
bool Upgraded(const QString &path)
{
    const RawDb db(path);
    const RawStatement stmt = db.Prepare("SELECT Version, (SELECT count(*) FROM TbCd WHERE Spell='') FROM TbSetings");
    if (sqlite3_step(stmt.get()) != SQLITE_ROW)
        return false;
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt.get(), 0))) ==
               QLatin1String(Schema::VersionCurrent) &&
           sqlite3_column_int64(stmt.get(), 1) == 0;
}

struct NamedDisc
{
    qint64 id;
    QString name;
};

std::vector<NamedDisc> DiscNames(const QString &path)
{
    std::vector<NamedDisc> discs;
    const RawDb db(path);
    const RawStatement stmt = db.Prepare("SELECT ID,Name FROM TbCd");
    while (sqlite3_step(stmt.get()) == SQLITE_ROW)
        discs.push_back({sqlite3_column_int64(stmt.get(), 0),
                         QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt.get(), 1)))});
    return discs;
}

// The second step's changes as bare statements: each widened table built anew
// under its wider statement, its rows copied, its indexes made again.
void WidenRaw(const RawDb &db)
{
    for (const QString &table : Schema::WidenedTables()) {
        const QString columns = Schema::ColumnNames(table, Schema::Layout::Build102).join(QLatin1Char(','));
        std::vector<QByteArray> indexes;
        {
            const RawStatement stmt = db.Prepare(QStringLiteral("SELECT sql FROM sqlite_master WHERE type='index' AND "
                                                                "tbl_name='%1' AND sql IS NOT NULL")
                                                     .arg(table)
                                                     .toUtf8()
                                                     .constData());
            while (sqlite3_step(stmt.get()) == SQLITE_ROW)
                indexes.emplace_back(reinterpret_cast<const char *>(sqlite3_column_text(stmt.get(), 0)));
        }
        const QString wide = table + QStringLiteral("_new");
        for (const QString &sql : {Schema::CreateTableStatement(table, Schema::Layout::Build102, wide),
                                   QStringLiteral("INSERT INTO %1 (%2) SELECT %2 FROM %3").arg(wide, columns, table),
                                   QStringLiteral("DROP TABLE %1").arg(table),
                                   QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(wide, table)})
            db.Exec(sql.toUtf8().constData());
        for (const QByteArray &sql : indexes)
            db.Exec(sql.constData());
    }
    db.Exec("UPDATE TbSetings SET Version='Build1.02'");
}

// The same changes as the upgrade, with the initials worked out beforehand.
void UpgradeRaw(benchmark::State &state)
{
    const QString source = CatalogPath(LargeCatalog, Schema::Layout::Build100);
    std::vector<std::pair<qint64, QByteArray>> spells;
    for (const NamedDisc &disc : DiscNames(source))
        spells.emplace_back(disc.id, GetSpell(disc.name).toUtf8());
    for (auto _ : state) {
        const QString path = UntimedCopy(state, source);

        RawDb db(path);
        db.Exec("BEGIN IMMEDIATE");
        db.Exec("ALTER TABLE TbCd ADD COLUMN Picture TEXT(255) COLLATE NOCASE");
        db.Exec("ALTER TABLE TbCd ADD COLUMN Spell TEXT(20) COLLATE NOCASE NOT NULL DEFAULT ''");
        {
            const RawStatement stmt = db.Prepare("UPDATE TbCd SET Spell=? WHERE ID=?");
            for (const auto &[id, spell] : spells) {
                sqlite3_bind_text(stmt.get(), 1, spell.constData(), int(spell.size()), SQLITE_STATIC);
                sqlite3_bind_int64(stmt.get(), 2, id);
                db.Run(stmt.get());
            }
        }
        db.Exec("DROP TABLE TbDirImage");
        for (const QString &statement : Schema::IndexStatements())
            db.Exec(statement.toUtf8().constData());
        WidenRaw(db);
        db.Exec("COMMIT");
        db.Close();

        CheckUntimed(
            state, [&] { return Upgraded(path); }, "the catalog was not upgraded");
    }
    state.counters["rows"] = double(spells.size());
}

// Opening an older catalog as the main window does: name it, then let the
// upgrade run its queries, which connect the database.
void UpgradeStore(benchmark::State &state)
{
    const QString source = CatalogPath(LargeCatalog, Schema::Layout::Build100);
    for (auto _ : state) {
        const QString path = UntimedCopy(state, source);

        {
            TDM dm;
            dm.NameCatalog(path);
            UpgradeDb(dm);
        }

        CheckUntimed(
            state, [&] { return Upgraded(path); }, "the catalog was not upgraded");
    }
}

// The initials of every name of the older catalog: the part of the upgrade
// that the baseline does beforehand.
void UpgradeSpellsOnly(benchmark::State &state)
{
    const std::vector<NamedDisc> discs = DiscNames(CatalogPath(LargeCatalog, Schema::Layout::Build100));
    for (auto _ : state)
        for (const NamedDisc &disc : discs)
            benchmark::DoNotOptimize(GetSpell(disc.name));
    state.counters["rows"] = double(discs.size());
}

// -- Upgrading a 100,000-disc catalog of "Build1.01" ---------------------

void Upgrade101Raw(benchmark::State &state)
{
    const QString source = CatalogPath(LargeCatalog, Schema::Layout::Build101);
    for (auto _ : state) {
        const QString path = UntimedCopy(state, source);

        RawDb db(path);
        db.Exec("BEGIN IMMEDIATE");
        WidenRaw(db);
        db.Exec("COMMIT");
        db.Close();

        CheckUntimed(
            state, [&] { return Upgraded(path); }, "the catalog was not upgraded");
    }
    state.counters["rows"] = double(LargeCatalog);
}

void Upgrade101Store(benchmark::State &state)
{
    const QString source = CatalogPath(LargeCatalog, Schema::Layout::Build101);
    for (auto _ : state) {
        const QString path = UntimedCopy(state, source);

        {
            TDM dm;
            dm.NameCatalog(path);
            UpgradeDb(dm);
        }

        CheckUntimed(
            state, [&] { return Upgraded(path); }, "the catalog was not upgraded");
    }
}

// -- Registration and the closing table ---------------------------------

void Register()
{
    using Bench::Register;
    for (int discs : {1000, 10000, LargeCatalog}) {
        const double minTime = discs == LargeCatalog ? 2.0 : 0.5;
        using Case = std::pair<const char *, void (*)(benchmark::State &)>;
        for (const Case &c : {Case{"AllDiscs/Raw", AllDiscsRaw}, Case{"AllDiscs/Store", AllDiscsStoreEveryCell},
                              Case{"AllDiscs/StoreShownColumns", AllDiscsStoreShown},
                              Case{"AllDiscs/StoreOpenOnly", AllDiscsStoreOpenOnly}})
            Register(c.first, c.second)->Arg(discs)->MinTime(minTime)->Unit(benchmark::kMillisecond);
    }
    Register("QuickJump/SpellRaw", [](benchmark::State &s) {
        RawQuery(s, SpellJumpRaw);
    })->Unit(benchmark::kMicrosecond);
    Register("QuickJump/SpellStore", [](benchmark::State &s) {
        StoreJump(s, SpellJump);
    })->Unit(benchmark::kMicrosecond);
    Register("QuickJump/CodeRaw", [](benchmark::State &s) { RawQuery(s, CodeJumpRaw); })->Unit(benchmark::kMicrosecond);
    Register("QuickJump/CodeStore", [](benchmark::State &s) { StoreJump(s, CodeJump); })->Unit(benchmark::kMicrosecond);
    Register("NameSearch/Raw", [](benchmark::State &s) { RawQuery(s, NameSearchRaw.constData()); })
        ->MinTime(1.0)
        ->Unit(benchmark::kMillisecond);
    // 1: every cell read through the data source; 0: only the row count.
    Register("NameSearch/Store", NameSearchStore)->Arg(1)->MinTime(1.0)->Unit(benchmark::kMillisecond);
    Register("NameSearch/StoreOpenOnly", NameSearchStore)->Arg(0)->MinTime(1.0)->Unit(benchmark::kMillisecond);
    Register("Delete10000/Raw", DeleteRaw)->Iterations(3)->Unit(benchmark::kMillisecond);
    Register("Delete10000/Store", DeleteStore)->Iterations(3)->Unit(benchmark::kMillisecond);
    Register("Upgrade100000/Raw", UpgradeRaw)->Iterations(3)->Unit(benchmark::kMillisecond);
    Register("Upgrade100000/Store", UpgradeStore)->Iterations(3)->Unit(benchmark::kMillisecond);
    Register("Upgrade100000/SpellsOnly", UpgradeSpellsOnly)->Iterations(3)->Unit(benchmark::kMillisecond);
    Register("Upgrade101To102/100000/Raw", Upgrade101Raw)->Iterations(3)->Unit(benchmark::kMillisecond);
    Register("Upgrade101To102/100000/Store", Upgrade101Store)->Iterations(3)->Unit(benchmark::kMillisecond);
}

const Bench::TableStyle Style{32, "store ms", 12, "baseline ms", 12, 8, 3, true, false};

const std::vector<Bench::TableRow> Rows = {
    {"AllDiscs/Store/100000", "AllDiscs/Raw/100000", 1.5, 0},
    {"AllDiscs/StoreShownColumns/100000", "AllDiscs/Raw/100000", 1.5, 0},
    {"AllDiscs/StoreOpenOnly/100000", "AllDiscs/Raw/100000", 1.5, 0},
    {"AllDiscs/Store/10000", "AllDiscs/Raw/10000", 0, 0},
    {"AllDiscs/Store/1000", "AllDiscs/Raw/1000", 0, 0},
    {"QuickJump/SpellStore", "QuickJump/SpellRaw", 0, 10},
    {"QuickJump/CodeStore", "QuickJump/CodeRaw", 0, 10},
    {"NameSearch/Store/1", "NameSearch/Raw", 1.5, 0},
    {"NameSearch/StoreOpenOnly/0", "NameSearch/Raw", 0, 0},
    {"Delete10000/Store", "Delete10000/Raw", 0, 3000},
    {"Upgrade100000/Store", "Upgrade100000/Raw", 0, 10000},
    {"Upgrade101To102/100000/Store", "Upgrade101To102/100000/Raw", 0, 3000},
};

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    QCoreApplication app(argc, argv);
    Register();
    return Bench::RunAndReport([](const Bench::RatioReporter &reporter) { reporter.PrintTable(Style, Rows); });
}
