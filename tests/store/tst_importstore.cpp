// Imported rows written into a real catalog file, all or nothing.
#include "CatalogFixture.h"
#include "CsvReader.h"
#include "Errors.h"
#include "ImportFields.h"
#include "ImportStore.h"

#include <QFileInfo>

#include <sqlcipher/sqlite3.h>

class TestImportStore : public QObject
{
    Q_OBJECT

private slots:
    void importsRows();
    void cancelOrFailureLeavesFileAsItWas_data();
    void cancelOrFailureLeavesFileAsItWas();
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
    sqlite3_stmt *stmt = db.Prepare(sql);
    QString value;
    if (sqlite3_step(stmt) == SQLITE_ROW)
        value = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    return value;
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
                            ",C9,,,,,,\n"),
             QFileInfo(catalog.Path()).path());
    QStringList stored;
    const ImportStore::TReport report =
        ImportStore::Import(db, rows, 1,
                            {[&](const QString &source) {
                                 stored << source;
                                 return QStringLiteral("s_") + QFileInfo(source).fileName();
                             },
                             {}});

    QCOMPARE(report.Added, 2);
    QCOMPARE(report.Skipped.size(), 2);
    QVERIFY(report.Skipped.at(0).startsWith(QStringLiteral("第3行：编号已存在或重复")));
    QVERIFY(report.Skipped.at(1).startsWith(QStringLiteral("第5行：名称为空")));
    // 电影 exists below the root; 华语 and 90年代 are made once.
    QCOMPARE(report.Folders, (QStringList{QStringLiteral("电影/华语"), QStringLiteral("电影/华语/90年代")}));
    QCOMPARE(report.Categories, QStringList{QStringLiteral("犯罪")});
    QCOMPARE(report.Qualities, QStringList{QStringLiteral("收藏")});
    QCOMPARE(stored,
             (QStringList{catalog.FilePath(QStringLiteral("a.jpg")), catalog.FilePath(QStringLiteral("b.jpg"))}));
    QVERIFY(report.Text().contains(QStringLiteral("已导入光盘：2 张")));

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

QTEST_GUILESS_MAIN(TestImportStore)
#include "tst_importstore.moc"
