// A disc's files read into the catalog, kept, replaced, removed and found.
#include "media/Volumes.h"
#include "store/catalog/CatalogBackup.h"
#include "store/catalog/ContentsScan.h"
#include "store/catalog/DiscContents.h"
#include "store/catalog/NameIndex.h"
#include "store/engine/BoundStatement.h"
#include "store/engine/Errors.h"
#include "tests/support/CatalogFixture.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <unistd.h>
#include <utime.h>

using namespace DiscContents;

class TestDiscContents : public QObject
{
    Q_OBJECT

private slots:
    void scanStoresTheTreeExactly();
    void cancelOrFailureKeepsPreviousContents_data();
    void cancelOrFailureKeepsPreviousContents();
    void rescanReplacesClearAndDeleteRemove();
    void neverScannedCatalogIsUnchanged();
    void findsFiles_data();
    void findsFiles();
    void findFollowsChanges();
    void findRereadsOnlyChangedDiscs_data();
    void findRereadsOnlyChangedDiscs();
    void namesOfOneConnectionServeNoOther();
    void offersVolumesInOrder();
};

namespace {

bool WriteFile(const QString &path, const QByteArray &bytes = {}, qint64 mtime = 0)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(bytes);
    file.close();
    const utimbuf times{mtime, mtime};
    return !mtime || utime(QFile::encodeName(path).constData(), &times) == 0;
}

qint64 AddDisc(TDAODatabase &db, const QString &name, const QString &code, int folder = 1)
{
    TBoundStatement insert(db, QStringLiteral("INSERT INTO TbCd (Code, Name, TId, Spell) VALUES (?, ?, ?, '')"));
    return insert.Bind(1, code).Bind(2, name).Bind(3, folder).Run();
}

// Every stored entry below a folder as "path kind size" (+ " unreadable"),
// in the store's order.
void List(TDAODatabase &db, qint64 disc, qint64 parent, const QString &path, QStringList &lines)
{
    for (const TEntry &entry : Children(db, disc, parent)) {
        const QString shown = path + QLatin1Char('/') + entry.Name;
        lines << QStringLiteral("%1 %2 %3%4")
                     .arg(shown)
                     .arg(int(entry.Kind))
                     .arg(entry.Size)
                     .arg(entry.Unreadable ? QStringLiteral(" unreadable") : QString());
        List(db, disc, entry.Id, shown, lines);
    }
}

QStringList Stored(TDAODatabase &db, qint64 disc)
{
    QStringList lines;
    List(db, disc, 0, QString(), lines);
    return lines;
}

// A folder of count files named f0000..., for scans long enough to cancel.
QString ManyFiles(const QTemporaryDir &dir, const QString &name, int count)
{
    const QString root = dir.filePath(name);
    for (int i = 0; i < count; ++i)
        WriteFile(root + QStringLiteral("/sub/f%1").arg(i, 4, 10, QLatin1Char('0')), "x");
    return root;
}

} // namespace

