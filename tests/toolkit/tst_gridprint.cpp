// Printing a grid: the PDF as a reader sees it (its words, their size and
// place, its pages) and the layout the pages are painted from.
#include "store/engine/DAODataSource.h"
#include "store/engine/DAODatabase.h"
#include "store/engine/DAOQuery.h"
#include "store/engine/Errors.h"
#include "tests/support/CatalogFixture.h"
#include "tests/support/PdfPages.h"
#include "toolkit/DataGrid.h"
#include "toolkit/GridPrint.h"

#include <QApplication>
#include <QPrinter>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

namespace {

// A printable area of A4 with 12 mm margins, in points.
constexpr qreal PortraitWidth = 595.3 - 2 * 12 * 72 / 25.4;

GridPrint::TTable SampleTable(int columns, int rows, const QString &cell)
{
    GridPrint::TTable table;
    table.Title = QStringLiteral("光盘列表");
    table.ScreenFont = QApplication::font();
    for (int c = 0; c < columns; ++c) {
        table.Headings << QStringLiteral("列%1").arg(c);
        table.RightAligned << false;
    }
    for (int r = 0; r < rows; ++r) {
        GridPrint::TTable::TRow row;
        for (int c = 0; c < columns; ++c)
            row.Cells << QStringLiteral("%1%2-%3").arg(cell).arg(r).arg(c);
        table.Rows << row;
    }
    return table;
}

} // namespace

class TestGridPrint : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void pdfHoldsTheListAsShown_data();
    void pdfHoldsTheListAsShown();
    void wideTablesTurnThePaperAcross_data();
    void wideTablesTurnThePaperAcross();
    void rowsFillPagesWithinTheirBounds();
    void unwritablePdfIsReported();

private:
    CatalogFixture m_catalog;
    TDAODatabase m_db;
};

void TestGridPrint::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QFAIL("pdftotext (poppler-utils) is missing: tools/ensure-deps.sh installs it");
    // The program's screen font is given in pixels, which a printer of 1200
    // dots an inch would take for less than a point.
    QFont font = QApplication::font();
    font.setPixelSize(12);
    QApplication::setFont(font);
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

    const GridPrint::TGridPrintout printout(GridPrint::TableOf(
        grid, QStringLiteral("光盘列表"),
        {QStringLiteral("光盘夹：测试"), QStringLiteral("目录：电影/华语"), QStringLiteral("打印日期：2026-12-11")}));
    const QString pdf = m_catalog.FilePath(QStringLiteral("列表.pdf"));
    Printout::WritePdf(printout, pdf);
    const QList<PdfPages::TPage> pages = PdfPages::Read(pdf);
    QVERIFY2(!pages.isEmpty(), "pdftotext read nothing");
    QString text;
    for (const PdfPages::TPage &page : pages)
        text += page.Text() + QLatin1Char('\n');

    // Selectable Chinese text, every disc, the heading and the totals.
    for (const QString &expected :
         {QStringLiteral("光盘列表"), QStringLiteral("光盘夹：测试"), QStringLiteral("目录：电影/华语"),
          QStringLiteral("打印日期：2026-12-11"), QStringLiteral("序列号"), QStringLiteral("盘0001"),
          QStringLiteral("盘0500"), QStringLiteral("盘1000"), QStringLiteral("总数：1000"),
          QStringLiteral("合计：2500.00")})
        QVERIFY2(text.contains(expected), qPrintable(expected));
    QCOMPARE(text.count(QRegularExpression(QStringLiteral("盘\\d{4}"))), 1000);
    if (!groupBy.isEmpty())
        QVERIFY2(text.contains(QStringLiteral("小计：333")) && text.contains(QStringLiteral("小计：667")),
                 "the groups' subtotals are missing");

    // Text a person reads: the body about 9 points high (a word's box is
    // a little higher than its font), the title larger; the table across
    // the page's width, upright for these few columns.
    const qreal body = PdfPages::MedianWordHeight(pages);
    QVERIFY2(body >= 8 && body <= 14, qPrintable(QString::number(body)));
    const qreal title = pages[0].BoxOf(QStringLiteral("光盘列表")).height();
    QVERIFY2(title >= 1.3 * body && title <= 25, qPrintable(QString::number(title)));
    QVERIFY2(pages[0].Size.width() < pages[0].Size.height(), "turned across for five columns");
    const QRectF extent = pages[1].Extent();
    QVERIFY2(extent.width() >= 0.85 * PortraitWidth,
             qPrintable(QStringLiteral("%1..%2").arg(extent.left()).arg(extent.right())));
    QVERIFY2(extent.height() >= 0.8 * pages[1].Size.height(), "the rows leave the page half empty");

    // A page of about 40 to 60 rows: 1,000 discs fill 17 to 30 pages, each
    // numbered at its foot with the count; the totals close the last one.
    QVERIFY2(pages.size() >= 17 && pages.size() <= 30, qPrintable(QString::number(pages.size())));
    for (qsizetype i = 0; i < pages.size(); ++i) {
        const QString pageText = pages[i].Text();
        QVERIFY2(pageText.contains(QStringLiteral("第%1页，共%2页").arg(i + 1).arg(pages.size())),
                 qPrintable(QStringLiteral("page %1: no number").arg(i + 1)));
        QCOMPARE(pageText.contains(QStringLiteral("合计：2500.00")), i == pages.size() - 1);
        QVERIFY2(pageText.contains(QStringLiteral("名称")), "a page without the columns' headings");
    }
}

