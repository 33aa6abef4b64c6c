// Reading spreadsheet tables and turning their rows into discs.
#include "media/CsvReader.h"
#include "store/catalog/ImportFields.h"
#include "store/catalog/ImportPlan.h"
#include "store/catalog/ImportValues.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <new>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace CsvReader;

Q_DECLARE_METATYPE(QList<QStringList>)

namespace {

QByteArray Gb(const QString &text)
{
    QStringEncoder e("GB18030");
    return e.encode(text);
}

QList<QStringList> Fields(const QList<TRecord> &records)
{
    QList<QStringList> out;
    for (const TRecord &r : records)
        out << r.Fields;
    return out;
}

} // namespace

class TestCsvRead : public QObject
{
    Q_OBJECT

private slots:
    void reads_data();
    void reads();
    void recordNumbersCountPhysicalRows();
    void guessesColumns_data();
    void guessesColumns();
    void dates_data();
    void dates();
    void prices_data();
    void prices();
    void problemsAndChoices_data();
    void problemsAndChoices();
    void codeRepeatedInTheFile();
    void codesOfALargeFileInFileOrder();
    void keepsTheFirstColumnsOfAWideLine();
    void formulaMarkDropped_data();
    void formulaMarkDropped();
    void priceCells_data();
    void priceCells();
    void folderPathsCutAtTheTreesDepth();
    void coversOnlyPicturesBesideTheTable_data();
    void coversOnlyPicturesBesideTheTable();
    void errorOnAWorkerThreadReachesTheCaller();
};

void TestCsvRead::reads_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("encoding");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<bool>("header");
    QTest::addColumn<QList<QStringList>>("rows");

    QTest::newRow("spreadsheet UTF-8 with BOM, CR LF")
        << QByteArray("\xEF\xBB\xBF") + QStringLiteral("名称,编号,价格\r\n英雄,A1,¥35.00\r\n").toUtf8()
        << int(TEncoding::Utf8) << "," << true
        << QList<QStringList>{{"名称", "编号", "价格"}, {"英雄", "A1", "¥35.00"}};
    QTest::newRow("spreadsheet GB18030 CSV, quoted comma")
        << Gb(QStringLiteral("片名,分类\r\n\"霸王别姬,上\",电影\r\n")) << int(TEncoding::Gb18030) << "," << true
        << QList<QStringList>{{"片名", "分类"}, {"霸王别姬,上", "电影"}};
    QTest::newRow("tab separated, UTF-8 without BOM")
        << QStringLiteral("Title\tYear\n活着\t1994\n").toUtf8() << int(TEncoding::Utf8) << "\t" << true
        << QList<QStringList>{{"Title", "Year"}, {"活着", "1994"}};
    QTest::newRow("semicolons with decimal commas")
        << QByteArray("Name;Price\nAlien;12,50\n") << int(TEncoding::Utf8) << ";" << true
        << QList<QStringList>{{"Name", "Price"}, {"Alien", "12,50"}};
    QTest::newRow("quotes with line breaks and doubled quotes")
        << QStringLiteral("名称,说明\r\n\"大话\"\"西游\"\"\",\"第一行\r\n第二行, 带逗号\"\r\n").toUtf8()
        << int(TEncoding::Utf8) << "," << true
        << QList<QStringList>{{"名称", "说明"}, {"大话\"西游\"", "第一行\r\n第二行, 带逗号"}};
    QTest::newRow("peer program export, English headers, all quoted")
        << QByteArray("\"Title\",\"Barcode\",\"Genre\",\"Comments\"\n\"Heat\",\"0123\",\"Crime\",\"\"\n")
        << int(TEncoding::Utf8) << "," << true
        << QList<QStringList>{{"Title", "Barcode", "Genre", "Comments"}, {"Heat", "0123", "Crime", ""}};
    QTest::newRow("ragged rows, blank rows left out, no header, no final line end")
        << QByteArray("a,b,c\n,,\n\nd\ne,f,g,h") << int(TEncoding::Utf8) << "," << false
        << QList<QStringList>{{"a", "b", "c"}, {"d"}, {"e", "f", "g", "h"}};
}