void TestDiscContents::scanStoresTheTreeExactly()
{
    CatalogFixture catalog;
    TDAODatabase db;
    catalog.Attach(db);
    const qint64 disc = AddDisc(db, QStringLiteral("备份"), QStringLiteral("B1"));

    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("盘"));
    QVERIFY(WriteFile(root + QStringLiteral("/照片 2019/海边.jpg"), QByteArray(1234, 'p')));
    QVERIFY(WriteFile(root + QStringLiteral("/照片 2019/深/更深/最深.txt"), "abc"));
    QVERIFY(WriteFile(root + QStringLiteral("/空文件"), {}));
    QVERIFY(WriteFile(root + QStringLiteral("/odd 'q\" [x]*? \t#%.txt"), "12"));
    QVERIFY(WriteFile(root + QStringLiteral("/不能读/里面.txt"), "hidden"));
    // A sparse file over 4 GB.
    {
        QFile big(root + QStringLiteral("/大文件.iso"));
        QVERIFY(big.open(QIODevice::WriteOnly));
        QVERIFY(big.resize(Q_INT64_C(5) * 1024 * 1024 * 1024 + 7));
    }
    // A link loop and a link to a file: recorded, never followed.
    QVERIFY(QFile::link(QStringLiteral(".."), root + QStringLiteral("/照片 2019/回环")));
    QVERIFY(QFile::link(root + QStringLiteral("/空文件"), root + QStringLiteral("/链接")));

    DiscScanner::TCallbacks callbacks;
    // Root reads every folder, so the unreadable folder is made so here;
    // without root, mode 000 really shuts it.
    QFile::setPermissions(root + QStringLiteral("/不能读"), {});
    if (geteuid() == 0)
        callbacks.RefuseFolder = [](const QString &path) { return path == QStringLiteral("/不能读"); };
    TVolume volumeIn;
    volumeIn.Label = QStringLiteral("BACKUP_2019");
    volumeIn.FsSize = 700 * 1024 * 1024;
    volumeIn.FsUsed = 600 * 1024 * 1024;
    const DiscScanner::TResult result = ContentsScan::ScanInto(db, disc, root, volumeIn, callbacks);
    QFile::setPermissions(root + QStringLiteral("/不能读"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QCOMPARE(result.Unreadable, QStringList{QStringLiteral("/不能读")});
    const qint64 big = Q_INT64_C(5) * 1024 * 1024 * 1024 + 7;
    const QStringList expected = {
        QStringLiteral("/不能读 1 0 unreadable"),
        QStringLiteral("/照片 2019 1 0"),
        QStringLiteral("/照片 2019/深 1 0"),
        QStringLiteral("/照片 2019/深/更深 1 0"),
        QStringLiteral("/照片 2019/深/更深/最深.txt 0 3"),
        QStringLiteral("/照片 2019/回环 2 0"),
        QStringLiteral("/照片 2019/海边.jpg 0 1234"),
        QStringLiteral("/odd 'q\" [x]*? \t#%.txt 0 2"),
        QStringLiteral("/大文件.iso 0 %1").arg(big),
        QStringLiteral("/空文件 0 0"),
        QStringLiteral("/链接 2 0"),
    };
    QStringList stored = Stored(db, disc);
    QStringList sortedExpected = expected;
    stored.sort();
    sortedExpected.sort();
    QCOMPARE(stored, sortedExpected);
    // Folders come before files in each folder.
    QVERIFY(Stored(db, disc).first().contains(QLatin1String(" 1 0")));

    const std::optional<TVolume> volume = DiscContents::Volume(db, disc);
    QVERIFY(volume);
    QCOMPARE(volume->Label, QStringLiteral("BACKUP_2019"));
    QCOMPARE(volume->FsSize, volumeIn.FsSize);
    QCOMPARE(volume->Files, 5);
    QCOMPARE(volume->Folders, 4);
    QCOMPARE(volume->Links, 2);
    QCOMPARE(volume->Bytes, big + 1234 + 3 + 2);
    QCOMPARE(volume->Unreadable, 1);
    QCOMPARE(volume->ScanDate.date(), QDate::currentDate());
}

void TestDiscContents::cancelOrFailureKeepsPreviousContents_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::newRow("cancel") << true;
    QTest::newRow("failure") << false;
}

void TestDiscContents::cancelOrFailureKeepsPreviousContents()
{
    QFETCH(bool, cancel);
    CatalogFixture catalog;
    TDAODatabase db;
    catalog.Attach(db);
    const qint64 disc = AddDisc(db, QStringLiteral("备份"), QStringLiteral("B1"));
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("first"));
    QVERIFY(WriteFile(first + QStringLiteral("/旧文件.txt"), "old"));
    ContentsScan::ScanInto(db, disc, first, {});
    const QStringList before = Stored(db, disc);
    const QDateTime scanned = DiscContents::Volume(db, disc)->ScanDate;

    const QString second = ManyFiles(dir, QStringLiteral("second"), 1000);
    DiscScanner::TCallbacks callbacks;
    int calls = 0;
    callbacks.Progress = [&](const DiscScanner::TResult &) {
        if (++calls < 2)
            return true;
        if (!cancel)
            throw EAppError(QStringLiteral("写入失败"));
        return false;
    };
    if (cancel) {
        QVERIFY(ContentsScan::ScanInto(db, disc, second, {}, callbacks).Cancelled);
    } else {
        QVERIFY_THROWS_EXCEPTION(EAppError, ContentsScan::ScanInto(db, disc, second, {}, callbacks));
    }
    QCOMPARE(calls, 2);
    QCOMPARE(db.WorkDepth(), 0);
    QCOMPARE(Stored(db, disc), before);
    QCOMPARE(DiscContents::Volume(db, disc)->ScanDate, scanned);

    // A first scan cancelled leaves a catalog without the tables.
    CatalogFixture fresh;
    TDAODatabase freshDb;
    fresh.Attach(freshDb);
    const qint64 freshDisc = AddDisc(freshDb, QStringLiteral("新"), QStringLiteral("N1"));
    calls = 0;
    if (cancel) {
        ContentsScan::ScanInto(freshDb, freshDisc, second, {}, callbacks);
    } else {
        QVERIFY_THROWS_EXCEPTION(EAppError, ContentsScan::ScanInto(freshDb, freshDisc, second, {}, callbacks));
    }
    QVERIFY(!HasTables(freshDb));
}

