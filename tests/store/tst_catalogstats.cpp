// The statistics window's figures against the catalog, counted another way:
// every bar, total and sum on a generated catalog with the awkward discs a
// real one gathers (no category, a category that is gone, no date, no price,
// discs in the root, folders cut off from the tree or in a loop).
#include "store/catalog/CatalogStats.h"
#include "store/engine/DAODatabase.h"
#include "store/engine/DAOQuery.h"
#include "store/engine/DateUtils.h"
#include "tests/support/CatalogFixture.h"
#include "tools/CatalogGenerator.h"

#include <QHash>
#include <QTest>

#include <cmath>

using CatalogStats::TBar;

namespace {

QHash<QString, TBar> ByLabel(const QList<TBar> &bars)
{
    QHash<QString, TBar> map;
    for (const TBar &bar : bars) {
        if (map.contains(bar.Label))
            qFatal("two bars named %s", qPrintable(bar.Label));
        map.insert(bar.Label, bar);
    }
    return map;
}

// label -> (discs, value in ten-thousandths), read row by row from a SELECT
// of label, price.
QHash<QString, TBar> Tally(TDAODatabase &db, const QString &sql)
{
    TDAOQuery q;
    q.SetDatabase(&db);
    q.SetSQL(sql);
    q.Open();
    QHash<QString, TBar> map;
    for (q.First(); !q.AtEnd(); q.Next()) {
        const QString label = q.FieldAt(0).AsString();
        TBar &bar = map[label];
        bar.Label = label;
        bar.Discs += 1;
        if (!q.FieldAt(1).IsNull())
            bar.Value += qint64(std::llround(q.FieldAt(1).AsFloat() * 10000));
    }
    q.Close();
    return map;
}

void CompareBars(const QList<TBar> &bars, const QHash<QString, TBar> &expected, qint64 total)
{
    const QHash<QString, TBar> actual = ByLabel(bars);
    QCOMPARE(actual.keys().size(), expected.keys().size());
    qint64 sum = 0;
    for (const TBar &want : expected) {
        QVERIFY2(actual.contains(want.Label), qPrintable(want.Label));
        QCOMPARE(actual.value(want.Label).Discs, want.Discs);
        QCOMPARE(actual.value(want.Label).Value, want.Value);
        sum += want.Discs;
    }
    QCOMPARE(sum, total);
}

} // namespace

class TestCatalogStats : public QObject
{
    Q_OBJECT

private slots:
    void generatedCatalog();
    void emptyCatalog();
};

