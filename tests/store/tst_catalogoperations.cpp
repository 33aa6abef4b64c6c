// The named operations the dialogs and panes call: the disc editor's
// look-ups, saving a disc in one transaction, the folder tree's and the name
// lists' writes, and the one rule for a file name that must stay in its
// folder.
#include "store/catalog/CatalogFiles.h"
#include "store/catalog/DiscStore.h"
#include "store/catalog/FileNames.h"
#include "store/catalog/FolderStore.h"
#include "store/catalog/NameStore.h"
#include "store/catalog/PictureFiles.h"
#include "store/engine/DAODatabase.h"
#include "store/engine/DAOQuery.h"
#include "store/engine/Errors.h"
#include "tests/support/CatalogFixture.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString Value(TDAODatabase &db, const QString &sql)
{
    TDAOQuery q;
    q.SetDatabase(&db);
    q.SetSQL(sql);
    q.Open();
    return q.RowCount() > 0 ? q.FieldAt(0).AsString() : QStringLiteral("<none>");
}

// Categories 1 电影 and 2 音乐, grade 1 良好, folders 1 (root), 2 电影 and
// 3 华语 below it; disc 41 "英雄" of code "99" in folder 3.
void Fill(TDAODatabase &db)
{
    for (const char *sql : {
             R"(DELETE FROM TbCategory)",
             R"(DELETE FROM TbQuality)",
             R"(DELETE FROM TbTree WHERE Id<>1)",
             R"(INSERT INTO TbCategory (Id, Name) VALUES (1, "电影"), (2, "音乐"))",
             R"(INSERT INTO TbQuality (Id, Name) VALUES (1, "良好"))",
             R"(INSERT INTO TbTree (Id, Id1, Name) VALUES (2, 1, "电影"), (3, 2, "华语"))",
             R"(INSERT INTO TbCd (ID, Code, Name, CId, TId, QId) VALUES (41, "99", "英雄", 1, 3, 1))",
         })
        db.Exec(QString::fromUtf8(sql));
}

TCdRec NewDisc(const QString &code, const QString &name)
{
    TCdRec disc;
    disc.Day = 45000;
    disc.Code = code;
    disc.Name = name;
    disc.Spell = QStringLiteral("XP");
    disc.CId = 2;
    disc.TId = 2;
    disc.QId = 1;
    disc.Price = 125000; // 12.5
    disc.Memo = QStringLiteral("第一行\r\n第二行");
    return disc;
}

} // namespace

class TestCatalogOperations : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void discCodes();
    void lookupOrAdd();
    void saveDiscAddsAndChanges();
    void refusedSaveWritesNothing();
    void foldersAddRenameMove();
    void namesAddAndRename();
    void plainFileName_data();
    void plainFileName();
    void namesThatLeaveTheFolderAreRefused();

private:
    std::unique_ptr<CatalogFixture> m_fixture;
    std::unique_ptr<TDAODatabase> m_db;
};

void TestCatalogOperations::init()
{
    m_fixture = std::make_unique<CatalogFixture>();
    m_db = std::make_unique<TDAODatabase>();
    m_fixture->Attach(*m_db);
    Fill(*m_db);
}

void TestCatalogOperations::cleanup()
{
    m_db.reset();
    m_fixture.reset();
}

void TestCatalogOperations::discCodes()
{
    // The largest Id, not the largest code.
    QCOMPARE(DiscStore::NextDiscCode(*m_db), QStringLiteral("42"));
    QVERIFY(DiscStore::DiscCodeExists(*m_db, QStringLiteral("99"), 0));
    QVERIFY(!DiscStore::DiscCodeExists(*m_db, QStringLiteral("99"), 41)); // the disc itself
    QVERIFY(!DiscStore::DiscCodeExists(*m_db, QStringLiteral("98"), 0));
    // A quote in the code is only a character to look for.
    QVERIFY(!DiscStore::DiscCodeExists(*m_db, QStringLiteral(R"(" OR "1"="1)"), 0));
    m_db->Exec(QStringLiteral("DELETE FROM TbCd"));
    QCOMPARE(DiscStore::NextDiscCode(*m_db), QStringLiteral("1"));
}

