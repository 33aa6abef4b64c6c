#pragma once

// What the benchmarks share: the run's temporary folder and its generated
// catalogs, the bare engine the baselines run on, the registration of cases
// that may throw, and the closing table of times, ratios and bars.

#include "store/catalog/Schema.h"
#include "store/engine/DAODatabase.h"
#include "tools/CatalogGenerator.h"

#include <QApplication>
#include <QString>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sqlcipher/sqlite3.h>

#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace Bench {

// -- The run's files ----------------------------------------------------------

// The run's folder under $TMPDIR, removed at the end of the run.
QTemporaryDir &WorkDir();

// A generated catalog of that name in the run's folder, written the first
// time it is asked for.
QString GeneratedCatalog(const QString &name, int discs, Schema::Layout layout = Schema::Layout::Build102,
                         int folders = CatalogGenerator::FolderCount);

// A copy of source under that name in the run's folder, for a case that
// changes it; a previous copy of that name and its journal are removed.
QString FreshCopy(const QString &source, const QString &name);

// Names the catalog and its key on the store's database, not yet connected.
void Attach(TDAODatabase &db, const QString &path);

// -- The bare engine ------------------------------------------------------------

using RawStatement = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)>;

// Steps through every row of a prepared statement and reads every column
// with the accessor of its type; the number of rows.
qint64 ReadAll(sqlite3_stmt *stmt);

// A handle on a catalog, opened and keyed as the store does it; closed by
// Close() or at the end of its scope.
class RawDb
{
public:
    explicit RawDb(const QString &path);
    ~RawDb() { Close(); }
    RawDb(const RawDb &) = delete;
    RawDb &operator=(const RawDb &) = delete;

    // The key of the last row this connection inserted.
    qint64 LastInsertId() const { return sqlite3_last_insert_rowid(m_db.get()); }
    void Close();

    // bytes: the statement's length, or -1 for up to its terminating zero.
    RawStatement Prepare(const char *sql, int bytes = -1) const;
    // Prepare, step every row and read every column with the accessor of
    // its type, finalize; the number of rows.
    qint64 StepAll(const char *sql, int bytes = -1) const;
    qint64 StepAll(const QString &sql) const;
    void Exec(const char *sql) const;
    // The first column of the first row; -1 when there is no row.
    qint64 Count(const QString &sql) const;
    // Steps a statement that returns no row, then resets it for the next
    // values bound.
    void Run(sqlite3_stmt *stmt) const
    {
        if (sqlite3_step(stmt) != SQLITE_DONE)
            TDAODatabase::RaiseEngineError(m_db.get(), sqlite3_errcode(m_db.get()));
        sqlite3_reset(stmt);
    }

private:
    TCatalogHandle m_db;
};

// -- The cases ----------------------------------------------------------------

// Registers a case that ends with its error, rather than ending the run,
// when it throws.
template <typename Body> benchmark::internal::Benchmark *Register(const std::string &name, Body body)
{
    return benchmark::RegisterBenchmark(name.c_str(), [body](benchmark::State &state) {
        try {
            body(state);
        } catch (const std::exception &error) {
            state.SkipWithError(error.what());
        }
    });
}

// With the clock stopped: throws with what when the iteration's result is
// wrong.
void CheckUntimed(benchmark::State &state, const std::function<bool()> &check, const char *what);

// The application for cases that show widgets: they lay out and paint
// without a screen, in the font the program's lists use.
std::unique_ptr<QApplication> OffscreenApplication(int &argc, char **argv);

// -- The closing table ------------------------------------------------------------

// A row: a case, its baseline and the bar it has to meet.
struct TableRow
{
    TableRow(std::string timed, std::string baseline, double maxRatio = 0, double maxMs = 0, std::string label = {})
        : timed(std::move(timed))
        , baseline(std::move(baseline))
        , maxRatio(maxRatio)
        , maxMs(maxMs)
        , label(std::move(label))
    {
    }

    std::string timed;    // the case, by its name and arguments ("AllDiscs/Store/1000")
    std::string baseline; // the same; empty: no baseline
    double maxRatio;      // 0: no ratio bar
    double maxMs;         // 0: no time bar
    std::string label;    // what the row says; empty: the case's name
};

// The columns of a table, as each program has always printed them.
struct TableStyle
{
    int caseWidth;
    const char *timedHeading;
    int timedWidth;
    const char *baselineHeading;
    int baselineWidth;
    int ratioWidth;
    int decimals;   // of the times
    bool bars;      // a last column with the bar and "met" or "MISSED"
    bool fullNames; // each case named as the console names it, with its settings
};

// Shows the runs as usual and keeps each case's time (the median when the
// runs are repeated) and counters for the closing table.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    RatioReporter();

    void ReportRuns(const std::vector<Run> &runs) override;

    // The case's real time in milliseconds, by its name and arguments; none
    // when it did not run.
    std::optional<double> Ms(const std::string &name) const;
    std::optional<double> Counter(const std::string &name, const std::string &counter) const;

    // The rows whose case ran, with the baseline's columns empty when that
    // did not run.
    void PrintTable(const TableStyle &style, const std::vector<TableRow> &rows) const;

private:
    struct Result
    {
        std::string fullName;
        double ms = 0;
        std::map<std::string, double> counters;
        bool fromMedian = false;
    };
    std::map<std::string, Result> m_results;
};

// Runs the cases chosen on the command line through a RatioReporter, then
// lets print write the closing table; main()'s exit code.
int RunAndReport(const std::function<void(const RatioReporter &)> &print);

} // namespace Bench
