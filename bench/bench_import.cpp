// Importing 100,000 rows of a spreadsheet file against a bare insert of the
// same rows: the import reads and decodes the file, guesses the columns,
// checks every row, makes the folders and categories and writes the discs
// in one transaction; the baseline only inserts values prepared beforehand,
// in one transaction, on the same kind of file, in the same run.
#include "bench/BenchSupport.h"
#include "media/CsvReader.h"
#include "store/catalog/ImportFields.h"
#include "store/catalog/ImportPlan.h"
#include "store/catalog/ImportStore.h"
#include "store/catalog/Schema.h"
#include "store/engine/DAODatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <benchmark/benchmark.h>
#include <sqlcipher/sqlite3.h>

namespace {

constexpr int Rows = 100000;

// The file a spreadsheet would write: UTF-8 with its mark, CR LF, a header
// of Chinese column names, a quoted description with a comma.
const QByteArray &CsvBytes()
{
    static const QByteArray bytes = [] {
        const QStringList categories{"电影", "音乐", "软件", "游戏", "纪录片", "动画", "戏曲"};
        QString text = QStringLiteral("名称,编号,分类,日期,价格,目录,说明\r\n");
        for (int i = 0; i < Rows; ++i)
            text += QStringLiteral("光盘%1号藏品,C%1,%2,20%3/%4/%5,¥%6.50,收藏/第%7架/第%8层,\"第%1张, 备注\"\r\n")
                        .arg(i)
                        .arg(categories.at(i % categories.size()))
                        .arg(10 + i % 15)
                        .arg(1 + i % 12)
                        .arg(1 + i % 28)
                        .arg(10 + i % 90)
                        .arg(i % 20)
                        .arg(i % 5);
        return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
    }();
    return bytes;
}

// A new empty catalog for one iteration, made with the clock stopped.
QString FreshCatalog(benchmark::State &state)
{
    state.PauseTiming();
    const QString path = Bench::WorkDir().filePath(QStringLiteral("import.db"));
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-journal"));
    Schema::CreateCatalog(path, Schema::Layout::Build101, true);
    state.ResumeTiming();
    return path;
}

qint64 PeakKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

void Register()
{
    Bench::Register("Import100000/Store",
                    [](benchmark::State &state) {
                        const QByteArray &bytes = CsvBytes();
                        for (auto _ : state) {
                            const QString path = FreshCatalog(state);
                            TDAODatabase db;
                            Bench::Attach(db, path);
                            const QString text = CsvReader::Decode(bytes, CsvReader::TEncoding::Auto);
                            const QList<CsvReader::TRecord> records =
                                CsvReader::Parse(text, CsvReader::DetectSeparator(text));
                            ImportPlan::TSettings settings;
                            settings.Mapping = ImportFields::GuessMapping(records.first().Fields);
                            settings.Widths = ImportStore::ReadWidths(db);
                            settings.ExistingCodes = ImportStore::ExistingCodes(db);
                            const QList<ImportPlan::TRow> rows = ImportPlan::Build(records.mid(1), settings);
                            const ImportStore::TReport report = ImportStore::Import(db, rows, Schema::RootFolderId, {});
                            db.SetConnected(false);
                            Bench::CheckUntimed(
                                state, [&] { return report.Added == Rows; }, "not every row was imported");
                        }
                        state.counters["peak_MiB"] = double(PeakKiB()) / 1024.0;
                    })
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);

    Bench::Register("Import100000/BareInsert",
                    [](benchmark::State &state) {
                        // The same rows' values, worked out beforehand.
                        const QString text = CsvReader::Decode(CsvBytes(), CsvReader::TEncoding::Auto);
                        const QList<CsvReader::TRecord> records = CsvReader::Parse(text, QLatin1Char(','));
                        ImportPlan::TSettings settings;
                        settings.Mapping = ImportFields::GuessMapping(records.first().Fields);
                        const QList<ImportPlan::TRow> rows = ImportPlan::Build(records.mid(1), settings);
                        std::vector<QByteArray> names, codes, spells, memos;
                        for (const ImportPlan::TRow &row : rows) {
                            names.push_back(row.Disc.Name.toUtf8());
                            codes.push_back(row.Disc.Code.toUtf8());
                            spells.push_back(row.Disc.Spell.toUtf8());
                            memos.push_back(row.Disc.Memo.toUtf8());
                        }
                        for (auto _ : state) {
                            const QString path = FreshCatalog(state);
                            Bench::RawDb db(path);
                            db.Exec("BEGIN IMMEDIATE");
                            Bench::RawStatement insert =
                                db.Prepare("INSERT INTO TbCd (Day, Code, Serial, Name, Spell, CId, TId, QId, DId, "
                                           "Price, Location, Memo, Picture) "
                                           "VALUES (?1,?2,'',?3,?4,1,2,0,0,?5,'',?6,'')");
                            for (size_t i = 0; i < names.size(); ++i) {
                                sqlite3_stmt *s = insert.get();
                                sqlite3_bind_double(s, 1, rows.at(qsizetype(i)).Disc.Day.value_or(0));
                                sqlite3_bind_text(s, 2, codes[i].constData(), int(codes[i].size()), SQLITE_STATIC);
                                sqlite3_bind_text(s, 3, names[i].constData(), int(names[i].size()), SQLITE_STATIC);
                                sqlite3_bind_text(s, 4, spells[i].constData(), int(spells[i].size()), SQLITE_STATIC);
                                sqlite3_bind_double(s, 5, 12.5);
                                sqlite3_bind_text(s, 6, memos[i].constData(), int(memos[i].size()), SQLITE_STATIC);
                                db.Run(s);
                            }
                            insert.reset();
                            db.Exec("COMMIT");
                            db.Close();
                        }
                    })
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
}

const Bench::TableStyle Style{52, "import", 10, "bare insert", 12, 7, 0, true, false};
const std::vector<Bench::TableRow> TableRows{
    {"Import100000/Store", "Import100000/BareInsert", 2.0, 10000, "import 100,000 rows (file to catalog)"},
};

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    QCoreApplication app(argc, argv);
    Register();
    return Bench::RunAndReport([](const Bench::RatioReporter &reporter) { reporter.PrintTable(Style, TableRows); });
}