void TestCatalogOperations::lookupOrAdd()
{
    QCOMPARE(DiscStore::LookupOrAddName(*m_db, TNameTable::Category, QStringLiteral("音乐")), 2);
    const int added = DiscStore::LookupOrAddName(*m_db, TNameTable::Quality, QStringLiteral("一般"));
    QVERIFY(added > 1);
    QCOMPARE(Value(*m_db, QStringLiteral("SELECT Name FROM TbQuality WHERE Id=%1").arg(added)), QStringLiteral("一般"));
    QCOMPARE(DiscStore::LookupOrAddName(*m_db, TNameTable::Quality, QStringLiteral("一般")), added);

    // The first folder of the name wherever it hangs; a new one under the
    // parent given.
    QCOMPARE(DiscStore::LookupOrAddFolder(*m_db, QStringLiteral("华语"), 1), 3);
    const int folder = DiscStore::LookupOrAddFolder(*m_db, QStringLiteral("欧美"), 2);
    QCOMPARE(Value(*m_db, QStringLiteral("SELECT Id1 FROM TbTree WHERE Id=%1").arg(folder)), QStringLiteral("2"));
}

void TestCatalogOperations::saveDiscAddsAndChanges()
{
    TCdRec disc = NewDisc(QStringLiteral("A1"), QStringLiteral("新片"));
    disc.Id = DiscStore::SaveDisc(*m_db, disc, true);
    QVERIFY(disc.Id > 41);

    std::optional<DiscStore::TListedDisc> read = DiscStore::ReadDisc(*m_db, disc.Id);
    QVERIFY(read);
    QCOMPARE(read->Disc.Code, QStringLiteral("A1"));
    QCOMPARE(read->Disc.Name, QStringLiteral("新片"));
    QCOMPARE(read->Disc.Day, std::optional<double>(45000));
    QCOMPARE(read->Disc.Price, std::optional<TCurrency>(125000));
    QCOMPARE(read->Disc.Memo, disc.Memo);
    QCOMPARE(read->Category, QStringLiteral("音乐"));
    QCOMPARE(read->Quality, QStringLiteral("良好"));

    // Changed: no date, no price, a name wider than its column cut to it.
    disc.Day.reset();
    disc.Price.reset();
    disc.Name = QString(200, QChar(u'长'));
    QCOMPARE(DiscStore::SaveDisc(*m_db, disc, false), disc.Id);
    read = DiscStore::ReadDisc(*m_db, disc.Id);
    QVERIFY(read);
    QVERIFY(!read->Disc.Day);
    QVERIFY(!read->Disc.Price);
    QVERIFY(read->Disc.Name.size() < 200);
    QVERIFY(disc.Name.startsWith(read->Disc.Name));
    QCOMPARE(Value(*m_db, QStringLiteral("SELECT count(*) FROM TbCd")), QStringLiteral("2"));
    QVERIFY(!DiscStore::ReadDisc(*m_db, 777));
}

void TestCatalogOperations::refusedSaveWritesNothing()
{
    const QString before = Value(*m_db, QStringLiteral("SELECT count(*) || Max(Id) FROM TbCd"));
    // The code another disc holds.
    try {
        DiscStore::SaveDisc(*m_db, NewDisc(QStringLiteral("99"), QStringLiteral("重复")), true);
        QFAIL("a second disc of code 99 was saved");
    } catch (const EDAOError &error) {
        QVERIFY(error.IsUniqueViolation());
    }
    QCOMPARE(Value(*m_db, QStringLiteral("SELECT count(*) || Max(Id) FROM TbCd")), before);

    // A change to a disc that is no longer there adds nothing.
    TCdRec gone = NewDisc(QStringLiteral("G1"), QStringLiteral("不在了"));
    gone.Id = 500;
    QVERIFY_THROWS_EXCEPTION(EAppError, DiscStore::SaveDisc(*m_db, gone, false));
    QCOMPARE(Value(*m_db, QStringLiteral("SELECT count(*) || Max(Id) FROM TbCd")), before);
    QVERIFY(m_db->Connected());
}

