// The data module's operations, compaction, and catalogs that cannot be
// opened.
#include "store/catalog/DataModule.h"
#include "store/engine/CatalogOpening.h"
#include "store/engine/Errors.h"
#include "store/engine/RowReader.h"
#include "tests/support/CatalogFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>

#include <chrono>
#include <thread>

#include <csignal>
#include <cstdio>
#include <sqlcipher/sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

class TestDataModule : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void workQueryOperations();
    void compactShrinksAndKeepsEverything();
    void compactThatFailsLeavesFileAlone();
    void compactRatioRounding();
    void compactOnAFullDiskLeavesTheBytes();
    void compactInAFolderThatCannotBeWritten();
    void writeErrorsNameTheFileInChinese_data();
    void writeErrorsNameTheFileInChinese();
    void fileSizeOf();
    void badCatalogsAreRefusedUntouched_data();
    void badCatalogsAreRefusedUntouched();
    void checkInBackgroundRefusesBeforeAnyWrite_data();
    void checkInBackgroundRefusesBeforeAnyWrite();
    void readOnlyCatalogRefusesWrites();
    void catalogHeldForAMomentOpensAfterTheWait();
    void switchCatalogClosesQueries();

private:
    std::unique_ptr<CatalogFixture> m_catalog;
    std::unique_ptr<TDM> m_dm;
};

void TestDataModule::init()
{
    m_catalog = std::make_unique<CatalogFixture>(Schema::Layout::Build102, true);
    m_dm = std::make_unique<TDM>();
    m_dm->NameCatalog(m_catalog->Path());
}

void TestDataModule::cleanup()
{
    m_dm.reset();
    m_catalog.reset();
}

void TestDataModule::workQueryOperations()
{
    QVERIFY(!m_dm->DbBase.Connected());
    QCOMPARE(m_dm->GetFieldValue("SELECT * FROM TbSetings", "Version"), QStringLiteral("Build1.02"));
    QVERIFY(m_dm->DbBase.Connected()); // the first query connects
    QVERIFY(!m_dm->Q1.Active());
    QCOMPARE(m_dm->GetFieldValue("SELECT Name FROM TbTree WHERE Id=99", "Name"), QString());

    QVERIFY(m_dm->HasRecords(R"(SELECT Id,Name FROM TbCategory WHERE Name="软件")"));
    QCOMPARE(m_dm->Q1.Field("Id").AsInteger(), 3);
    QVERIFY(!m_dm->HasRecords(R"(SELECT Id,Name FROM TbCategory WHERE Name="纪录片")"));
    m_dm->Q1.Append();
    m_dm->Q1.Field("Name").SetAsString(QStringLiteral("纪录片"));
    m_dm->Q1.Post();
    QCOMPARE(m_dm->Q1.Field("Id").AsInteger(), 8);
    QVERIFY(m_dm->HasRecords(R"(SELECT Id,Name FROM TbCategory WHERE Name="纪录片")"));

    m_dm->OpenSQL("SELECT Id,Name FROM TbQuality");
    QCOMPARE(m_dm->Q1.RowCount(), 5);
    m_dm->ExecuteSQL(R"(UPDATE TbQuality SET Name="崭新" WHERE Id=1)");
    QVERIFY(!m_dm->Q1.Active());
    QCOMPARE(m_dm->GetFieldValue("SELECT Name FROM TbQuality WHERE Id=1", "Name"), QStringLiteral("崭新"));
}

