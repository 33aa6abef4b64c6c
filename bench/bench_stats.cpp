// The statistics window on a 100,000-disc catalog: the bare GROUP BY
// statements on the engine (the baseline), the store's figures with their
// labels and folder walk, and the window opened with its charts and painted.
#include "bench/BenchSupport.h"
#include "dialogs/StatsForm.h"
#include "store/catalog/CatalogStats.h"
#include "store/catalog/DataModule.h"

#include <QApplication>
#include <QTabWidget>

#include <cstdio>
#include <memory>

namespace {

constexpr int Discs = 100000;

QString Catalog()
{
    return Bench::GeneratedCatalog(QStringLiteral("100000.db"), Discs);
}

// Baseline: the engine counting the same figures itself, one GROUP BY per
// chart (by category, grade, year of the date, folder), stepped and read on a
// handle opened beforehand.
void GroupByBare(benchmark::State &state)
{
    Bench::RawDb db(Catalog());
    const QString value = QStringLiteral("SUM(CAST(round(Price*10000) AS INTEGER))");
    const QString year = QStringLiteral(
        "CASE WHEN typeof(Day) IN ('integer','real') THEN CAST(strftime('%Y', Day + 2415018.5) AS INTEGER) END");
    QStringList statements;
    for (const QString &key : {QStringLiteral("CId"), QStringLiteral("QId"), year, QStringLiteral("+TId")})
        statements << QStringLiteral("SELECT %1 AS K, COUNT(*), %2 FROM TbCd GROUP BY K").arg(key, value);
    for (auto _ : state) {
        qint64 rows = 0;
        for (const QString &sql : statements)
            rows += db.StepAll(sql);
        benchmark::DoNotOptimize(rows);
    }
}

// The connection is made (and its key derived) before the clock runs, as
// the main window holds it while open.
TDM &Connected()
{
    static TDM dm;
    static const bool once = [] {
        dm.NameCatalog(Catalog());
        dm.DbBase.SetConnected(true);
        return true;
    }();
    (void)once;
    return dm;
}

void StatsRead(benchmark::State &state)
{
    TDM &dm = Connected();
    for (auto _ : state) {
        const CatalogStats::TStats stats = CatalogStats::Read(dm.DbBase);
        Bench::CheckUntimed(
            state, [&] { return stats.Discs == Discs && stats.ByFolder.size() == 20; },
            "100,000 discs in 20 top folders");
    }
}

// What "统计..." does: the figures read, the window built with its eight
// charts, shown and painted, then closed.
void StatsWindow(benchmark::State &state)
{
    TDM &dm = Connected();
    for (auto _ : state) {
        std::unique_ptr<TStatsForm> form(new TStatsForm(CatalogStats::Read(dm.DbBase), QStringLiteral("100000")));
        form->setAttribute(Qt::WA_DeleteOnClose, false);
        form->show();
        benchmark::DoNotOptimize(form->grab());
        QApplication::processEvents();
    }
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    auto app = Bench::OffscreenApplication(argc, argv);
    Bench::Register("Stats/GroupByBare", GroupByBare)->Unit(benchmark::kMillisecond);
    Bench::Register("Stats/Read", StatsRead)->Unit(benchmark::kMillisecond);
    Bench::Register("Stats/Window", StatsWindow)->Unit(benchmark::kMillisecond);
    return Bench::RunAndReport([](const Bench::RatioReporter &reporter) {
        const auto bare = reporter.Ms("Stats/GroupByBare");
        const auto read = reporter.Ms("Stats/Read");
        const auto window = reporter.Ms("Stats/Window");
        if (!bare || !read || !window)
            return;
        std::printf("\nstatistics of %d discs: bare GROUP BY statements %.1f ms; figures read %.1f ms (ratio %.2f); "
                    "window opened and painted %.1f ms (ratio %.2f, bar < 200 ms: %s)\n",
                    Discs, *bare, *read, *read / *bare, *window, *window / *bare, *window < 200 ? "met" : "MISSED");
    });
}
