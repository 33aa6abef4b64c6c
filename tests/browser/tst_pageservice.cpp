// The detail page service and the detail view, on a real catalog and real
// picture files.
#include "browser/DetailView.h"
#include "browser/PageService.h"
#include "pinyin/GbkText.h"
#include "store/catalog/DataModule.h"
#include "store/catalog/Schema.h"
#include "store/engine/DAOQuery.h"
#include "store/engine/DateUtils.h"
#include "store/engine/Errors.h"
#include "tests/support/ModuleFixture.h"
#include "tests/support/PdfPages.h"
#include "toolkit/Printout.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

#include <sys/stat.h>

namespace {

enum class Answer { NotServed, PageOfDisc, EmptyPage, File, Cover };

struct DiscFields
{
    QString Serial, Code, Name, Location, Memo, Picture;
    double Day = 0; // 0: no date
    int CId = 0, QId = 0;
    TCurrency Price = 0;
};

QByteArray Picture(int width, int height, const char *format)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QByteArray Jpeg(int width, int height)
{
    return Picture(width, height, "JPEG");
}

void WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    file.write(bytes);
}

} // namespace

Q_DECLARE_METATYPE(Answer)

class TestPageService : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void respond_data();
    void respond();
    void pageOfADisc();
    void pageValues_data();
    void pageValues();
    void emptyPriceShowsEmpty();
    void priceText_data();
    void priceText();
    void hostileTextStaysText();
    void pageBytesAreGbk();
    void pageFillsTheView_data();
    void pageFillsTheView();
    void longDescriptionIsShownInPart_data();
    void longDescriptionIsShownInPart();
    void defaultCover();

    void viewLoadsOnlyThePseudoHost();
    void showCdPageRebuildsThePage();
    void showCdPageReportsCatalogErrors();
    void clickingTheCoverAndAMemoLink();
    void pageSavedAsPdfWithItsCover();
    void linkRouting_data();
    void linkRouting();

private:
    int AddDisc(const DiscFields &fields);
    QString Page(int id) const;
    QString Expand(QString text) const;

    std::unique_ptr<ModuleFixture> m_catalog;
    std::unique_ptr<TOurNSHandler> m_service;
    QString m_pictures;
    int m_full = 0, m_bare = 0;
};

// A catalog with a fully filled disc and a bare one; the picture folder holds
// cover.jpg, a picture whose name needs encoding in a URL, a subfolder and a
// link that leads out of the folder to secret.txt beside it.
void TestPageService::init()
{
    m_catalog = std::make_unique<ModuleFixture>(); // categories 1 电影, 2 音乐...; grades 1 全新...

    m_pictures = m_catalog->FilePath(QStringLiteral("Picture"));
    QVERIFY(QDir().mkpath(m_pictures + QStringLiteral("/sub")));
    WriteFile(m_pictures + QStringLiteral("/cover.jpg"), Jpeg(30, 40));
    WriteFile(m_pictures + QStringLiteral("/封面 1#.png"), Picture(20, 10, "PNG"));
    // Damaged covers: a PNG cut short, a PNG signature over nothing, a
    // JPEG with its middle overwritten.
    WriteFile(m_pictures + QStringLiteral("/cut.png"), Picture(20, 10, "PNG").left(40));
    WriteFile(m_pictures + QStringLiteral("/fake.png"), QByteArrayLiteral("\x89PNG not really"));
    QByteArray scrambled = Jpeg(30, 40);
    scrambled.replace(20, scrambled.size() - 40, QByteArray(scrambled.size() - 40, '\xff'));
    WriteFile(m_pictures + QStringLiteral("/scrambled.jpg"), scrambled);
    WriteFile(m_pictures + QStringLiteral("/empty.jpg"), QByteArray());
    WriteFile(m_pictures + QStringLiteral("/sub/inner.jpg"), QByteArrayLiteral("inner"));
    WriteFile(m_catalog->FilePath(QStringLiteral("secret.txt")), QByteArrayLiteral("secret"));
    QVERIFY(QFile::link(m_catalog->FilePath(QStringLiteral("secret.txt")), m_pictures + QStringLiteral("/link.jpg")));
    QCOMPARE(mkfifo(QFile::encodeName(m_pictures + QStringLiteral("/pipe.jpg")).constData(), 0600), 0);
    m_service = std::make_unique<TOurNSHandler>(m_pictures);

    DiscFields full;
    full.Serial = QStringLiteral("S-001");
    full.Day = DateUtils::ToDays(QDate(2003, 6, 1));
    full.Code = QStringLiteral("A01");
    full.Name = QStringLiteral("藏金阁");
    full.CId = 2;
    full.QId = 1;
    full.Price = 125000;
    full.Location = QStringLiteral("书柜第二层");
    full.Memo = QStringLiteral("第一行\r\n第二行");
    full.Picture = QStringLiteral("cover.jpg");
    m_full = AddDisc(full);
    DiscFields bare;
    bare.Name = QStringLiteral("无图");
    m_bare = AddDisc(bare);
}