void TestDiscContents::rescanReplacesClearAndDeleteRemove()
{
    CatalogFixture catalog;
    TDAODatabase db;
    catalog.Attach(db);
    const qint64 a = AddDisc(db, QStringLiteral("甲"), QStringLiteral("A"));
    const qint64 b = AddDisc(db, QStringLiteral("乙"), QStringLiteral("B"));
    QTemporaryDir dir;
    QVERIFY(WriteFile(dir.filePath(QStringLiteral("one/a.txt")), "1"));
    QVERIFY(WriteFile(dir.filePath(QStringLiteral("two/b/c.txt")), "22"));
    ContentsScan::ScanInto(db, a, dir.filePath(QStringLiteral("one")), {});
    ContentsScan::ScanInto(db, b, dir.filePath(QStringLiteral("one")), {});
    ContentsScan::ScanInto(db, a, dir.filePath(QStringLiteral("two")), {});
    QCOMPARE(Stored(db, a), (QStringList{QStringLiteral("/b 1 0"), QStringLiteral("/b/c.txt 0 2")}));
    QCOMPARE(Stored(db, b), QStringList{QStringLiteral("/a.txt 0 1")});

    Clear(db, b);
    QVERIFY(Stored(db, b).isEmpty());
    QVERIFY(!DiscContents::Volume(db, b));
    QCOMPARE(Stored(db, a).size(), 2);

    // A disc deleted takes its contents with it, however it is deleted.
    db.Exec(QStringLiteral("DELETE FROM TbCd WHERE ID=%1").arg(a));
    TBoundStatement left(db, QStringLiteral("SELECT count(*) FROM TbEntry"));
    QCOMPARE(left.Scalar(), 0);
    QVERIFY(!DiscContents::Volume(db, a));
}

void TestDiscContents::neverScannedCatalogIsUnchanged()
{
    CatalogFixture catalog;
    {
        TDAODatabase db;
        catalog.Attach(db);
        AddDisc(db, QStringLiteral("甲"), QStringLiteral("A"));
    }
    const QByteArray digest = CatalogFixture::Digest(catalog.Path());
    {
        TDAODatabase db;
        catalog.Attach(db);
        QVERIFY(!HasTables(db));
        QVERIFY(!DiscContents::Volume(db, 1));
        QVERIFY(Children(db, 1, 0).isEmpty());
        TFileQuery query;
        query.Name = QStringLiteral("a");
        QVERIFY(FindFiles(db, query).isEmpty());
        QCOMPARE(CountFiles(db, query), 0);
        QCOMPARE(HoldingFileCondition(db, QStringLiteral("a")), QStringLiteral(" 1=0 "));
        Clear(db, 1);
    }
    CatalogBackup::BackupCatalog(catalog.Path(), QString::fromLatin1(Schema::CatalogPassword),
                                 catalog.FilePath(QStringLiteral("b.MDB")));
    QCOMPARE(CatalogFixture::Digest(catalog.Path()), digest);
}

