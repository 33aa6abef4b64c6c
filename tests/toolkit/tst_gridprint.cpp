// Printing a grid: the PDF's text as pdftotext reads it, and its pages.
#include "CatalogFixture.h"
#include "DAODataSource.h"
#include "DAODatabase.h"
#include "DAOQuery.h"
#include "DataGrid.h"
#include "Errors.h"
#include "GridPrint.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QTextDocument>

namespace {

QString PdfText(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

int PdfPages(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {pdf});
    if (!p.waitForFinished(60000))
        return -1;
    const auto match = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(QString::fromUtf8(p.readAll()));
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

} // namespace

class TestGridPrint : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void pdfHoldsTheListAsShown_data();
    void pdfHoldsTheListAsShown();
    void unwritablePdfIsReported();

private:
    CatalogFixture m_catalog;
    TDAODatabase m_db;
};

void TestGridPrint::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QFAIL("pdftotext (poppler-utils) is missing: tools/ensure-deps.sh installs it");
    m_catalog.Attach(m_db);
    m_db.SetConnected(true);
    TDAOQuery q;
    q.SetDatabase(&m_db);
    q.SetSQL(QStringLiteral("INSERT INTO TbCategory (Id,Name) VALUES (1,'剧情'),(2,'动画')"));
    q.Execute();
    // 1,000 discs: 盘0001 ... 盘1000, every third one 动画, each 2.50.
    q.SetSQL(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<1000) "
                            "INSERT INTO TbCd (Serial,Name,CId,TId,Price,Spell) "
                            "SELECT printf('%04d',i), '盘'||printf('%04d',i), CASE WHEN i%3=0 THEN 2 ELSE 1 END, "
                            "1, 2.5, '' FROM n"));
    q.Execute();
}

void TestGridPrint::pdfHoldsTheListAsShown_data()
{
    QTest::addColumn<QString>("groupBy");
    QTest::newRow("plain") << QString();
    QTest::newRow("grouped by category") << QStringLiteral("Category");
}

void TestGridPrint::pdfHoldsTheListAsShown()
{
    QFETCH(QString, groupBy);
    TDAOQuery discs;
    discs.SetDatabase(&m_db);
    discs.FieldDefs = {{QStringLiteral("ID"), TFieldType::Integer, 0},
                       {QStringLiteral("Serial"), TFieldType::Text, 10},
                       {QStringLiteral("Name"), TFieldType::Text, 20},
                       {QStringLiteral("Category"), TFieldType::Text, 20},
                       {QStringLiteral("Price"), TFieldType::Currency, 0}};
    discs.SetSQL(
        QStringLiteral("SELECT A.*,B.Name AS Category FROM TbCd AS A LEFT JOIN TbCategory AS B ON A.CId=B.Id"));
    discs.Open();
    TDAODataSource source;
    source.SetDataSet(&discs);
    TDataGrid grid;
    const auto column = [](const QString &field, const QString &caption, bool visible = true) {
        TGridColumn c;
        c.FieldName = field;
        c.Caption = caption;
        c.Visible = visible;
        return c;
    };
    TGridColumn serial = column(QStringLiteral("Serial"), QStringLiteral("序列号"));
    serial.Footer = TGridColumn::Summary::Count;
    serial.FooterFormat = QStringLiteral("总数：%1");
    TGridColumn price = column(QStringLiteral("Price"), QStringLiteral("价格"));
    price.DisplayFormat = QStringLiteral("0.00;-0.00");
    price.Footer = TGridColumn::Summary::Sum;
    price.FooterFormat = QStringLiteral("合计：%1");
    price.FooterDecimals = 2;
    grid.SetColumns({column(QStringLiteral("ID"), QString(), false), serial,
                     column(QStringLiteral("Name"), QStringLiteral("名称")),
                     column(QStringLiteral("Category"), QStringLiteral("分类")), price});
    grid.SetGroupSummary(QStringLiteral("小计：%1"), QStringLiteral("Price"), QStringLiteral("小计：%1"), 2);
    grid.SetDataSource(&source);
    grid.resize(800, 600);
    if (!groupBy.isEmpty())
        grid.GroupBy(groupBy);

    auto document = GridPrint::GridDocument(grid, QStringLiteral("光盘列表"),
                                            {QStringLiteral("光盘夹：测试"), QStringLiteral("目录：电影/华语")});
    const QString pdf = m_catalog.FilePath(QStringLiteral("列表.pdf"));
    GridPrint::WritePdf(*document, pdf);
    const QString text = PdfText(pdf);
    QVERIFY2(!text.isEmpty(), "pdftotext read nothing");
    // Selectable Chinese text, every disc, the heading and the totals.
    for (const QString &expected :
         {QStringLiteral("光盘列表"), QStringLiteral("光盘夹：测试"), QStringLiteral("目录：电影/华语"),
          QStringLiteral("序列号"), QStringLiteral("盘0001"), QStringLiteral("盘0500"), QStringLiteral("盘1000"),
          QStringLiteral("总数：1000"), QStringLiteral("合计：2500.00")})
        QVERIFY2(text.contains(expected), qPrintable(expected));
    QCOMPARE(text.count(QRegularExpression(QStringLiteral("盘\\d{4}"))), 1000);
    if (!groupBy.isEmpty())
        QVERIFY2(text.contains(QStringLiteral("小计：333")) && text.contains(QStringLiteral("小计：667")),
                 "the groups' subtotals are missing");

    // A page of about 40 to 60 rows: 1,000 discs fill 17 to 30 pages, as
    // many as the PDF has and numbered at their foot.
    const int pages = PdfPages(pdf);
    QVERIFY2(pages >= 17 && pages <= 30, qPrintable(QString::number(pages)));
    QVERIFY2(text.contains(QString::number(pages)), "no page numbers");
}

void TestGridPrint::unwritablePdfIsReported()
{
    QTextDocument document(QStringLiteral("x"));
    const QString path = m_catalog.FilePath(QStringLiteral("没有的文件夹/列表.pdf"));
    QVERIFY_THROWS_EXCEPTION(EFileError, GridPrint::WritePdf(document, path));
}

QTEST_MAIN(TestGridPrint)
#include "tst_gridprint.moc"