void TestPageService::cleanup()
{
    DM = nullptr;
    m_service.reset();
    m_catalog.reset();
}

int TestPageService::AddDisc(const DiscFields &fields)
{
    TDAOQuery q;
    q.SetDatabase(&m_catalog->Dm().DbBase);
    q.SetSQL(QStringLiteral("SELECT * FROM TbCd"));
    q.Open();
    q.Append();
    q.Field("Serial").SetAsString(fields.Serial);
    if (fields.Day != 0)
        q.Field("Day").SetAsDateTime(fields.Day);
    q.Field("Code").SetAsString(fields.Code);
    q.Field("Name").SetAsString(fields.Name);
    q.Field("CId").SetAsInteger(fields.CId);
    q.Field("QId").SetAsInteger(fields.QId);
    q.Field("TId").SetAsInteger(1);
    q.Field("Price").SetAsCurrency(fields.Price);
    q.Field("Location").SetAsString(fields.Location);
    q.Field("Memo").SetAsString(fields.Memo);
    q.Field("Picture").SetAsString(fields.Picture);
    q.Post();
    return q.Field("ID").AsInteger();
}

QString TestPageService::Page(int id) const
{
    const auto response = m_service->Respond(TOurNSHandler::PageUrl(id));
    return response ? GbkText::Decode(response->Body) : QString();
}

// {full} and {bare} stand for the discs' IDs, {dir} for the temporary folder.
QString TestPageService::Expand(QString text) const
{
    return text.replace(QLatin1String("{full}"), QString::number(m_full))
        .replace(QLatin1String("{bare}"), QString::number(m_bare))
        .replace(QLatin1String("{dir}"), m_catalog->DirPath());
}

void TestPageService::respond_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<QString>("file"); // for Answer::File

    const auto row = [](const char *name, const char *url, Answer answer, const QString &file = QString()) {
        QTest::newRow(name) << QString::fromUtf8(url) << answer << file;
    };
    row("page", "http://vorlix/cd.htm?{full}", Answer::PageOfDisc);
    row("scheme and host in capitals", "HTTP://VORLIX/cd.htm?{full}", Answer::PageOfDisc);
    row("page with a fragment", "http://vorlix/cd.htm?{full}#top", Answer::PageOfDisc);
    row("no such disc", "http://vorlix/cd.htm?999999", Answer::EmptyPage);
    row("id 0 of an empty list", "http://vorlix/cd.htm?0", Answer::EmptyPage);
    row("no query", "http://vorlix/cd.htm", Answer::EmptyPage);
    row("empty query", "http://vorlix/cd.htm?", Answer::EmptyPage);
    row("query not a number", "http://vorlix/cd.htm?abc", Answer::EmptyPage);
    row("number and more", "http://vorlix/cd.htm?{full}x", Answer::EmptyPage);
    row("number with a plus", "http://vorlix/cd.htm?+{full}", Answer::EmptyPage);
    row("number with blanks", "http://vorlix/cd.htm?%20{full}", Answer::EmptyPage);
    row("number beyond 32 bits", "http://vorlix/cd.htm?4294967297", Answer::EmptyPage);
    row("query that is a statement", "http://vorlix/cd.htm?1%20OR%201=1", Answer::EmptyPage);
    row("page name in capitals", "http://vorlix/CD.HTM?{full}", Answer::Cover);

    row("picture", "http://vorlix/cover.jpg", Answer::File, QStringLiteral("cover.jpg"));
    row("picture with a query", "http://vorlix/cover.jpg?x=1", Answer::File, QStringLiteral("cover.jpg"));
    row("picture name encoded", "http://vorlix/%E5%B0%81%E9%9D%A2%201%23.png", Answer::File,
        QStringLiteral("封面 1#.png"));
    row("missing picture", "http://vorlix/none.jpg", Answer::Cover);
    row("PNG cut short", "http://vorlix/cut.png", Answer::Cover);
    row("PNG signature over nothing", "http://vorlix/fake.png", Answer::Cover);
    row("JPEG overwritten", "http://vorlix/scrambled.jpg", Answer::Cover);
    row("empty file", "http://vorlix/empty.jpg", Answer::Cover);
    row("empty picture name", "http://vorlix/", Answer::Cover);

    row("parent folder", "http://vorlix/../secret.txt", Answer::Cover);
    row("parent folder encoded", "http://vorlix/%2e%2e/secret.txt", Answer::Cover);
    row("separator encoded", "http://vorlix/..%2Fsecret.txt", Answer::Cover);
    row("backslash", "http://vorlix/..%5Csecret.txt", Answer::Cover);
    row("absolute path", "http://vorlix/{dir}/secret.txt", Answer::Cover);
    row("absolute path encoded", "http://vorlix/%2F{dir}/secret.txt", Answer::Cover);
    row("drive", "http://vorlix/C:secret.txt", Answer::Cover);
    row("subfolder", "http://vorlix/sub/inner.jpg", Answer::Cover);
    row("a folder", "http://vorlix/sub", Answer::Cover);
    row("dot dot", "http://vorlix/..", Answer::Cover);
    row("three dots", "http://vorlix/...", Answer::Cover);
    row("link out of the folder", "http://vorlix/link.jpg", Answer::Cover);
    row("FIFO in the folder", "http://vorlix/pipe.jpg", Answer::Cover);

    row("other host", "http://example.com/cover.jpg", Answer::NotServed);
    row("host that starts like ours", "http://vorlix.example.com/cd.htm?{full}", Answer::NotServed);
    row("https", "https://vorlix/cd.htm?{full}", Answer::NotServed);
    row("local file", "file://{dir}/Picture/cover.jpg", Answer::NotServed);
    row("relative", "cover.jpg", Answer::NotServed);
}

