// What is on each disc: storing a scan, finding a file by name across the
// collection, and reading a real folder tree, each beside its baseline.
#include "bench/BenchSupport.h"
#include "store/catalog/ContentsScan.h"
#include "store/catalog/DiscContents.h"
#include "store/catalog/NameIndex.h"
#include "store/engine/BoundStatement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

// How many entries the name search runs over, in how many discs; the
// environment may ask for fewer for a quick run.
qint64 SearchEntries()
{
    const QByteArray wanted = qgetenv("VORLIX_BENCH_ENTRIES");
    return wanted.isEmpty() ? 5000000 : wanted.toLongLong();
}
constexpr int SearchDiscs = 2000;
constexpr qint64 StoredEntries = 1000000;
constexpr int ScannedFiles = 100000;

// Made-up names, as backups and software discs hold them: a word, a number,
// an extension; one in ten holds "报告".
QString EntryName(qint64 i)
{
    static const char *const words[] = {"照片", "报告",  "备份",   "视频", "音乐",
                                        "文档", "setup", "README", "IMG_", "DSC"};
    static const char *const extensions[] = {".jpg", ".doc", ".zip", ".mp4", ".mp3", ".txt", ".exe", ".pdf"};
    return QString::fromUtf8(words[i % 10]) + QString::number(i * 7919 % 1000003) +
           QLatin1String(extensions[(i / 10) % 8]);
}

// Writes count entries into the disc through the store: folders of 50
// entries, each folder's first entry the folder itself.
void WriteEntries(DiscContents::TWriter &writer, qint64 first, qint64 count)
{
    qint64 folder = 0;
    for (qint64 i = 0; i < count; ++i) {
        if (i % 50 == 0)
            folder = writer.Add(0, QStringLiteral("目录%1").arg(first + i), DiscContents::TKind::Folder, 0, 1500000000);
        else
            writer.Add(folder, EntryName(first + i), DiscContents::TKind::File, (first + i) * 37 % 100000000,
                       1500000000 + (first + i) % 100000000);
    }
}

QString NewCatalogWithDiscs(const QString &name, int discs)
{
    const QString path = Bench::WorkDir().filePath(name);
    QFile::remove(path);
    Schema::CreateCatalog(path, Schema::Layout::Build102, false);
    TDAODatabase db;
    Bench::Attach(db, path);
    TDAOTransaction work(db);
    TBoundStatement insert(db, QStringLiteral("INSERT INTO TbCd (Code, Name, TId, Spell) VALUES (?, ?, 1, '')"));
    for (int i = 1; i <= discs; ++i)
        insert.Bind(1, QString::number(i)).Bind(2, QStringLiteral("光盘%1").arg(i)).Run();
    work.Commit();
    return path;
}

void StoreProgram(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        const QString path = NewCatalogWithDiscs(QStringLiteral("store.MDB"), 1);
        state.ResumeTiming();
        {
            TDAODatabase db;
            Bench::Attach(db, path);
            DiscContents::TWriter writer(db, 1);
            WriteEntries(writer, 0, StoredEntries);
            writer.Commit({});
        }
        state.PauseTiming();
        state.counters["bytes_per_entry"] = double(QFileInfo(path).size()) / double(StoredEntries);
        state.ResumeTiming();
    }
}

