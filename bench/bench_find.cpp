// The find dialog on 100,000 discs: a find by a part of the name, from the
// click on "开始查找" until the list shows the discs, next to the bare
// statement on the same file in the same run.
#include "bench/BenchSupport.h"
#include "dialogs/FindForm.h"
#include "store/catalog/DataModule.h"
#include "store/catalog/DiscList.h"
#include "store/engine/DAODataSource.h"
#include "toolkit/DataGrid.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

constexpr int Discs = 100000;

// The part of the name searched for: a common character, 7,913 of the
// generated discs.
const QString Fragment = QStringLiteral("英");

// The statement the dialog sends, as the engine runs it.
const QByteArray RawStatement = (DiscListStatement() + QStringLiteral(" WHERE A.Name LIKE '%英%'")).toUtf8();

// The catalog, written once per run into the run's folder.
QString CatalogPath()
{
    return Bench::GeneratedCatalog(QStringLiteral("find.db"), Discs);
}

// The bare statement on an open, keyed handle: prepare, step every row and
// read every column with the accessor of its type.
void FindRaw(benchmark::State &state)
{
    const Bench::RawDb db(CatalogPath());
    qint64 rows = 0;
    for (auto _ : state)
        rows = db.StepAll(RawStatement.constData());
    state.counters["rows"] = double(rows);
}

// The dialog as the user has it: connected, the lists filled, shown. Each
// iteration presses "开始查找" with the name typed, then lets the list lay
// out, count its footer and paint its first rows.
void FindDialog(benchmark::State &state)
{
    try {
        TDM dm;
        dm.NameCatalog(CatalogPath());
        DM = &dm;
        {
            TFindFm dlg(dm);
            dlg.FormShow();
            dlg.show();
            QCoreApplication::processEvents();
            dlg.edName->setText(Fragment);
            for (auto _ : state) {
                dlg.btnFind->click();
                QCoreApplication::processEvents();
                dlg.dgFind->View()->viewport()->repaint();
            }
            state.counters["rows"] = double(dlg.dsFind->rowCount());
            if (dlg.dgFind->FooterText(QStringLiteral("Serial")) !=
                QStringLiteral("数目：%1").arg(dlg.dsFind->rowCount()))
                state.SkipWithError("the footer does not count the rows found");
        }
        DM = nullptr;
    } catch (const std::exception &error) {
        DM = nullptr;
        state.SkipWithError(error.what());
    }
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    // The dialog is measured as it lays out and paints, without a screen.
    const auto app = Bench::OffscreenApplication(argc, argv);
    Bench::Register("Find/Raw", FindRaw)->MinTime(2.0)->Unit(benchmark::kMillisecond);
    Bench::Register("Find/Dialog", FindDialog)->MinTime(2.0)->Unit(benchmark::kMillisecond);
    return Bench::RunAndReport([](const Bench::RatioReporter &reporter) {
        const auto dialog = reporter.Ms("Find/Dialog");
        const auto raw = reporter.Ms("Find/Raw");
        if (!dialog || !raw)
            return;
        const double ratio = *dialog / *raw;
        std::printf("\nfind by name: dialog %.1f ms, bare statement %.1f ms, ratio %.2f (bar <= 2.0: %s)\n", *dialog,
                    *raw, ratio, ratio <= 2.0 ? "met" : "MISSED");
    });
}
