// The data grid on 100,000 discs: listing them, sorting, grouping and
// scrolling, next to the bare statement on the same file in the same run.
// The run ends with a table of the ratios and of the bars each case meets.
#include "bench/BenchSupport.h"
#include "browser/CdListPane.h"
#include "store/catalog/DataModule.h"
#include "store/catalog/DiscList.h"
#include "store/catalog/Schema.h"
#include "store/engine/DAODataSource.h"
#include "store/engine/DAODatabase.h"
#include "store/engine/DAODataset.h"
#include "store/engine/DAOQuery.h"
#include "store/engine/Errors.h"
#include "toolkit/DataGrid.h"
#include "tools/CatalogGenerator.h"

#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QTreeView>

#include <benchmark/benchmark.h>

#include <vector>

namespace {

const QString AllDiscs = DiscListStatement();

constexpr int Discs = 100000;

// The catalog, written once per run into the run's folder.
QString CatalogPath()
{
    return Bench::GeneratedCatalog(QStringLiteral("grid.db"), Discs);
}

// The main window's disc list as it stands once a catalog is open: a
// connected database, the disc query, its data source and the grid, shown.
class DiscList
{
public:
    DiscList()
    {
        Bench::Attach(m_db, CatalogPath());
        m_db.SetConnected(true);
        m_query.SetDatabase(&m_db);
        m_query.FieldDefs = DiscListFields();
        m_source.SetDataSet(&m_query);
        m_grid.SetColumns(DiscListColumns());
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

// -- Listing every disc ----------------------------------------------------

// The statement on an open, keyed handle: prepare, step every row and read
// every column with the accessor of its type.
void ShowCdListRaw(benchmark::State &state)
{
    const Bench::RawDb db(CatalogPath());
    const QByteArray sql = AllDiscs.toUtf8();
    qint64 rows = 0;
    for (auto _ : state)
        rows = db.StepAll(sql.constData());
    state.counters["rows"] = double(rows);
}

// The query alone, with its data source but no grid: the grid's share is
// the difference.
void ShowCdListQuery(benchmark::State &state)
{
    TDAODatabase db;
    Bench::Attach(db, CatalogPath());
    db.SetConnected(true);
    TDAOQuery query;
    query.SetDatabase(&db);
    query.FieldDefs = DiscListFields();
    TDAODataSource source;
    source.SetDataSet(&query);
    for (auto _ : state)
        TDM::OpenQuery(query, AllDiscs);
    state.counters["rows"] = double(source.rowCount());
    query.Close();
}

// 0: the list as it comes; 1: sorted by name; 2: grouped by category.
void ShowCdListGrid(benchmark::State &state)
{
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
}

// -- Sorting, grouping and scrolling the listed discs -------------------

// Each iteration starts from a freshly listed catalog (not timed), so key
// reading is part of the time: 0 by name, 1 by price, 2 by name again in the
// other direction (the keys already read).
void Sort(benchmark::State &state)
{
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
}

// 0: by category (20 groups); 1: by name (a group for nearly every disc).
void Group(benchmark::State &state)
{
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
}

// One page down and the viewport painted: 0 the plain list, sorted by name;
// 1 grouped by category with every group open.
void Scroll(benchmark::State &state)
{
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
}

void Register()
{
    using Bench::Register;
    Register("ShowCdList/Raw", ShowCdListRaw)->MinTime(2.0)->Unit(benchmark::kMillisecond);
    Register("ShowCdList/QueryOnly", ShowCdListQuery)->MinTime(2.0)->Unit(benchmark::kMillisecond);
    Register("ShowCdList/Grid", ShowCdListGrid)->Arg(0)->MinTime(2.0)->Unit(benchmark::kMillisecond);
    Register("ShowCdList/GridSortedByName", ShowCdListGrid)->Arg(1)->MinTime(2.0)->Unit(benchmark::kMillisecond);
    Register("ShowCdList/GridGroupedByCategory", ShowCdListGrid)->Arg(2)->MinTime(2.0)->Unit(benchmark::kMillisecond);
    Register("Sort/Name", Sort)->Arg(0)->Iterations(8)->Unit(benchmark::kMillisecond);
    Register("Sort/Price", Sort)->Arg(1)->Iterations(8)->Unit(benchmark::kMillisecond);
    Register("Sort/NameReversed", Sort)->Arg(2)->Iterations(8)->Unit(benchmark::kMillisecond);
    Register("Group/Category", Group)->Arg(0)->Iterations(8)->Unit(benchmark::kMillisecond);
    Register("Group/Name", Group)->Arg(1)->Iterations(8)->Unit(benchmark::kMillisecond);
    Register("Scroll/Page", Scroll)->Arg(0)->Unit(benchmark::kMicrosecond);
    Register("Scroll/PageGrouped", Scroll)->Arg(1)->Unit(benchmark::kMicrosecond);
}

// The cases named in full, as the console names them.
const Bench::TableStyle Style{50, "grid ms", 10, "baseline ms", 12, 7, 3, true, true};

// Sorting, grouping and a page of scrolling are held to what a user does not
// notice as waiting.
const std::vector<Bench::TableRow> Rows = {
    {"ShowCdList/Grid/0", "ShowCdList/Raw", 2.0, 0},
    {"ShowCdList/GridSortedByName/1", "ShowCdList/Raw", 0, 0},
    {"ShowCdList/GridGroupedByCategory/2", "ShowCdList/Raw", 0, 0},
    {"ShowCdList/QueryOnly", "ShowCdList/Raw", 0, 0},
    {"Sort/Name/0", {}, 0, 300},
    {"Sort/Price/1", {}, 0, 300},
    {"Sort/NameReversed/2", {}, 0, 300},
    {"Group/Category/0", {}, 0, 300},
    {"Group/Name/1", {}, 0, 0},
    {"Scroll/Page/0", {}, 0, 16},
    {"Scroll/PageGrouped/1", {}, 0, 16},
};

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    // The grid is measured as it lays out and paints, without a screen.
    const auto app = Bench::OffscreenApplication(argc, argv);
    Register();
    return Bench::RunAndReport([](const Bench::RatioReporter &reporter) { reporter.PrintTable(Style, Rows); });
}