void TestDiscContents::findsFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint64>("minSize");
    QTest::addColumn<qint64>("maxSize");
    QTest::addColumn<QDate>("earliest");
    QTest::addColumn<QDate>("latest");
    QTest::addColumn<QStringList>("found");

    const QDate none;
    QTest::newRow("part, any case") << QStringLiteral("READ") << -1ll << -1ll << none << none
                                    << QStringList{QStringLiteral("甲:/:ReadMe.TXT"),
                                                   QStringLiteral("乙:/docs:readme.md")};
    QTest::newRow("chinese middle part") << QStringLiteral("假期") << -1ll << -1ll << none << none
                                         << QStringList{QStringLiteral("乙:/照片:2019年暑假期间.jpg")};
    QTest::newRow("star") << QStringLiteral("r*.md") << -1ll << -1ll << none << none
                          << QStringList{QStringLiteral("乙:/docs:readme.md")};
    QTest::newRow("star, the longer run found elsewhere too")
        << QStringLiteral("read*.t") << -1ll << -1ll << none << none << QStringList{QStringLiteral("甲:/:ReadMe.TXT")};
    QTest::newRow("wildcards only, characters not bytes")
        << QStringLiteral("???") << -1ll << -1ll << none << none
        << QStringList{QStringLiteral("甲:/:ReadMe.TXT"), QStringLiteral("甲:/:song[1].mp3"),
                       QStringLiteral("乙:/:docs"), QStringLiteral("乙:/docs:readme.md"),
                       QStringLiteral("乙:/照片:2019年暑假期间.jpg")};
    QTest::newRow("question mark") << QStringLiteral("20?9") << -1ll << -1ll << none << none
                                   << QStringList{QStringLiteral("乙:/照片:2019年暑假期间.jpg")};
    QTest::newRow("question mark, chinese") << QStringLiteral("暑?期") << -1ll << -1ll << none << none
                                            << QStringList{QStringLiteral("乙:/照片:2019年暑假期间.jpg")};
    QTest::newRow("star and size") << QStringLiteral("*.m*") << 2ll << -1ll << none << none
                                   << QStringList{QStringLiteral("甲:/:song[1].mp3")};
    QTest::newRow("bracket is itself") << QStringLiteral("[1]") << -1ll << -1ll << none << none
                                       << QStringList{QStringLiteral("甲:/:song[1].mp3")};
    QTest::newRow("size range") << QString() << 100ll << 5000ll << none << none
                                << QStringList{QStringLiteral("乙:/照片:2019年暑假期间.jpg"),
                                               QStringLiteral("甲:/:song[1].mp3")};
    QTest::newRow("date range") << QString() << -1ll << -1ll << QDate(2019, 7, 1) << QDate(2019, 7, 31)
                                << QStringList{QStringLiteral("乙:/照片:2019年暑假期间.jpg")};
    QTest::newRow("folder by name") << QStringLiteral("照") << -1ll << -1ll << none << none
                                    << QStringList{QStringLiteral("乙:/:照片")};
    QTest::newRow("underscore is itself") << QStringLiteral("read_me") << -1ll << -1ll << none << none << QStringList{};
    QTest::newRow("nothing") << QStringLiteral("zzz") << -1ll << -1ll << none << none << QStringList{};
}