void TestCsvRead::reads()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, encoding);
    QFETCH(QString, separator);
    QFETCH(bool, header);
    QFETCH(QList<QStringList>, rows);

    QCOMPARE(int(DetectEncoding(bytes)), encoding);
    const QString text = Decode(bytes, TEncoding::Auto);
    QVERIFY(!text.startsWith(QChar(0xFEFF)));
    const QChar sep = DetectSeparator(text);
    QCOMPARE(QString(sep), separator);
    const QList<TRecord> records = Parse(text, sep);
    QCOMPARE(Fields(records), rows);
    QCOMPARE(ImportFields::IsHeaderRow(records.first().Fields), header);
}

void TestCsvRead::recordNumbersCountPhysicalRows()
{
    // A GBK file read as UTF-8 by hand gives other text than the detected reading.
    const QByteArray gbk = Gb(QStringLiteral("名称\n"));
    QVERIFY(Decode(gbk, TEncoding::Utf8) != QStringLiteral("名称\n"));
    QCOMPARE(Decode(gbk, TEncoding::Gb18030), QStringLiteral("名称\n"));

    const QList<TRecord> records = Parse(QStringLiteral("h\n\n\"x\ny\"\nz\n"), QLatin1Char(','));
    QCOMPARE(records.size(), 3);
    QCOMPARE(records.at(1).Number, 3);
    QCOMPARE(records.at(2).Number, 4);
}

void TestCsvRead::guessesColumns_data()
{
    QTest::addColumn<QStringList>("header");
    QTest::addColumn<QList<int>>("expected");
    using namespace ImportFields;
    QTest::newRow("Chinese") << QStringList{"片名", "编号",     "条码", "年份", "类别", "品质",
                                            "价格", "存放位置", "简介", "封面", "目录"}
                             << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    QTest::newRow("English, case and blanks ignored, first column wins")
        << QStringList{"Notes", " TITLE ", "UPC", "Release Date", "Genre", "Title", "Cover", "Path", "Price"}
        << QList<int>{1, -1, 2, 3, 4, -1, 8, -1, 0, 6, 7};
    for (const char *price : {"价格(元)", "价格（元）", "售价", "金额"})
        QTest::newRow(price) << QStringList{"名称", QString::fromUtf8(price)}
                             << QList<int>{0, -1, -1, -1, -1, -1, 1, -1, -1, -1, -1};
}

void TestCsvRead::guessesColumns()
{
    QFETCH(QStringList, header);
    QFETCH(QList<int>, expected);
    QCOMPARE(ImportFields::GuessMapping(header), expected);
}

void TestCsvRead::dates_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("date");
    QTest::newRow("iso") << "2019-03-01" << QDate(2019, 3, 1);
    QTest::newRow("slashes") << "2019/3/1" << QDate(2019, 3, 1);
    QTest::newRow("dots") << "2019.3.1" << QDate(2019, 3, 1);
    QTest::newRow("Chinese") << "2019年3月1日" << QDate(2019, 3, 1);
    QTest::newRow("Chinese month") << "2019年3月" << QDate(2019, 3, 1);
    QTest::newRow("bare year") << "2019" << QDate(2019, 1, 1);
    QTest::newRow("with time") << "2019/3/1 10:20:00" << QDate(2019, 3, 1);
    QTest::newRow("no such day") << "2019-02-30" << QDate();
    QTest::newRow("words") << "去年" << QDate();
    QTest::newRow("day first") << "01/03/2019" << QDate();
}

void TestCsvRead::dates()
{
    QFETCH(QString, text);
    QFETCH(QDate, date);
    const auto parsed = ImportValues::ParseDate(text);
    QCOMPARE(parsed.value_or(QDate()), date);
}

