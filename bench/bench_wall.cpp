// The cover wall on 100,000 discs with 20,000 distinct covers: the first
// screen painted (beside the same wall on 1,000 discs, measured in the same
// run: it should not grow with the list), a page of scrolling, and the time
// until a screen's thumbnails are all made from cold. The peak memory of the
// run is printed at the end.
#include "bench/BenchSupport.h"
#include "browser/CdListPane.h"
#include "browser/CoverWall.h"
#include "browser/CoverWallModel.h"
#include "store/engine/DAODatabase.h"
#include "store/engine/DAOQuery.h"
#include "toolkit/ThumbnailCache.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QScrollBar>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

namespace {

constexpr int Covers = 20000;

// Small JPEGs, one per cover, written once per run.
QString CoverFolder()
{
    static const QString folder = [] {
        const QString path = Bench::WorkDir().filePath(QStringLiteral("covers"));
        QDir().mkpath(path);
        QImage image(150, 215, QImage::Format_RGB32);
        for (int i = 0; i < Covers; ++i) {
            image.fill(QColor::fromHsv(i % 360, 120 + i % 100, 200));
            image.save(path + QStringLiteral("/c%1.jpg").arg(i), "JPG", 80);
        }
        return path;
    }();
    return folder;
}

// A catalog of the given size whose discs name the covers in turn, and the
// disc list over it, shown as the wall.
class Wall
{
public:
    explicit Wall(int discs)
    {
        const QString path = Bench::FreshCopy(Bench::GeneratedCatalog(QStringLiteral("wall%1.db").arg(discs), discs),
                                              QStringLiteral("wallcopy.db"));
        Bench::Attach(m_db, path);
        m_db.SetConnected(true);
        m_db.Exec(QStringLiteral("UPDATE TbCd SET Picture = 'c' || (ID % %1) || '.jpg'").arg(Covers));
        m_query.SetDatabase(&m_db);
        m_pane = std::make_unique<TCdListPane>(m_query);
        m_pane->PictureFolder = CoverFolder();
        m_pane->ShowCoverWall(true);
        m_pane->resize(900, 600);
        m_pane->show();
    }
    ~Wall()
    {
        m_pane.reset();
        m_query.Close();
    }
    TCdListPane &Pane() { return *m_pane; }
    TCoverWall &View() { return *m_pane->lvCoverWall; }

private:
    TDAODatabase m_db;
    TDAOQuery m_query;
    std::unique_ptr<TCdListPane> m_pane;
};

// The root folder's discs read, until the wall's first screen is painted.
void FirstScreen(benchmark::State &state)
{
    Wall wall(int(state.range(0)));
    for (auto _ : state) {
        // The query's reading is the list's, measured with the grid.
        state.PauseTiming();
        wall.Pane().ShowCdList(1);
        state.ResumeTiming();
        QCoreApplication::processEvents();
        wall.View().viewport()->repaint();
    }
    state.counters["discs"] = double(wall.View().model()->rowCount());
}

// A page down and its paint, the thumbnails coming as they are made.
void ScrollPage(benchmark::State &state)
{
    Wall wall(100000);
    wall.Pane().ShowCdList(1);
    QScrollBar *bar = wall.View().verticalScrollBar();
    QCoreApplication::processEvents(); // laid out
    for (auto _ : state) {
        bar->setValue(bar->value() + bar->pageStep() >= bar->maximum() ? 0 : bar->value() + bar->pageStep());
        QCoreApplication::processEvents();
        wall.View().viewport()->repaint();
    }
}

// From cold (no thumbnail on disk or in memory) until every cover on the
// screen is shown: the decoding in the background, not a stall.
void ScreenOfThumbnails(benchmark::State &state)
{
    Wall wall(100000);
    wall.Pane().ShowCdList(1);
    QCoreApplication::processEvents(); // laid out
    int round = 0;
    int requested = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QDir(wall.View().Thumbnails()->DiskFolder()).removeRecursively();
        wall.View().verticalScrollBar()->setValue(wall.View().verticalScrollBar()->maximum() / 7 * (round++ % 7));
        state.ResumeTiming();
        wall.View().viewport()->repaint();
        requested = wall.View().Thumbnails()->PendingCount();
        while (wall.View().Thumbnails()->PendingCount() > 0)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        wall.View().viewport()->repaint();
    }
    state.counters["requested"] = requested;
}

} // namespace

BENCHMARK(FirstScreen)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(ScrollPage)->Unit(benchmark::kMillisecond);
BENCHMARK(ScreenOfThumbnails)->Unit(benchmark::kMillisecond)->Iterations(7);

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    const auto app = Bench::OffscreenApplication(argc, argv);
    CoverFolder();
    benchmark::RunSpecifiedBenchmarks();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak memory (max RSS): %.1f MB\n", double(usage.ru_maxrss) / 1024.0);
    return 0;
}
