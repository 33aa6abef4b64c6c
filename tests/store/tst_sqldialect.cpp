// The translation of the program's statements into SQLite.
#include "store/engine/Errors.h"
#include "store/engine/SqlDialect.h"

#include <QTest>

class TestSqlDialect : public QObject
{
    Q_OBJECT

private slots:
    void translate_data();
    void translate();
    void refusesBadLiterals_data();
    void refusesBadLiterals();
    void quote();
    void outerClauses();
    void tableQualifier_data();
    void tableQualifier();
};

void TestSqlDialect::translate_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("sqlite");

    QTest::newRow("text literal") << R"(SELECT Id FROM TbCategory WHERE Name="音乐")"
                                  << "SELECT Id FROM TbCategory WHERE Name='音乐'";
    QTest::newRow("doubled quote") << R"(SELECT Id FROM TbCd WHERE Name="12"" 黑胶")"
                                   << R"(SELECT Id FROM TbCd WHERE Name='12" 黑胶')";
    QTest::newRow("apostrophe") << R"(SELECT Id FROM TbCd WHERE Name="it's")"
                                << "SELECT Id FROM TbCd WHERE Name='it''s'";
    QTest::newRow("like any run") << R"(SELECT Id FROM TbCd AS A WHERE A.Name LIKE "*abc*")"
                                  << "SELECT Id FROM TbCd AS A WHERE A.Name LIKE '%abc%'";
    QTest::newRow("like one char") << R"(SELECT Id FROM TbCd WHERE Code like "A?1*")"
                                   << "SELECT Id FROM TbCd WHERE Code like 'A_1%'";
    QTest::newRow("like literal percent") << R"(SELECT Id FROM TbCd WHERE Name LIKE "*50%*")"
                                          << R"(SELECT Id FROM TbCd WHERE Name LIKE '%50\%%' ESCAPE '\')";
    QTest::newRow("like literal underscore and backslash")
        << R"(SELECT Id FROM TbCd WHERE Name LIKE "*a_b\c*")"
        << R"(SELECT Id FROM TbCd WHERE Name LIKE '%a\_b\\c%' ESCAPE '\')";
    QTest::newRow("like backslash alone") << R"(SELECT Id FROM TbCd WHERE Name LIKE "*a\b*")"
                                          << R"(SELECT Id FROM TbCd WHERE Name LIKE '%a\b%')";
    QTest::newRow("date literal") << "SELECT Id FROM TbCd AS A WHERE  A.Day<=#2004-03-01# "
                                  << "SELECT Id FROM TbCd AS A WHERE A.Day<=38047";
    QTest::newRow("us date literal") << "SELECT Id FROM TbCd WHERE Day>=#03/01/2004#"
                                     << "SELECT Id FROM TbCd WHERE Day>=38047";
    QTest::newRow("add not null text column")
        << "ALTER TABLE TbCd ADD COLUMN Spell TEXT(20) NOT NULL"
        << "ALTER TABLE TbCd ADD COLUMN Spell TEXT(20) COLLATE NOCASE NOT NULL DEFAULT ''";
    QTest::newRow("add text column") << "ALTER TABLE TbCd ADD COLUMN Picture TEXT(255)"
                                     << "ALTER TABLE TbCd ADD COLUMN Picture TEXT(255) COLLATE NOCASE";
    QTest::newRow("add memo column") << "alter table TbCd add column Note memo"
                                     << "alter table TbCd add column Note LONGTEXT COLLATE NOCASE";
    QTest::newRow("update") << R"(UPDATE TbSetings SET Version="Build1.01")"
                            << "UPDATE TbSetings SET Version='Build1.01'";
    QTest::newRow("union constant row") << R"(SELECT Id,Name FROM TbCategory UNION SELECT 0,"-不选-" FROM TbSetings)"
                                        << "SELECT Id,Name FROM TbCategory UNION SELECT 0,'-不选-' FROM TbSetings";
    QTest::newRow("ends of statement") << "SELECT Id FROM TbCd ; ;\t"
                                       << "SELECT Id FROM TbCd";
    QTest::newRow("concatenation") << R"(SELECT Name & "x" FROM TbCd)"
                                   << "SELECT Name || 'x' FROM TbCd";
}