void TestCsvRead::prices_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("price");
    QTest::addColumn<bool>("ok");
    QTest::newRow("plain") << "35" << 35.0 << true;
    QTest::newRow("yen sign") << "¥35.50" << 35.5 << true;
    QTest::newRow("full-width yen and blanks") << " ￥ 12.5 " << 12.5 << true;
    QTest::newRow("yuan") << "20元" << 20.0 << true;
    QTest::newRow("thousands") << "1,234.50" << 1234.5 << true;
    QTest::newRow("misplaced comma") << "12,50" << 0.0 << false;
    QTest::newRow("words") << "免费" << 0.0 << false;
    QTest::newRow("too large") << "1e300" << 0.0 << false;
}

void TestCsvRead::prices()
{
    QFETCH(QString, text);
    QFETCH(double, price);
    QFETCH(bool, ok);
    const auto parsed = ImportValues::ParsePrice(text);
    QCOMPARE(parsed.has_value(), ok);
    if (ok)
        QCOMPARE(*parsed, price);
}

void TestCsvRead::problemsAndChoices_data()
{
    using namespace ImportPlan;
    QTest::addColumn<QStringList>("cells"); // 名称, 编号, 日期, 价格, 封面
    QTest::addColumn<int>("problem");
    QTest::addColumn<int>("choice");
    QTest::addColumn<bool>("skipped");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("code");

    QTest::newRow("empty name") << QStringList{"", "", "", "", ""} << int(EmptyName) << int(TChoice::Skip) << true << ""
                                << "";
    QTest::newRow("existing code, skip") << QStringList{"甲", "old", "", "", ""} << int(CodeClash) << int(TChoice::Skip)
                                         << true << "甲"
                                         << "";
    QTest::newRow("existing code other case, leave empty")
        << QStringList{"甲", "OLD", "", "", ""} << int(CodeClash) << int(TChoice::Empty) << false << "甲"
        << "";
    QTest::newRow("wide name, cut at a whole character") << QStringList{"一二三四五六七八九十壹", "", "", "", ""}
                                                         << int(TooWide) << int(TChoice::Cut) << false << "一二三四五"
                                                         << "";
    QTest::newRow("wide name, skip") << QStringList{"一二三四五六", "", "", "", ""} << int(TooWide)
                                     << int(TChoice::Skip) << true << "一二三四五"
                                     << "";
    QTest::newRow("bad date, leave empty")
        << QStringList{"甲", "", "明年", "", ""} << int(BadDate) << int(TChoice::Empty) << false << "甲"
        << "";
    QTest::newRow("bad price, skip") << QStringList{"甲", "", "", "很贵", ""} << int(BadPrice) << int(TChoice::Skip)
                                     << true << "甲"
                                     << "";
    QTest::newRow("missing picture, leave empty")
        << QStringList{"甲", "", "", "", "无.jpg"} << int(MissingPicture) << int(TChoice::Empty) << false << "甲"
        << "";
}

void TestCsvRead::problemsAndChoices()
{
    using namespace ImportPlan;
    QFETCH(QStringList, cells);
    QFETCH(int, problem);
    QFETCH(int, choice);
    QFETCH(bool, skipped);
    QFETCH(QString, name);
    QFETCH(QString, code);

    TSettings settings;
    settings.Mapping = ImportFields::GuessMapping({"名称", "编号", "日期", "价格", "封面"});
    settings.Widths.Name = 11; // an odd width: a Chinese character takes two bytes
    settings.Widths.Spell = 20;
    settings.ExistingCodes = {QStringLiteral("old")};
    settings.Choices[problem] = TChoice(choice);
    const QList<TRow> rows = Build({TRecord{7, cells}}, settings);
    QCOMPARE(rows.size(), 1);
    const TRow &row = rows.first();
    QCOMPARE(row.Number, 7);
    QCOMPARE(row.Skipped, skipped);
    QCOMPARE(row.Problems.size(), 1);
    QVERIFY2(row.Problems.first().startsWith(ProblemText(TProblem(problem))), qPrintable(row.Problems.first()));
    if (problem == EmptyName) // the problem's name says it all
        QCOMPARE(row.Problems.first(), QStringLiteral("名称为空（跳过该行）"));
    if (!skipped) {
        QCOMPARE(row.Disc.Name, name);
        QCOMPARE(row.Disc.Code, code);
        QCOMPARE(row.HasDay, false);
        QCOMPARE(row.PictureSource, QString());
    }
}

