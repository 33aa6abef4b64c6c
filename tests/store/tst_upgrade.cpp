// Bringing catalogs of the older layout to the current one.
#include "store/catalog/DataModule.h"
#include "store/catalog/UpgradeUnit.h"
#include "store/engine/Errors.h"
#include "store/engine/SqlDialect.h"
#include "tests/e2e/CatalogState.h"
#include "tests/support/CatalogFixture.h"

#include <QTest>

Q_DECLARE_METATYPE(Schema::Layout)

class TestUpgrade : public QObject
{
    Q_OBJECT

private slots:
    void upgradesOldCatalog();
    void upgradesEmptyOldCatalog();
    void leavesOtherVersionsAlone_data();
    void leavesOtherVersionsAlone();
    void failureLeavesFileAsItWas();
    void widensKeepingEverything_data();
    void widensKeepingEverything();
    void failureMidwayLeavesFileAsItWas_data();
    void failureMidwayLeavesFileAsItWas();
    void blankCodesNeedNoUniqueness_data();
    void blankCodesNeedNoUniqueness();
    void earlierIndexesReplaced_data();
    void earlierIndexesReplaced();

private:
    static bool Runs(TDM &dm, const QString &sql);
};

namespace {

const QStringList DataTables = {"TbCd", "TbTree", "TbCategory", "TbQuality"};

// Every row of the tables the upgrade rebuilds, the IDs included, without
// the initials (which the first step adds).
QStringList Contents(const QString &path)
{
    QStringList rows;
    rows << CatalogState::Rows(path, "SELECT ID,Day,Code,Serial,Name,CId,TId,QId,DId,Price,Location,Memo FROM TbCd "
                                     "ORDER BY ID");
    for (const char *table : {"TbTree", "TbCategory", "TbQuality"})
        rows << CatalogState::Rows(path, QStringLiteral("SELECT * FROM %1 ORDER BY 1").arg(table));
    return rows;
}

QStringList Counters(const QString &path)
{
    return CatalogState::Rows(path, "SELECT name,seq FROM sqlite_sequence ORDER BY name");
}

QStringList IndexNames(const QString &path)
{
    return CatalogState::Rows(path,
                              "SELECT name FROM sqlite_master WHERE type='index' AND sql IS NOT NULL ORDER BY name");
}

// A catalog of the layout with discs and folders at the old widths, some of
// them deleted again so that the counters run ahead of the largest IDs.
void Fill(const QString &path, Schema::Layout layout)
{
    TDM dm;
    dm.NameCatalog(path);
    dm.ExecuteSQL(R"(INSERT INTO TbCategory (Name) VALUES ("一二三四五六七八九十"))");
    dm.ExecuteSQL(R"(INSERT INTO TbQuality (Name) VALUES ("全新"))");
    dm.ExecuteSQL(R"(INSERT INTO TbTree (Id1, Name) VALUES (1, "十个汉字的目录名称啊"))");
    dm.ExecuteSQL(R"(INSERT INTO TbTree (Id1, Name) VALUES (2, "Gone"))");
    dm.ExecuteSQL(R"(DELETE FROM TbTree WHERE Name="Gone")");
    const bool old = layout == Schema::Layout::Build100;
    const QString disc =
        QStringLiteral("INSERT INTO TbCd (Day, Code, Serial, Name, CId, TId, QId, DId, Price, "
                       "Location, Memo%4) VALUES (45000.5, \"%1\", \"1234567890\", \"%2\", 1, 2, 1, 0, "
                       "12.5, \"%3\", \"第一行\r\n第二行\"%5)")
            .replace("%4", old ? "" : ", Picture, Spell")
            .replace("%5", old ? "" : ", \"a.jpg\", \"X\"");
    dm.ExecuteSQL(disc.arg("7", "指环王护戒使者加长版", "柜子第三层左边第二格"));
    dm.ExecuteSQL(disc.arg("8", "Music Box 2000 Live!", "A"));
    dm.ExecuteSQL(disc.arg("", "", ""));
    dm.ExecuteSQL(disc.arg("99", "Last", ""));
    dm.ExecuteSQL(R"(DELETE FROM TbCd WHERE Code="99")");
}

} // namespace

bool TestUpgrade::Runs(TDM &dm, const QString &sql)
{
    try {
        dm.OpenSQL(sql);
        return true;
    } catch (const EDAOError &) {
        return false;
    }
}

