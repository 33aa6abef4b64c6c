// Bringing catalogs of the older layout to the current one.
#include "CatalogFixture.h"
#include "DataModule.h"
#include "Errors.h"
#include "SqlDialect.h"
#include "UpgradeUnit.h"

#include <QTest>

class TestUpgrade : public QObject
{
    Q_OBJECT

private slots:
    void upgradesOldCatalog();
    void upgradesEmptyOldCatalog();
    void leavesOtherVersionsAlone_data();
    void leavesOtherVersionsAlone();
    void failureLeavesFileAsItWas();

private:
    static bool Runs(TDM &dm, const QString &sql);
};

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
    QCOMPARE(GetDbVersion(dm), QStringLiteral("Build1.01"));
    QVERIFY(!Runs(dm, "SELECT * FROM TbDirImage"));
    dm.OpenSQL("SELECT Code,Name,Spell,Picture,Price FROM TbCd");
    QStringList rows;
    for (; !dm.Q1.AtEnd(); dm.Q1.Next())
        rows << QStringList{dm.Q1.Field("Code").AsString(), dm.Q1.Field("Name").AsString(),
                            dm.Q1.Field("Spell").AsString(), dm.Q1.Field("Picture").AsString(),
                            dm.Q1.Field("Price").AsString()}
                    .join(',');
    QCOMPARE(rows, (QStringList{"7,藏金阁,CJG,,9.9", "8,Music,MUSIC,,", "9,,,,"}));
    QCOMPARE(dm.Q1.Field("Spell").Size(), 20);

    // The quick jump on an upgraded file is as fast as on a new one.
    QVERIFY(dm.HasRecords("SELECT name FROM sqlite_master WHERE name='TbCdSpell'"));
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
    QCOMPARE(GetDbVersion(dm), QStringLiteral("Build1.01"));
    QVERIFY(Runs(dm, "SELECT Picture,Spell FROM TbCd"));
    QVERIFY(!Runs(dm, "SELECT * FROM TbDirImage"));
}

void TestUpgrade::leavesOtherVersionsAlone_data()
{
    QTest::addColumn<QString>("version");
    QTest::newRow("other case") << "build1.00";
    QTest::newRow("current") << "Build1.01";
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
    QCOMPARE(GetDbVersion(dm), QStringLiteral("Build1.01"));
    QCOMPARE(dm.GetFieldValue("SELECT Spell FROM TbCd", "Spell"), QStringLiteral("CJG"));
}

QTEST_GUILESS_MAIN(TestUpgrade)
#include "tst_upgrade.moc"