void TestPageService::respond()
{
    QFETCH(QString, url);
    QFETCH(Answer, answer);
    QFETCH(QString, file);

    const auto response = m_service->Respond(QUrl(Expand(url)));
    QCOMPARE(response.has_value(), answer != Answer::NotServed);
    if (!response)
        return;
    const QString page = GbkText::Decode(response->Body);
    switch (answer) {
    case Answer::PageOfDisc:
        QCOMPARE(response->MimeType, QStringLiteral("text/html; charset=GBK"));
        QVERIFY(page.contains(QStringLiteral("<td>藏金阁</td>")));
        break;
    case Answer::EmptyPage:
        QCOMPARE(response->MimeType, QStringLiteral("text/html; charset=GBK"));
        QCOMPARE(page, Page(999999));
        break;
    case Answer::File: {
        QFile expected(m_pictures + QLatin1Char('/') + file);
        QVERIFY(expected.open(QIODevice::ReadOnly));
        QCOMPARE(response->Body, expected.readAll());
        break;
    }
    case Answer::Cover:
        QCOMPARE(response->Body, TOurNSHandler::DefaultCover());
        QCOMPARE(response->MimeType, QStringLiteral("image/jpeg"));
        break;
    case Answer::NotServed:
        break;
    }
}

void TestPageService::pageOfADisc()
{
    const QString page = Page(m_full);
    QVERIFY2(!page.contains(QLatin1String("<%")) && !page.contains(QLatin1String("%>")), qPrintable(page));
    QVERIFY(page.startsWith(QLatin1String("<html>")));
    const QString link = QUrl::fromLocalFile(m_pictures + QStringLiteral("/cover.jpg")).toString(QUrl::FullyEncoded);
    for (const QString &part : {
             QStringLiteral("<td>S-001</td>"),
             QStringLiteral("<td>2003-06-01</td>"),
             QStringLiteral("<td bgcolor=\"#E0E0E0\">A01</td>"),
             QStringLiteral("<td>藏金阁</td>"),
             QStringLiteral("<td>音乐</td>"),
             QStringLiteral("<td>全新</td>"),
             QStringLiteral("<td bgcolor=\"#E0E0E0\">12.5</td>"),
             QStringLiteral("<td bgcolor=\"#E0E0E0\">书柜第二层</td>"),
             QStringLiteral("<td colspan=\"2\">第一行<br>第二行</td>"),
             QStringLiteral("<a href=\"%1\" target=\"_blank\"><img src=\"http://vorlix/cover.jpg\"").arg(link),
         })
        QVERIFY2(page.contains(part), qPrintable(part));

    // A disc that is gone gives the labels with nothing in them.
    const QString empty = Page(999999);
    QVERIFY(!empty.contains(QLatin1String("<%")));
    QVERIFY(empty.contains(QStringLiteral("序列号：")));
    QCOMPARE(empty.count(QLatin1String("<td></td>")), 5 + 1); // and the spacer row's second cell
    QCOMPARE(empty.count(QLatin1String("<td bgcolor=\"#E0E0E0\"></td>")), 3);
    QVERIFY(empty.contains(QStringLiteral("<td colspan=\"2\"></td>")));
    QVERIFY(empty.contains(QStringLiteral("<a href=\"%1\" target=\"_blank\"><img src=\"http://vorlix/\"")
                               .arg(QUrl::fromLocalFile(m_pictures).toString(QUrl::FullyEncoded))));
}