void TestCsvRead::codeRepeatedInTheFile()
{
    using namespace ImportPlan;
    TSettings settings;
    settings.Mapping = ImportFields::GuessMapping({"名称", "编号"});
    settings.Choices[CodeClash] = TChoice::Empty;
    // A row that is skipped takes no code; letter case does not tell codes apart.
    const QList<TRow> rows =
        Build({{2, {"", "a7"}}, {3, {"甲", "A7"}}, {4, {"乙", "a7"}}, {5, {"丙", ""}}, {6, {"丁", ""}}}, settings);
    QCOMPARE(rows.size(), 5);
    QVERIFY(rows.at(0).Skipped);
    QCOMPARE(rows.at(1).Disc.Code, QStringLiteral("A7"));
    QVERIFY(rows.at(1).Problems.isEmpty());
    QCOMPARE(rows.at(2).Disc.Code, QString());
    QVERIFY(!rows.at(2).Skipped);
    QCOMPARE(rows.at(2).Problems.size(), 1);
    QVERIFY(rows.at(3).Problems.isEmpty() && rows.at(4).Problems.isEmpty()); // empty codes never clash
}

// A large file's rows are read on several threads: the codes are still
// taken in file order, and a clash is told in its place among a row's
// problems.
void TestCsvRead::codesOfALargeFileInFileOrder()
{
    using namespace ImportPlan;
    TSettings settings;
    settings.Mapping = ImportFields::GuessMapping({"名称", "编号", "日期"});
    settings.Choices[CodeClash] = TChoice::Empty;
    settings.Choices[BadDate] = TChoice::Empty;
    QList<CsvReader::TRecord> records;
    for (int i = 0; i < 6000; ++i)
        records.append({i + 2,
                        {QStringLiteral("片%1").arg(i), QStringLiteral("C%1").arg(i % 3000),
                         i % 1000 == 999 ? QStringLiteral("坏日期") : QString()}});
    records.append({6002, {QString(), QStringLiteral("Z"), QString()}}); // skipped: takes no code
    records.append({6003, {QStringLiteral("末"), QStringLiteral("z"), QString()}});
    const QList<TRow> rows = Build(records, settings);
    QCOMPARE(rows.size(), 6002);
    for (int i = 0; i < 6000; ++i) {
        const TRow &row = rows.at(i);
        QCOMPARE(row.Number, i + 2);
        QCOMPARE(row.Disc.Code, i < 3000 ? QStringLiteral("C%1").arg(i) : QString());
        QStringList expected;
        if (i >= 3000)
            expected << ProblemText(CodeClash);
        if (i % 1000 == 999)
            expected << ProblemText(BadDate);
        QCOMPARE(row.Problems.size(), expected.size());
        for (int p = 0; p < expected.size(); ++p)
            QVERIFY2(row.Problems.at(p).startsWith(expected.at(p)), qPrintable(row.Problems.at(p)));
    }
    QVERIFY(rows.at(6000).Skipped);
    QCOMPARE(rows.at(6001).Disc.Code, QStringLiteral("z"));
}

// A line of a hundred thousand columns: only the first MaxColumns are kept,
// the rest counted; a record whose only text lies past them still counts.
void TestCsvRead::keepsTheFirstColumnsOfAWideLine()
{
    const int wide = 100000;
    QString text = QStringLiteral("名称") + QString(wide - 1, QLatin1Char(',')) + QStringLiteral("\n甲\n");
    text += QString(wide - 1, QLatin1Char(',')) + QStringLiteral("末\n");
    QElapsedTimer timer;
    timer.start();
    const QList<TRecord> records = Parse(text, QLatin1Char(','), ImportFields::MaxColumns);
    QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(records.size(), 3);
    QCOMPARE(records.at(0).Fields.size(), ImportFields::MaxColumns);
    QCOMPARE(records.at(0).Quoted.size(), ImportFields::MaxColumns);
    QCOMPARE(records.at(0).Columns, wide);
    QCOMPARE(records.at(1).Fields, QStringList{QStringLiteral("甲")});
    QCOMPARE(records.at(1).Columns, 1);
    QCOMPARE(records.at(2).Number, 3);
    QCOMPARE(records.at(2).Columns, wide);
    // Without a limit every field is kept.
    QCOMPARE(Parse(QStringLiteral("a,b,c"), QLatin1Char(',')).first().Fields.size(), 3);
}

