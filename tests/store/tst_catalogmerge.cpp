// Another catalog file merged into a real catalog, all or nothing, the
// other file only read.
#include "store/catalog/CatalogMerge.h"
#include "store/engine/Errors.h"
#include "store/engine/RowReader.h"
#include "tests/support/CatalogFixture.h"

#include <QFileInfo>

class TestCatalogMerge : public QObject
{
    Q_OBJECT

private slots:
    void mergesTreeDiscsAndNames();
    void codeClash_data();
    void codeClash();
    void olderLayoutIsUpgradedInACopy_data();
    void olderLayoutIsUpgradedInACopy();
    void cancelOrFailureLeavesTargetAsItWas_data();
    void cancelOrFailureLeavesTargetAsItWas();
    void refusesAFileThatIsNoCatalog();
};

namespace {

QString Scalar(TDAODatabase &db, const QString &sql)
{
    QStringList values;
    db.ForEachRow(sql, [&](const TRowReader &row) { values << row.Text(0); });
    return values.value(0);
}

QStringList Column(TDAODatabase &db, const QString &sql)
{
    QStringList values;
    db.ForEachRow(sql, [&](const TRowReader &row) { values << row.Text(0); });
    return values;
}

// Every folder's path from the root's children down, sorted.
QStringList Paths(TDAODatabase &db)
{
    return Column(db, QStringLiteral("WITH RECURSIVE P(ID, Path) AS (SELECT ID, Name FROM TbTree WHERE Id1=1 AND ID<>1 "
                                     "UNION ALL SELECT T.ID, P.Path||'/'||T.Name FROM TbTree T JOIN P ON T.Id1=P.ID) "
                                     "SELECT Path FROM P ORDER BY Path"));
}

// The other catalog: 电影 > 华语 > 经典 and 纪录 at the top; discs in the
// root, 电影 and 经典; a category the target has in other letter case and
// one it lacks; covers.
QString MakeSource(const QTemporaryDir &dir, const QString &name, Schema::Layout layout = Schema::Layout::Build102)
{
    const QString path = dir.filePath(name);
    Schema::CreateCatalog(path, layout, false);
    TDAODatabase db;
    db.SetDatabaseName(path);
    db.SetPassword(QString::fromLatin1(Schema::CatalogPassword));
    const bool old = layout == Schema::Layout::Build100;
    for (const char *sql :
         {"INSERT INTO TbTree (ID, Id1, Name) VALUES (2, 1, '电影'), (3, 2, '华语'), (4, 3, '经典'), (5, 1, '纪录')",
          "INSERT INTO TbCategory (Id, Name) VALUES (1, 'drama'), (2, '纪录片')",
          "INSERT INTO TbQuality (Id, Name) VALUES (1, '收藏')"})
        db.Exec(QString::fromUtf8(sql));
    db.Exec(old ? QStringLiteral("INSERT INTO TbCd (Code, Name, TId, CId, QId) VALUES ('A1', '英雄', 1, 1, 1), "
                                 "('B2', '活着', 4, 2, 0)")
                : QStringLiteral(
                      "INSERT INTO TbCd (Day, Code, Serial, Name, Spell, TId, CId, QId, DId, Price, Location, "
                      "Memo, Picture) VALUES "
                      "(33970, 'A1', 'S-1', '英雄', 'YX', 1, 1, 1, 0, 35.5, '架子一', '说明\n两行', 'hero.jpg'), "
                      "(NULL, 'B2', '', '活着', 'HZ', 4, 2, 0, 0, 0, '', '', ''), "
                      "(NULL, '', '', '海洋', 'HY', 2, 2, 1, 0, 12, '', '', 'sea (2).png')"));
    return path;
}

TDAODatabase &Open(TDAODatabase &db, const CatalogFixture &catalog)
{
    catalog.Attach(db);
    return db;
}

} // namespace