void TestPageService::pageValues_data()
{
    QTest::addColumn<QString>("memo");
    QTest::addColumn<double>("day");
    QTest::addColumn<TCurrency>("price");
    QTest::addColumn<QStringList>("parts");

    const double day = DateUtils::ToDays(QDate(2004, 3, 1));
    QTest::newRow("bare disc") << QString() << 0.0 << TCurrency(0)
                               << QStringList{QStringLiteral("<td>无图</td>"), QStringLiteral("<td></td>"),
                                              QStringLiteral("<td bgcolor=\"#E0E0E0\">0</td>"),
                                              QStringLiteral("<td colspan=\"2\"></td>")};
    QTest::newRow("whole price, time of day")
        << QString() << day + (13 * 3600 + 45 * 60 + 10) / 86400.0 << TCurrency(250000)
        << QStringList{QStringLiteral("<td>2004-03-01 13:45:10</td>"), QStringLiteral(">25</td>")};
    QTest::newRow("memo lines") << QStringLiteral("一\r\n\r\n二\n三\r四") << day << TCurrency(1)
                                << QStringList{QStringLiteral("<td>2004-03-01</td>"), QStringLiteral(">0.0001</td>"),
                                               QStringLiteral("<td colspan=\"2\">一<br><br>二<br>三<br>四</td>")};
    QTest::newRow("memo web addresses")
        << QStringLiteral("见 https://example.com/a?b=1&c=2. 或 www.example.org，好\r\nftp://files.example.net/x")
        << day << TCurrency(0)
        << QStringList{
               QStringLiteral("见 <a href=\"https://example.com/a?b=1&amp;c=2\">https://example.com/a?b=1&amp;c=2</a>. "
                              "或 <a href=\"http://www.example.org\">www.example.org</a>，好<br>"
                              "<a href=\"ftp://files.example.net/x\">ftp://files.example.net/x</a></td>")};
}

void TestPageService::pageValues()
{
    QFETCH(QString, memo);
    QFETCH(double, day);
    QFETCH(TCurrency, price);
    QFETCH(QStringList, parts);

    DiscFields fields;
    fields.Name = QStringLiteral("无图");
    fields.Memo = memo;
    fields.Day = day;
    fields.Price = price;
    const QString page = Page(AddDisc(fields));
    for (const QString &part : parts)
        QVERIFY2(page.contains(part), qPrintable(part));
    // No category, no grade, no picture: empty cells, the default cover and
    // the picture folder as the link.
    for (const char *label : {"分类：", "质量："}) {
        const QRegularExpression emptyCell(QString::fromUtf8(label) +
                                           QStringLiteral(R"(</b></font></td>\s*<td></td>)"));
        QVERIFY2(page.contains(emptyCell), label);
    }
    QVERIFY(page.contains(QStringLiteral("<img src=\"http://vorlix/\"")));
}

// A price left empty on import is no price, not 0.
void TestPageService::emptyPriceShowsEmpty()
{
    m_catalog->Dm().ExecuteSQL(QStringLiteral("UPDATE TbCd SET Price=NULL WHERE ID=%1").arg(m_bare));
    const QRegularExpression emptyCell(QStringLiteral(R"(价格：</b></font></td>\s*<td[^>]*></td>)"));
    QVERIFY(Page(m_bare).contains(emptyCell));
    QVERIFY(!Page(m_full).contains(emptyCell));
}