void TestSqlDialect::translate()
{
    QFETCH(QString, statement);
    QFETCH(QString, sqlite);
    QCOMPARE(SqlDialect::Translate(statement).sql, sqlite);
}

void TestSqlDialect::refusesBadLiterals_data()
{
    QTest::addColumn<QString>("statement");
    QTest::newRow("open string") << R"(SELECT Id FROM TbCd WHERE Name="abc)";
    QTest::newRow("no date") << "SELECT Id FROM TbCd WHERE Day<=#2004-13-45#";
    QTest::newRow("open date") << "SELECT Id FROM TbCd WHERE Day<=#2004-01-01";
}

void TestSqlDialect::refusesBadLiterals()
{
    QFETCH(QString, statement);
    QVERIFY_THROWS_EXCEPTION(EDAOError, SqlDialect::Translate(statement));
}

void TestSqlDialect::quote()
{
    QCOMPARE(SqlDialect::Quote(QStringLiteral("藏金阁")), QStringLiteral("\"藏金阁\""));
    QCOMPARE(SqlDialect::Quote(QStringLiteral(R"(a" OR "1"="1)")), QStringLiteral(R"("a"" OR ""1""=""1")"));
    // A quoted text goes through the translation as exactly itself.
    const QString typed = QStringLiteral(R"(12" 黑胶 'x')");
    const QString sql = SqlDialect::Translate(QStringLiteral("SELECT 1 WHERE x=") + SqlDialect::Quote(typed)).sql;
    QCOMPARE(sql, QStringLiteral(R"(SELECT 1 WHERE x='12" 黑胶 ''x''')"));
}

void TestSqlDialect::outerClauses()
{
    const auto union1 = SqlDialect::Translate(
        QStringLiteral("SELECT Id FROM TbCd WHERE Id IN (SELECT Id FROM TbCd UNION SELECT 1) UNION ALL SELECT 2"));
    QVERIFY(!union1.hasUnion); // the inner UNION is not the outer statement's
    const auto union2 = SqlDialect::Translate(QStringLiteral("select 1 union select 2 order by 1"));
    QVERIFY(union2.hasUnion);
    QVERIFY(union2.hasOrderBy);
    QVERIFY(union2.isSelect);
    QVERIFY(!SqlDialect::Translate(QStringLiteral("DROP TABLE TbDirImage")).isSelect);
    QCOMPARE(SqlDialect::OrderByAllColumns(3), QStringLiteral(" ORDER BY 1,2,3"));
}

void TestSqlDialect::tableQualifier_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("qualifier");
    const QString join =
        QStringLiteral("SELECT A.*,B.Name AS Category,C.Name AS Quality FROM (TbCd AS A LEFT JOIN TbCategory AS B ON "
                       "A.CId=B.Id) LEFT JOIN TbQuality AS C ON A.QId=C.Id WHERE A.Id=1");
    QTest::newRow("join, disc table") << join << "TbCd"
                                      << "A";
    QTest::newRow("join, other table") << join << "tbcategory"
                                       << "B";
    QTest::newRow("no alias") << "SELECT Name,Spell FROM TbCd"
                              << "TbCd"
                              << "TbCd";
    QTest::newRow("alias without AS") << "SELECT x.Name FROM TbCd x WHERE x.Id=1"
                                      << "TbCd"
                                      << "x";
    QTest::newRow("absent") << "SELECT Name FROM TbTree"
                            << "TbCd"
                            << "";
    QTest::newRow("twice") << "SELECT a.Id FROM TbTree a, TbTree b"
                           << "TbTree"
                           << "";
}

void TestSqlDialect::tableQualifier()
{
    QFETCH(QString, statement);
    QFETCH(QString, table);
    QFETCH(QString, qualifier);
    QCOMPARE(SqlDialect::TableQualifier(SqlDialect::Translate(statement), table), qualifier);
}

QTEST_GUILESS_MAIN(TestSqlDialect)
#include "tst_sqldialect.moc"
