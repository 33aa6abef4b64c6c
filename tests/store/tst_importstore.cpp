// Imported rows written into a real catalog file, all or nothing.
#include "media/CsvReader.h"
#include "store/catalog/ImportFields.h"
#include "store/catalog/ImportStore.h"
#include "store/engine/Errors.h"
#include "store/engine/RowReader.h"
#include "tests/support/CatalogFixture.h"

#include <QElapsedTimer>
#include <QFileInfo>

class TestImportStore : public QObject
{
    Q_OBJECT

private slots:
    void importsRows();
    void cancelOrFailureLeavesFileAsItWas_data();
    void cancelOrFailureLeavesFileAsItWas();
    void deepFoldersCostTheirLength();
};

namespace {

QList<ImportPlan::TRow> Plan(TDAODatabase &db, const QString &csv, const QString &folder)
{
    const QList<CsvReader::TRecord> records = CsvReader::Parse(csv, QLatin1Char(','));
    ImportPlan::TSettings settings;
    settings.Mapping = ImportFields::GuessMapping(records.first().Fields);
    settings.Widths = ImportStore::ReadWidths(db);
    settings.ExistingCodes = ImportStore::ExistingCodes(db);
    settings.PictureFolder = folder;
    return ImportPlan::Build(records.mid(1), settings);
}

QString Scalar(TDAODatabase &db, const QString &sql)
{
    QStringList values;
    db.ForEachRow(sql, [&](const TRowReader &row) { values << row.Text(0); });
    return values.value(0);
}

} // namespace

void TestImportStore::importsRows()
{
    CatalogFixture catalog(Schema::Layout::Build101, true);
    TDAODatabase db;
    catalog.Attach(db);
    db.Exec(QStringLiteral("INSERT INTO TbTree (Id1, Name) VALUES (1, '电影')"));
    db.Exec(QStringLiteral("INSERT INTO TbCd (Code, Name, TId, Spell) VALUES ('A1', '旧片', 1, 'JP')"));
    QCOMPARE(ImportStore::ReadWidths(db).Name, 20);

    for (const char *name : {"a.jpg", "b.jpg"}) {
        QFile picture(catalog.FilePath(QLatin1String(name)));
        QVERIFY(picture.open(QIODevice::WriteOnly));
    }
    const QList<ImportPlan::TRow> rows =
        Plan(db,
             QStringLiteral("名称,编号,分类,质量,日期,价格,目录,封面\n"
                            "霸王别姬,B1,电影,收藏,1993,¥35,电影/华语,a.jpg\n"
                            "Heat,a1,犯罪,,2019/3/1,,MOVIES/华语/90年代,\n" // code exists: skipped by default
                            "活着,,犯罪,收藏,,\"1,234.5\",电影/华语/90年代,b.jpg\n"
                            ",C9,,,,,,\n"
                            "无价,,犯罪,,,,,\n" // no grade, no price
                            "赠品,,犯罪,,,0,,\n"),
             QFileInfo(catalog.Path()).path());
    QStringList stored;
    const ImportStore::TReport report =
        ImportStore::Import(db, rows, 1,
                            {[&](const QString &source) {
                                 stored << source;
                                 return QStringLiteral("s_") + QFileInfo(source).fileName();
                             },
                             {}});

    QCOMPARE(report.Added, 4);
    QCOMPARE(report.Skipped.size(), 2);
    QVERIFY(report.Skipped.at(0).startsWith(QStringLiteral("第3行：编号已存在或重复")));
    QVERIFY(report.Skipped.at(1).startsWith(QStringLiteral("第5行：名称为空")));
    // 电影 exists below the root; 华语 and 90年代 are made once.
    QCOMPARE(report.Folders, (QStringList{QStringLiteral("电影/华语"), QStringLiteral("电影/华语/90年代")}));
    QCOMPARE(report.Categories, QStringList{QStringLiteral("犯罪")});
    QCOMPARE(report.Qualities, QStringList{QStringLiteral("收藏")});
    QCOMPARE(stored,
             (QStringList{catalog.FilePath(QStringLiteral("a.jpg")), catalog.FilePath(QStringLiteral("b.jpg"))}));
    QVERIFY(report.Text().contains(QStringLiteral("已导入光盘：4 张")));
    // A disc without a grade gets the catalog's first, as the editor asks
    // for one; the report says so.
    QCOMPARE(report.DefaultQualityCount, 2);
    QCOMPARE(report.DefaultQuality, QStringLiteral("全新"));
    QVERIFY2(report.Text().contains(QStringLiteral("没有质量的光盘：2 张，质量设为“全新”")), qPrintable(report.Text()));
    // An empty price stays empty; a price of 0 is a free disc.
    QCOMPARE(Scalar(db, QStringLiteral("SELECT ifnull(Price,'empty')||'|'||Q.Name FROM TbCd JOIN TbQuality Q "
                                       "ON Q.Id=TbCd.QId WHERE TbCd.Name='无价'")),
             QStringLiteral("empty|全新"));
    QCOMPARE(Scalar(db, QStringLiteral("SELECT ifnull(Price,'empty') FROM TbCd WHERE Name='赠品'")),
             QStringLiteral("0"));

    QCOMPARE(Scalar(db, QStringLiteral("SELECT count(*) FROM TbCategory WHERE Name='犯罪'")), QStringLiteral("1"));
    QCOMPARE(Scalar(db, QStringLiteral("SELECT Spell||'|'||Day||'|'||Price||'|'||Picture||'|'||T.Name FROM TbCd "
                                       "JOIN TbTree T ON T.ID=TbCd.TId WHERE Code='B1'")),
             QStringLiteral("BWBJ|33970|35|s_a.jpg|华语"));
    QCOMPARE(Scalar(db, QStringLiteral("SELECT Spell||'|'||ifnull(Day,'none')||'|'||Price||'|'||T.Name FROM TbCd "
                                       "JOIN TbTree T ON T.ID=TbCd.TId WHERE TbCd.Name='活着'")),
             QStringLiteral("HZ|none|1234.5|90年代"));
}