void TestPageService::priceText_data()
{
    QTest::addColumn<qint64>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << qint64(0) << QStringLiteral("0");
    QTest::newRow("whole") << qint64(300000) << QStringLiteral("30");
    QTest::newRow("one decimal") << qint64(125000) << QStringLiteral("12.5");
    QTest::newRow("four decimals") << qint64(1) << QStringLiteral("0.0001");
    QTest::newRow("negative") << qint64(-35000) << QStringLiteral("-3.5");
    QTest::newRow("millions, no exponent") << qint64(12345678900) << QStringLiteral("1234567.89");
    QTest::newRow("15 significant digits") << qint64(9223372036854775807) << QStringLiteral("922337203685478");
    QTest::newRow("smallest") << std::numeric_limits<qint64>::min() << QStringLiteral("-922337203685478");
}

void TestPageService::priceText()
{
    QFETCH(qint64, value);
    QFETCH(QString, text);
    QCOMPARE(TOurNSHandler::PriceText(value), text);
}

// Markup in a field is shown as typed: it can neither break the page, nor
// load anything, nor put another field's value in its place.
void TestPageService::hostileTextStaysText()
{
    DiscFields fields;
    fields.Name = QStringLiteral("<%Memo%>&<i>");
    fields.Code = QStringLiteral("<script>");
    fields.Location = QStringLiteral("</td></tr></table>");
    fields.Memo = QStringLiteral("<img src=\"file:///etc/passwd\"><a href=\"javascript:x()\">x</a>");
    fields.Picture = QStringLiteral("../secret.txt");
    const int id = AddDisc(fields);
    const QString page = Page(id);

    QVERIFY(page.contains(QStringLiteral("<td>&lt;%Memo%&gt;&amp;&lt;i&gt;</td>")));
    QVERIFY(!page.contains(QLatin1String("<script>")));
    QVERIFY(page.contains(QLatin1String("&lt;img src=&quot;file:///etc/passwd&quot;&gt;")));
    QVERIFY(!page.contains(QLatin1String("href=\"javascript")));
    // The picture is asked for under its own name and refused; the link opens
    // the picture folder, not the file beside it.
    QVERIFY(page.contains(QStringLiteral("<img src=\"http://vorlix/..%2Fsecret.txt\"")));
    QVERIFY(page.contains(QStringLiteral("<a href=\"%1\"").arg(QUrl::fromLocalFile(m_pictures).toString())));
    QCOMPARE(m_service->Respond(QUrl(QStringLiteral("http://vorlix/..%2Fsecret.txt")))->Body,
             TOurNSHandler::DefaultCover());

    TDetailView view;
    view.RegisterPageHandler(m_pictures);
    view.ShowCdPage(id);
    const QString shown = view.toPlainText();
    for (const QString &text : {fields.Name, fields.Code, fields.Location, fields.Memo})
        QVERIFY2(shown.contains(text), qPrintable(text));
    QVERIFY(shown.indexOf(fields.Location) < shown.indexOf(QStringLiteral("内容简介")));
}

void TestPageService::pageFillsTheView_data()
{
    QTest::addColumn<int>("width");
    QTest::newRow("500") << 500;
    QTest::newRow("900") << 900;
    QTest::newRow("1400") << 1400;
}

// The page's outer table is 100% wide: it reaches the right edge of the view
// at any width, the cover column keeping its 150 pixels.
void TestPageService::pageFillsTheView()
{
    QFETCH(int, width);
    TDetailView view;
    view.RegisterPageHandler(m_pictures);
    view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view.resize(width, 400);
    view.show();
    view.ShowCdPage(m_full);
    QCoreApplication::processEvents();
    QTextFrame *outer = view.document()->rootFrame()->childFrames().value(0);
    QVERIFY(qobject_cast<QTextTable *>(outer));
    const QRectF table = view.document()->documentLayout()->frameBoundingRect(outer);
    const qreal margin = view.document()->documentMargin();
    const int viewport = view.viewport()->width();
    QVERIFY2(qAbs(table.right() - (viewport - margin)) <= 2,
             qPrintable(QStringLiteral("table %1..%2, view %3").arg(table.left()).arg(table.right()).arg(viewport)));
    // The cover cell keeps its width.
    auto *grid = static_cast<QTextTable *>(outer);
    const QTextTableCell cover = grid->cellAt(1, 1);
    const QTextCursor at = cover.firstCursorPosition();
    const QRectF caret = view.document()->documentLayout()->blockBoundingRect(at.block());
    QVERIFY2(qAbs(caret.left() - (table.right() - 150)) <= 6,
             qPrintable(QStringLiteral("cover at %1, table ends at %2").arg(caret.left()).arg(table.right())));
}

