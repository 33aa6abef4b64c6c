// The catalog store against the bare engine: every case runs next to a
// baseline that does the same work on the same file through the SQLCipher
// API directly, in the same process, and the run ends with a table of the
// ratios and of the bars each case has to meet.
#include "CatalogGenerator.h"
#include "DAODataSource.h"
#include "DAODatabase.h"
#include "DAOQuery.h"
#include "DataModule.h"
#include "Errors.h"
#include "Schema.h"
#include "Spell.h"
#include "UpgradeUnit.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sqlcipher/sqlite3.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

const QString AllDiscs = QStringLiteral(
    "SELECT A.*,B.Name AS Category,C.Name AS Quality FROM (TbCd AS A LEFT JOIN TbCategory AS B ON "
    "A.CId=B.Id) LEFT JOIN TbQuality AS C ON A.QId=C.Id");

// What the user types into the quick code box and the find dialog, as the
// program sends it and as plain SQLite says it.
const QString SpellJump = QStringLiteral("SELECT Id,Code,Name,Spell FROM TbCd WHERE SPELL LIKE \"XL*\"");
const char *const SpellJumpRaw = "SELECT Id,Code,Name,Spell FROM TbCd WHERE Spell LIKE 'XL%'";
const QString CodeJump = QStringLiteral("SELECT Id,Code,Name,Spell FROM TbCd WHERE CODE LIKE \"12*\"");
const char *const CodeJumpRaw = "SELECT Id,Code,Name,Spell FROM TbCd WHERE Code LIKE '12%'";
const QString NameSearch = AllDiscs + QStringLiteral(" WHERE A.Name LIKE \"*英*\"");
const QByteArray NameSearchRaw = (AllDiscs + QStringLiteral(" WHERE A.Name LIKE '%英%'")).toUtf8();

constexpr int LargeCatalog = 100000;
constexpr int DeletedDiscs = 10000;

// The generated catalogs, written once per run into a temporary folder.
class Catalogs
{
public:
    static Catalogs &Instance()
    {
        static Catalogs catalogs;
        return catalogs;
    }

    QString Path(int discs, Schema::Layout layout = Schema::Layout::Build101)
    {
        const bool old = layout == Schema::Layout::Build100;
        const QString path = m_dir.filePath(QStringLiteral("%1%2.db").arg(discs).arg(old ? "old" : ""));
        if (!QFile::exists(path))
            CatalogGenerator::GenerateCatalog(path, discs, layout);
        return path;
    }

    // A copy that a case may change; the previous copy is replaced.
    QString FreshCopy(const QString &source)
    {
        const QString copy = m_dir.filePath(QStringLiteral("work.db"));
        QFile::remove(copy);
        QFile::remove(copy + QStringLiteral("-journal"));
        if (!QFile::copy(source, copy))
            throw EFileError(QStringLiteral("cannot copy %1").arg(source));
        return copy;
    }

private:
    Catalogs()
    {
        if (!m_dir.isValid())
            throw EFileError(QStringLiteral("no temporary folder"));
    }
    QTemporaryDir m_dir{QDir::tempPath() + QStringLiteral("/vorlix-bench-XXXXXX")};
};

// The baseline's connection: opened and keyed as the store does it.
using RawHandle = std::unique_ptr<sqlite3, int (*)(sqlite3 *)>;
using RawStatement = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)>;

RawHandle RawOpen(const QString &path)
{
    sqlite3 *db = nullptr;
    const QByteArray file = path.toUtf8();
    if (sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        throw EDAOError(QStringLiteral("cannot open %1").arg(path), 0);
    }
    sqlite3_key(db, Schema::CatalogPassword, int(qstrlen(Schema::CatalogPassword)));
    return RawHandle(db, sqlite3_close);
}

RawStatement RawPrepare(sqlite3 *db, const char *sql)
{
    sqlite3_stmt *stmt = nullptr;
    const int rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt);
        TDAODatabase::RaiseEngineError(db, rc, QString::fromUtf8(sql));
    }
    return RawStatement(stmt, sqlite3_finalize);
}

