#include "bench/BenchSupport.h"

#include "store/engine/Errors.h"

#include <QDir>
#include <QFile>
#include <QFont>

#include <cstdio>

#include <unistd.h>

namespace Bench {

// -- The run's files ----------------------------------------------------------

QTemporaryDir &WorkDir()
{
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/vorlix-bench-XXXXXX"));
    if (!dir.isValid())
        throw EFileError(QStringLiteral("no temporary folder"));
    return dir;
}

QString GeneratedCatalog(const QString &name, int discs, Schema::Layout layout, int folders)
{
    const QString path = WorkDir().filePath(name);
    if (QFile::exists(path))
        return path;
    try {
        CatalogGenerator::GenerateCatalog(path, discs, layout, 1, folders);
    } catch (...) {
        // Not left half written for the next case to take as done.
        QFile::remove(path);
        throw;
    }
    return path;
}

QString FreshCopy(const QString &source, const QString &name)
{
    const QString copy = WorkDir().filePath(name);
    QFile::remove(copy);
    QFile::remove(copy + QStringLiteral("-journal"));
    if (!QFile::copy(source, copy))
        throw EFileError(QStringLiteral("cannot copy %1 to %2").arg(source, copy));
    return copy;
}

void Attach(TDAODatabase &db, const QString &path)
{
    db.SetDatabaseName(path);
    db.SetPassword(QString::fromLatin1(Schema::CatalogPassword));
}

// -- The bare engine ------------------------------------------------------------

qint64 ReadAll(sqlite3_stmt *stmt)
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

RawDb::RawDb(const QString &path)
{
    const QByteArray file = path.toUtf8();
    sqlite3 *raw = nullptr;
    const int rc = sqlite3_open_v2(file.constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    m_db.reset(raw);
    if (rc != SQLITE_OK) {
        Close();
        throw EDAOError(QStringLiteral("cannot open %1").arg(path), 0);
    }
    sqlite3_key(raw, Schema::CatalogPassword, int(qstrlen(Schema::CatalogPassword)));
}

void RawDb::Close()
{
    m_db.reset();
}

RawStatement RawDb::Prepare(const char *sql, int bytes) const
{
    sqlite3_stmt *stmt = nullptr;
    const int rc = sqlite3_prepare_v2(m_db.get(), sql, bytes, &stmt, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt);
        TDAODatabase::RaiseEngineError(m_db.get(), rc, QString::fromUtf8(sql, bytes));
    }
    return RawStatement(stmt, sqlite3_finalize);
}

qint64 RawDb::StepAll(const char *sql, int bytes) const
{
    const RawStatement stmt = Prepare(sql, bytes);
    return ReadAll(stmt.get());
}

qint64 RawDb::StepAll(const QString &sql) const
{
    const QByteArray text = sql.toUtf8();
    return StepAll(text.constData(), int(text.size()));
}

void RawDb::Exec(const char *sql) const
{
    const int rc = sqlite3_exec(m_db.get(), sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        TDAODatabase::RaiseEngineError(m_db.get(), rc, QString::fromUtf8(sql));
}

qint64 RawDb::Count(const QString &sql) const
{
    const QByteArray text = sql.toUtf8();
    const RawStatement stmt = Prepare(text.constData(), int(text.size()));
    return sqlite3_step(stmt.get()) == SQLITE_ROW ? sqlite3_column_int64(stmt.get(), 0) : -1;
}

// -- The cases ----------------------------------------------------------------

void CheckUntimed(benchmark::State &state, const std::function<bool()> &check, const char *what)
{
    state.PauseTiming();
    if (!check())
        throw EAppError(QString::fromUtf8(what));
    state.ResumeTiming();
}

std::unique_ptr<QApplication> OffscreenApplication(int &argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    auto app = std::make_unique<QApplication>(argc, argv);
    QFont font;
    font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Micro Hei")});
    font.setPixelSize(12);
    QApplication::setFont(font);
    return app;
}

// -- The closing table ------------------------------------------------------------

RatioReporter::RatioReporter()
    : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular)
{
}

void RatioReporter::ReportRuns(const std::vector<Run> &runs)
{
    for (const Run &run : runs) {
        if (run.error_occurred)
            continue;
        const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
        if (run.run_type != Run::RT_Iteration && !median)
            continue;
        std::string name = run.run_name.function_name;
        if (!run.run_name.args.empty())
            name += "/" + run.run_name.args;
        Result &result = m_results[name];
        if (median || !result.fromMedian) {
            result.fullName = run.run_name.str();
            result.ms = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit) * 1000.0;
            result.counters.clear();
            for (const auto &[counter, value] : run.counters)
                result.counters[counter] = value.value;
        }
        result.fromMedian = result.fromMedian || median;
    }
    ConsoleReporter::ReportRuns(runs);
}

std::optional<double> RatioReporter::Ms(const std::string &name) const
{
    const auto found = m_results.find(name);
    if (found == m_results.end())
        return std::nullopt;
    return found->second.ms;
}

std::optional<double> RatioReporter::Counter(const std::string &name, const std::string &counter) const
{
    const auto found = m_results.find(name);
    if (found == m_results.end())
        return std::nullopt;
    const auto value = found->second.counters.find(counter);
    if (value == found->second.counters.end())
        return std::nullopt;
    return value->second;
}

void RatioReporter::PrintTable(const TableStyle &style, const std::vector<TableRow> &rows) const
{
    std::printf("\n%-*s %*s %*s %*s", style.caseWidth, "case", style.timedWidth, style.timedHeading,
                style.baselineWidth, style.baselineHeading, style.ratioWidth, "ratio");
    if (style.bars)
        std::printf("  %s", "bar");
    std::printf("\n");
    for (const TableRow &row : rows) {
        const auto timed = m_results.find(row.timed);
        if (timed == m_results.end())
            continue;
        const double ms = timed->second.ms;
        const auto baseline = row.baseline.empty() ? m_results.end() : m_results.find(row.baseline);
        const bool hasBaseline = baseline != m_results.end();
        const double ratio = hasBaseline ? ms / baseline->second.ms : 0;
        const std::string &name = !row.label.empty() ? row.label : style.fullNames ? timed->second.fullName : row.timed;
        if (hasBaseline)
            std::printf("%-*s %*.*f %*.*f %*.2f", style.caseWidth, name.c_str(), style.timedWidth, style.decimals, ms,
                        style.baselineWidth, style.decimals, baseline->second.ms, style.ratioWidth, ratio);
        else
            std::printf("%-*s %*.*f %*s %*s", style.caseWidth, name.c_str(), style.timedWidth, style.decimals, ms,
                        style.baselineWidth, "", style.ratioWidth, "");
        if (style.bars) {
            char verdict[96] = "-";
            if (row.maxRatio > 0 && hasBaseline)
                std::snprintf(verdict, sizeof verdict, "ratio <= %.1f: %s", row.maxRatio,
                              ratio <= row.maxRatio ? "met" : "MISSED");
            else if (row.maxMs > 0)
                std::snprintf(verdict, sizeof verdict, "< %.0f ms: %s", row.maxMs, ms < row.maxMs ? "met" : "MISSED");
            std::printf("  %s", verdict);
        }
        std::printf("\n");
    }
}

int RunAndReport(const std::function<void(const RatioReporter &)> &print)
{
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    print(reporter);
    benchmark::Shutdown();
    return 0;
}

} // namespace Bench