void TestPageService::pageSavedAsPdfWithItsCover()
{
    // The program's screen font is given in pixels, which a printer of 1200
    // dots an inch would take for less than a point.
    const QFont screen = QApplication::font();
    QFont pixels = screen;
    pixels.setPixelSize(12);
    QApplication::setFont(pixels);
    const auto restore = qScopeGuard([&] { QApplication::setFont(screen); });

    TDetailView view;
    view.RegisterPageHandler(m_pictures);
    view.resize(600, 400);
    QVERIFY(!view.PrintedPage()); // nothing shown yet
    view.ShowCdPage(m_full);
    QCoreApplication::processEvents();
    const auto page = view.PrintedPage();
    QVERIFY(page);
    const QString pdf = m_catalog->FilePath(QStringLiteral("详情.pdf"));
    Printout::WritePdf(TDocumentPrintout(*page), pdf);

    // The page reads as on screen: its text about 9 points high, across the
    // paper's width, numbered at its foot.
    const QList<PdfPages::TPage> pages = PdfPages::Read(pdf);
    QCOMPARE(pages.size(), 1);
    const QString words = pages[0].Text();
    QVERIFY2(words.contains(QStringLiteral("藏金阁")) && words.contains(QStringLiteral("书柜第二层")) &&
                 words.contains(QStringLiteral("第1页，共1页")),
             qPrintable(words));
    const qreal height = PdfPages::MedianWordHeight(pages);
    QVERIFY2(height >= 8 && height <= 14, qPrintable(QString::number(height)));
    const qreal printable = pages[0].Size.width() - 2 * 12 * 72 / 25.4;
    QVERIFY2(pages[0].Extent().width() >= 0.75 * printable,
             qPrintable(QStringLiteral("%1 of %2").arg(pages[0].Extent().width()).arg(printable)));

    QProcess images;
    images.start(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf});
    QVERIFY(images.waitForFinished(60000));
    // A heading line, a rule, then one line per picture: the cover.
    const QStringList lines = QString::fromUtf8(images.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    QVERIFY2(lines.size() >= 3, qPrintable(lines.join(u'\n')));
}

void TestPageService::longDescriptionIsShownInPart_data()
{
    QTest::addColumn<QString>("memo");
    QTest::addColumn<bool>("cut");
    const qsizetype most = TOurNSHandler::MaxMemoShown;
    QTest::newRow("just short enough") << QString(most, QLatin1Char('m')) << false;
    QTest::newRow("one character more") << QString(most + 1, QLatin1Char('m')) << true;
    QTest::newRow("200 KB without line breaks") << QString(200 * 1024, QLatin1Char('x')) << true;
    QTest::newRow("3 MB without line breaks") << QStringLiteral("长").repeated(1024 * 1024) << true;
    QTest::newRow("many short lines") << QStringLiteral("行\r\n").repeated(TOurNSHandler::MaxMemoLines + 1) << true;
    QTest::newRow("pair at the limit not cut in half")
        << QString(most - 1, QLatin1Char('m')) + QStringLiteral("😀😀") << true;
}

void TestPageService::longDescriptionIsShownInPart()
{
    QFETCH(QString, memo);
    QFETCH(bool, cut);
    DiscFields fields;
    fields.Name = QStringLiteral("长简介");
    fields.Memo = memo;
    const int id = AddDisc(fields);

    TDetailView view;
    view.RegisterPageHandler(m_pictures);
    view.resize(600, 300);
    view.ShowCdPage(id);
    const QString shown = view.toPlainText();
    const qsizetype from = shown.indexOf(QStringLiteral("内容简介")) + 4;
    QString memoShown = shown.mid(from).trimmed();
    QCOMPARE(memoShown.endsWith(TOurNSHandler::MemoCutNote()), cut);
    if (cut)
        memoShown.chop(TOurNSHandler::MemoCutNote().size());
    memoShown = memoShown.trimmed();
    // What is shown is the description's beginning, line breaks as breaks.
    QString plain = memo;
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    memoShown.replace(QChar::LineSeparator, QLatin1Char('\n'));
    QVERIFY(memoShown.size() <= TOurNSHandler::MaxMemoShown);
    QVERIFY(memoShown.count(QLatin1Char('\n')) <= TOurNSHandler::MaxMemoLines);
    QVERIFY(plain.startsWith(memoShown));
    QCOMPARE(memoShown.size() == plain.trimmed().size(), !cut);
    QVERIFY(!memoShown.isEmpty() && !memoShown.back().isHighSurrogate());
}