void RawExec(sqlite3 *db, const char *sql)
{
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        TDAODatabase::RaiseEngineError(db, rc, QString::fromUtf8(sql));
}

// Steps through every row and reads every column with the accessor of its
// type; returns the row count.
qint64 RawReadAll(sqlite3_stmt *stmt)
{
    qint64 rows = 0;
    const int columns = sqlite3_column_count(stmt);
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        ++rows;
        for (int c = 0; c < columns; ++c) {
            switch (sqlite3_column_type(stmt, c)) {
            case SQLITE_INTEGER:
                benchmark::DoNotOptimize(sqlite3_column_int64(stmt, c));
                break;
            case SQLITE_FLOAT:
                benchmark::DoNotOptimize(sqlite3_column_double(stmt, c));
                break;
            case SQLITE_NULL:
                break;
            default:
                benchmark::DoNotOptimize(sqlite3_column_text(stmt, c));
                benchmark::DoNotOptimize(sqlite3_column_bytes(stmt, c));
            }
        }
    }
    return rows;
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

void Attach(TDAODatabase &db, const QString &path)
{
    db.SetDatabaseName(path);
    db.SetPassword(QString::fromLatin1(Schema::CatalogPassword));
}

void Fail(benchmark::State &state, const std::exception &error)
{
    state.SkipWithError(error.what());
}

// -- Opening the catalog and fetching the whole disc list ---------------

void AllDiscsRaw(benchmark::State &state)
{
    try {
        const QString path = Catalogs::Instance().Path(int(state.range(0)));
        const QByteArray sql = AllDiscs.toUtf8();
        qint64 rows = 0;
        for (auto _ : state) {
            RawHandle db = RawOpen(path);
            RawStatement stmt = RawPrepare(db.get(), sql.constData());
            rows = RawReadAll(stmt.get());
        }
        state.counters["rows"] = double(rows);
    } catch (const std::exception &error) {
        Fail(state, error);
    }
}

void AllDiscsStore(benchmark::State &state, qint64 (*read)(const TDAODataSource &))
{
    try {
        const QString path = Catalogs::Instance().Path(int(state.range(0)));
        qint64 rows = 0;
        for (auto _ : state) {
            TDAODatabase db;
            Attach(db, path);
            TDAOQuery query;
            query.SetDatabase(&db);
            TDM::OpenQuery(query, AllDiscs);
            TDAODataSource source;
            source.SetDataSet(&query);
            rows = read(source);
        }
        state.counters["rows"] = double(rows);
    } catch (const std::exception &error) {
        Fail(state, error);
    }
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
    try {
        RawHandle db = RawOpen(Catalogs::Instance().Path(LargeCatalog));
        RawExec(db.get(), "SELECT count(*) FROM sqlite_master");
        qint64 rows = 0;
        for (auto _ : state) {
            RawStatement stmt = RawPrepare(db.get(), sql);
            rows = RawReadAll(stmt.get());
        }
        state.counters["rows"] = double(rows);
    } catch (const std::exception &error) {
        Fail(state, error);
    }
}

// As the quick code box fills its list: open, go to the last row for the
// count, then read every row's columns from the first.
void StoreJump(benchmark::State &state, const QString &sql)
{
    try {
        TDAODatabase db;
        Attach(db, Catalogs::Instance().Path(LargeCatalog));
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
    } catch (const std::exception &error) {
        Fail(state, error);
    }
}

// As the find dialog shows its result: the query opened and every cell of
// its grid read through the data source.
void NameSearchStore(benchmark::State &state)
{
    try {
        TDAODatabase db;
        Attach(db, Catalogs::Instance().Path(LargeCatalog));
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
    } catch (const std::exception &error) {
        Fail(state, error);
    }
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
    RawHandle db = RawOpen(path);
    RawStatement stmt = RawPrepare(db.get(), "SELECT count(*) FROM TbCd");
    sqlite3_step(stmt.get());
    return sqlite3_column_int64(stmt.get(), 0);
}

