// The data grid on 100,000 discs: listing them, sorting, grouping and
// scrolling, next to the bare statement on the same file in the same run.
// The run ends with a table of the ratios and of the bars each case meets.
#include "CatalogGenerator.h"
#include "DAODataSource.h"
#include "DAODatabase.h"
#include "DAODataset.h"
#include "DAOQuery.h"
#include "DataGrid.h"
#include "DataModule.h"
#include "Errors.h"
#include "Schema.h"

#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTreeView>

#include <benchmark/benchmark.h>
#include <sqlcipher/sqlite3.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include <unistd.h>

namespace {

const QString AllDiscs =
    QStringLiteral("SELECT A.*,B.Name AS Category,C.Name AS Quality FROM (TbCd AS A LEFT JOIN TbCategory AS B ON "
                   "A.CId=B.Id) LEFT JOIN TbQuality AS C ON A.QId=C.Id");

constexpr int Discs = 100000;

// The catalog, written once per run into a temporary folder.
QString CatalogPath()
{
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/vorlix-bench-XXXXXX"));
    static const QString path = [] {
        if (!dir.isValid())
            throw EFileError(QStringLiteral("no temporary folder"));
        const QString file = dir.filePath(QStringLiteral("grid.db"));
        CatalogGenerator::GenerateCatalog(file, Discs, Schema::Layout::Build101);
        return file;
    }();
    return path;
}

// The disc list's columns.
QList<TGridColumn> DiscColumns()
{
    auto column = [](const char *field, const char *caption, int width, bool visible = true) {
        TGridColumn c;
        c.FieldName = QString::fromLatin1(field);
        c.Caption = QString::fromUtf8(caption);
        c.Width = width;
        c.Visible = visible;
        return c;
    };
    TGridColumn picture = column("Picture", "", 25);
    picture.Alignment = Qt::AlignCenter;
    TGridColumn serial = column("Serial", "序列号", 80);
    serial.Footer = TGridColumn::Summary::Count;
    serial.FooterFormat = QStringLiteral("总数：%1");
    TGridColumn day = column("Day", "日期", 80);
    day.DisplayFormat = QStringLiteral("yyyy-MM-dd");
    TGridColumn price = column("Price", "价格", 70);
    price.Alignment = Qt::AlignRight | Qt::AlignVCenter;
    price.DisplayFormat = QStringLiteral("0.00;-0.00");
    price.Footer = TGridColumn::Summary::Sum;
    price.FooterFormat = QStringLiteral("合计：%1");
    price.FooterDecimals = 2;
    return {picture,
            column("ID", "", 40, false),
            serial,
            day,
            column("Code", "编号", 80),
            column("Name", "名称", 160),
            column("Category", "分类", 80),
            column("Quality", "质量", 70),
            column("CId", "", 40, false),
            column("TId", "", 40, false),
            column("QId", "", 40, false),
            price,
            column("Location", "", 40, false),
            column("Memo", "", 40, false)};
}

// The main window's disc list as it stands once a catalog is open: a
// connected database, the disc query, its data source and the grid, shown.
class DiscList
{
public:
    DiscList()
    {
        m_db.SetDatabaseName(CatalogPath());
        m_db.SetPassword(QString::fromLatin1(Schema::CatalogPassword));
        m_db.SetConnected(true);
        m_query.SetDatabase(&m_db);
        m_source.SetDataSet(&m_query);
        m_grid.SetColumns(DiscColumns());
        m_grid.SetGroupSummary(QStringLiteral("小计：%1"), QStringLiteral("Price"), QStringLiteral("小计：%1"), 0);
        m_grid.SetDataSource(&m_source);
        m_grid.resize(900, 600);
        m_grid.show();
        Settle();
    }
    ~DiscList() { m_query.Close(); }

    // ShowCdList of the root folder.
    void ShowAll() { TDM::OpenQuery(m_query, AllDiscs); }
    // Until the user sees it: the view laid out, the footers totalled, the
    // first screen painted.
    void Settle()
    {
        QCoreApplication::processEvents();
        m_grid.View()->viewport()->repaint();
    }
    TDataGrid &Grid() { return m_grid; }
    TDAOQuery &Query() { return m_query; }

private:
    TDAODatabase m_db;
    TDAOQuery m_query;
    TDAODataSource m_source;
    TDataGrid m_grid;
};

void Fail(benchmark::State &state, const std::exception &error)
{
    state.SkipWithError(error.what());
}

// -- Listing every disc ----------------------------------------------------

// The statement on an open, keyed handle: prepare, step every row and read
// every column with the accessor of its type.
void ShowCdListRaw(benchmark::State &state)
{
    try {
        sqlite3 *db = nullptr;
        const QByteArray file = CatalogPath().toUtf8();
        if (sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            throw EDAOError(QStringLiteral("cannot open the catalog"), 0);
        sqlite3_key(db, Schema::CatalogPassword, int(qstrlen(Schema::CatalogPassword)));
        const QByteArray sql = AllDiscs.toUtf8();
        qint64 rows = 0;
        for (auto _ : state) {
            sqlite3_stmt *stmt = nullptr;
            if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) != SQLITE_OK)
                TDAODatabase::RaiseEngineError(db, sqlite3_errcode(db), AllDiscs);
            rows = 0;
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
            sqlite3_finalize(stmt);
        }
        sqlite3_close(db);
        state.counters["rows"] = double(rows);
    } catch (const std::exception &error) {
        Fail(state, error);
    }
}