void TestPageService::pageBytesAreGbk()
{
    const auto response = m_service->Respond(TOurNSHandler::PageUrl(m_full));
    QVERIFY(response);
    QVERIFY(response->Body.contains(QByteArrayLiteral("<td>\xb2\xd8\xbd\xf0\xb8\xf3</td>"))); // 藏金阁
    QVERIFY(!response->Body.contains(QStringLiteral("藏金阁").toUtf8()));
    QCOMPARE(GbkText::Decode(response->Body), m_service->BuildCdPage(m_full));

    // A character GBK lacks is kept as a character reference, not lost.
    const QString page = QStringLiteral("<td>藏😀€ü</td>");
    QCOMPARE(GbkText::Decode(TOurNSHandler::EncodePage(page)), QStringLiteral("<td>藏&#128512;€ü</td>"));
}

void TestPageService::defaultCover()
{
    QBuffer buffer;
    buffer.setData(TOurNSHandler::DefaultCover());
    QImageReader reader(&buffer);
    QCOMPARE(reader.format(), QByteArray("jpeg"));
    QCOMPARE(reader.read().size(), QSize(150, 215));
}

void TestPageService::viewLoadsOnlyThePseudoHost()
{
    TDetailView view;
    QCOMPARE(view.objectName(), QStringLiteral("WebBrowser"));
    const QUrl page = TOurNSHandler::PageUrl(m_full);
    const QUrl picture(QStringLiteral("http://vorlix/cover.jpg"));
    QVERIFY(!view.loadResource(QTextDocument::HtmlResource, page).isValid()); // nothing registered yet

    view.RegisterPageHandler(m_pictures);
    const QVariant html = view.loadResource(QTextDocument::HtmlResource, page);
    QCOMPARE(html.typeId(), QMetaType::QString);
    QCOMPARE(html.toString(), m_service->BuildCdPage(m_full));
    const QVariant image = view.loadResource(QTextDocument::ImageResource, picture);
    QCOMPARE(image.toByteArray(), m_service->Respond(picture)->Body);

    for (const QString &other :
         {QStringLiteral("http://example.com/x.png"),
          QUrl::fromLocalFile(m_pictures + QStringLiteral("/cover.jpg")).toString(),
          QStringLiteral("qrc:/nopicture.jpg"), QStringLiteral(":/nopicture.jpg"), QStringLiteral("cover.jpg")})
        QVERIFY2(!view.loadResource(QTextDocument::ImageResource, QUrl(other)).isValid(), qPrintable(other));

    view.UnregisterPageHandler();
    QVERIFY(!view.loadResource(QTextDocument::ImageResource, picture).isValid());
}

// The same disc shown again shows what the catalog and the picture folder
// hold now.
void TestPageService::showCdPageRebuildsThePage()
{
    TDetailView view;
    view.RegisterPageHandler(m_pictures);
    view.resize(600, 300);
    const QUrl picture(QStringLiteral("http://vorlix/cover.jpg"));

    view.ShowCdPage(m_full);
    QCOMPARE(view.source(), QUrl(QStringLiteral("http://vorlix/cd.htm?%1").arg(m_full)));
    QVERIFY(view.toPlainText().contains(QStringLiteral("藏金阁")));
    QCOMPARE(view.document()->resource(QTextDocument::ImageResource, picture).value<QImage>().size(), QSize(30, 40));

    m_catalog->Dm().ExecuteSQL(QStringLiteral("UPDATE TbCd SET Name=\"新名字\" WHERE ID=%1").arg(m_full));
    WriteFile(m_pictures + QStringLiteral("/cover.jpg"), Jpeg(60, 80));
    view.ShowCdPage(m_full);
    QVERIFY(view.toPlainText().contains(QStringLiteral("新名字")));
    QCOMPARE(view.document()->resource(QTextDocument::ImageResource, picture).value<QImage>().size(), QSize(60, 80));

    view.ShowCdPage(0);
    QVERIFY(!view.toPlainText().contains(QStringLiteral("新名字")));
    QVERIFY(view.toPlainText().contains(QStringLiteral("序列号：")));
    QVERIFY(!view.isBackwardAvailable());
}