void DeleteRaw(benchmark::State &state)
{
    try {
        const QString source = Catalogs::Instance().Path(LargeCatalog);
        for (auto _ : state) {
            state.PauseTiming();
            const QString path = Catalogs::Instance().FreshCopy(source);
            std::vector<qint64> ids;
            {
                RawHandle db = RawOpen(path);
                RawStatement stmt = RawPrepare(db.get(), "SELECT ID FROM TbCd ORDER BY ID");
                std::vector<qint64> all;
                while (sqlite3_step(stmt.get()) == SQLITE_ROW)
                    all.push_back(sqlite3_column_int64(stmt.get(), 0));
                for (int row : RowsToDelete())
                    ids.push_back(all[size_t(row)]);
            }
            state.ResumeTiming();

            RawHandle db = RawOpen(path);
            RawStatement stmt = RawPrepare(db.get(), "DELETE FROM TbCd WHERE ID=?");
            RawExec(db.get(), "BEGIN IMMEDIATE");
            for (qint64 id : ids) {
                sqlite3_bind_int64(stmt.get(), 1, id);
                if (sqlite3_step(stmt.get()) != SQLITE_DONE)
                    TDAODatabase::RaiseEngineError(db.get(), sqlite3_errcode(db.get()));
                sqlite3_reset(stmt.get());
            }
            RawExec(db.get(), "COMMIT");
            stmt.reset();
            db.reset();

            state.PauseTiming();
            if (DiscCount(path) != LargeCatalog - DeletedDiscs)
                throw EAppError(QStringLiteral("the discs were not deleted"));
            state.ResumeTiming();
        }
    } catch (const std::exception &error) {
        Fail(state, error);
    }
}

// The disc list's delete: the list's query holds every disc, a data source
// is bound to it, and inside one suspension the cursor goes to each chosen
// row by its bookmark and deletes it. Opening the list is not timed.
void DeleteStore(benchmark::State &state)
{
    try {
        const QString source = Catalogs::Instance().Path(LargeCatalog);
        for (auto _ : state) {
            state.PauseTiming();
            const QString path = Catalogs::Instance().FreshCopy(source);
            {
                TDAODatabase db;
                Attach(db, path);
                TDAOQuery query;
                query.SetDatabase(&db);
                TDM::OpenQuery(query, AllDiscs);
                TDAODataSource view;
                view.SetDataSet(&query);
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
                if (view.rowCount() != LargeCatalog - DeletedDiscs)
                    throw EAppError(QStringLiteral("the list still shows the deleted discs"));
            }
            if (DiscCount(path) != LargeCatalog - DeletedDiscs)
                throw EAppError(QStringLiteral("the discs were not deleted"));
            state.ResumeTiming();
        }
    } catch (const std::exception &error) {
        Fail(state, error);
    }
}

// -- Upgrading a 100,000-disc catalog of the older layout ---------------

// The current version and initials for every disc.
bool Upgraded(const QString &path)
{
    RawHandle db = RawOpen(path);
    RawStatement stmt =
        RawPrepare(db.get(), "SELECT Version, (SELECT count(*) FROM TbCd WHERE Spell='') FROM TbSetings");
    if (sqlite3_step(stmt.get()) != SQLITE_ROW)
        return false;
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt.get(), 0)))
               == QLatin1String(Schema::VersionCurrent)
           && sqlite3_column_int64(stmt.get(), 1) == 0;
}

struct NamedDisc
{
    qint64 id;
    QString name;
};

std::vector<NamedDisc> DiscNames(const QString &path)
{
    std::vector<NamedDisc> discs;
    RawHandle db = RawOpen(path);
    RawStatement stmt = RawPrepare(db.get(), "SELECT ID,Name FROM TbCd");
    while (sqlite3_step(stmt.get()) == SQLITE_ROW)
        discs.push_back({sqlite3_column_int64(stmt.get(), 0),
                         QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt.get(), 1)))});
    return discs;
}

