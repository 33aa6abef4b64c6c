// The detail page of one disc on a 100,000-disc catalog: the disc's row read
// alone, the page built, the page as the service hands it out (GBK bytes),
// and the detail view showing it.
#include "bench/BenchSupport.h"
#include "browser/DetailView.h"
#include "browser/PageService.h"
#include "store/catalog/DataModule.h"
#include "store/catalog/DiscList.h"
#include "store/catalog/Schema.h"

#include <QApplication>
#include <QDir>

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

constexpr int Discs = 100000;

// One catalog per run, connected once as the main window keeps it.
class Fixture
{
public:
    static Fixture &Instance()
    {
        static Fixture fixture;
        return fixture;
    }

    TOurNSHandler &Service() { return *m_service; }

    // Discs spread over the whole file, a different one each time.
    int NextId()
    {
        m_next = (m_next + 1) % int(m_ids.size());
        return m_ids[size_t(m_next)];
    }

private:
    Fixture()
    {
        const QString path = Bench::GeneratedCatalog(QStringLiteral("100000.db"), Discs);
        QDir(Bench::WorkDir().path()).mkdir(QStringLiteral("Picture"));
        m_service = std::make_unique<TOurNSHandler>(Bench::WorkDir().filePath(QStringLiteral("Picture")));
        m_dm.NameCatalog(path);
        DM = &m_dm;
        quint32 x = 12345;
        for (int i = 0; i < 1000; ++i) {
            x = x * 1103515245u + 12345u;
            m_ids.push_back(1 + int((x >> 8) % Discs));
        }
        m_service->BuildCdPage(1); // connects
    }

    TDM m_dm;
    std::unique_ptr<TOurNSHandler> m_service;
    std::vector<int> m_ids;
    int m_next = 0;
};

// Baseline: the store's part alone, the disc's row read and its page values
// taken as text.
void BM_DetailPageQuery(benchmark::State &state)
{
    Fixture &f = Fixture::Instance();
    for (auto _ : state) {
        TDM::OpenQuery(DM->Q2, OneDiscStatement(f.NextId()));
        for (const char *name :
             {"Serial", "Day", "Code", "Name", "Category", "Quality", "Price", "Location", "Memo", "Picture"})
            benchmark::DoNotOptimize(DM->Q2.Field(QLatin1String(name)).AsString());
        DM->Q2.Close();
    }
}
BENCHMARK(BM_DetailPageQuery)->Unit(benchmark::kMicrosecond);

void BM_DetailPageBuild(benchmark::State &state)
{
    Fixture &f = Fixture::Instance();
    for (auto _ : state)
        benchmark::DoNotOptimize(f.Service().BuildCdPage(f.NextId()));
}
BENCHMARK(BM_DetailPageBuild)->Unit(benchmark::kMicrosecond);

// What the view gets for "http://vorlix/cd.htm?<id>": routing, page, GBK.
void BM_DetailPageRespond(benchmark::State &state)
{
    Fixture &f = Fixture::Instance();
    for (auto _ : state)
        benchmark::DoNotOptimize(f.Service().Respond(TOurNSHandler::PageUrl(f.NextId())));
}
BENCHMARK(BM_DetailPageRespond)->Unit(benchmark::kMicrosecond);

// ShowCdPage on a 700 x 300 view: the page served, parsed and laid out, the
// cover served and decoded. Painting not included.
void BM_DetailPageShow(benchmark::State &state)
{
    Fixture &f = Fixture::Instance();
    TDetailView view;
    view.resize(700, 300);
    view.RegisterPageHandler(f.Service().PictureFolder());
    for (auto _ : state) {
        view.ShowCdPage(f.NextId());
        benchmark::DoNotOptimize(view.document()->size());
    }
}
BENCHMARK(BM_DetailPageShow)->Unit(benchmark::kMicrosecond);

// ShowCdPage of a disc by the length of its description, on the same view:
// a short one (the baseline), 200 KB and 3 MB without a line break. The page
// shows a bounded part of a long one.
void BM_DetailPageShowMemo(benchmark::State &state)
{
    static std::vector<int> ids;
    static const QString catalog = [] {
        const QString path = Bench::WorkDir().filePath(QStringLiteral("memo.db"));
        Schema::CreateCatalog(path, Schema::Layout::Build101, true);
        TDM dm;
        dm.NameCatalog(path);
        dm.OpenSQL(QStringLiteral("SELECT * FROM TbCd"));
        for (const qsizetype length : {qsizetype(40), qsizetype(200 * 1024), qsizetype(3 * 1024 * 1024)}) {
            dm.Q1.Append();
            dm.Q1.Field(QStringLiteral("Name")).SetAsString(QStringLiteral("简介%1").arg(length));
            dm.Q1.Field(QStringLiteral("Memo")).SetAsString(QString(length, QLatin1Char('x')));
            dm.Q1.Post();
            ids.push_back(dm.Q1.Field(QStringLiteral("Id")).AsInteger());
        }
        dm.Q1.Close();
        return path;
    }();
    TDM dm;
    dm.NameCatalog(catalog);
    TDM *const previous = DM;
    DM = &dm;
    const int id = ids.at(size_t(state.range(0)));
    TDetailView view;
    view.resize(700, 300);
    view.RegisterPageHandler(Bench::WorkDir().filePath(QStringLiteral("Picture")));
    for (auto _ : state) {
        view.ShowCdPage(id);
        benchmark::DoNotOptimize(view.document()->size());
    }
    DM = previous;
}
BENCHMARK(BM_DetailPageShowMemo)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    benchmark::Initialize(&argc, argv);
    QApplication app(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