void TestDiscContents::findsFiles()
{
    QFETCH(QString, name);
    QFETCH(qint64, minSize);
    QFETCH(qint64, maxSize);
    QFETCH(QDate, earliest);
    QFETCH(QDate, latest);
    QFETCH(QStringList, found);

    CatalogFixture catalog;
    TDAODatabase db;
    catalog.Attach(db);
    db.Exec(QStringLiteral("INSERT INTO TbTree (Id1, Name) VALUES (1, '备份')"));
    const qint64 a = AddDisc(db, QStringLiteral("甲"), QStringLiteral("A1"), 2);
    const qint64 b = AddDisc(db, QStringLiteral("乙"), QStringLiteral("B1"));
    AddDisc(db, QStringLiteral("丙"), QStringLiteral("C1")); // never scanned
    QTemporaryDir dir;
    const qint64 day = QDateTime(QDate(2019, 7, 15), QTime(12, 0)).toSecsSinceEpoch();
    const qint64 earlier = QDateTime(QDate(2018, 1, 1), QTime(12, 0)).toSecsSinceEpoch();
    QVERIFY(WriteFile(dir.filePath(QStringLiteral("a/ReadMe.TXT")), "12", earlier));
    QVERIFY(WriteFile(dir.filePath(QStringLiteral("a/song[1].mp3")), QByteArray(4000, 's'), earlier));
    QVERIFY(WriteFile(dir.filePath(QStringLiteral("b/docs/readme.md")), "1", earlier));
    QVERIFY(WriteFile(dir.filePath(QStringLiteral("b/照片/2019年暑假期间.jpg")), QByteArray(200, 'j'), day));
    ContentsScan::ScanInto(db, a, dir.filePath(QStringLiteral("a")), {});
    ContentsScan::ScanInto(db, b, dir.filePath(QStringLiteral("b")), {});

    TFileQuery query;
    query.Name = name;
    if (minSize >= 0)
        query.MinSize = minSize;
    if (maxSize >= 0)
        query.MaxSize = maxSize;
    if (earliest.isValid())
        query.Earliest = earliest;
    if (latest.isValid())
        query.Latest = latest;
    QStringList lines;
    for (const TFoundFile &file : FindFiles(db, query)) {
        lines << QStringLiteral("%1:%2:%3").arg(file.DiscName, file.Folder, file.Name);
        if (file.DiscId == a) {
            QCOMPARE(file.DiscCode, QStringLiteral("A1"));
            QCOMPARE(file.CatalogPath, QStringLiteral("备份"));
        }
    }
    lines.sort();
    found.sort();
    QCOMPARE(lines, found);
    QCOMPARE(CountFiles(db, query), found.size());

    // The find dialog's "包含文件" keeps the discs of the same names.
    if (!name.isEmpty() && !query.MinSize && !query.MaxSize && !query.Earliest && !query.Latest) {
        QStringList discs;
        for (const QString &line : found) {
            const QString disc = line.section(QLatin1Char(':'), 0, 0);
            if (!discs.contains(disc))
                discs << disc;
        }
        QStringList holding;
        TBoundStatement statement(db,
                                  QStringLiteral("SELECT A.Name FROM TbCd A WHERE ") + HoldingFileCondition(db, name));
        while (statement.Next())
            holding << statement.Text(0);
        holding.sort();
        QCOMPARE(holding, discs);
    }
}

void TestDiscContents::findFollowsChanges()
{
    CatalogFixture catalog;
    TDAODatabase db;
    catalog.Attach(db);
    const qint64 disc = AddDisc(db, QStringLiteral("甲"), QStringLiteral("A"));
    QTemporaryDir dir;
    QVERIFY(WriteFile(dir.filePath(QStringLiteral("one/旧名字.txt")), "1"));
    QVERIFY(WriteFile(dir.filePath(QStringLiteral("two/新名字.txt")), "1"));
    auto count = [&db](const char *name) {
        TFileQuery query;
        query.Name = QString::fromUtf8(name);
        return CountFiles(db, query);
    };
    ContentsScan::ScanInto(db, disc, dir.filePath(QStringLiteral("one")), {});
    QCOMPARE(count("名字"), 1);
    QCOMPARE(count("旧"), 1);
    ContentsScan::ScanInto(db, disc, dir.filePath(QStringLiteral("two")), {});
    QCOMPARE(count("旧"), 0);
    QCOMPARE(count("新"), 1);
    // A change made through another connection is seen too.
    {
        TDAODatabase other;
        catalog.Attach(other);
        Clear(other, disc);
    }
    QCOMPARE(count("新"), 0);
}

void TestDiscContents::findRereadsOnlyChangedDiscs_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<qint64>("read"); // entries read into memory by the next search
    QTest::addColumn<qint64>("found");
    QTest::addColumn<bool>("background"); // the names held by a background read not yet taken over

    // Disc 甲 holds 2 files named 甲*, 乙 and 丙 10 files each; a rescan of
    // 甲 finds 3; a scan alike finds 2 files of the same sizes named 戊*.
    QTest::newRow("disc renamed") << QStringLiteral("rename") << 0ll << 2ll << false;
    QTest::newRow("disc added") << QStringLiteral("add disc") << 0ll << 2ll << false;
    QTest::newRow("folder added") << QStringLiteral("add folder") << 0ll << 2ll << false;
    QTest::newRow("rescan") << QStringLiteral("rescan") << 3ll << 3ll << false;
    QTest::newRow("rescan on another connection") << QStringLiteral("rescan elsewhere") << 3ll << 3ll << false;
    QTest::newRow("first scan of a disc") << QStringLiteral("scan new disc") << 3ll << 5ll << false;
    QTest::newRow("contents cleared") << QStringLiteral("clear") << 0ll << 0ll << false;
    QTest::newRow("cleared, then scanned alike") << QStringLiteral("clear and scan") << 2ll << 0ll << false;
    QTest::newRow("disc deleted") << QStringLiteral("delete disc") << 0ll << 0ll << false;
    QTest::newRow("catalog opened again") << QStringLiteral("reopen") << 22ll << 2ll << false;
    QTest::newRow("entry added behind the program") << QStringLiteral("raw insert") << 23ll << 3ll << false;
    // The same after a read in the background (NameIndex::Prepare): the first
    // search takes the names over and checks them; a read stopped at once,
    // as when the catalog closes, keeps nothing.
    QTest::newRow("read in the background") << QString() << 0ll << 2ll << true;
    QTest::newRow("rescan after a background read") << QStringLiteral("rescan") << 3ll << 3ll << true;
    QTest::newRow("rescan elsewhere after a background read")
        << QStringLiteral("rescan elsewhere") << 3ll << 3ll << true;
    QTest::newRow("background read stopped") << QStringLiteral("stop") << 22ll << 2ll << true;
}

