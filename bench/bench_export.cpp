// Exporting the whole catalog of 100,000 discs as CSV (UTF-8), from opening
// the discs to the renamed file, next to the bare statement's rows written
// to a file in the same run.
#include "bench/BenchSupport.h"
#include "store/catalog/DiscExport.h"
#include "store/catalog/DiscList.h"
#include "store/engine/DAODatabase.h"
#include "store/engine/DAOQuery.h"

#include <QFile>

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

constexpr int Discs = 100000;

QString CatalogPath()
{
    return Bench::GeneratedCatalog(QStringLiteral("export.db"), Discs);
}

// Every field of a disc, as the export writes them.
QList<DiscExport::TColumn> Columns()
{
    return DiscExport::DiscColumns();
}

// The bare statement: every row's columns as the engine gives their text,
// joined by commas, written to a file; no quoting, no formatting.
void ExportRaw(benchmark::State &state)
{
    const Bench::RawDb db(CatalogPath());
    const QByteArray sql = (DiscListStatement() + QStringLiteral(" ORDER BY A.TId,A.Serial,A.ID")).toUtf8();
    const QByteArray path = Bench::WorkDir().filePath(QStringLiteral("raw.csv")).toLocal8Bit();
    qint64 rows = 0;
    for (auto _ : state) {
        FILE *out = std::fopen(path.constData(), "wb");
        if (!out)
            throw std::runtime_error("cannot write the bare file");
        auto stmt = db.Prepare(sql.constData());
        const int columns = sqlite3_column_count(stmt.get());
        rows = 0;
        while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
            for (int c = 0; c < columns; ++c) {
                if (c > 0)
                    std::fputc(',', out);
                if (const unsigned char *text = sqlite3_column_text(stmt.get(), c))
                    std::fputs(reinterpret_cast<const char *>(text), out);
            }
            std::fputs("\r\n", out);
            ++rows;
        }
        std::fclose(out);
    }
    state.counters["rows"] = double(rows);
}

// The program's export of the whole catalog, as "导出光盘列表..." does it.
void ExportProgram(benchmark::State &state)
{
    TDAODatabase db;
    Bench::Attach(db, CatalogPath());
    db.SetConnected(true);
    const QString path = Bench::WorkDir().filePath(QStringLiteral("光盘列表.csv"));
    int rows = 0;
    for (auto _ : state) {
        TDAOQuery all;
        DiscExport::OpenAllDiscs(all, db);
        rows = DiscExport::WriteDiscs(all, Columns(), DiscExport::FolderPaths(db), DiscExport::TFormat::CsvUtf8, path);
    }
    state.counters["rows"] = double(rows);
    if (rows != Discs || QFile(path).size() == 0)
        state.SkipWithError("not every disc was written");
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    Bench::Register("Export/Raw", ExportRaw)->MinTime(2.0)->Unit(benchmark::kMillisecond);
    Bench::Register("Export/Program", ExportProgram)->MinTime(2.0)->Unit(benchmark::kMillisecond);
    return Bench::RunAndReport([](const Bench::RatioReporter &reporter) {
        const auto program = reporter.Ms("Export/Program");
        const auto raw = reporter.Ms("Export/Raw");
        if (!program || !raw)
            return;
        std::printf("\nexport of %d discs: program %.1f ms (bar < 3000 ms: %s), bare statement to a file %.1f ms, "
                    "ratio %.2f\n",
                    Discs, *program, *program < 3000 ? "met" : "MISSED", *raw, *program / *raw);
    });
}