// The same rows with the engine's own calls: one prepared insert, names
// made beforehand, into the same table and index.
void StoreRaw(benchmark::State &state)
{
    std::vector<QByteArray> names;
    names.reserve(StoredEntries);
    for (qint64 i = 0; i < StoredEntries; ++i)
        names.push_back((i % 50 == 0 ? QStringLiteral("目录%1").arg(i) : EntryName(i)).toUtf8());
    for (auto _ : state) {
        state.PauseTiming();
        const QString path = NewCatalogWithDiscs(QStringLiteral("raw.MDB"), 1);
        state.ResumeTiming();
        Bench::RawDb db(path);
        db.Exec("BEGIN");
        db.Exec("CREATE TABLE TbEntry (Id INTEGER PRIMARY KEY, CdId INTEGER NOT NULL, ParentId INTEGER NOT NULL, "
                "Name TEXT NOT NULL, NameKey TEXT NOT NULL, Kind INTEGER NOT NULL, Size INTEGER NOT NULL DEFAULT 0, "
                "MTime INTEGER NOT NULL DEFAULT 0, Unreadable INTEGER NOT NULL DEFAULT 0)");
        db.Exec("CREATE INDEX TbEntryParent ON TbEntry(CdId, ParentId)");
        Bench::RawStatement insert = db.Prepare("INSERT INTO TbEntry (CdId, ParentId, Name, NameKey, Kind, Size, "
                                                "MTime, Unreadable) VALUES (1,?,?,?,?,?,?,0)");
        qint64 folder = 0;
        for (qint64 i = 0; i < StoredEntries; ++i) {
            const QByteArray &name = names[size_t(i)];
            const bool isFolder = i % 50 == 0;
            sqlite3_bind_int64(insert.get(), 1, isFolder ? 0 : folder);
            sqlite3_bind_text(insert.get(), 2, name.constData(), int(name.size()), SQLITE_STATIC);
            sqlite3_bind_text(insert.get(), 3, name.constData(), int(name.size()), SQLITE_STATIC);
            sqlite3_bind_int(insert.get(), 4, isFolder ? 1 : 0);
            sqlite3_bind_int64(insert.get(), 5, isFolder ? 0 : i * 37 % 100000000);
            sqlite3_bind_int64(insert.get(), 6, 1500000000 + i % 100000000);
            db.Run(insert.get());
            if (isFolder)
                folder = db.LastInsertId();
        }
        insert.reset();
        db.Exec("COMMIT");
        db.Close();
    }
}

// The catalog of the name search, written once.
const QString &SearchCatalog()
{
    static const QString path = [] {
        const QString catalog = NewCatalogWithDiscs(QStringLiteral("search.MDB"), SearchDiscs);
        TDAODatabase db;
        Bench::Attach(db, catalog);
        const qint64 perDisc = SearchEntries() / SearchDiscs;
        for (int disc = 1; disc <= SearchDiscs; ++disc) {
            DiscContents::TWriter writer(db, disc);
            WriteEntries(writer, (disc - 1) * perDisc, perDisc);
            writer.Commit({});
        }
        return catalog;
    }();
    return path;
}

qint64 PeakMemoryKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The program's find: the first screenful (limit 100) or the full count.
void SearchProgram(benchmark::State &state, const QString &name, bool count)
{
    TDAODatabase db;
    Bench::Attach(db, SearchCatalog());
    DiscContents::TFileQuery query;
    query.Name = name;
    query.Limit = 100;
    DiscContents::CountFiles(db, query); // the names read, untimed
    qint64 found = 0;
    for (auto _ : state)
        found = count ? DiscContents::CountFiles(db, query) : DiscContents::FindFiles(db, query).size();
    state.counters["found"] = double(found);
    state.counters["peak_MB"] = double(PeakMemoryKb()) / 1024.0;
}

// The first search after the catalog changed: the names read into memory,
// then counted.
void SearchCold(benchmark::State &state)
{
    TDAODatabase db;
    Bench::Attach(db, SearchCatalog());
    DiscContents::TFileQuery query;
    query.Name = QStringLiteral("报告");
    qint64 found = 0;
    for (auto _ : state) {
        NameIndex::Release();
        found = DiscContents::CountFiles(db, query);
    }
    state.counters["found"] = double(found);
    state.counters["peak_MB"] = double(PeakMemoryKb()) / 1024.0;
}

// A window's first search, made as it opens: the names start being read in
// the background, and the search lists the first screenful from the discs
// read so far, looking again as the window does (after a tenth of a second,
// twice as long after a look that found nothing more, up to a second) until
// it is full.
void SearchFirstScreenCold(benchmark::State &state, const QString &name)
{
    TDAODatabase db;
    Bench::Attach(db, SearchCatalog());
    DiscContents::TFileQuery query;
    query.Name = name;
    query.Limit = 100;
    qint64 found = 0;
    qint64 looks = 0;
    for (auto _ : state) {
        state.PauseTiming();
        NameIndex::Release();
        state.ResumeTiming();
        NameIndex::Prepare(db);
        bool complete = false;
        auto look = [&] {
            ++looks;
            const qint64 before = found;
            found = DiscContents::FindFiles(db, query, &complete).size();
            return found > before;
        };
        found = 0;
        look();
        for (unsigned long wait = 100; !complete && found < query.Limit;) {
            QThread::msleep(wait);
            wait = look() ? 100 : std::min(wait * 2, 1000ul);
        }
    }
    NameIndex::Release();
    state.counters["found"] = double(found);
    state.counters["looks"] = double(looks) / double(state.iterations());
}