void TestDataModule::compactShrinksAndKeepsEverything()
{
    m_dm->OpenSQL("SELECT * FROM TbCd");
    {
        TDAOSuspendGuard guard(m_dm->Q1);
        for (int i = 0; i < 600; ++i) {
            m_dm->Q1.Append();
            m_dm->Q1.Field("Name").SetAsString(QStringLiteral("光盘%1").arg(i));
            m_dm->Q1.Field("Memo").SetAsString(QString(400, QChar(0x4E00 + i % 100)));
            m_dm->Q1.Post();
        }
    }
    m_dm->ExecuteSQL("DELETE FROM TbCd WHERE Id>10");
    const qint64 before = TDM::FileSizeOf(m_catalog->Path());

    const TCurrency ratio = m_dm->CompactDb();
    QVERIFY(!m_dm->DbBase.Connected());
    const qint64 after = TDM::FileSizeOf(m_catalog->Path());
    QVERIFY(after < before);
    QCOMPARE(ratio, Currency::FromDouble(double(after) / double(before)));
    QVERIFY(ratio > 0 && ratio < Currency::Scale);

    // Same password, every table and row.
    QCOMPARE(m_dm->GetFieldValue("SELECT count(*) AS N FROM TbCd", "N"), QStringLiteral("10"));
    QCOMPARE(m_dm->GetFieldValue("SELECT count(*) AS N FROM TbCategory", "N"), QStringLiteral("7"));
    QCOMPARE(m_dm->GetFieldValue("SELECT Name FROM TbCd WHERE Id=10", "Name"), QStringLiteral("光盘9"));
    QCOMPARE(m_dm->GetFieldValue("PRAGMA integrity_check", "integrity_check"), QStringLiteral("ok"));
}

void TestDataModule::compactThatFailsLeavesFileAlone()
{
    // Another program holds a write lock on the catalog: the compaction
    // cannot run.
    m_dm->GetFieldValue("SELECT * FROM TbSetings", "Version");
    const TCatalogHandle handle =
        OpenCatalogHandle(m_catalog->Path(), QString::fromLatin1(Schema::CatalogPassword), false);
    sqlite3 *other = handle.get();
    QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    const QByteArray digest = CatalogFixture::Digest(m_catalog->Path());

    QCOMPARE(m_dm->CompactDb(), TCurrency(0));
    QVERIFY2(m_dm->CompactFailure().contains(QStringLiteral("正被另一个程序使用")), qPrintable(m_dm->CompactFailure()));
    QCOMPARE(CatalogFixture::Digest(m_catalog->Path()), digest);
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    QCOMPARE(m_dm->GetFieldValue("SELECT * FROM TbSetings", "Version"), QStringLiteral("Build1.02"));
}

void TestDataModule::compactOnAFullDiskLeavesTheBytes()
{
    m_dm->OpenSQL("SELECT * FROM TbCd");
    {
        TDAOSuspendGuard guard(m_dm->Q1);
        for (int i = 0; i < 400; ++i) {
            m_dm->Q1.Append();
            m_dm->Q1.Field("Name").SetAsString(QStringLiteral("光盘%1").arg(i));
            m_dm->Q1.Field("Memo").SetAsString(QString(400, QChar(0x4E00 + i % 100)));
            m_dm->Q1.Post();
        }
    }
    m_dm->ExecuteSQL("DELETE FROM TbCd WHERE Id % 3 = 0");
    m_dm->DbBase.SetConnected(false);
    const QString folder = QFileInfo(m_catalog->Path()).absolutePath();
    // A stale copy from an earlier run that ended on the way.
    {
        QFile stale(QDir(folder).filePath(QStringLiteral("Tmp_mdb.tmp")));
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write("left over");
    }
    const QStringList filesBefore = QDir(folder).entryList(QDir::Files);
    const QByteArray bytes = CatalogFixture::Digest(m_catalog->Path());

    // Files may not grow past a third of the catalog: the copy cannot be
    // written in full, as on a disk that is full.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit original{};
    getrlimit(RLIMIT_FSIZE, &original);
    rlimit limited = original;
    limited.rlim_cur = rlim_t(QFileInfo(m_catalog->Path()).size() / 3);
    setrlimit(RLIMIT_FSIZE, &limited);
    const TCurrency ratio = m_dm->CompactDb();
    setrlimit(RLIMIT_FSIZE, &original);

    QCOMPARE(ratio, TCurrency(0));
    QVERIFY2(m_dm->CompactFailure().contains(QDir::toNativeSeparators(m_catalog->Path())) &&
                 m_dm->CompactFailure().contains(QStringLiteral("磁盘可能已满")) &&
                 m_dm->CompactFailure().contains(QStringLiteral("原文件保持不变")),
             qPrintable(m_dm->CompactFailure()));
    QCOMPARE(CatalogFixture::Digest(m_catalog->Path()), bytes);
    // The unfinished copy is gone, and the stale one with it.
    QStringList filesAfter = QDir(folder).entryList(QDir::Files);
    QCOMPARE(filesAfter, QStringList(filesBefore).filter(QRegularExpression(QStringLiteral("^(?!Tmp_mdb)"))));

    // With room again the same catalog compacts.
    QVERIFY(m_dm->CompactDb() > 0);
    QCOMPARE(m_dm->GetFieldValue("SELECT count(*) AS N FROM TbCd", "N"), QStringLiteral("267"));
    QCOMPARE(QDir(folder).entryList(QDir::Files), filesAfter);
}

