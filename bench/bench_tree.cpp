// The folder tree with 10,000 folders: reading them into the tree list, the
// rebuild after a suspended change, and one folder moved in place.
#include "bench/BenchSupport.h"
#include "store/catalog/DataModule.h"
#include "store/catalog/Schema.h"
#include "store/engine/DAOQuery.h"
#include "toolkit/TreeList.h"

#include <QApplication>
#include <QTreeView>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int Folders = 10000;

// A catalog with 100 folders under the root, 89 under each of them and a
// chain 1,000 deep: 10,000 folders besides the root.
class TreeCatalog
{
public:
    static TreeCatalog &Instance()
    {
        static TreeCatalog catalog;
        return catalog;
    }

    TDM &Dm() { return *m_dm; }

private:
    TreeCatalog()
    {
        const QString path = Bench::WorkDir().filePath(QStringLiteral("Tree.MDB"));
        Schema::CreateCatalog(path, Schema::Layout::Build102, false);
        m_dm = std::make_unique<TDM>();
        DM = m_dm.get();
        m_dm->NameCatalog(path);
        TDAOQuery writer;
        writer.SetDatabase(&m_dm->DbBase);
        TDM::OpenQuery(writer, QStringLiteral("SELECT * FROM TbTree"));
        TDAOSuspendGuard guard(writer);
        auto add = [&](int parentId, const QString &name) {
            writer.Append();
            writer.Field(QStringLiteral("Id1")).SetAsInteger(parentId);
            writer.Field(QStringLiteral("Name")).SetAsString(name);
            writer.Post();
            return writer.Field(QStringLiteral("ID")).AsInteger();
        };
        for (int top = 0; top < 100; ++top) {
            const int id = add(1, QStringLiteral("目录%1").arg(top));
            for (int child = 0; child < 89; ++child)
                add(id, QStringLiteral("子目录%1").arg(child));
        }
        int parentId = 1;
        for (int depth = 0; depth < Folders - 100 * 90; ++depth)
            parentId = add(parentId, QStringLiteral("深%1").arg(depth));
    }

    std::unique_ptr<TDM> m_dm;
};

// A shown tree list over the folder query, as the main window has it.
struct ShownTree
{
    ShownTree()
    {
        query.SetDatabase(&TreeCatalog::Instance().Dm().DbBase);
        TTreeColumn name;
        name.FieldName = QStringLiteral("Name");
        name.FooterFormat = QStringLiteral("目录总数：%1");
        tree.SetColumns({name});
        tree.SetDataSet(&query, QStringLiteral("ID"), QStringLiteral("Id1"), QStringLiteral("Name"));
        tree.resize(250, 600);
        tree.show();
    }

    void Load()
    {
        TDM::OpenQuery(query, QStringLiteral("SELECT * FROM TbTree"));
        tree.ExpandAll(tree.NodeOfKey(1));
        QApplication::processEvents(); // lays out and paints the rows
    }

    TDAOQuery query;
    TTreeList tree;
};

// Opening the folder query, building the tree, opening it all and showing it.
void BM_LoadTree(benchmark::State &state)
{
    ShownTree shown;
    for (auto _ : state)
        shown.Load();
    if (shown.tree.Model()->NodeCount() != Folders + 1)
        state.SkipWithError("wrong folder count");
}
BENCHMARK(BM_LoadTree)->Unit(benchmark::kMillisecond);

// The tree read again after the query's controls were suspended, as after a
// disc drop; the open folders stay open.
void BM_RebuildAfterSuspend(benchmark::State &state)
{
    ShownTree shown;
    shown.Load();
    for (auto _ : state) {
        {
            TDAOSuspendGuard guard(shown.query);
        }
        QApplication::processEvents();
    }
    if (!shown.tree.IsExpanded(shown.tree.NodeOfKey(2)))
        state.SkipWithError("folders closed");
}
BENCHMARK(BM_RebuildAfterSuspend)->Unit(benchmark::kMillisecond);

// One folder given another parent and back, applied to the tree in place.
void BM_MoveOneFolder(benchmark::State &state)
{
    ShownTree shown;
    shown.Load();
    const int moved = 3;
    for (auto _ : state) {
        for (int parentId : {200, 2}) {
            shown.query.Locate(QStringLiteral("ID"), moved);
            shown.query.Edit();
            shown.query.Field(QStringLiteral("Id1")).SetAsInteger(parentId);
            shown.query.Post();
            QApplication::processEvents();
        }
    }
}
BENCHMARK(BM_MoveOneFolder)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    TreeCatalog::Instance();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