void TestCatalogMerge::mergesTreeDiscsAndNames()
{
    CatalogFixture target(Schema::Layout::Build102, false);
    QTemporaryDir dir;
    const QString other = MakeSource(dir, QStringLiteral("片库.MDB"));
    const QByteArray otherBefore = CatalogFixture::Digest(other);
    TDAODatabase db;
    Open(db, target);
    db.Exec(QStringLiteral("INSERT INTO TbTree (Id1, Name) VALUES (1, '片库'), (1, '片库 (2)')"));
    db.Exec(QStringLiteral("INSERT INTO TbCategory (Name) VALUES ('Drama')"));

    const CatalogMerge::TSource source = CatalogMerge::Read(other);
    QCOMPARE(source.Title, QStringLiteral("片库"));
    const CatalogMerge::TReport report = CatalogMerge::Merge(db, source, ImportPlan::TChoice::Skip);

    QCOMPARE(report.Folder, QStringLiteral("片库 (3)"));
    QCOMPARE(report.Added, 3);
    QCOMPARE(report.FoldersMade, 5);
    QVERIFY(report.Skipped.isEmpty());
    QCOMPARE(report.Categories, QStringList{QStringLiteral("纪录片")});
    QCOMPARE(report.Qualities, QStringList{QStringLiteral("收藏")});
    QCOMPARE(Paths(db), (QStringList{QStringLiteral("片库"), QStringLiteral("片库 (2)"), QStringLiteral("片库 (3)"),
                                     QStringLiteral("片库 (3)/电影"), QStringLiteral("片库 (3)/电影/华语"),
                                     QStringLiteral("片库 (3)/电影/华语/经典"), QStringLiteral("片库 (3)/纪录")}));
    QCOMPARE(Scalar(db, QStringLiteral("SELECT count(*) FROM TbCategory WHERE Name='纪录片'")), QStringLiteral("1"));
    // Every field as it was, the disc of the other root in the new folder,
    // the category of the other letter case matched, the cover's name kept.
    const QString fields = QStringLiteral("SELECT D.Day||'|'||D.Code||'|'||D.Serial||'|'||D.Spell||'|'||D.Price||'|'||"
                                          "D.Location||'|'||D.Memo||'|'||D.Picture||'|'||T.Name||'|'||C.Name||'|'||"
                                          "Q.Name FROM TbCd D JOIN TbTree T ON T.ID=D.TId JOIN TbCategory C ON "
                                          "C.Id=D.CId JOIN TbQuality Q ON Q.Id=D.QId WHERE D.Name='%1'");
    QCOMPARE(Scalar(db, fields.arg(QStringLiteral("英雄"))),
             QStringLiteral("33970|A1|S-1|YX|35.5|架子一|说明\n两行|hero.jpg|片库 (3)|Drama|收藏"));
    QCOMPARE(Scalar(db, QStringLiteral("SELECT ifnull(D.Day,'none')||'|'||T.Name||'|'||D.QId FROM TbCd D JOIN TbTree T "
                                       "ON T.ID=D.TId WHERE D.Name='活着'")),
             QStringLiteral("none|经典|0"));
    QCOMPARE(Scalar(db, QStringLiteral("SELECT Picture FROM TbCd WHERE Name='海洋'")), QStringLiteral("sea (2).png"));
    QVERIFY(report.Text().contains(QStringLiteral("已合并光盘：3 张，放在新目录“片库 (3)”中")));
    QVERIFY(report.MissingPictures.isEmpty()); // not looked for
    QCOMPARE(CatalogFixture::Digest(other), otherBefore);
}

void TestCatalogMerge::codeClash_data()
{
    QTest::addColumn<bool>("skip");
    QTest::addColumn<QString>("codes");        // the target's codes afterwards
    QTest::addColumn<QStringList>("notFound"); // covers of merged discs the picture folder lacks
    QTest::newRow("skip the disc") << true << QStringLiteral(",a1,B2") << QStringList{QStringLiteral("sea (2).png")};
    QTest::newRow("leave the code empty")
        << false << QStringLiteral(",,a1,B2") << QStringList{QStringLiteral("hero.jpg"), QStringLiteral("sea (2).png")};
}

void TestCatalogMerge::codeClash()
{
    QFETCH(bool, skip);
    QFETCH(QString, codes);
    QFETCH(QStringList, notFound);
    const ImportPlan::TChoice choice = skip ? ImportPlan::TChoice::Skip : ImportPlan::TChoice::Empty;
    CatalogFixture target;
    QTemporaryDir dir;
    const CatalogMerge::TSource source = CatalogMerge::Read(MakeSource(dir, QStringLiteral("other.MDB")));
    TDAODatabase db;
    Open(db, target);
    db.Exec(QStringLiteral("INSERT INTO TbCd (Code, Name, TId) VALUES ('a1', '旧片', 1)"));
    QCOMPARE(CatalogMerge::CodeClashes(db, source), QList<int>{0});

    // The picture folder has none of the other catalog's covers.
    QStringList asked;
    const CatalogMerge::TReport report = CatalogMerge::Merge(db, source, choice, {}, [&](const QString &name) {
        asked << name;
        return false;
    });
    QCOMPARE(report.Added, choice == ImportPlan::TChoice::Skip ? 2 : 3);
    QCOMPARE(report.MissingPictures, notFound);
    QCOMPARE(asked.size(), notFound.size()); // blank names are no cover
    for (const QString &name : notFound)
        QVERIFY2(report.Text().contains(QStringLiteral("\n  ") + name), qPrintable(report.Text()));
    const QStringList &named = choice == ImportPlan::TChoice::Skip ? report.Skipped : report.CodesEmptied;
    QCOMPARE(named, QStringList{QStringLiteral("“英雄”（编号 A1）：编号已存在或重复")});
    QCOMPARE(Column(db, QStringLiteral("SELECT Code FROM TbCd ORDER BY Code")).join(QLatin1Char(',')), codes);
}