// The same changes as the upgrade, with the initials worked out beforehand.
void UpgradeRaw(benchmark::State &state)
{
    try {
        const QString source = Catalogs::Instance().Path(LargeCatalog, Schema::Layout::Build100);
        std::vector<std::pair<qint64, QByteArray>> spells;
        for (const NamedDisc &disc : DiscNames(source))
            spells.emplace_back(disc.id, GetSpell(disc.name).toUtf8());
        for (auto _ : state) {
            state.PauseTiming();
            const QString path = Catalogs::Instance().FreshCopy(source);
            state.ResumeTiming();

            RawHandle db = RawOpen(path);
            RawExec(db.get(), "BEGIN IMMEDIATE");
            RawExec(db.get(), "ALTER TABLE TbCd ADD COLUMN Picture TEXT(255) COLLATE NOCASE");
            RawExec(db.get(), "ALTER TABLE TbCd ADD COLUMN Spell TEXT(20) COLLATE NOCASE NOT NULL DEFAULT ''");
            {
                RawStatement stmt = RawPrepare(db.get(), "UPDATE TbCd SET Spell=? WHERE ID=?");
                for (const auto &[id, spell] : spells) {
                    sqlite3_bind_text(stmt.get(), 1, spell.constData(), int(spell.size()), SQLITE_STATIC);
                    sqlite3_bind_int64(stmt.get(), 2, id);
                    if (sqlite3_step(stmt.get()) != SQLITE_DONE)
                        TDAODatabase::RaiseEngineError(db.get(), sqlite3_errcode(db.get()));
                    sqlite3_reset(stmt.get());
                }
            }
            RawExec(db.get(), "DROP TABLE TbDirImage");
            RawExec(db.get(), "UPDATE TbSetings SET Version='Build1.01'");
            for (const QString &statement : Schema::IndexStatements())
                RawExec(db.get(), statement.toUtf8().constData());
            RawExec(db.get(), "COMMIT");
            db.reset();

            state.PauseTiming();
            if (!Upgraded(path))
                throw EAppError(QStringLiteral("the catalog was not upgraded"));
            state.ResumeTiming();
        }
        state.counters["rows"] = double(spells.size());
    } catch (const std::exception &error) {
        Fail(state, error);
    }
}

// Opening an older catalog as the main window does: name it, then let the
// upgrade run its queries, which connect the database.
void UpgradeStore(benchmark::State &state)
{
    try {
        const QString source = Catalogs::Instance().Path(LargeCatalog, Schema::Layout::Build100);
        for (auto _ : state) {
            state.PauseTiming();
            const QString path = Catalogs::Instance().FreshCopy(source);
            state.ResumeTiming();

            {
                TDM dm;
                dm.NameCatalog(path);
                UpgradeDb(dm);
            }

            state.PauseTiming();
            if (!Upgraded(path))
                throw EAppError(QStringLiteral("the catalog was not upgraded"));
            state.ResumeTiming();
        }
    } catch (const std::exception &error) {
        Fail(state, error);
    }
}

// The initials of every name of the older catalog: the part of the upgrade
// that the baseline does beforehand.
void UpgradeSpellsOnly(benchmark::State &state)
{
    try {
        const std::vector<NamedDisc> discs =
            DiscNames(Catalogs::Instance().Path(LargeCatalog, Schema::Layout::Build100));
        for (auto _ : state)
            for (const NamedDisc &disc : discs)
                benchmark::DoNotOptimize(GetSpell(disc.name));
        state.counters["rows"] = double(discs.size());
    } catch (const std::exception &error) {
        Fail(state, error);
    }
}

// -- Registration and the closing table ---------------------------------

