// Every statement the program sends, as the store's functions write it, run
// on a real catalog: each must yield the rows it is written for.
#include "store/catalog/DataModule.h"
#include "store/catalog/DiscFind.h"
#include "store/catalog/DiscList.h"
#include "store/catalog/FolderQueries.h"
#include "store/catalog/LookupQueries.h"
#include "store/catalog/PickFilter.h"
#include "store/engine/DAODatabase.h"
#include "store/engine/DAOQuery.h"
#include "tests/support/CatalogFixture.h"

#include <QTest>

#include <functional>

namespace {

TFindCriteria Find(const std::function<void(TFindCriteria &)> &fill)
{
    TFindCriteria criteria;
    fill(criteria);
    return criteria;
}

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
           VALUES (#2004-03-02#, "12""黑", "12"" 黑胶", "12""HJ", 2, 2, 4, 0, 0))",
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
    QTest::newRow("category choices") << LookupQueries::NameChoicesWithNone(TNameTable::Category) << L{"Id", "Name"}
                                      << "0,-不选-|1,电影|2,音乐|3,软件|4,游戏|5,教学|6,动画|7,资料";
    QTest::newRow("quality choices") << LookupQueries::NameChoicesWithNone(TNameTable::Quality) << L{"Id", "Name"}
                                     << "0,-不选-|1,全新|2,良好|3,一般|4,较差|5,损坏";

    // The disc list and the detail page.
    QTest::newRow("all discs, missing category empty")
        << DiscListStatement() << L{"Id", "Name", "Category", "Quality", "Price", "Day"}
        << "1,藏金阁,音乐,全新,12.5,2003-06-01|2,Music,,良好,30,2004-03-01|3,英雄abc,电影,,12.34,2002-12-31|"
           "4,12\" 黑胶,音乐,良好,0,2004-03-02";
    QTest::newRow("one folder") << FolderDiscListStatement(4) << L{"Id"} << "2|4";
    QTest::newRow("root folder, every disc") << FolderDiscListStatement(1) << L{"Id"} << "1|2|3|4";
    QTest::newRow("one disc") << OneDiscStatement(1) << L{"Name", "Memo", "Location"}
                              << "藏金阁,第一行\r\nline2,书柜第二层";

    // Folders.
    QTest::newRow("all folders") << FolderQueries::AllFolders() << L{"ID", "Id1", "Name"}
                                 << "1,0,主目录|2,1,电影|3,1,音乐|4,3,华语";
    QTest::newRow("sub-folders") << FolderQueries::SubFolders(3) << L{"Id"} << "4";
    QTest::newRow("sub-folders of the root, never itself") << FolderQueries::SubFolders(1) << L{"Id"} << "2|3";
    QTest::newRow("folder parents, never the root")
        << FolderQueries::FolderParents() << L{"Id", "Id1"} << "2,1|3,1|4,3";
    QTest::newRow("folders but the root")
        << FolderQueries::FolderChoices() << L{"Id", "Name"} << "2,电影|3,音乐|4,华语";
    QTest::newRow("folder name") << FolderQueries::FolderName(3) << L{"Name"} << "音乐";
    QTest::newRow("folder by name") << FolderQueries::FoldersNamed(QStringLiteral("华语")) << L{"Id", "Id1", "Name"}
                                    << "4,3,华语";
    QTest::newRow("discs of a folder") << FolderQueries::DiscsInFolder(4) << L{"Id"} << "2|4";

    // The disc editor and the options.
    QTest::newRow("next code") << LargestDiscIdStatement() << L{LargestDiscIdField} << "4";
    QTest::newRow("category by name") << LookupQueries::NameIds(TNameTable::Category, QStringLiteral("音乐")) << L{"Id"}
                                      << "2";
    QTest::newRow("category list") << LookupQueries::NameChoices(TNameTable::Category) << L{"Name"}
                                   << "电影|音乐|软件|游戏|教学|动画|资料";
    QTest::newRow("quality by name") << LookupQueries::NamedRows(TNameTable::Quality, QStringLiteral("全新")) << L{"Id"}
                                     << "1";
    QTest::newRow("all qualities") << LookupQueries::AllNames(TNameTable::Quality) << L{"Id"} << "1|2|3|4|5";
    QTest::newRow("name ignores case") << R"(SELECT Id FROM TbCd WHERE Name="MUSIC")" << L{"Id"} << "2";
    QTest::newRow("code used elsewhere") << DiscsWithCodeStatement(QStringLiteral("a01"), 2) << L{"Id"} << "1";
    QTest::newRow("code not used elsewhere") << DiscsWithCodeStatement(QStringLiteral("A01"), 1) << L{"Id"} << "";
    QTest::newRow("category in use") << LookupQueries::DiscsUsingName(TNameTable::Category, 2) << L{"Id"} << "1|4";
    QTest::newRow("quality in use") << LookupQueries::DiscsUsingName(TNameTable::Quality, 2) << L{"Id"} << "2|4";

    // The schema version.
    QTest::newRow("settings row") << "SELECT * FROM TbSetings" << L{"Version"} << "Build1.02";
    QTest::newRow("version") << LookupQueries::CatalogVersion() << L{"Version"} << "Build1.02";
    QTest::newRow("names and initials") << "SELECT Name,Spell FROM TbCd ORDER BY ID" << L{"Spell"}
                                        << "CJG|MUSIC|YXABC|12\"HJ";

    // The quick code box: the whole clause upper-cased.
    const QString pick = QuickPickDiscsStatement();
    QTest::newRow("initials prefix") << pick + PickFilterClause(pick, QStringLiteral("Spell"), QStringLiteral("cj"))
                                     << L{"Id"} << "1";
    QTest::newRow("code prefix") << pick + PickFilterClause(pick, QStringLiteral("Code"), QStringLiteral("A0"))
                                 << L{"Id"} << "1|2";
    QTest::newRow("prefix after a condition")
        << FolderQueries::FolderChoices() +
               PickFilterClause(FolderQueries::FolderChoices(), QStringLiteral("Name"), QStringLiteral("华"))
        << L{"Id"} << "4";
    QTest::newRow("lower-case prefix") << R"(SELECT Id,Code,Name,Spell FROM TbCd WHERE Spell LIKE "yx*")" << L{"Id"}
                                       << "3";

    // The find: its worked example, a match for it, and each criterion.
    const QDate day1(2004, 3, 1), day2(2003, 1, 1);
    QTest::newRow("find, worked example") << BuildFindStatement(Find([&](TFindCriteria &c) {
        c = {{5, 7, 9}, QStringLiteral("abc"), {}, {}, 2, 0, 12.5, day1, day2, {}};
    })) << L{"Id"} << "";
    QTest::newRow("find, all criteria") << BuildFindStatement(Find([&](TFindCriteria &c) {
        c = {{2, 3, 4}, QStringLiteral("藏"), {}, {}, 2, 0, 12.5, day1, day2, {}};
    })) << L{"Id"} << "1";
    QTest::newRow("find name fragment") << BuildFindStatement(Find([](TFindCriteria &c) {
        c.Name = QStringLiteral("ABC");
    })) << L{"Id"} << "3";
    QTest::newRow("find location") << BuildFindStatement(Find([](TFindCriteria &c) {
        c.Location = QStringLiteral("第二");
    })) << L{"Id"} << "1";
    QTest::newRow("find description") << BuildFindStatement(Find([](TFindCriteria &c) {
        c.Memo = QStringLiteral("line2");
    })) << L{"Id"} << "1";
    QTest::newRow("find quality") << BuildFindStatement(Find([](TFindCriteria &c) { c.QualityId = 2; })) << L{"Id"}
                                  << "2|4";
    QTest::newRow("find price") << BuildFindStatement(Find([](TFindCriteria &c) { c.Price = 12.34; })) << L{"Id"}
                                << "3";
    QTest::newRow("find from date") << BuildFindStatement(Find([&](TFindCriteria &c) { c.Earliest = day1; })) << L{"Id"}
                                    << "2|4";
    QTest::newRow("find to date") << BuildFindStatement(Find([&](TFindCriteria &c) { c.Latest = day1; })) << L{"Id"}
                                  << "1|2|3";
    QTest::newRow("find folder") << BuildFindStatement(Find([](TFindCriteria &c) { c.ScopeFolders = {4}; })) << L{"Id"}
                                 << "2|4";
    QTest::newRow("find nothing asked, every disc") << BuildFindStatement({}) << L{"Id"} << "1|2|3|4";

    // Typed text: a double quote is itself, and cannot change the statement.
    QTest::newRow("typed quote") << BuildFindStatement(Find([](TFindCriteria &c) { c.Name = QStringLiteral("\""); }))
                                 << L{"Id"} << "4";
    QTest::newRow("typed quote, exact") << DiscsWithCodeStatement(QStringLiteral("12\"黑"), 0) << L{"Id"} << "4";
    QTest::newRow("typed injection") << DiscsWithCodeStatement(QStringLiteral(R"(a" OR "1"="1)"), 0) << L{"Id"} << "";
    QTest::newRow("typed injection into a name")
        << FolderQueries::FoldersNamed(QStringLiteral(R"(a" OR "1"="1)")) << L{"Id"} << "";
    QTest::newRow("typed percent is no wildcard")
        << BuildFindStatement(Find([](TFindCriteria &c) { c.Name = QStringLiteral("%"); })) << L{"Id"} << "";
    QTest::newRow("typed wildcard") << BuildFindStatement(Find([](TFindCriteria &c) {
        c.Name = QStringLiteral("雄?b");
    })) << L{"Id"} << "3";
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