void TestUpgrade::upgradesOldCatalog()
{
    CatalogFixture catalog(Schema::Layout::Build100, true);
    TDM dm;
    dm.NameCatalog(catalog.Path());
    dm.ExecuteSQL(R"(INSERT INTO TbCd (Code, Name, TId, Price) VALUES ("7", "藏金阁", 1, 9.9))");
    dm.ExecuteSQL(R"(INSERT INTO TbCd (Code, Name, TId) VALUES ("8", "Music", 1))");
    dm.ExecuteSQL(R"(INSERT INTO TbCd (Code, TId) VALUES ("9", 1))"); // no name
    dm.ExecuteSQL(R"(INSERT INTO TbDirImage (ID, Name) VALUES (1, "x"))");
    QVERIFY(!Runs(dm, "SELECT Spell FROM TbCd"));

    UpgradeDb(dm);

    QVERIFY(!dm.Q1.Active());
    QCOMPARE(GetDbVersion(dm), QStringLiteral("Build1.02"));
    QVERIFY(!Runs(dm, "SELECT * FROM TbDirImage"));
    dm.OpenSQL("SELECT Code,Name,Spell,Picture,Price FROM TbCd");
    QStringList rows;
    for (; !dm.Q1.AtEnd(); dm.Q1.Next())
        rows << QStringList{dm.Q1.Field("Code").AsString(), dm.Q1.Field("Name").AsString(),
                            dm.Q1.Field("Spell").AsString(), dm.Q1.Field("Picture").AsString(),
                            dm.Q1.Field("Price").AsString()}
                    .join(',');
    QCOMPARE(rows, (QStringList{"7,藏金阁,CJG,,9.9", "8,Music,MUSIC,,", "9,,,,"}));
    QCOMPARE(dm.Q1.Field("Spell").Size(), 100);

    // The quick jump on an upgraded file is as fast as on a new one.
    QVERIFY(dm.HasRecords("SELECT name FROM sqlite_master WHERE name='TbCdPick'"));
    // Opening it again reads the version and changes nothing.
    dm.DbBase.SetConnected(false);
    const QByteArray digest = CatalogFixture::Digest(catalog.Path());
    UpgradeDb(dm);
    dm.DbBase.SetConnected(false);
    QCOMPARE(CatalogFixture::Digest(catalog.Path()), digest);
}

void TestUpgrade::upgradesEmptyOldCatalog()
{
    CatalogFixture catalog(Schema::Layout::Build100);
    TDM dm;
    dm.NameCatalog(catalog.Path());
    UpgradeDb(dm);
    QCOMPARE(GetDbVersion(dm), QStringLiteral("Build1.02"));
    QVERIFY(Runs(dm, "SELECT Picture,Spell FROM TbCd"));
    QVERIFY(!Runs(dm, "SELECT * FROM TbDirImage"));
}

void TestUpgrade::leavesOtherVersionsAlone_data()
{
    QTest::addColumn<QString>("version");
    QTest::newRow("other case") << "build1.00";
    QTest::newRow("other case of Build1.01") << "build1.01";
    QTest::newRow("current") << "Build1.02";
    QTest::newRow("newer") << "Build1.03";
    QTest::newRow("empty") << "";
    QTest::newRow("no settings row") << "<none>";
}

void TestUpgrade::leavesOtherVersionsAlone()
{
    QFETCH(QString, version);
    CatalogFixture catalog(Schema::Layout::Build100);
    {
        TDM dm;
        dm.NameCatalog(catalog.Path());
        if (version == "<none>")
            dm.ExecuteSQL("DELETE FROM TbSetings");
        else
            dm.ExecuteSQL("UPDATE TbSetings SET Version=" + SqlDialect::Quote(version));
    }
    const QByteArray digest = CatalogFixture::Digest(catalog.Path());
    TDM dm;
    dm.NameCatalog(catalog.Path());
    UpgradeDb(dm);
    QCOMPARE(GetDbVersion(dm), version == "<none>" ? QString() : version);
    dm.DbBase.SetConnected(false);
    QCOMPARE(CatalogFixture::Digest(catalog.Path()), digest);
}

void TestUpgrade::failureLeavesFileAsItWas()
{
    // The upgrade fails at its last steps (the table it drops is gone) after
    // it has added the columns and written every disc's initials.
    CatalogFixture catalog(Schema::Layout::Build100);
    TDM dm;
    dm.NameCatalog(catalog.Path());
    dm.ExecuteSQL(R"(INSERT INTO TbCd (Name, TId) VALUES ("藏金阁", 1))");
    dm.ExecuteSQL("DROP TABLE TbDirImage");
    QVERIFY_THROWS_EXCEPTION(EDAOError, UpgradeDb(dm));

    QCOMPARE(dm.DbBase.WorkDepth(), 0);
    QCOMPARE(GetDbVersion(dm), QStringLiteral("Build1.00"));
    QVERIFY(!Runs(dm, "SELECT Picture FROM TbCd"));
    QVERIFY(!Runs(dm, "SELECT Spell FROM TbCd"));
    QCOMPARE(dm.GetFieldValue("PRAGMA integrity_check", "integrity_check"), QStringLiteral("ok"));

    // Once the cause is gone, the next open upgrades the file.
    dm.ExecuteSQL("CREATE TABLE TbDirImage (ID INTEGER)");
    UpgradeDb(dm);
    QCOMPARE(GetDbVersion(dm), QStringLiteral("Build1.02"));
    QCOMPARE(dm.GetFieldValue("SELECT Spell FROM TbCd", "Spell"), QStringLiteral("CJG"));
}