void TestPageService::showCdPageReportsCatalogErrors()
{
    TDetailView view;
    view.RegisterPageHandler(m_pictures);
    m_catalog->Dm().DbBase.SetConnected(false);
    m_catalog->Dm().NameCatalog(m_catalog->FilePath(QStringLiteral("Gone.MDB")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("No document for")));
    QVERIFY_THROWS_EXCEPTION(EAppError, view.ShowCdPage(m_full));
    QVERIFY(!m_catalog->Dm().Q2.Active());

    m_catalog->Dm().NameCatalog(m_catalog->FilePath(QStringLiteral("Test.MDB")));
    view.ShowCdPage(m_full);
    QVERIFY(view.toPlainText().contains(QStringLiteral("藏金阁")));
}

// Real clicks: the cover opens the picture file, a web address of the memo
// opens in the web browser, and the view stays on its page.
void TestPageService::clickingTheCoverAndAMemoLink()
{
    DiscFields fields;
    fields.Name = QStringLiteral("有链接");
    fields.Picture = QStringLiteral("cover.jpg");
    fields.Memo = QStringLiteral("官网 https://example.com/disc 见");
    const int id = AddDisc(fields);

    TDetailView view;
    QList<QUrl> opened;
    view.OpenUrlHook = [&opened](const QUrl &url) { opened << url; };
    view.RegisterPageHandler(m_pictures);
    view.resize(700, 400);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.ShowCdPage(id);

    // Where each link sits on the screen.
    const auto linkPoint = [&view](const QString &href) -> QPoint {
        for (QTextBlock block = view.document()->begin(); block.isValid(); block = block.next()) {
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                if (fragment.charFormat().anchorHref() != href)
                    continue;
                QTextCursor cursor(view.document());
                cursor.setPosition(fragment.position());
                const QRect rect = view.cursorRect(cursor);
                return QPoint(rect.left() + 4, rect.center().y());
            }
        }
        return {-1, -1};
    };
    const QUrl cover = QUrl::fromLocalFile(m_pictures + QStringLiteral("/cover.jpg"));
    const QUrl web(QStringLiteral("https://example.com/disc"));
    for (const QUrl &link : {cover, web}) {
        const QPoint point = linkPoint(link.toString(QUrl::FullyEncoded));
        QVERIFY2(point.x() >= 0, qPrintable(link.toString()));
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, point);
    }
    QCOMPARE(opened, (QList<QUrl>{cover, web}));
    QCOMPARE(view.source(), TOurNSHandler::PageUrl(id));
    QVERIFY(view.toPlainText().contains(QStringLiteral("有链接")));
}

void TestPageService::linkRouting_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("opened"); // empty: nothing handed to the desktop

    QTest::newRow("picture folder") << "file://{dir}/Picture"
                                    << "file://{dir}/Picture";
    QTest::newRow("mail") << "mailto:a@example.com"
                          << "mailto:a@example.com";
    QTest::newRow("our own page") << "http://vorlix/cd.htm?2" << QString();
    QTest::newRow("our own picture") << "http://vorlix/cover.jpg" << QString();
    QTest::newRow("file out of the folder") << "file://{dir}/secret.txt" << QString();
    QTest::newRow("climbing out of the folder") << "file://{dir}/Picture/../secret.txt" << QString();
    QTest::newRow("file in a subfolder") << "file://{dir}/Picture/sub/inner.jpg" << QString();
    QTest::newRow("system file") << "file:///etc/passwd" << QString();
    QTest::newRow("script") << "javascript:alert(1)" << QString();
    QTest::newRow("other scheme") << "smb://server/share" << QString();
}

void TestPageService::linkRouting()
{
    QFETCH(QString, url);
    QFETCH(QString, opened);

    TDetailView view;
    QList<QUrl> handed;
    view.OpenUrlHook = [&handed](const QUrl &url) { handed << url; };
    view.RegisterPageHandler(m_pictures);
    view.ShowCdPage(m_full);
    emit view.anchorClicked(QUrl(Expand(url)));
    QCOMPARE(handed, opened.isEmpty() ? QList<QUrl>() : QList<QUrl>{QUrl(Expand(opened))});
    QCOMPARE(view.source(), TOurNSHandler::PageUrl(m_full));
}

QTEST_MAIN(TestPageService)
#include "tst_pageservice.moc"
