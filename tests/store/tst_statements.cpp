// Every statement the program sends, run on a real catalog: each must yield
// the rows it is written for.
#include "CatalogFixture.h"
#include "DAODatabase.h"
#include "DAOQuery.h"
#include "DataModule.h"
#include "SqlDialect.h"

#include <QTest>

namespace {

const QString DiscList = QStringLiteral(
    "SELECT A.*,B.Name AS Category,C.Name AS Quality FROM (TbCd AS A LEFT JOIN TbCategory AS B ON "
    "A.CId=B.Id) LEFT JOIN TbQuality AS C ON A.QId=C.Id");

// The given columns of every row: values joined by ',', rows by '|'.
QString Render(TDAOQuery &q, const QStringList &columns)
{
    QStringList rows;
    for (q.First(); !q.AtEnd(); q.Next()) {
        QStringList values;
        for (const QString &column : columns)
            values << q.Field(column).AsString();
        rows << values.join(QLatin1Char(','));
    }
    return rows.join(QLatin1Char('|'));
}

} // namespace

class TestStatements : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void select_data();
    void select();
    void executeUpdate();

private:
    std::unique_ptr<CatalogFixture> m_catalog;
    std::unique_ptr<TDM> m_dm;
};

// Folders: 1 root, 2 电影, 3 音乐, 4 华语 under 音乐. The seeded categories
// are 1 电影, 2 音乐, 3 软件 ... and the grades 1 全新, 2 良好 ...
void TestStatements::init()
{
    m_catalog = std::make_unique<CatalogFixture>(Schema::Layout::Build102, true);
    m_dm = std::make_unique<TDM>();
    m_dm->NameCatalog(m_catalog->Path());
    const QStringList setup = {
        R"(INSERT INTO TbTree (Id1, Name) VALUES (1, "电影"))",
        R"(INSERT INTO TbTree (Id1, Name) VALUES (1, "音乐"))",
        R"(INSERT INTO TbTree (Id1, Name) VALUES (3, "华语"))",
        R"(INSERT INTO TbCd (Day, Code, Name, Spell, CId, QId, TId, DId, Price, Location, Memo)
           VALUES (#2003-06-01#, "A01", "藏金阁", "CJG", 2, 1, 3, 0, 12.5, "书柜第二层", "第一行" & char(13,10) & "line2"))",
        R"(INSERT INTO TbCd (Day, Code, Name, Spell, CId, QId, TId, DId, Price)
           VALUES (#2004-03-01#, "A02", "Music", "MUSIC", 99, 2, 4, 0, 30))",
        R"(INSERT INTO TbCd (Day, Code, Name, Spell, CId, QId, TId, DId, Price)
           VALUES (#2002-12-31#, "", "英雄abc", "YXABC", 1, 0, 2, 0, 12.34))",
        R"(INSERT INTO TbCd (Day, Code, Name, Spell, CId, QId, TId, DId, Price)
           VALUES (#2004-03-02#, "", "12"" 黑胶", "12""HJ", 2, 2, 4, 0, 0))",
    };
    for (const QString &statement : setup)
        m_dm->ExecuteSQL(statement);
}

void TestStatements::cleanup()
{
    m_dm.reset();
    m_catalog.reset();
}

void TestStatements::select_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QStringList>("columns");
    QTest::addColumn<QString>("rows");
    using L = QStringList;

    // Lists with a fixed first row, ordered by their columns.
    QTest::newRow("category choices")
        << R"(SELECT Id,Name FROM TbCategory UNION SELECT 0,"-不选-" FROM TbSetings)" << L{"Id", "Name"}
        << "0,-不选-|1,电影|2,音乐|3,软件|4,游戏|5,教学|6,动画|7,资料";
    QTest::newRow("quality choices")
        << R"(SELECT Id,Name FROM TbQuality UNION SELECT 0,"-不选-" FROM TbSetings)" << L{"Id", "Name"}
        << "0,-不选-|1,全新|2,良好|3,一般|4,较差|5,损坏";

    // The disc list and the detail page.
    QTest::newRow("all discs, missing category empty")
        << DiscList << L{"Id", "Name", "Category", "Quality", "Price", "Day"}
        << "1,藏金阁,音乐,全新,12.5,2003-06-01|2,Music,,良好,30,2004-03-01|3,英雄abc,电影,,12.34,2002-12-31|"
           "4,12\" 黑胶,音乐,良好,0,2004-03-02";
    QTest::newRow("one folder") << DiscList + " WHERE TId=4" << L{"Id"} << "2|4";
    QTest::newRow("one disc") << DiscList + " WHERE A.Id=1" << L{"Name", "Memo", "Location"}
                              << "藏金阁,第一行\r\nline2,书柜第二层";

    // Folders.
    QTest::newRow("all folders") << "SELECT * FROM TbTree" << L{"ID", "Id1", "Name"}
                                 << "1,0,主目录|2,1,电影|3,1,音乐|4,3,华语";
    QTest::newRow("sub-folders, never the root") << "SELECT Id FROM TbTree WHERE Id1=3 AND Id<>1" << L{"Id"} << "4";
    QTest::newRow("folders but the root") << "SELECT Id,Name FROM TbTree WHERE Id<>1" << L{"Id", "Name"}
                                          << "2,电影|3,音乐|4,华语";
    QTest::newRow("folder name") << "SELECT Name FROM TbTree WHERE Id=3" << L{"Name"} << "音乐";
    QTest::newRow("folder by name") << R"(SELECT Id,Id1,Name FROM TbTree WHERE Name="华语")"
                                    << L{"Id", "Id1", "Name"} << "4,3,华语";
    QTest::newRow("discs of a folder") << "SELECT Id FROM TbCd WHERE TId=4" << L{"Id"} << "2|4";

    // The disc editor and the options.
    QTest::newRow("next code") << "SELECT Max(Id) As Code FROM TbCd" << L{"Code"} << "4";
    QTest::newRow("category by name") << R"(SELECT Id FROM TbCategory WHERE Name="音乐")" << L{"Id"} << "2";
    QTest::newRow("category list") << "SELECT Id,Name FROM TbCategory" << L{"Name"}
                                   << "电影|音乐|软件|游戏|教学|动画|资料";
    QTest::newRow("quality by name") << R"(SELECT Id,Name FROM TbQuality WHERE Name="全新")" << L{"Id"} << "1";
    QTest::newRow("all qualities") << "SELECT * FROM TbQuality" << L{"Id"} << "1|2|3|4|5";
    QTest::newRow("name ignores case") << R"(SELECT Id FROM TbCd WHERE Name="MUSIC")" << L{"Id"} << "2";
    QTest::newRow("code used elsewhere") << R"(SELECT Id FROM TbCd WHERE (Code="a01") and (Id<>2))" << L{"Id"} << "1";
    QTest::newRow("code not used elsewhere") << R"(SELECT Id FROM TbCd WHERE (Code="A01") and (Id<>1))"
                                             << L{"Id"} << "";
    QTest::newRow("category in use") << "SELECT Id FROM TbCd WHERE CId=2" << L{"Id"} << "1|4";
    QTest::newRow("quality in use") << "SELECT Id FROM TbCd WHERE QId=2" << L{"Id"} << "2|4";

    // The schema version.
    QTest::newRow("settings row") << "SELECT * FROM TbSetings" << L{"Version"} << "Build1.02";
    QTest::newRow("version") << "SELECT Version FROM TbSetings" << L{"Version"} << "Build1.02";
    QTest::newRow("names and initials") << "SELECT Name,Spell FROM TbCd" << L{"Spell"} << "CJG|MUSIC|YXABC|12\"HJ";

    // The quick code box: the whole clause upper-cased.
    QTest::newRow("initials prefix") << R"(SELECT Id,Code,Name,Spell FROM TbCd WHERE SPELL LIKE "CJ*")"
                                     << L{"Id"} << "1";
    QTest::newRow("code prefix") << R"(SELECT Id,Code,Name,Spell FROM TbCd WHERE CODE LIKE "A0*")" << L{"Id"}
                                 << "1|2";
    QTest::newRow("lower-case prefix") << R"(SELECT Id,Code,Name,Spell FROM TbCd WHERE Spell LIKE "yx*")"
                                       << L{"Id"} << "3";

    // The find dialog: its worked example, a match for it, and each criterion.
    QTest::newRow("find, worked example")
        << DiscList + R"( WHERE ( A.TId=5  OR  A.TId=7  OR  A.TId=9 ) AND  A.Name LIKE "*abc*"  AND  A.CId=2  AND  A.Price=12.50  AND  A.Day<=#2004-03-01#  AND  A.Day>=#2003-01-01# )"
        << L{"Id"} << "";
    QTest::newRow("find, all criteria")
        << DiscList + R"( WHERE ( A.TId=2  OR  A.TId=3  OR  A.TId=4 ) AND  A.Name LIKE "*藏*"  AND  A.CId=2  AND  A.Price=12.50  AND  A.Day<=#2004-03-01#  AND  A.Day>=#2003-01-01# )"
        << L{"Id"} << "1";
    QTest::newRow("find name fragment") << DiscList + R"( WHERE  A.Name LIKE "*ABC*" )" << L{"Id"} << "3";
    QTest::newRow("find location") << DiscList + R"( WHERE  A.Location LIKE "*第二*" )" << L{"Id"} << "1";
    QTest::newRow("find description") << DiscList + R"( WHERE  A.Memo LIKE "*line2*" )" << L{"Id"} << "1";
    QTest::newRow("find quality") << DiscList + " WHERE  A.QId=2 " << L{"Id"} << "2|4";
    QTest::newRow("find price") << DiscList + " WHERE  A.Price=12.34 " << L{"Id"} << "3";
    QTest::newRow("find from date") << DiscList + " WHERE  A.Day>=#2004-03-01# " << L{"Id"} << "2|4";
    QTest::newRow("find to date") << DiscList + " WHERE  A.Day<=#2004-03-01# " << L{"Id"} << "1|2|3";
    QTest::newRow("find folder") << DiscList + " WHERE ( A.TId=4 )" << L{"Id"} << "2|4";

    // Typed text: a double quote is itself, and cannot change the statement.
    QTest::newRow("typed quote") << DiscList + " WHERE  A.Name LIKE " + SqlDialect::Quote("*\"*") << L{"Id"} << "4";
    QTest::newRow("typed quote, exact") << "SELECT Id FROM TbCd WHERE Name=" + SqlDialect::Quote("12\" 黑胶")
                                        << L{"Id"} << "4";
    QTest::newRow("typed injection") << "SELECT Id FROM TbCd WHERE Name=" + SqlDialect::Quote(R"(a" OR "1"="1)")
                                     << L{"Id"} << "";
    QTest::newRow("typed percent is no wildcard") << DiscList + " WHERE  A.Name LIKE " + SqlDialect::Quote("*%*")
                                                  << L{"Id"} << "";
    QTest::newRow("typed wildcard") << DiscList + " WHERE  A.Name LIKE " + SqlDialect::Quote("*雄?b*") << L{"Id"}
                                    << "3";
}

void TestStatements::select()
{
    QFETCH(QString, sql);
    QFETCH(QStringList, columns);
    QFETCH(QString, rows);
    TDAOQuery query;
    query.SetDatabase(&m_dm->DbBase);
    TDM::OpenQuery(query, sql);
    QCOMPARE(Render(query, columns), rows);
    QCOMPARE(query.RowCount(), rows.isEmpty() ? 0 : int(rows.count(QLatin1Char('|')) + 1));
}

void TestStatements::executeUpdate()
{
    m_dm->ExecuteSQL(R"(UPDATE TbSetings SET Version="Build1.09")");
    QCOMPARE(m_dm->Q1.RowsAffected(), 1);
    QVERIFY(!m_dm->Q1.Active());
    QCOMPARE(m_dm->GetFieldValue("SELECT * FROM TbSetings", "Version"), QStringLiteral("Build1.09"));
}

QTEST_GUILESS_MAIN(TestStatements)
#include "tst_statements.moc"