// The query alone, with its data source but no grid: the grid's share is
// the difference.
void ShowCdListQuery(benchmark::State &state)
{
    try {
        TDAODatabase db;
        db.SetDatabaseName(CatalogPath());
        db.SetPassword(QString::fromLatin1(Schema::CatalogPassword));
        db.SetConnected(true);
        TDAOQuery query;
        query.SetDatabase(&db);
        TDAODataSource source;
        source.SetDataSet(&query);
        for (auto _ : state)
            TDM::OpenQuery(query, AllDiscs);
        state.counters["rows"] = double(source.rowCount());
        query.Close();
    } catch (const std::exception &error) {
        Fail(state, error);
    }
}

// 0: the list as it comes; 1: sorted by name; 2: grouped by category.
void ShowCdListGrid(benchmark::State &state)
{
    try {
        DiscList list;
        if (state.range(0) == 1)
            list.Grid().SortBy(QStringLiteral("Name"), Qt::AscendingOrder);
        if (state.range(0) == 2)
            list.Grid().GroupBy(QStringLiteral("Category"));
        for (auto _ : state) {
            list.ShowAll();
            list.Settle();
        }
        state.counters["rows"] = double(list.Query().RowCount());
        if (list.Grid().FooterText(QStringLiteral("Serial")) != QStringLiteral("总数：%1").arg(Discs))
            throw EAppError(QStringLiteral("the footer does not count every disc"));
    } catch (const std::exception &error) {
        Fail(state, error);
    }
}

// -- Sorting, grouping and scrolling the listed discs -------------------

// Each iteration starts from a freshly listed catalog (not timed), so key
// reading is part of the time: 0 by name, 1 by price, 2 by name again in the
// other direction (the keys already read).
void Sort(benchmark::State &state)
{
    try {
        DiscList list;
        const QString field = state.range(0) == 1 ? QStringLiteral("Price") : QStringLiteral("Name");
        const bool keysRead = state.range(0) == 2;
        bool descending = false;
        if (keysRead) {
            list.ShowAll();
            list.Grid().SortBy(field, Qt::AscendingOrder);
            list.Settle();
        }
        for (auto _ : state) {
            state.PauseTiming();
            if (!keysRead) {
                list.Grid().SortBy({}, Qt::AscendingOrder);
                list.ShowAll();
                list.Settle();
            }
            descending = !descending;
            state.ResumeTiming();
            list.Grid().SortBy(field, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
            list.Settle();
        }
    } catch (const std::exception &error) {
        Fail(state, error);
    }
}

// 0: by category (20 groups); 1: by name (a group for nearly every disc).
void Group(benchmark::State &state)
{
    try {
        DiscList list;
        const QString field = state.range(0) == 0 ? QStringLiteral("Category") : QStringLiteral("Name");
        for (auto _ : state) {
            state.PauseTiming();
            list.Grid().GroupBy({});
            list.ShowAll();
            list.Settle();
            state.ResumeTiming();
            list.Grid().GroupBy(field);
            list.Settle();
        }
        state.counters["groups"] = double(list.Grid().View()->model()->rowCount());
        if (state.range(0) == 0 && list.Grid().View()->model()->rowCount() != CatalogGenerator::CategoryCount)
            throw EAppError(QStringLiteral("not one group per category"));
    } catch (const std::exception &error) {
        Fail(state, error);
    }
}

// One page down and the viewport painted: 0 the plain list, sorted by name;
// 1 grouped by category with every group open.
void Scroll(benchmark::State &state)
{
    try {
        DiscList list;
        list.ShowAll();
        list.Grid().SortBy(QStringLiteral("Name"), Qt::AscendingOrder);
        if (state.range(0) == 1) {
            list.Grid().GroupBy(QStringLiteral("Category"));
            list.Grid().View()->expandAll();
        }
        list.Settle();
        QScrollBar *bar = list.Grid().View()->verticalScrollBar();
        for (auto _ : state) {
            const int next = bar->value() + bar->pageStep();
            bar->setValue(next > bar->maximum() ? 0 : next);
            list.Grid().View()->viewport()->repaint();
        }
    } catch (const std::exception &error) {
        Fail(state, error);
    }
}

void Register()
{
    benchmark::RegisterBenchmark("ShowCdList/Raw", ShowCdListRaw)->MinTime(2.0)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("ShowCdList/QueryOnly", ShowCdListQuery)->MinTime(2.0)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("ShowCdList/Grid", ShowCdListGrid)
        ->Arg(0)
        ->MinTime(2.0)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("ShowCdList/GridSortedByName", ShowCdListGrid)
        ->Arg(1)
        ->MinTime(2.0)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("ShowCdList/GridGroupedByCategory", ShowCdListGrid)
        ->Arg(2)
        ->MinTime(2.0)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Sort/Name", Sort)->Arg(0)->Iterations(8)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Sort/Price", Sort)->Arg(1)->Iterations(8)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Sort/NameReversed", Sort)->Arg(2)->Iterations(8)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Group/Category", Group)->Arg(0)->Iterations(8)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Group/Name", Group)->Arg(1)->Iterations(8)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Scroll/Page", Scroll)->Arg(0)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("Scroll/PageGrouped", Scroll)->Arg(1)->Unit(benchmark::kMicrosecond);
}