void TestDataModule::compactInAFolderThatCannotBeWritten()
{
    const QString folder = QFileInfo(m_catalog->Path()).absolutePath();
    m_dm->DbBase.SetConnected(false);
    const QByteArray bytes = CatalogFixture::Digest(m_catalog->Path());
    // Root may write into any folder: there, a folder in the way of the
    // copy's name stands in for a folder that cannot be written.
    const bool root = geteuid() == 0;
    if (root)
        QVERIFY(QDir(folder).mkdir(QStringLiteral("Tmp_mdb.tmp")));
    else
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    const TCurrency ratio = m_dm->CompactDb();
    if (root)
        QVERIFY(QDir(folder).rmdir(QStringLiteral("Tmp_mdb.tmp")));
    else
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(ratio, TCurrency(0));
    QVERIFY2(m_dm->CompactFailure().contains(QDir::toNativeSeparators(m_catalog->Path())) &&
                 m_dm->CompactFailure().contains(QStringLiteral("文件夹")),
             qPrintable(m_dm->CompactFailure()));
    QCOMPARE(CatalogFixture::Digest(m_catalog->Path()), bytes);
}

void TestDataModule::writeErrorsNameTheFileInChinese_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("says");
    // The engine cannot make its journal beside the file (as in a folder that
    // cannot be written; root may write anywhere, so the journal's name
    // leads into a folder that does not exist).
    QTest::newRow("no journal can be made") << "journal"
                                            << "文件夹";
    // Another program put a different file (a restored backup) in its place
    // while this one had it open.
    QTest::newRow("file replaced on disk") << "replaced"
                                           << "重新打开";
}

void TestDataModule::writeErrorsNameTheFileInChinese()
{
    QFETCH(QString, kind);
    QFETCH(QString, says);
    m_dm->ExecuteSQL("INSERT INTO TbCd (Name) VALUES ('旧')");
    QCOMPARE(m_dm->GetFieldValue("SELECT count(*) AS N FROM TbCd", "N"), QStringLiteral("1"));
    const QString path = m_catalog->Path();
    if (kind == "journal") {
        QVERIFY(QFile::link(m_catalog->FilePath(QStringLiteral("missing/journal")), path + QStringLiteral("-journal")));
    } else {
        const QString other = m_catalog->FilePath(QStringLiteral("Restored.MDB"));
        QVERIFY(QFile::copy(path, other));
        QCOMPARE(::rename(QFile::encodeName(other).constData(), QFile::encodeName(path).constData()), 0);
    }
    try {
        m_dm->ExecuteSQL("DELETE FROM TbCd");
        QFAIL("the write went through");
    } catch (const EDAOError &e) {
        QVERIFY2(e.Message().contains(QDir::toNativeSeparators(path)) && e.Message().contains(says),
                 qPrintable(e.Message()));
        QString sentence = e.Message();
        sentence.remove(QDir::toNativeSeparators(path));
        QVERIFY2(!sentence.contains(QRegularExpression(QStringLiteral("[A-Za-z]"))), qPrintable(e.Message()));
        QVERIFY(!e.Details().isEmpty());
    }
    if (kind == "journal")
        QVERIFY(QFile::remove(path + QStringLiteral("-journal")));
    m_dm->DbBase.SetConnected(false);
    QCOMPARE(m_dm->GetFieldValue("SELECT count(*) AS N FROM TbCd", "N"), QStringLiteral("1"));
}