void TestUpgrade::widensKeepingEverything_data()
{
    QTest::addColumn<Schema::Layout>("layout");
    QTest::addColumn<bool>("filled");
    QTest::newRow("1.00 with discs and folders") << Schema::Layout::Build100 << true;
    QTest::newRow("1.01 with discs and folders") << Schema::Layout::Build101 << true;
    QTest::newRow("1.00 empty") << Schema::Layout::Build100 << false;
    QTest::newRow("1.01 empty") << Schema::Layout::Build101 << false;
}

void TestUpgrade::widensKeepingEverything()
{
    QFETCH(Schema::Layout, layout);
    QFETCH(bool, filled);
    CatalogFixture catalog(layout, true);
    if (filled)
        Fill(catalog.Path(), layout);
    const QStringList contents = Contents(catalog.Path());
    const QStringList counters = Counters(catalog.Path());
    QStringList indexes = IndexNames(catalog.Path());
    if (layout == Schema::Layout::Build100)
        indexes = QStringList{"TbCdCode", "TbCdPick", "TbCdTId", "TbTreeId1"}; // the first step adds them

    TDM dm;
    dm.NameCatalog(catalog.Path());
    UpgradeDb(dm);
    QCOMPARE(dm.DbBase.WorkDepth(), 0);
    QCOMPARE(GetDbVersion(dm), QStringLiteral("Build1.02"));
    dm.DbBase.SetConnected(false);

    QCOMPARE(Contents(catalog.Path()), contents);
    QCOMPARE(Counters(catalog.Path()), counters);
    QCOMPARE(IndexNames(catalog.Path()), indexes);
    QCOMPARE(CatalogState::Rows(catalog.Path(), "PRAGMA integrity_check"), QStringList{"ok"});
    // The columns declare the new widths, which the store keeps.
    const QStringList tables = CatalogState::Rows(catalog.Path(), "SELECT replace(sql, '\"', '') FROM sqlite_master "
                                                                  "WHERE type='table' AND name LIKE 'Tb%'");
    for (const QString &table : DataTables)
        QVERIFY2(tables.contains(Schema::CreateTableStatement(table, Schema::Layout::Build102)), qPrintable(table));
    dm.OpenSQL("SELECT Name,Serial,Location,Spell FROM TbCd");
    QCOMPARE(dm.Q1.Field("Name").Size(), 100);
    QCOMPARE(dm.Q1.Field("Serial").Size(), 40);
    QCOMPARE(dm.Q1.Field("Location").Size(), 100);
    QCOMPARE(dm.Q1.Field("Spell").Size(), 100);

    // New rows never take an ID given out before, deleted ones included.
    dm.ExecuteSQL(R"(INSERT INTO TbCd (Name, Spell, TId) VALUES ("新", "X", 1))");
    dm.ExecuteSQL(R"(INSERT INTO TbTree (Id1, Name) VALUES (1, "新"))");
    QCOMPARE(dm.GetFieldValue("SELECT max(ID) AS M FROM TbCd", "M"),
             filled ? QStringLiteral("5") : QStringLiteral("1"));
    QCOMPARE(dm.GetFieldValue("SELECT max(ID) AS M FROM TbTree", "M"),
             filled ? QStringLiteral("4") : QStringLiteral("2"));
    // A long name is kept whole.
    const QString longName = QString(50, QChar(0x4E2D));
    dm.ExecuteSQL(QStringLiteral(R"(UPDATE TbTree SET Name="%1" WHERE ID=1)").arg(longName.left(30)));
    QCOMPARE(dm.GetFieldValue("SELECT Name FROM TbTree WHERE ID=1", "Name"), longName.left(30));
}

void TestUpgrade::failureMidwayLeavesFileAsItWas_data()
{
    QTest::addColumn<Schema::Layout>("layout");
    QTest::newRow("1.00") << Schema::Layout::Build100;
    QTest::newRow("1.01") << Schema::Layout::Build101;
}