void TestImportStore::cancelOrFailureLeavesFileAsItWas_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::newRow("cancelled midway") << true;
    QTest::newRow("picture copy fails midway") << false;
}

void TestImportStore::cancelOrFailureLeavesFileAsItWas()
{
    QFETCH(bool, cancel);
    CatalogFixture catalog(Schema::Layout::Build101, true);
    const QByteArray before = CatalogFixture::Digest(catalog.Path());
    {
        TDAODatabase db;
        catalog.Attach(db);
        QString csv = QStringLiteral("名称,分类,目录,封面\n");
        for (int i = 0; i < 50; ++i)
            csv += QStringLiteral("片%1,新分类%1,新目录/%1,%2\n")
                       .arg(i)
                       .arg(i == 40 ? QStringLiteral("x.jpg") : QString());
        QFile picture(catalog.FilePath(QStringLiteral("x.jpg")));
        QVERIFY(picture.open(QIODevice::WriteOnly));
        picture.close();
        const QList<ImportPlan::TRow> rows = Plan(db, csv, QFileInfo(catalog.Path()).path());
        int steps = 0;
        ImportStore::TCallbacks callbacks;
        callbacks.StorePicture = [](const QString &) -> QString { throw EAppError(QStringLiteral("无法复制图片")); };
        callbacks.Step = [&] { return !cancel || ++steps < 30; };
        if (cancel)
            QVERIFY(ImportStore::Import(db, rows, 1, callbacks).Cancelled);
        else
            QVERIFY_THROWS_EXCEPTION(EAppError, ImportStore::Import(db, rows, 1, callbacks));
        QCOMPARE(Scalar(db, QStringLiteral("PRAGMA integrity_check")), QStringLiteral("ok"));
        QCOMPARE(db.WorkDepth(), 0);
    }
    QCOMPARE(CatalogFixture::Digest(catalog.Path()), before);
}

// Folders 1,000 levels deep, as the folder column allows: each folder and
// each line of the report costs a bounded amount, not its whole path, and
// the paths read back for the folder box are as short.
void TestImportStore::deepFoldersCostTheirLength()
{
    CatalogFixture catalog(Schema::Layout::Build101, true);
    TDAODatabase db;
    catalog.Attach(db);
    QString deep;
    for (int level = 0; level < ImportPlan::MaxFolderDepth; ++level)
        deep += QStringLiteral("层级%1/").arg(level);
    QString csv = QStringLiteral("名称,目录\n深,%1\n深二,%1x\n").arg(deep);
    const QList<ImportPlan::TRow> rows = Plan(db, csv, QFileInfo(catalog.Path()).path());
    QCOMPARE(rows.at(1).Problems.size(), 1); // one level too many: cut
    QElapsedTimer timer;
    timer.start();
    const ImportStore::TReport report = ImportStore::Import(db, rows, 1, {});
    QCOMPARE(report.Added, 2);
    QCOMPARE(report.Folders.size(), ImportPlan::MaxFolderDepth);
    QCOMPARE(report.Folders.first(), QStringLiteral("层级0"));
    for (const QString &path : report.Folders)
        QVERIFY(path.size() <= ImportStore::MaxPathLength);
    QVERIFY(report.Folders.last().startsWith(QStringLiteral("层级0/层级1/")));
    QVERIFY(report.Folders.last().endsWith(QStringLiteral("/层级998/层级999")));

    const QList<QPair<int, QString>> paths = ImportStore::FolderPaths(db);
    QCOMPARE(paths.size(), ImportPlan::MaxFolderDepth + 1);
    int deepest = 0;
    for (const auto &[id, path] : paths) {
        QVERIFY(path.size() <= ImportStore::MaxPathLength);
        if (path.endsWith(QStringLiteral("/层级999")))
            deepest = id;
    }
    QVERIFY(deepest != 0);
    QCOMPARE(ImportStore::FolderDepth(db, deepest), ImportPlan::MaxFolderDepth);
    QCOMPARE(ImportStore::FolderDepth(db, 1), 0);
    QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));

    // A damaged chain (a loop) still ends.
    db.Exec(QStringLiteral("INSERT INTO TbTree (ID, Id1, Name) VALUES (9001, 9002, '环甲'), (9002, 9001, '环乙')"));
    const QList<QPair<int, QString>> looped = ImportStore::FolderPaths(db);
    QCOMPARE(looped.size(), paths.size() + 2);
    QVERIFY(ImportStore::FolderDepth(db, 9001) <= 2);
}

QTEST_GUILESS_MAIN(TestImportStore)
#include "tst_importstore.moc"