void TestGridPrint::wideTablesTurnThePaperAcross_data()
{
    QTest::addColumn<int>("columns");
    QTest::addColumn<bool>("across");
    QTest::newRow("five columns") << 5 << false;
    QTest::newRow("fourteen columns") << 14 << true;
}

void TestGridPrint::wideTablesTurnThePaperAcross()
{
    // Columns that need more than the upright page's width get the page
    // turned across, and still read at the body's size.
    QFETCH(int, columns);
    QFETCH(bool, across);
    const GridPrint::TGridPrintout printout(SampleTable(columns, 30, QStringLiteral("霸王别姬")));
    const QString pdf = m_catalog.FilePath(QStringLiteral("宽.pdf"));
    Printout::WritePdf(printout, pdf);
    const QList<PdfPages::TPage> pages = PdfPages::Read(pdf);
    QVERIFY(!pages.isEmpty());
    QCOMPARE(pages[0].Size.width() > pages[0].Size.height(), across);
    const qreal body = PdfPages::MedianWordHeight(pages);
    QVERIFY2(body >= 8 && body <= 14, qPrintable(QString::number(body)));
    const QString last = QStringLiteral("霸王别姬29-%1").arg(columns - 1);
    QVERIFY2(pages.last().Text().contains(last), qPrintable(pages.last().Text()));
}

void TestGridPrint::rowsFillPagesWithinTheirBounds()
{
    // Whatever the texts, the columns together are the page's width, a long
    // text wraps onto more lines instead of running into the next column,
    // and no page holds more rows than fit above its number.
    GridPrint::TTable table = SampleTable(4, 200, QStringLiteral("盘"));
    table.Rows[7].Cells[1] = QString(QStringLiteral("很长的名称")).repeated(30);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(m_catalog.FilePath(QStringLiteral("版面.pdf")));
    const GridPrint::TGridPrintout printout(table);
    Printout::SetUpPrinter(printer, printout);
    const GridPrint::TPages layout = GridPrint::LayOut(table, printer);

    qreal widths = 0;
    for (const qreal width : layout.Widths)
        widths += width;
    QVERIFY(qAbs(widths - layout.PageWidth) < 1);
    QVERIFY2(layout.RowHeights[7] > 3 * layout.RowHeights[6], "the long name does not wrap");

    int rows = 0;
    for (qsizetype p = 0; p < layout.Pages.size(); ++p) {
        const GridPrint::TPages::TPage &page = layout.Pages[p];
        QCOMPARE(page.FirstRow, rows);
        qreal y = (p == 0 ? layout.HeadingHeight : 0) + layout.HeaderHeight;
        for (int row = page.FirstRow; row < page.FirstRow + page.RowCount; ++row)
            y += layout.RowHeights[row];
        if (page.Totals)
            y += layout.TotalsHeight;
        QVERIFY2(y <= layout.PageHeight, qPrintable(QStringLiteral("page %1 overflows").arg(p + 1)));
        rows += page.RowCount;
    }
    QCOMPARE(rows, 200);
    QVERIFY(layout.Pages.size() >= 4);
}

void TestGridPrint::unwritablePdfIsReported()
{
    const GridPrint::TGridPrintout printout(SampleTable(2, 1, QStringLiteral("x")));
    const QString path = m_catalog.FilePath(QStringLiteral("没有的文件夹/列表.pdf"));
    QVERIFY_THROWS_EXCEPTION(EFileError, Printout::WritePdf(printout, path));
}

QTEST_MAIN(TestGridPrint)
#include "tst_gridprint.moc"