void TestCatalogMerge::olderLayoutIsUpgradedInACopy_data()
{
    QTest::addColumn<Schema::Layout>("layout");
    QTest::addColumn<QString>("days"); // of 英雄 and 活着 afterwards
    QTest::newRow("Build1.00") << Schema::Layout::Build100 << QStringLiteral("none|none");
    QTest::newRow("Build1.01") << Schema::Layout::Build101 << QStringLiteral("33970|none");
}

void TestCatalogMerge::olderLayoutIsUpgradedInACopy()
{
    QFETCH(Schema::Layout, layout);
    QFETCH(QString, days);
    CatalogFixture target;
    QTemporaryDir dir;
    const QString other = MakeSource(dir, QStringLiteral("old.MDB"), layout);
    const QByteArray before = CatalogFixture::Digest(other);
    const CatalogMerge::TSource source = CatalogMerge::Read(other);
    QCOMPARE(CatalogFixture::Digest(other), before);
    QVERIFY(!QFileInfo::exists(other + QStringLiteral("-journal")));

    TDAODatabase db;
    Open(db, target);
    QCOMPARE(CatalogMerge::Merge(db, source, ImportPlan::TChoice::Skip).Added, int(source.Discs.size()));
    // The upgrade worked out the initials the old layout did not keep.
    QCOMPARE(Scalar(db, QStringLiteral("SELECT Spell||'|'||T.Name FROM TbCd JOIN TbTree T ON T.ID=TbCd.TId "
                                       "WHERE TbCd.Name='活着'")),
             QStringLiteral("HZ|经典"));
    // A disc without a date stays without one through the upgrade and the
    // merge.
    QCOMPARE(Column(db, QStringLiteral("SELECT ifnull(Day,'none') FROM TbCd WHERE Name IN ('英雄','活着') "
                                       "ORDER BY Name='活着'"))
                 .join(QLatin1Char('|')),
             days);
}

void TestCatalogMerge::cancelOrFailureLeavesTargetAsItWas_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::newRow("cancelled midway") << true;
    QTest::newRow("failure midway") << false;
}

void TestCatalogMerge::cancelOrFailureLeavesTargetAsItWas()
{
    QFETCH(bool, cancel);
    CatalogFixture target(Schema::Layout::Build102, true);
    QTemporaryDir dir;
    const CatalogMerge::TSource source = CatalogMerge::Read(MakeSource(dir, QStringLiteral("other.MDB")));
    const QByteArray before = CatalogFixture::Digest(target.Path());
    {
        TDAODatabase db;
        Open(db, target);
        // The folders are made and the first disc written when the step
        // after it cancels or fails.
        int steps = 0;
        const int last = int(source.Folders.size()) + 2;
        auto step = [&] {
            if (++steps < last)
                return true;
            if (cancel)
                return false;
            throw EAppError(QStringLiteral("磁盘已满"));
        };
        if (cancel)
            QVERIFY(CatalogMerge::Merge(db, source, ImportPlan::TChoice::Skip, step).Cancelled);
        else
            QVERIFY_THROWS_EXCEPTION(EAppError, CatalogMerge::Merge(db, source, ImportPlan::TChoice::Skip, step));
        QCOMPARE(steps, last);
        QCOMPARE(Scalar(db, QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
        QCOMPARE(db.WorkDepth(), 0);
    }
    QCOMPARE(CatalogFixture::Digest(target.Path()), before);
}

void TestCatalogMerge::refusesAFileThatIsNoCatalog()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("notes.MDB"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("plain text, no catalog");
    file.close();
    try {
        CatalogMerge::Read(path);
        QFAIL("a text file was read as a catalog");
    } catch (const EFileError &e) {
        QVERIFY2(e.Message().contains(path), qPrintable(e.Message()));
    }
}

QTEST_GUILESS_MAIN(TestCatalogMerge)
#include "tst_catalogmerge.moc"