void TestCsvRead::formulaMarkDropped_data()
{
    QTest::addColumn<QString>("line");         // 名称,编号,价格,说明
    QTest::addColumn<QStringList>("expected"); // name, code, price (in hundredths), memo
    QTest::newRow("equals sign") << "'=SUM(A1),'@x,'-5,'+1" << QStringList{"=SUM(A1)", "@x", "-500", "+1"};
    QTest::newRow("quoted tab and carriage return")
        << "\"'\tTab\",A1,,\"'\rCR\"" << QStringList{"\tTab", "A1", "", "\rCR"};
    QTest::newRow("apostrophe before anything else stays")
        << "'Tis,'7,,'' =x" << QStringList{"'Tis", "'7", "", "'' =x"};
    QTest::newRow("doubled apostrophe loses one only") << "''=x,,," << QStringList{"''=x", "", "", ""};
}

void TestCsvRead::formulaMarkDropped()
{
    using namespace ImportPlan;
    QFETCH(QString, line);
    QFETCH(QStringList, expected);
    TSettings settings;
    settings.Mapping = ImportFields::GuessMapping({"名称", "编号", "价格", "说明"});
    const QList<TRow> rows = Build(Parse(line, QLatin1Char(',')), settings);
    QCOMPARE(rows.size(), 1);
    const TRow &row = rows.first();
    QCOMPARE(row.Disc.Name, expected.at(0));
    QCOMPARE(row.Disc.Code, expected.at(1));
    QCOMPARE(row.HasPrice ? QString::number(*row.Disc.Price / 100) : QString(), expected.at(2));
    QCOMPARE(row.Disc.Memo, expected.at(3));
}

void TestCsvRead::priceCells_data()
{
    using namespace ImportPlan;
    QTest::addColumn<QString>("cell");
    QTest::addColumn<int>("choice"); // for a negative price
    QTest::addColumn<bool>("hasPrice");
    QTest::addColumn<qint64>("price");
    QTest::addColumn<QString>("problem");
    QTest::addColumn<bool>("skipped");
    QTest::newRow("empty: no price, not free") << "" << int(TChoice::Keep) << false << 0LL << "" << false;
    QTest::newRow("blanks only") << "  " << int(TChoice::Keep) << false << 0LL << "" << false;
    QTest::newRow("free") << "0" << int(TChoice::Keep) << true << 0LL << "" << false;
    QTest::newRow("negative, kept and told")
        << "-12.5" << int(TChoice::Keep) << true << -125000LL << "价格为负数：-12.5（照样导入）" << false;
    QTest::newRow("negative, left empty")
        << "¥-3" << int(TChoice::Empty) << false << 0LL << "价格为负数：¥-3（留空）" << false;
    QTest::newRow("negative, skipped") << "-1" << int(TChoice::Skip) << false << 0LL << "价格为负数：-1（跳过该行）"
                                       << true;
}

void TestCsvRead::priceCells()
{
    using namespace ImportPlan;
    QFETCH(QString, cell);
    QFETCH(int, choice);
    QFETCH(bool, hasPrice);
    QFETCH(qint64, price);
    QFETCH(QString, problem);
    QFETCH(bool, skipped);
    TSettings settings;
    QCOMPARE(settings.Choices[NegativePrice], TChoice::Keep); // said, and taken as it is
    settings.Mapping = ImportFields::GuessMapping({"名称", "价格"});
    settings.Choices[NegativePrice] = TChoice(choice);
    const TRow row = Build({TRecord{2, {QStringLiteral("甲"), cell}}}, settings).first();
    QCOMPARE(row.Skipped, skipped);
    if (!skipped) {
        QCOMPARE(row.HasPrice, hasPrice);
        QCOMPARE(row.Disc.Price.value_or(-1), price);
    }
    QCOMPARE(row.Problems, problem.isEmpty() ? QStringList() : QStringList{problem});
}