// The first screenful of "报告" right after a change to the catalog, made
// untimed before each search, with the names of the previous search held.
void SearchAfter(benchmark::State &state, const std::function<void(TDAODatabase &, int)> &change)
{
    TDAODatabase db;
    Bench::Attach(db, SearchCatalog());
    DiscContents::TFileQuery query;
    query.Name = QStringLiteral("报告");
    query.Limit = 100;
    DiscContents::FindFiles(db, query);
    const qint64 readBefore = NameIndex::EntriesRead();
    qint64 found = 0;
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        change(db, ++round);
        state.ResumeTiming();
        found = DiscContents::FindFiles(db, query).size();
    }
    state.counters["found"] = double(found);
    state.counters["entries_read_per_search"] = double(NameIndex::EntriesRead() - readBefore) / double(round);
}

// A disc's name edited, as the disc editor stores it.
void RenameDisc(TDAODatabase &db, int round)
{
    TBoundStatement(db, QStringLiteral("UPDATE TbCd SET Name=? WHERE ID=1"))
        .Bind(1, QStringLiteral("光盘1-%1").arg(round))
        .Run();
}

// The disc in the middle of the 2,000 scanned again, its contents the same.
void RescanDisc(TDAODatabase &db, int)
{
    const qint64 perDisc = SearchEntries() / SearchDiscs;
    constexpr int disc = SearchDiscs / 2;
    DiscContents::TWriter writer(db, disc);
    WriteEntries(writer, (disc - 1) * perDisc, perDisc);
    writer.Commit({});
}

// The baseline: the engine's own LIKE over the names, counted.
void SearchRaw(benchmark::State &state, const char *sql)
{
    Bench::RawDb db(SearchCatalog());
    qint64 found = 0;
    for (auto _ : state)
        found = db.Count(QString::fromUtf8(sql));
    state.counters["found"] = double(found);
}

// A tree of 100,000 files in 100 folders of 10 sub-folders, written once.
const QString &ScanTree()
{
    static const QString root = [] {
        const QString folder = Bench::WorkDir().filePath(QStringLiteral("tree"));
        for (int i = 0; i < ScannedFiles; ++i) {
            const QString dir = folder + QStringLiteral("/d%1/s%2").arg(i / 1000).arg(i / 100 % 10);
            if (i % 100 == 0)
                QDir().mkpath(dir);
            QFile file(dir + QStringLiteral("/文件%1.txt").arg(i));
            if (file.open(QIODevice::WriteOnly))
                file.write("x", i % 3);
        }
        return folder;
    }();
    return root;
}

void ScanProgram(benchmark::State &state)
{
    DiscScanner::TCallbacks callbacks;
    qint64 next = 0;
    callbacks.Add = [&next](qint64, const DiscScanner::TFound &) { return ++next; };
    const QString &tree = ScanTree(); // written before the clock starts
    qint64 files = 0;
    for (auto _ : state)
        files = DiscScanner::Scan(tree, callbacks).Files;
    state.counters["files"] = double(files);
}