struct Bar
{
    const char *grid;
    const char *raw; // nullptr: no baseline
    double maxRatio; // 0: no ratio bar
    double maxMs;    // 0: no time bar
};

// Sorting, grouping and a page of scrolling are held to what a user does not
// notice as waiting.
const Bar Bars[] = {
    {"ShowCdList/Grid/0/min_time:2.000", "ShowCdList/Raw/min_time:2.000", 2.0, 0},
    {"ShowCdList/GridSortedByName/1/min_time:2.000", "ShowCdList/Raw/min_time:2.000", 0, 0},
    {"ShowCdList/GridGroupedByCategory/2/min_time:2.000", "ShowCdList/Raw/min_time:2.000", 0, 0},
    {"ShowCdList/QueryOnly/min_time:2.000", "ShowCdList/Raw/min_time:2.000", 0, 0},
    {"Sort/Name/0/iterations:8", nullptr, 0, 300},
    {"Sort/Price/1/iterations:8", nullptr, 0, 300},
    {"Sort/NameReversed/2/iterations:8", nullptr, 0, 300},
    {"Group/Category/0/iterations:8", nullptr, 0, 300},
    {"Group/Name/1/iterations:8", nullptr, 0, 0},
    {"Scroll/Page/0", nullptr, 0, 16},
    {"Scroll/PageGrouped/1", nullptr, 0, 16},
};

// Shows the runs as usual and keeps each one's time for the closing table.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    RatioReporter()
        : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular)
    {
    }

    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            m_ms[run.benchmark_name()] = run.GetAdjustedRealTime() / Multiplier(run.time_unit) * 1000.0;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void PrintBars() const
    {
        std::printf("\n%-50s %10s %12s %7s  %s\n", "case", "grid ms", "baseline ms", "ratio", "bar");
        for (const Bar &bar : Bars) {
            const auto grid = m_ms.find(bar.grid);
            if (grid == m_ms.end())
                continue;
            const auto raw = bar.raw ? m_ms.find(bar.raw) : m_ms.end();
            const bool hasRaw = raw != m_ms.end();
            const double ratio = hasRaw ? grid->second / raw->second : 0;
            char verdict[96] = "-";
            if (bar.maxRatio > 0 && hasRaw)
                std::snprintf(verdict, sizeof verdict, "ratio <= %.1f: %s", bar.maxRatio,
                              ratio <= bar.maxRatio ? "met" : "MISSED");
            else if (bar.maxMs > 0)
                std::snprintf(verdict, sizeof verdict, "< %.0f ms: %s", bar.maxMs,
                              grid->second < bar.maxMs ? "met" : "MISSED");
            if (hasRaw)
                std::printf("%-50s %10.3f %12.3f %7.2f  %s\n", bar.grid, grid->second, raw->second, ratio, verdict);
            else
                std::printf("%-50s %10.3f %12s %7s  %s\n", bar.grid, grid->second, "", "", verdict);
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
    // The grid is measured as it lays out and paints, without a screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QFont font;
    font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Micro Hei")});
    font.setPixelSize(12);
    QApplication::setFont(font);
    Register();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintBars();
    benchmark::Shutdown();
    return 0;
}