void TestCatalogStats::generatedCatalog()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Stats.MDB"));
    CatalogGenerator::GenerateCatalog(path, 3000, Schema::Layout::Build102, 7);
    TDAODatabase db;
    db.SetDatabaseName(path);
    db.SetPassword(QString::fromLatin1(Schema::CatalogPassword));
    const QStringList awkward = {
        QStringLiteral("UPDATE TbCd SET CId=NULL WHERE ID BETWEEN 1 AND 40"),
        QStringLiteral("UPDATE TbCd SET CId=999 WHERE ID BETWEEN 41 AND 60"),
        QStringLiteral("UPDATE TbCd SET QId=NULL WHERE ID BETWEEN 30 AND 70"),
        QStringLiteral("UPDATE TbCd SET Day=NULL WHERE ID BETWEEN 50 AND 90"),
        // The zero day an empty date used to be written as, and a date
        // written as text, which the program does not read as a date.
        QStringLiteral("UPDATE TbCd SET Day=0 WHERE ID BETWEEN 91 AND 93"),
        QStringLiteral("UPDATE TbCd SET Day=0.25 WHERE ID=94"),
        QStringLiteral("UPDATE TbCd SET Day='1987-06-05' WHERE ID BETWEEN 95 AND 96"),
        QStringLiteral("UPDATE TbCd SET Price=NULL WHERE ID BETWEEN 80 AND 120"),
        QStringLiteral("UPDATE TbCd SET TId=1 WHERE ID BETWEEN 100 AND 130"),
        // Two folders that are each other's parent, one whose parent is
        // gone, one that is its own parent, and a folder that does not exist.
        QStringLiteral("INSERT INTO TbTree (ID, Id1, Name) VALUES (900, 901, '环甲'), (901, 900, '环乙'), "
                       "(902, 777, '孤儿'), (903, 903, '自己')"),
        QStringLiteral("UPDATE TbCd SET TId=900 WHERE ID BETWEEN 131 AND 140"),
        QStringLiteral("UPDATE TbCd SET TId=901 WHERE ID BETWEEN 141 AND 145"),
        QStringLiteral("UPDATE TbCd SET TId=902 WHERE ID BETWEEN 146 AND 150"),
        QStringLiteral("UPDATE TbCd SET TId=903 WHERE ID BETWEEN 151 AND 152"),
        QStringLiteral("UPDATE TbCd SET TId=5555 WHERE ID BETWEEN 153 AND 155"),
    };
    for (const QString &sql : awkward)
        db.Exec(sql);

    const CatalogStats::TStats stats = CatalogStats::Read(db);

    QCOMPARE(stats.Discs, 3000);
    const QHash<QString, TBar> all = Tally(db, QStringLiteral("SELECT 'all', Price FROM TbCd"));
    QCOMPARE(stats.Value, all.value(QStringLiteral("all")).Value);
    QCOMPARE(stats.Folders, qint64(CatalogGenerator::FolderCount + 4));

    CompareBars(stats.ByCategory,
                Tally(db, QStringLiteral("SELECT coalesce(B.Name, '（无分类）'), A.Price FROM TbCd A "
                                         "LEFT JOIN TbCategory B ON A.CId=B.Id")),
                stats.Discs);
    CompareBars(stats.ByQuality,
                Tally(db, QStringLiteral("SELECT coalesce(B.Name, '（无质量）'), A.Price FROM TbCd A "
                                         "LEFT JOIN TbQuality B ON A.QId=B.Id")),
                stats.Discs);
    // The grades keep the order they were entered in, the rest last.
    QCOMPARE(stats.ByQuality.first().Label, QStringLiteral("全新"));
    QCOMPARE(stats.ByQuality.last().Label, QStringLiteral("（无质量）"));
    QVERIFY(stats.ByQuality.last().Leftover);

    // Years worked out by the program's own date conversion, disc by disc;
    // no disc is counted in 1899.
    {
        TDAOQuery q;
        q.SetDatabase(&db);
        q.SetSQL(QStringLiteral("SELECT Day, Price, typeof(Day) AS T FROM TbCd"));
        q.Open();
        QHash<QString, TBar> years;
        for (q.First(); !q.AtEnd(); q.Next()) {
            const bool text = q.FieldAt(2).AsString() == QLatin1String("text");
            const QString label = q.FieldAt(0).IsNull() || text || q.FieldAt(0).AsFloat() < 1
                                      ? QStringLiteral("（无日期）")
                                      : QString::number(DateUtils::ToDate(q.FieldAt(0).AsFloat()).year());
            TBar &bar = years[label];
            bar.Label = label;
            bar.Discs += 1;
            if (!q.FieldAt(1).IsNull())
                bar.Value += qint64(std::llround(q.FieldAt(1).AsFloat() * 10000));
        }
        q.Close();
        CompareBars(stats.ByYear, years, stats.Discs);
        QCOMPARE(stats.ByYear.first().Label, QStringLiteral("2015"));
        QCOMPARE(stats.ByYear.last().Label, QStringLiteral("（无日期）"));
        QCOMPARE(stats.ByYear.last().Discs, 41 + 4 + 2);
        QVERIFY(stats.ByYear.last().Leftover);
        QVERIFY(!stats.ByYear.first().Leftover);
    }

    // Top-level folders through a recursive walk down from the root; every
    // disc it does not reach lies outside the tree.
    CompareBars(
        stats.ByFolder,
        Tally(db, QStringLiteral("WITH RECURSIVE Sub(Id, Top) AS ("
                                 " SELECT ID, Name FROM TbTree WHERE Id1=1 AND ID<>1"
                                 " UNION SELECT T.ID, Sub.Top FROM TbTree T JOIN Sub ON T.Id1=Sub.Id AND T.ID<>1) "
                                 "SELECT CASE WHEN A.TId=1 THEN '主目录' ELSE coalesce(Sub.Top, '（目录树外）') END, "
                                 "A.Price FROM TbCd A LEFT JOIN Sub ON A.TId=Sub.Id")),
        stats.Discs);
    QCOMPARE(stats.ByFolder.first().Label, QStringLiteral("主目录"));
    QCOMPARE(stats.ByFolder.last().Label, QStringLiteral("（目录树外）"));
    QCOMPARE(stats.ByFolder.last().Discs, 10 + 5 + 5 + 2 + 3);
    QVERIFY(stats.ByFolder.last().Leftover);
    QVERIFY(!stats.ByFolder.first().Leftover);
}

void TestCatalogStats::emptyCatalog()
{
    CatalogFixture fixture(Schema::Layout::Build102, true);
    TDAODatabase db;
    fixture.Attach(db);
    const CatalogStats::TStats stats = CatalogStats::Read(db);
    QCOMPARE(stats.Discs, 0);
    QCOMPARE(stats.Value, 0);
    QCOMPARE(stats.Folders, 0);
    QVERIFY(stats.ByCategory.isEmpty());
    QVERIFY(stats.ByQuality.isEmpty());
    QVERIFY(stats.ByYear.isEmpty());
    QVERIFY(stats.ByFolder.isEmpty());
}

QTEST_GUILESS_MAIN(TestCatalogStats)
#include "tst_catalogstats.moc"