void ScanFind(benchmark::State &state)
{
    const QString &tree = ScanTree();
    for (auto _ : state) {
        QProcess find;
        find.setStandardOutputFile(QProcess::nullDevice());
        find.start(QStringLiteral("find"), {tree, QStringLiteral("-printf"), QStringLiteral("%P %y %s %T@\\n")});
        if (!find.waitForFinished(-1) || find.exitCode() != 0)
            throw std::runtime_error("find failed");
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    Bench::Register("Store1M/Program", StoreProgram)->Iterations(1)->Unit(benchmark::kMillisecond);
    Bench::Register("Store1M/Raw", StoreRaw)->Iterations(1)->Unit(benchmark::kMillisecond);
    Bench::Register("Search/Cold/Program", SearchCold)->Unit(benchmark::kMillisecond);
    Bench::Register("Search/FirstScreenCold/Program", [](auto &s) {
        SearchFirstScreenCold(s, QStringLiteral("报告"));
    })->Unit(benchmark::kMillisecond);
    Bench::Register("Search/FirstScreenColdRare/Program", [](auto &s) {
        SearchFirstScreenCold(s, QStringLiteral("报告12345*.pdf"));
    })->Unit(benchmark::kMillisecond);
    Bench::Register("Search/FirstCommon/Program", [](auto &s) {
        SearchProgram(s, QStringLiteral("报告"), false);
    })->Unit(benchmark::kMillisecond);
    Bench::Register("Search/AfterRename/Program", [](auto &s) {
        SearchAfter(s, RenameDisc);
    })->Unit(benchmark::kMillisecond);
    Bench::Register("Search/AfterRescan/Program", [](auto &s) {
        SearchAfter(s, RescanDisc);
    })->Unit(benchmark::kMillisecond);
    Bench::Register("Search/FirstRare/Program", [](auto &s) {
        SearchProgram(s, QStringLiteral("报告12345*.pdf"), false);
    })->Unit(benchmark::kMillisecond);
    Bench::Register("Search/Count/Program", [](auto &s) {
        SearchProgram(s, QStringLiteral("报告"), true);
    })->Unit(benchmark::kMillisecond);
    Bench::Register("Search/Count/RawLike", [](auto &s) {
        SearchRaw(s, "SELECT count(*) FROM TbEntry WHERE Name LIKE '%报告%'");
    })->Unit(benchmark::kMillisecond);
    Bench::Register("Search/Count/RawTableScan", [](auto &s) {
        SearchRaw(s, "SELECT count(*) FROM TbEntry WHERE Size>=0");
    })->Unit(benchmark::kMillisecond);
    Bench::Register("Search/Count/RawColumns", [](auto &s) {
        SearchRaw(s, "SELECT count(*) FROM TbEntry WHERE CdId>=0 AND NameKey<>'' AND Kind>=0 AND Size>=0 AND MTime>=0");
    })->Unit(benchmark::kMillisecond);
    Bench::Register("Scan100k/Program", ScanProgram)->Unit(benchmark::kMillisecond);
    Bench::Register("Scan100k/FindPrintf", ScanFind)->Unit(benchmark::kMillisecond);
    return Bench::RunAndReport([](const Bench::RatioReporter &reporter) {
        auto line = [&](const char *what, const char *timed, const char *base, double bar) {
            const auto t = reporter.Ms(timed);
            const auto b = base ? reporter.Ms(base) : std::nullopt;
            if (!t)
                return;
            std::printf("%-44s %10.1f ms", what, *t);
            if (b)
                std::printf("  baseline %10.1f ms  ratio %.2f", *b, *t / *b);
            if (bar > 0)
                std::printf("  (bar < %.0f ms: %s)", bar, *t < bar ? "met" : "MISSED");
            std::printf("\n");
        };
        std::printf("\n");
        line("storing 1,000,000 entries", "Store1M/Program", "Store1M/Raw", 10000);
        line("first 100 results, common part", "Search/FirstCommon/Program", "Search/Count/RawLike", 200);
        line("first results after a disc's name was edited", "Search/AfterRename/Program", "Search/FirstCommon/Program",
             200);
        line("first results after one disc was rescanned", "Search/AfterRescan/Program", "Search/FirstCommon/Program",
             200);
        line("first results, rare pattern", "Search/FirstRare/Program", "Search/Count/RawLike", 200);
        line("a window's first 100 results, names unread", "Search/FirstScreenCold/Program", "Search/Count/RawLike",
             200);
        line("a window's first results, rare, names unread", "Search/FirstScreenColdRare/Program",
             "Search/Count/RawLike", 0);
        line("full count", "Search/Count/Program", "Search/Count/RawLike", 1000);
        line("first search after a change (names read)", "Search/Cold/Program", "Search/Count/RawLike", 0);
        line("names read, against the engine reading them", "Search/Cold/Program", "Search/Count/RawColumns", 0);
        line("scanning 100,000 files (ratio bar 2)", "Scan100k/Program", "Scan100k/FindPrintf", 0);
        if (const auto bytes = reporter.Counter("Store1M/Program", "bytes_per_entry"))
            std::printf("on-disk size per entry: %.1f bytes\n", *bytes);
        if (const auto peak = reporter.Counter("Search/Cold/Program", "peak_MB"))
            std::printf("peak memory after the searches: %.0f MB\n", *peak);
    });
}