// A folder column deeper than the tree shows is cut at its depth (or the row
// skipped), and a path of 200,000 levels costs no more than its text.
void TestCsvRead::folderPathsCutAtTheTreesDepth()
{
    using namespace ImportPlan;
    TSettings settings;
    settings.Mapping = ImportFields::GuessMapping({"名称", "目录"});
    QString deep;
    for (int level = 0; level < 200000; ++level)
        deep += QStringLiteral("d%1/").arg(level % 10);
    QElapsedTimer timer;
    timer.start();
    QList<TRow> rows =
        Build({{2, {QStringLiteral("深"), deep}}, {3, {QStringLiteral("浅"), QStringLiteral("a/b")}}}, settings);
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(rows.at(0).FolderPath.size(), MaxFolderDepth);
    QCOMPARE(rows.at(0).FolderPath.last(), QStringLiteral("d9"));
    QVERIFY(!rows.at(0).Skipped);
    QCOMPARE(rows.at(0).Problems, QStringList{QStringLiteral("光盘夹目录层数过多：超过1000层（截断文字）")});
    QVERIFY(rows.at(1).Problems.isEmpty());

    // Below a target that is itself deep, fewer levels are left.
    settings.FolderLevels = 1;
    settings.Choices[FolderTooDeep] = TChoice::Skip;
    rows = Build({{2, {QStringLiteral("浅"), QStringLiteral("a/b")}}, {3, {QStringLiteral("浅"), QStringLiteral("a")}}},
                 settings);
    QVERIFY(rows.at(0).Skipped);
    QVERIFY(!rows.at(1).Skipped);
    QCOMPARE(rows.at(1).FolderPath, QStringList{QStringLiteral("a")});
}

void TestCsvRead::coversOnlyPicturesBesideTheTable_data()
{
    QTest::addColumn<QString>("cover");  // {dir} stands for the table's folder
    QTest::addColumn<QString>("source"); // the file copied, relative to the table's folder; empty for none
    QTest::addColumn<QString>("problem");
    QTest::newRow("picture beside the table") << "a.png"
                                              << "a.png"
                                              << "";
    QTest::newRow("picture in a folder below") << "sub/b.png"
                                               << "sub/b.png"
                                               << "";
    QTest::newRow("absolute path inside") << "{dir}/a.png"
                                          << "a.png"
                                          << "";
    QTest::newRow("link to a picture beside it") << "link-to-a.png"
                                                 << "a.png"
                                                 << "";
    QTest::newRow("climbing out") << "../../../../etc/passwd"
                                  << ""
                                  << "封面不在文件所在的文件夹中";
    QTest::newRow("absolute path outside") << "/etc/passwd"
                                           << ""
                                           << "封面不在文件所在的文件夹中";
    QTest::newRow("process environment") << "/proc/self/environ"
                                         << ""
                                         << "封面不在文件所在的文件夹中";
    QTest::newRow("link leading out") << "passwd.png"
                                      << ""
                                      << "封面不在文件所在的文件夹中";
    QTest::newRow("folder beside it that merely starts alike") << "../table-x/c.png"
                                                               << ""
                                                               << "封面不在文件所在的文件夹中";
    QTest::newRow("text named as a picture") << "text.png"
                                             << ""
                                             << "封面不是图片";
    QTest::newRow("missing") << "none.png"
                             << ""
                             << "封面图片文件不存在";
    QTest::newRow("a folder") << "sub"
                              << ""
                              << "封面图片文件不存在";
}