void TestDataModule::compactRatioRounding()
{
    QCOMPARE(Currency::FromDouble(654321.0 / 1000000.0), TCurrency(6543));
    QCOMPARE(Currency::FromDouble(0.00025), TCurrency(2)); // ties to even
    QCOMPARE(Currency::FromDouble(0.00035), TCurrency(4));
}

void TestDataModule::fileSizeOf()
{
    QCOMPARE(TDM::FileSizeOf(m_catalog->Path()), QFileInfo(m_catalog->Path()).size());
    QVERIFY_THROWS_EXCEPTION(EFileError, TDM::FileSizeOf(m_catalog->FilePath("missing.MDB")));
}

void TestDataModule::badCatalogsAreRefusedUntouched_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << "missing"
                             << "文件不存在";
    QTest::newRow("not a catalog") << "text"
                                   << "不是光盘夹文件";
    QTest::newRow("empty file") << "empty"
                                << "不是光盘夹文件";
    QTest::newRow("wrong password") << "password"
                                    << "密码不对";
    QTest::newRow("truncated") << "truncated"
                               << "损坏";
    QTest::newRow("folder") << "folder"
                            << "文件夹";
    // Numbers the program carries as 32-bit integers: never cut to another
    // row's number.
    QTest::newRow("disc number beyond 32 bits") << "INSERT INTO TbCd (Id, Name) VALUES (4294967298, 'x')"
                                                << "超出范围的记录编号";
    QTest::newRow("folder number beyond 32 bits") << "INSERT INTO TbTree (ID, Id1, Name) VALUES (4294967297, 1, 'x')"
                                                  << "超出范围的记录编号";
    QTest::newRow("parent beyond 32 bits") << "INSERT INTO TbTree (Id1, Name) VALUES (4294967297, 'x')"
                                           << "超出范围的记录编号";
    QTest::newRow("negative disc number") << "INSERT INTO TbCd (Id, Name) VALUES (-4294967295, 'x')"
                                          << "超出范围的记录编号";
    // Columns with an index are asked through it: both ends, and a number
    // stored as a real.
    QTest::newRow("folder reference beyond 32 bits") << "INSERT INTO TbCd (Name, TId) VALUES ('x', 4294967298)"
                                                     << "超出范围的记录编号";
    QTest::newRow("negative parent") << "INSERT INTO TbTree (Id1, Name) VALUES (-4294967297, 'x')"
                                     << "超出范围的记录编号";
    QTest::newRow("folder reference as a real") << "INSERT INTO TbCd (Name, TId) VALUES ('x', 5.5e9)"
                                                << "超出范围的记录编号";
    QTest::newRow("category reference beyond 32 bits") << "INSERT INTO TbCd (Name, CId) VALUES ('x', 4294967298)"
                                                       << "超出范围的记录编号";
    QTest::newRow("counter near the end of 32 bits")
        << "INSERT INTO TbCd (Name) VALUES ('x'); UPDATE sqlite_sequence SET seq=2147483600 WHERE name='TbCd'"
        << "超出范围的记录编号";
}