void TestDiscContents::findRereadsOnlyChangedDiscs()
{
    QFETCH(QString, change);
    QFETCH(qint64, read);
    QFETCH(qint64, found);
    QFETCH(bool, background);

    CatalogFixture catalog;
    TDAODatabase db;
    catalog.Attach(db);
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("first"));
    const QString second = dir.filePath(QStringLiteral("second"));
    for (int i = 0; i < 10; ++i) {
        if (i < 2)
            QVERIFY(WriteFile(first + QStringLiteral("/甲%1.txt").arg(i), "1"));
        if (i < 2)
            QVERIFY(WriteFile(dir.filePath(QStringLiteral("alike/戊%1.txt").arg(i)), "1"));
        if (i < 3)
            QVERIFY(WriteFile(second + QStringLiteral("/甲新%1.txt").arg(i), "1"));
        QVERIFY(WriteFile(dir.filePath(QStringLiteral("b/乙%1.txt").arg(i)), "1"));
        QVERIFY(WriteFile(dir.filePath(QStringLiteral("c/丙%1.txt").arg(i)), "1"));
    }
    const qint64 a = AddDisc(db, QStringLiteral("甲"), QStringLiteral("A"));
    const qint64 b = AddDisc(db, QStringLiteral("乙"), QStringLiteral("B"));
    const qint64 c = AddDisc(db, QStringLiteral("丙"), QStringLiteral("C"));
    ContentsScan::ScanInto(db, b, dir.filePath(QStringLiteral("b")), {});
    ContentsScan::ScanInto(db, c, dir.filePath(QStringLiteral("c")), {});
    ContentsScan::ScanInto(db, a, first, {}); // the last entries
    TFileQuery query;
    query.Name = QStringLiteral("甲");
    if (!background) {
        QCOMPARE(CountFiles(db, query), 2);
        QCOMPARE(CountFiles(db, query), 2); // held: nothing read
    } else {
        NameIndex::Release();
        const qint64 start = NameIndex::EntriesRead();
        NameIndex::Prepare(db);
        if (change == QLatin1String("stop")) {
            NameIndex::Release();
        } else {
            QTRY_VERIFY(!NameIndex::Progress(db).Reading);
            QCOMPARE(NameIndex::EntriesRead() - start, 22);
        }
    }

    const qint64 before = NameIndex::EntriesRead();
    if (change == QLatin1String("rename")) {
        db.Exec(QStringLiteral("UPDATE TbCd SET Name='改过' WHERE ID=%1").arg(a));
    } else if (change == QLatin1String("add disc")) {
        AddDisc(db, QStringLiteral("丁"), QStringLiteral("D"));
    } else if (change == QLatin1String("add folder")) {
        db.Exec(QStringLiteral("INSERT INTO TbTree (Id1, Name) VALUES (1, '新目录')"));
    } else if (change == QLatin1String("rescan")) {
        ContentsScan::ScanInto(db, a, second, {});
    } else if (change == QLatin1String("rescan elsewhere")) {
        TDAODatabase other;
        catalog.Attach(other);
        ContentsScan::ScanInto(other, a, second, {});
    } else if (change == QLatin1String("scan new disc")) {
        ContentsScan::ScanInto(db, AddDisc(db, QStringLiteral("丁"), QStringLiteral("D")), second, {});
    } else if (change == QLatin1String("clear")) {
        Clear(db, a);
    } else if (change == QLatin1String("clear and scan")) {
        Clear(db, a);
        ContentsScan::ScanInto(db, a, dir.filePath(QStringLiteral("alike")), {});
    } else if (change == QLatin1String("delete disc")) {
        db.Exec(QStringLiteral("DELETE FROM TbCd WHERE ID=%1").arg(a));
    } else if (change == QLatin1String("reopen")) {
        db.SetConnected(false);
    } else if (change == QLatin1String("raw insert")) {
        TDAODatabase other;
        catalog.Attach(other);
        other.Exec(QStringLiteral("INSERT INTO TbEntry (CdId, ParentId, Name, NameKey, Kind) "
                                  "VALUES (%1, 0, '甲外', '甲外', 0)")
                       .arg(b));
    }
    bool complete = false;
    QCOMPARE(FindFiles(db, query, &complete).size(), found);
    QVERIFY(complete);
    QCOMPARE(NameIndex::EntriesRead() - before, read);
    QCOMPARE(CountFiles(db, query), found);
    QCOMPARE(NameIndex::EntriesRead() - before, read);
}