void Register()
{
    for (int discs : {1000, 10000, LargeCatalog}) {
        const double minTime = discs == LargeCatalog ? 2.0 : 0.5;
        using Case = std::pair<const char *, void (*)(benchmark::State &)>;
        for (const Case &c : {Case{"AllDiscs/Raw", AllDiscsRaw}, Case{"AllDiscs/Store", AllDiscsStoreEveryCell},
                              Case{"AllDiscs/StoreShownColumns", AllDiscsStoreShown},
                              Case{"AllDiscs/StoreOpenOnly", AllDiscsStoreOpenOnly}})
            benchmark::RegisterBenchmark(c.first, c.second)
                ->Arg(discs)
                ->MinTime(minTime)
                ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("QuickJump/SpellRaw", [](benchmark::State &s) { RawQuery(s, SpellJumpRaw); })
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("QuickJump/SpellStore", [](benchmark::State &s) { StoreJump(s, SpellJump); })
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("QuickJump/CodeRaw", [](benchmark::State &s) { RawQuery(s, CodeJumpRaw); })
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("QuickJump/CodeStore", [](benchmark::State &s) { StoreJump(s, CodeJump); })
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("NameSearch/Raw", [](benchmark::State &s) { RawQuery(s, NameSearchRaw.constData()); })
        ->MinTime(1.0)->Unit(benchmark::kMillisecond);
    // 1: every cell read through the data source; 0: only the row count.
    benchmark::RegisterBenchmark("NameSearch/Store", NameSearchStore)
        ->Arg(1)
        ->MinTime(1.0)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("NameSearch/StoreOpenOnly", NameSearchStore)
        ->Arg(0)
        ->MinTime(1.0)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Delete10000/Raw", DeleteRaw)->Iterations(3)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Delete10000/Store", DeleteStore)->Iterations(3)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Upgrade100000/Raw", UpgradeRaw)->Iterations(3)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Upgrade100000/Store", UpgradeStore)->Iterations(3)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Upgrade100000/SpellsOnly", UpgradeSpellsOnly)
        ->Iterations(3)
        ->Unit(benchmark::kMillisecond);
}

struct Bar
{
    const char *store;
    const char *raw;
    double maxRatio; // 0: no ratio bar
    double maxMs;    // 0: no time bar
};

const Bar Bars[] = {
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
};

// Shows the runs as usual and keeps each one's time for the closing table.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}

    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            std::string name = run.run_name.function_name;
            if (!run.run_name.args.empty())
                name += "/" + run.run_name.args;
            m_ms[name] = run.GetAdjustedRealTime() / Multiplier(run.time_unit) * 1000.0;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void PrintBars() const
    {
        std::printf("\n%-32s %12s %12s %8s  %s\n", "case", "store ms", "baseline ms", "ratio", "bar");
        for (const Bar &bar : Bars) {
            const auto store = m_ms.find(bar.store);
            const auto raw = m_ms.find(bar.raw);
            if (store == m_ms.end() || raw == m_ms.end())
                continue;
            const double ratio = store->second / raw->second;
            std::string verdict = "-";
            char text[96];
            if (bar.maxRatio > 0) {
                std::snprintf(text, sizeof text, "ratio <= %.1f: %s", bar.maxRatio,
                              ratio <= bar.maxRatio ? "met" : "MISSED");
                verdict = text;
            } else if (bar.maxMs > 0) {
                std::snprintf(text, sizeof text, "< %.0f ms: %s", bar.maxMs,
                              store->second < bar.maxMs ? "met" : "MISSED");
                verdict = text;
            }
            std::printf("%-32s %12.3f %12.3f %8.2f  %s\n", bar.store, store->second, raw->second, ratio,
                        verdict.c_str());
        }
    }

private:
    static double Multiplier(benchmark::TimeUnit unit)
    {
        switch (unit) {
        case benchmark::kSecond:
            return 1.0;
        case benchmark::kMillisecond:
            return 1e3;
        case benchmark::kMicrosecond:
            return 1e6;
        case benchmark::kNanosecond:
            return 1e9;
        }
        return 1e9;
    }

    std::map<std::string, double> m_ms;
};

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    QCoreApplication app(argc, argv);
    Register();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintBars();
    benchmark::Shutdown();
    return 0;
}