void TestUpgrade::failureMidwayLeavesFileAsItWas()
{
    // A table in the way of the rebuilt folder table stops the upgrade after
    // the disc table was rebuilt.
    QFETCH(Schema::Layout, layout);
    CatalogFixture catalog(layout, true);
    Fill(catalog.Path(), layout);
    {
        TDM dm;
        dm.NameCatalog(catalog.Path());
        dm.ExecuteSQL("CREATE TABLE TbTree_Build102 (ID INTEGER)");
    }
    const QByteArray digest = CatalogFixture::Digest(catalog.Path());

    TDM dm;
    dm.NameCatalog(catalog.Path());
    QVERIFY_THROWS_EXCEPTION(EDAOError, UpgradeDb(dm));
    QCOMPARE(dm.DbBase.WorkDepth(), 0);
    dm.DbBase.SetConnected(false);
    QCOMPARE(CatalogFixture::Digest(catalog.Path()), digest);

    // Once the cause is gone, the next open upgrades the file.
    const QStringList contents = Contents(catalog.Path());
    dm.ExecuteSQL("DROP TABLE TbTree_Build102");
    UpgradeDb(dm);
    QCOMPARE(GetDbVersion(dm), QStringLiteral("Build1.02"));
    dm.DbBase.SetConnected(false);
    QCOMPARE(Contents(catalog.Path()), contents);
}

void TestUpgrade::blankCodesNeedNoUniqueness_data()
{
    QTest::addColumn<Schema::Layout>("layout");
    QTest::newRow("new catalog") << Schema::Layout::Build102;
    QTest::newRow("upgraded from 1.01") << Schema::Layout::Build101;
}

void TestUpgrade::blankCodesNeedNoUniqueness()
{
    QFETCH(Schema::Layout, layout);
    CatalogFixture catalog(layout);
    TDM dm;
    dm.NameCatalog(catalog.Path());
    UpgradeDb(dm);
    const QString insert =
        QStringLiteral(R"(INSERT INTO TbCd (Code, Name, Spell, TId) VALUES ("%1", "光盘", "GP", 1))");
    // Full-width spaces and the other blanks the program's checks know.
    for (const QString &blank :
         {QStringLiteral("\u3000"), QStringLiteral(" \t\u3000 "), QString(), QStringLiteral("\u00A0")}) {
        dm.ExecuteSQL(insert.arg(blank));
        dm.ExecuteSQL(insert.arg(blank));
    }
    dm.ExecuteSQL(insert.arg("A1"));
    QVERIFY_THROWS_EXCEPTION(EDAOError, dm.ExecuteSQL(insert.arg("A1")));
    QVERIFY_THROWS_EXCEPTION(EDAOError, dm.ExecuteSQL(insert.arg("a1"))); // codes compare without letter case
    QCOMPARE(dm.GetFieldValue("SELECT count(*) AS N FROM TbCd", "N"), QStringLiteral("9"));
}

void TestUpgrade::earlierIndexesReplaced_data()
{
    QTest::addColumn<Schema::Layout>("layout");
    QTest::addColumn<bool>("readOnly");
    QTest::newRow("current layout") << Schema::Layout::Build102 << false;
    QTest::newRow("current layout, read-only") << Schema::Layout::Build102 << true;
    QTest::newRow("1.01, upgraded") << Schema::Layout::Build101 << false;
}

// A file written by an earlier version has the quick jump's index on the
// initials alone: opening it puts the index the jump reads from in its place.
void TestUpgrade::earlierIndexesReplaced()
{
    QFETCH(Schema::Layout, layout);
    QFETCH(bool, readOnly);
    CatalogFixture catalog(layout, true);
    Fill(catalog.Path(), layout);
    {
        TDM dm;
        dm.NameCatalog(catalog.Path());
        dm.ExecuteSQL("DROP INDEX TbCdPick");
        dm.ExecuteSQL("CREATE INDEX TbCdSpell ON TbCd(Spell)");
    }
    const QStringList contents = Contents(catalog.Path());
    const QStringList before = IndexNames(catalog.Path());

    TDM dm;
    dm.DbBase.SetReadOnly(readOnly);
    dm.NameCatalog(catalog.Path());
    UpgradeDb(dm);
    QCOMPARE(dm.DbBase.WorkDepth(), 0);
    QCOMPARE(GetDbVersion(dm), QStringLiteral("Build1.02"));
    const QString plan = CatalogState::Rows(catalog.Path(), "EXPLAIN QUERY PLAN SELECT Id,Code,Name,Spell FROM TbCd "
                                                            "WHERE Spell LIKE 'XL%'")
                             .join(' ');
    dm.DbBase.SetConnected(false);

    QCOMPARE(Contents(catalog.Path()), contents);
    if (readOnly) {
        QCOMPARE(IndexNames(catalog.Path()), before);
        return;
    }
    QStringList after = before;
    after.replace(after.indexOf("TbCdSpell"), "TbCdPick");
    after.sort();
    QCOMPARE(IndexNames(catalog.Path()), after);
    QVERIFY2(plan.contains("COVERING INDEX TbCdPick"), qPrintable(plan));
}

QTEST_GUILESS_MAIN(TestUpgrade)
#include "tst_upgrade.moc"