void TestDiscContents::namesOfOneConnectionServeNoOther()
{
    QTemporaryDir dir;
    QVERIFY(WriteFile(dir.filePath(QStringLiteral("a/甲1.txt")), "1"));
    QVERIFY(WriteFile(dir.filePath(QStringLiteral("b/乙1.txt")), "1"));
    CatalogFixture first, second;
    TDAODatabase a, b;
    first.Attach(a);
    second.Attach(b);
    ContentsScan::ScanInto(a, AddDisc(a, QStringLiteral("甲"), QStringLiteral("A")), dir.filePath(QStringLiteral("a")),
                           {});
    ContentsScan::ScanInto(b, AddDisc(b, QStringLiteral("乙"), QStringLiteral("B")), dir.filePath(QStringLiteral("b")),
                           {});
    TFileQuery jia, yi;
    jia.Name = QStringLiteral("甲");
    yi.Name = QStringLiteral("乙");

    NameIndex::Release();
    QCOMPARE(CountFiles(a, jia), 1);
    QCOMPARE(CountFiles(b, jia), 0);
    QCOMPARE(CountFiles(b, yi), 1);
    QCOMPARE(CountFiles(a, yi), 0);

    // A reading in the background for one catalog is not the other's.
    NameIndex::Prepare(a);
    QVERIFY(!NameIndex::Progress(b).Reading);
    QTRY_VERIFY(!NameIndex::Progress(a).Reading);
    QCOMPARE(CountFiles(b, jia), 0);
    QCOMPARE(CountFiles(b, yi), 1);

    // Nor are the names of a connection closed meanwhile, even when the next
    // one is made in the same place.
    QCOMPARE(CountFiles(a, jia), 1);
    a.SetConnected(false);
    b.SetConnected(false);
    QCOMPARE(CountFiles(b, jia), 0);
    QCOMPARE(CountFiles(a, yi), 0);
    QCOMPARE(CountFiles(a, jia), 1);
    NameIndex::Release();
}

void TestDiscContents::offersVolumesInOrder()
{
    auto volume = [](const char *root, const char *device, const char *fs, bool removable) {
        Volumes::TVolume v;
        v.Root = QString::fromUtf8(root);
        v.Device = QString::fromUtf8(device);
        v.FsType = QString::fromUtf8(fs);
        v.RemovableDevice = removable;
        return v;
    };
    const QList<Volumes::TVolume> offered = Volumes::Offered({
        volume("/", "/dev/sda1", "ext4", false),
        volume("/media/iso", "/dev/loop3", "iso9660", false),
        volume("/media/usb", "/dev/sdb1", "vfat", true),
        volume("/proc", "proc", "proc", false),
        volume("/media/cdrom", "/dev/sr0", "udf", true),
    });
    QStringList roots;
    for (const Volumes::TVolume &v : offered)
        roots << v.Root;
    QCOMPARE(roots,
             (QStringList{QStringLiteral("/media/cdrom"), QStringLiteral("/media/usb"), QStringLiteral("/media/iso")}));
}

QTEST_GUILESS_MAIN(TestDiscContents)
#include "tst_disccontents.moc"