void TestDataModule::badCatalogsAreRefusedUntouched()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    QString path = m_catalog->FilePath("Bad.MDB");
    QString password = QString::fromLatin1(Schema::CatalogPassword);
    if (kind == "text") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("这不是光盘夹\n").repeated(500));
    } else if (kind == "empty") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    } else if (kind == "password") {
        path = m_catalog->Path();
        password = QStringLiteral("123456");
    } else if (kind == "truncated") {
        m_dm->OpenSQL("SELECT * FROM TbCd");
        {
            TDAOSuspendGuard guard(m_dm->Q1);
            for (int i = 0; i < 300; ++i) {
                m_dm->Q1.Append();
                m_dm->Q1.Field("Memo").SetAsString(QString(300, QLatin1Char('m')));
                m_dm->Q1.Post();
            }
        }
        m_dm->DbBase.SetConnected(false);
        QVERIFY(QFile::copy(m_catalog->Path(), path));
        QFile file(path);
        QVERIFY(file.resize(file.size() / 2));
    } else if (kind == "folder") {
        QVERIFY(QDir().mkpath(path));
    } else if (kind.startsWith(QLatin1String("INSERT"))) {
        path = m_catalog->Path();
        const int rc = sqlite3_exec(OpenCatalogHandle(path, password, false).get(), kind.toUtf8().constData(), nullptr,
                                    nullptr, nullptr);
        QCOMPARE(rc, SQLITE_OK);
    }
    const QByteArray digest = CatalogFixture::Digest(path);

    TDAODatabase db;
    db.SetDatabaseName(path);
    db.SetPassword(password);
    try {
        db.SetConnected(true);
        QFAIL("a bad catalog opened");
    } catch (const EDAOError &e) {
        QVERIFY2(e.Message().contains(path) && e.Message().contains(reason), qPrintable(e.Message()));
        // A Chinese sentence: the engine's English words, if any, are in the
        // details only.
        QString sentence = e.Message();
        sentence.remove(path);
        static const QRegularExpression latin(QStringLiteral("[A-Za-z]"));
        QVERIFY2(!sentence.contains(latin), qPrintable(e.Message()));
        if (kind == "text" || kind == "password")
            QVERIFY2(e.Details().contains(QLatin1String("not a database")), qPrintable(e.Details()));
    }
    QVERIFY(!db.Connected());
    QCOMPARE(CatalogFixture::Digest(path), digest);
    QCOMPARE(QFileInfo::exists(path), kind != "missing");
}

void TestDataModule::checkInBackgroundRefusesBeforeAnyWrite_data()
{
    QTest::addColumn<bool>("outOfRange");
    QTest::addColumn<QString>("how");
    QTest::newRow("a statement that writes") << true << "exec";
    QTest::newRow("a piece of work") << true << "work";
    QTest::newRow("awaited") << true << "await";
    QTest::newRow("numbers in range") << false << "work";
}

// An opening whose check runs on a thread of its own reads at once; what
// writes waits for the check, and a catalog it refuses is closed untouched.
void TestDataModule::checkInBackgroundRefusesBeforeAnyWrite()
{
    QFETCH(bool, outOfRange);
    QFETCH(QString, how);
    const QString path = m_catalog->Path();
    const QString password = QString::fromLatin1(Schema::CatalogPassword);
    if (outOfRange)
        QCOMPARE(sqlite3_exec(OpenCatalogHandle(path, password, false).get(),
                              "INSERT INTO TbTree (Id1, Name) VALUES (4294967297, 'x')", nullptr, nullptr, nullptr),
                 SQLITE_OK);
    const QByteArray digest = CatalogFixture::Digest(path);

    TDAODatabase db;
    db.SetDatabaseName(path);
    db.SetPassword(password);
    db.CheckNextOpeningInBackground();
    db.SetConnected(true);
    qint64 folders = 0;
    db.ForEachRow(QStringLiteral("SELECT count(*) FROM TbTree"),
                  [&](const TRowReader &row) { folders = row.Int64(0); });
    QCOMPARE(folders, outOfRange ? 2 : 1);
    const QString write = QStringLiteral("UPDATE TbTree SET Name='改过' WHERE Id=1");
    try {
        if (how == "exec") {
            db.Exec(write);
        } else if (how == "work") {
            TDAOTransaction work(db);
            db.Exec(write);
            work.Commit();
        } else {
            db.AwaitOpeningCheck();
        }
        QVERIFY2(!outOfRange, "a catalog with a number out of range was kept open");
        QVERIFY(db.Connected());
        QVERIFY(!db.OpeningCheckPending());
        return;
    } catch (const EDAOError &e) {
        QVERIFY2(outOfRange, qPrintable(e.Message()));
        QVERIFY2(e.Message().contains(path) && e.Message().contains(QStringLiteral("超出范围的记录编号")),
                 qPrintable(e.Message()));
    }
    QVERIFY(!db.Connected());
    QCOMPARE(CatalogFixture::Digest(path), digest);
    // Only the opening asked for it checks in the background.
    QVERIFY_THROWS_EXCEPTION(EDAOError, db.SetConnected(true));
    QVERIFY(!db.Connected());
}