void TestCsvRead::coversOnlyPicturesBesideTheTable()
{
    using namespace ImportPlan;
    QFETCH(QString, cover);
    QFETCH(QString, source);
    QFETCH(QString, problem);
    QTemporaryDir temp;
    const QString dir = temp.filePath(QStringLiteral("table"));
    QVERIFY(QDir().mkpath(dir + QStringLiteral("/sub")) && QDir().mkpath(temp.filePath(QStringLiteral("table-x"))));
    auto write = [](const QString &path, const QByteArray &bytes) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    };
    const QByteArray picture("PICTURE");
    QVERIFY(write(dir + QStringLiteral("/a.png"), picture) && write(dir + QStringLiteral("/sub/b.png"), picture) &&
            write(temp.filePath(QStringLiteral("table-x/c.png")), picture) &&
            write(dir + QStringLiteral("/text.png"), "text"));
    QVERIFY(QFile::link(dir + QStringLiteral("/a.png"), dir + QStringLiteral("/link-to-a.png")));
    QVERIFY(QFile::link(QStringLiteral("/etc/passwd"), dir + QStringLiteral("/passwd.png")));

    TSettings settings;
    settings.Mapping = ImportFields::GuessMapping({"名称", "封面"});
    settings.PictureFolder = dir;
    QStringList looked;
    // Stands for the program's picture reader: a file beginning "PICTURE".
    settings.IsPicture = [&](const QString &path) {
        looked << path;
        QFile file(path);
        return file.open(QIODevice::ReadOnly) && file.read(7) == "PICTURE";
    };
    cover.replace(QStringLiteral("{dir}"), dir);
    const TRow row = Build({TRecord{2, {QStringLiteral("甲"), cover}}}, settings).first();
    QCOMPARE(row.PictureSource, source.isEmpty() ? QString() : QFileInfo(dir + u'/' + source).canonicalFilePath());
    QCOMPARE(row.Skipped, !problem.isEmpty());
    if (!problem.isEmpty())
        QVERIFY2(row.Problems.value(0).startsWith(problem + u'：'), qPrintable(row.Problems.join(u';')));
    // A file outside the table's folder is never opened.
    for (const QString &path : std::as_const(looked))
        QVERIFY2(path.startsWith(QFileInfo(dir).canonicalFilePath() + u'/'), qPrintable(path));
}

// A row that runs out of memory on one of the threads that read a large
// file: the error comes back to the caller, to be told like any other,
// instead of ending the program. Run in a child process whose address space
// is capped just above what it holds.
void TestCsvRead::errorOnAWorkerThreadReachesTheCaller()
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // The sanitizers' allocators end the process on running out of memory
    // instead of throwing, and the thread sanitizer starts no thread in a
    // child forked from a process with threads: the plain build alone can
    // show this.
    QSKIP("the sanitizers end the process when an allocation fails");
#endif
    using namespace ImportPlan;
    TSettings settings;
    settings.Mapping = ImportFields::GuessMapping({"名称", "目录"});
    QList<CsvReader::TRecord> records;
    for (int i = 0; i < 4000; ++i)
        records.append({i + 2, {QStringLiteral("片%1").arg(i), QStringLiteral("a")}});
    // The last run's rows go to another thread; one of them names a folder
    // that takes more memory to copy than the process may take.
    const qsizetype huge = qsizetype(96) << 20;
    records.last().Fields[1] = QString(huge, QLatin1Char('x'));

    const pid_t child = fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        long pages = 0;
        if (FILE *statm = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(statm, "%ld", &pages) != 1)
                pages = 0;
            std::fclose(statm);
        }
        const rlim_t cap = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (rlim_t(64) << 20);
        const rlimit limit{cap, cap};
        if (pages == 0 || setrlimit(RLIMIT_AS, &limit) != 0)
            _exit(3);
        try {
            Build(records, settings);
        } catch (const std::bad_alloc &) {
            _exit(0);
        } catch (...) {
            _exit(2);
        }
        _exit(1);
    }
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    QVERIFY2(WIFEXITED(status), qPrintable(QStringLiteral("ended by signal %1").arg(WTERMSIG(status))));
    QCOMPARE(WEXITSTATUS(status), 0);
}

QTEST_GUILESS_MAIN(TestCsvRead)
#include "tst_csvread.moc"