void TestCatalogOperations::foldersAddRenameMove()
{
    const int added = FolderStore::AddFolder(*m_db, 3, QStringLiteral("动作"));
    QCOMPARE(FolderStore::FolderName(*m_db, added), QStringLiteral("动作"));
    QVERIFY(FolderStore::HasSubFolders(*m_db, 3));
    QVERIFY(!FolderStore::HasSubFolders(*m_db, added));
    QVERIFY(FolderStore::HasDiscs(*m_db, 3));
    QVERIFY(!FolderStore::HasDiscs(*m_db, 2)); // its own discs only

    FolderStore::RenameFolder(*m_db, added, QStringLiteral("武侠"));
    FolderStore::MoveFolder(*m_db, added, 1);
    FolderStore::RenameFolder(*m_db, 999, QStringLiteral("无")); // gone: left alone
    QCOMPARE(Value(*m_db, QStringLiteral("SELECT count(*) FROM TbTree")), QStringLiteral("4"));

    const QList<FolderStore::TFolder> folders = FolderStore::ReadFolders(*m_db);
    QCOMPARE(folders.size(), 4);
    const auto it = std::find_if(folders.begin(), folders.end(), [&](const auto &f) { return f.Id == added; });
    QVERIFY(it != folders.end());
    QCOMPARE(it->Name, QStringLiteral("武侠"));
    QCOMPARE(it->ParentId, 1);
    QCOMPARE(FolderStore::FolderName(*m_db, 999), QString());
}

void TestCatalogOperations::namesAddAndRename()
{
    QVERIFY(NameStore::NameExists(*m_db, TNameTable::Category, QStringLiteral("电影")));
    QVERIFY(!NameStore::NameExists(*m_db, TNameTable::Quality, QStringLiteral("电影")));
    QVERIFY(NameStore::NameInUse(*m_db, TNameTable::Category, 1));
    QVERIFY(!NameStore::NameInUse(*m_db, TNameTable::Category, 2));

    const int id = NameStore::AddName(*m_db, TNameTable::Quality, QStringLiteral("很差"));
    NameStore::RenameName(*m_db, TNameTable::Quality, id, QStringLiteral("较差"));
    QCOMPARE(Value(*m_db, QStringLiteral("SELECT Name FROM TbQuality WHERE Id=%1").arg(id)), QStringLiteral("较差"));
}

void TestCatalogOperations::plainFileName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("plain");
    QTest::newRow("picture") << QStringLiteral("cover.jpg") << true;
    QTest::newRow("catalog") << QStringLiteral("音乐.MDB") << true;
    QTest::newRow("dot inside") << QStringLiteral("a..b") << true;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("dot") << QStringLiteral(".") << false;
    QTest::newRow("dot dot") << QStringLiteral("..") << false;
    QTest::newRow("slash") << QStringLiteral("sub/a.jpg") << false;
    QTest::newRow("backslash") << QStringLiteral("..\\a.MDB") << false;
    QTest::newRow("nul") << QStringLiteral("a") + QChar(u'\0') + QStringLiteral("b") << false;
    // Where the two earlier rules differed: a control character is refused
    // for both; a colon or three dots is a file name like any other, so a
    // catalog named so stays reachable.
    QTest::newRow("control character") << QStringLiteral("a\nb.MDB") << false;
    QTest::newRow("three dots") << QStringLiteral("...") << true;
    QTest::newRow("colon") << QStringLiteral("C:a.MDB") << true;
}

void TestCatalogOperations::plainFileName()
{
    QFETCH(QString, name);
    QFETCH(bool, plain);
    QCOMPARE(FileNames::IsPlainFileName(name), plain);
}

void TestCatalogOperations::namesThatLeaveTheFolderAreRefused()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Data"));
    QVERIFY(QDir().mkpath(folder));
    QFile blank(QDir(folder).filePath(QStringLiteral("Blank")));
    QVERIFY(blank.open(QIODevice::WriteOnly));
    blank.write("template");
    blank.close();

    for (const QString &name : {QStringLiteral("a\nb.MDB"), QStringLiteral("a\x1b[2Jb.MDB")}) {
        QString error;
        QVERIFY2(!CatalogFiles::CreateFromTemplate(folder, name, &error), qPrintable(name));
        QVERIFY(!error.isEmpty());
        QVERIFY(!QFile::exists(QDir(folder).filePath(name)));
        QCOMPARE(CatalogFiles::FindFile(folder, name), QString());
        // A picture of that name lies in the folder, and still is none.
        QFile picture(QDir(folder).filePath(name));
        QVERIFY(picture.open(QIODevice::WriteOnly));
        picture.write("x");
        picture.close();
        QCOMPARE(PictureFiles::StoredPictureFile(folder, name), QString());
    }
    QVERIFY(CatalogFiles::CreateFromTemplate(folder, QStringLiteral("New.MDB")));
    QCOMPARE(PictureFiles::StoredPictureFile(folder, QStringLiteral("Blank")),
             QDir(folder).filePath(QStringLiteral("Blank")));
}

QTEST_GUILESS_MAIN(TestCatalogOperations)
#include "tst_catalogoperations.moc"
