// The find dialog on 100,000 discs: a find by a part of the name, from the
// click on "开始查找" until the list shows the discs, next to the bare
// statement on the same file in the same run.
#include "CatalogGenerator.h"
#include "DAODataSource.h"
#include "DAODatabase.h"
#include "DataGrid.h"
#include "DataModule.h"
#include "Errors.h"
#include "FindForm.h"
#include "Schema.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>

#include <benchmark/benchmark.h>
#include <sqlcipher/sqlite3.h>

#include <cstdio>
#include <map>
#include <string>

#include <unistd.h>

namespace {

constexpr int Discs = 100000;

// The part of the name searched for: a common character, 7,913 of the
// generated discs.
const QString Fragment = QStringLiteral("英");

// The statement the dialog sends, as the engine runs it.
const char *RawStatement =
    "SELECT A.*,B.Name AS Category,C.Name AS Quality FROM (TbCd AS A LEFT JOIN TbCategory AS B ON "
    "A.CId=B.Id) LEFT JOIN TbQuality AS C ON A.QId=C.Id WHERE A.Name LIKE '%英%'";

// The catalog, written once per run into a temporary folder.
QString CatalogPath()
{
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/vorlix-bench-XXXXXX"));
    static const QString path = [] {
        if (!dir.isValid())
            throw EFileError(QStringLiteral("no temporary folder"));
        const QString file = dir.filePath(QStringLiteral("find.db"));
        CatalogGenerator::GenerateCatalog(file, Discs, Schema::Layout::Build101);
        return file;
    }();
    return path;
}

// The bare statement on an open, keyed handle: prepare, step every row and
// read every column with the accessor of its type.
void FindRaw(benchmark::State &state)
{
    try {
        sqlite3 *db = nullptr;
        const QByteArray file = CatalogPath().toUtf8();
        if (sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            throw EDAOError(QStringLiteral("cannot open the catalog"), 0);
        sqlite3_key(db, Schema::CatalogPassword, int(qstrlen(Schema::CatalogPassword)));
        qint64 rows = 0;
        for (auto _ : state) {
            sqlite3_stmt *stmt = nullptr;
            if (sqlite3_prepare_v2(db, RawStatement, -1, &stmt, nullptr) != SQLITE_OK)
                TDAODatabase::RaiseEngineError(db, sqlite3_errcode(db), QString::fromUtf8(RawStatement));
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
        state.SkipWithError(error.what());
    }
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

// Shows the runs as usual and keeps each one's time for the closing ratio.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    RatioReporter()
        : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular)
    {
    }

    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs)
            if (run.run_type == Run::RT_Iteration && !run.error_occurred)
                m_ms[run.run_name.function_name] = run.GetAdjustedRealTime() / Multiplier(run.time_unit) * 1000.0;
        ConsoleReporter::ReportRuns(runs);
    }

    void PrintRatio() const
    {
        const auto dialog = m_ms.find("Find/Dialog");
        const auto raw = m_ms.find("Find/Raw");
        if (dialog == m_ms.end() || raw == m_ms.end())
            return;
        const double ratio = dialog->second / raw->second;
        std::printf("\nfind by name: dialog %.1f ms, bare statement %.1f ms, ratio %.2f (bar <= 2.0: %s)\n",
                    dialog->second, raw->second, ratio, ratio <= 2.0 ? "met" : "MISSED");
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
    // The dialog is measured as it lays out and paints, without a screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QFont font;
    font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Micro Hei")});
    font.setPixelSize(12);
    QApplication::setFont(font);
    benchmark::RegisterBenchmark("Find/Raw", FindRaw)->MinTime(2.0)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("Find/Dialog", FindDialog)->MinTime(2.0)->Unit(benchmark::kMillisecond);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio();
    benchmark::Shutdown();
    return 0;
}