void TestDataModule::readOnlyCatalogRefusesWrites()
{
    const QByteArray digest = CatalogFixture::Digest(m_catalog->Path());
    TDAODatabase db;
    m_catalog->Attach(db);
    db.SetReadOnly(true);
    TDAOQuery q;
    q.SetDatabase(&db);
    q.SetSQL("SELECT * FROM TbCategory");
    q.Open();
    q.Edit();
    q.Field("Name").SetAsString(QStringLiteral("改名"));
    try {
        q.Post();
        QFAIL("wrote to a read-only catalog");
    } catch (const EDAOError &e) {
        QVERIFY2(e.Message().contains(QStringLiteral("只读")), qPrintable(e.Message()));
        QVERIFY2(e.Details().contains(QLatin1String("readonly")), qPrintable(e.Details()));
    }
    q.Cancel();
    db.SetConnected(false);
    QCOMPARE(CatalogFixture::Digest(m_catalog->Path()), digest);

    // A file the user may not write is refused at open (root may write
    // anything, so only an ordinary user sees this).
    if (geteuid() != 0) {
        QFile::setPermissions(m_catalog->Path(), QFile::ReadOwner);
        TDAODatabase writable;
        m_catalog->Attach(writable);
        QVERIFY_THROWS_EXCEPTION(EDAOError, writable.SetConnected(true));
        QFile::setPermissions(m_catalog->Path(), QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(CatalogFixture::Digest(m_catalog->Path()), digest);
    }
}

void TestDataModule::catalogHeldForAMomentOpensAfterTheWait()
{
    // Another connection writes to the file and holds it for a moment, as
    // during its commit; opening the catalog waits for it instead of failing.
    const TCatalogHandle handle =
        OpenCatalogHandle(m_catalog->Path(), QString::fromLatin1(Schema::CatalogPassword), false);
    sqlite3 *other = handle.get();
    QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    std::thread release([other] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    });
    QString version;
    try {
        version = m_dm->GetFieldValue("SELECT * FROM TbSetings", "Version");
    } catch (const EAppError &e) {
        version = e.Message();
    }
    release.join();
    QCOMPARE(version, QStringLiteral("Build1.02"));
}

void TestDataModule::switchCatalogClosesQueries()
{
    const QString second = m_catalog->FilePath("Second.MDB");
    Schema::CreateCatalog(second, Schema::Layout::Build102, false);
    m_dm->OpenSQL("SELECT * FROM TbCategory");
    TDM::OpenQuery(m_dm->Q2, "SELECT * FROM TbQuality");
    m_dm->SwitchCatalog(second);
    QVERIFY(!m_dm->Q1.Active());
    QVERIFY(!m_dm->Q2.Active());
    QVERIFY(m_dm->DbBase.Connected());
    QVERIFY(!m_dm->HasRecords("SELECT * FROM TbCategory"));
}

QTEST_GUILESS_MAIN(TestDataModule)
#include "tst_datamodule.moc"
