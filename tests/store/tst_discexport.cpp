#include "CatalogFixture.h"

#include "DAODatabase.h"
#include "DAOQuery.h"
#include "DateUtils.h"
#include "DiscExport.h"
#include "Errors.h"

#include <QStringDecoder>
#include <QTest>

namespace {

struct Disc
{
    QString serial, name, memo, picture, location;
    int folder;
    double price;
    QDate day;
};

QString Sql(const QString &text)
{
    QString t = text;
    t.replace(QLatin1Char('\''), QLatin1String("''"));
    // Statements are sent as one line: line breaks go in as characters.
    t.replace(QLatin1Char('\r'), QLatin1String("'||char(13)||'"));
    t.replace(QLatin1Char('\n'), QLatin1String("'||char(10)||'"));
    return QLatin1Char('\'') + t + QLatin1Char('\'');
}

// Splits a file's text the way a spreadsheet program reads it: quoted
// values may hold the separator, doubled quotes and line breaks.
QList<QStringList> ParseTable(const QString &text, QChar separator)
{
    QList<QStringList> rows;
    QStringList row;
    QString value;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
                value += c;
                ++i;
            } else if (c == QLatin1Char('"')) {
                quoted = false;
            } else {
                value += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == separator) {
            row << value;
            value.clear();
        } else if (c == QLatin1Char('\r')) {
            continue;
        } else if (c == QLatin1Char('\n')) {
            row << value;
            rows << row;
            row.clear();
            value.clear();
        } else {
            value += c;
        }
    }
    return rows;
}

const QList<DiscExport::TColumn> ShownColumns = {
    {QStringLiteral("Serial"), QStringLiteral("序列号")}, {QStringLiteral("Day"), QStringLiteral("日期")},
    {QStringLiteral("Name"), QStringLiteral("名称")},     {QStringLiteral("Category"), QStringLiteral("分类")},
    {QStringLiteral("Price"), QStringLiteral("价格")},
};

} // namespace

class TestDiscExport : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void writesDiscsAsSpreadsheetsRead_data();
    void writesDiscsAsSpreadsheetsRead();
    void failedWriteLeavesFileAlone();

private:
    std::unique_ptr<CatalogFixture> m_catalog;
    std::unique_ptr<TDAODatabase> m_db;
    QList<Disc> m_discs;
};

void TestDiscExport::init()
{
    m_catalog = std::make_unique<CatalogFixture>();
    m_db = std::make_unique<TDAODatabase>();
    m_catalog->Attach(*m_db);
    m_db->SetConnected(true);
    TDAOQuery q;
    q.SetDatabase(m_db.get());
    auto exec = [&](const QString &sql) {
        q.SetSQL(sql);
        q.Execute();
    };
    exec(QStringLiteral("INSERT INTO TbTree (ID,Id1,Name) VALUES (10,1,'电影'),(11,10,'华语'),(12,11,'2019'),"
                        "(13,1,'音乐, \"现场\"')"));
    exec(QStringLiteral("INSERT INTO TbCategory (Id,Name) VALUES (5,'剧情')"));
    const QString fifty = QString(QStringLiteral("长")).repeated(50);
    m_discs = {
        {QStringLiteral("A001"), QStringLiteral("霸王别姬"), QStringLiteral("第一行\n第二行，\"引号\""),
         QStringLiteral("bawang.jpg"), QString(), 12, 12.5, QDate(2019, 5, 1)},
        {QStringLiteral("A002"), QStringLiteral("Tom \"The\" Cat, Jr."), QString(), QString(), QString(), 13, 0,
         QDate(2001, 12, 31)},
        {QStringLiteral("A003"), fifty, QStringLiteral("\ttab\t and trailing "), QStringLiteral("封面 1.png"),
         QString(), 1, 1234.005, QDate(1999, 1, 2)},
        {QStringLiteral("=1+2"), QStringLiteral(" 前后空格 "), QStringLiteral("\r\n"), QString(), QString(), 11, 3,
         QDate(2020, 2, 29)},
    };
    for (const Disc &d : m_discs)
        exec(QStringLiteral("INSERT INTO TbCd (Serial,Name,Day,CId,TId,Price,Memo,Picture,Spell) "
                            "VALUES (%1,%2,%3,5,%4,%5,%6,%7,'')")
                 .arg(Sql(d.serial), Sql(d.name), QString::number(DateUtils::ToDays(d.day), 'f', 1))
                 .arg(d.folder)
                 .arg(QString::number(d.price, 'f', 4), Sql(d.memo), Sql(d.picture)));
}

void TestDiscExport::cleanup()
{
    m_db.reset();
    m_catalog.reset();
}

void TestDiscExport::writesDiscsAsSpreadsheetsRead_data()
{
    QTest::addColumn<DiscExport::TFormat>("format");
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<bool>("bom");
    QTest::addColumn<QChar>("separator");
    QTest::newRow("csv utf-8") << DiscExport::TFormat::CsvUtf8 << QByteArray("UTF-8") << true << QChar(u',');
    QTest::newRow("csv gb18030") << DiscExport::TFormat::CsvGb18030 << QByteArray("GB18030") << false << QChar(u',');
    QTest::newRow("tab") << DiscExport::TFormat::TabSeparated << QByteArray("UTF-8") << true << QChar(u'\t');
}

void TestDiscExport::writesDiscsAsSpreadsheetsRead()
{
    QFETCH(DiscExport::TFormat, format);
    QFETCH(QByteArray, encoding);
    QFETCH(bool, bom);
    QFETCH(QChar, separator);

    TDAOQuery all;
    DiscExport::OpenAllDiscs(all, *m_db);
    const QString path = m_catalog->FilePath(QStringLiteral("列表.csv"));
    const auto columns = ShownColumns + DiscExport::ExtraColumns();
    QCOMPARE(DiscExport::WriteDiscs(all, columns, DiscExport::FolderPaths(*m_db), format, path), m_discs.size());

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    QCOMPARE(bytes.startsWith("\xEF\xBB\xBF"), bom);
    if (bom)
        bytes.remove(0, 3);
    QStringDecoder decoder(encoding.constData());
    const QString text = decoder.decode(bytes);
    QVERIFY(!decoder.hasError());

    const QList<QStringList> rows = ParseTable(text, separator);
    QCOMPARE(rows.size(), m_discs.size() + 1);
    QCOMPARE(rows[0], (QStringList{QStringLiteral("序列号"), QStringLiteral("日期"), QStringLiteral("名称"),
                                   QStringLiteral("分类"), QStringLiteral("价格"), QStringLiteral("目录"),
                                   QStringLiteral("说明"), QStringLiteral("封面")}));
    const QHash<int, QString> folderPaths = {{1, QString()},
                                             {11, QStringLiteral("电影/华语")},
                                             {12, QStringLiteral("电影/华语/2019")},
                                             {13, QStringLiteral("音乐, \"现场\"")}};
    for (const QStringList &row : rows.mid(1)) {
        const auto disc = std::find_if(m_discs.cbegin(), m_discs.cend(),
                                       [&](const Disc &d) { return d.serial == row[0]; });
        QVERIFY2(disc != m_discs.cend(), qPrintable(row.join(u'|')));
        const QStringList expected = {disc->serial,
                                      disc->day.toString(QStringLiteral("yyyy-MM-dd")),
                                      disc->name,
                                      QStringLiteral("剧情"),
                                      QString::number(disc->price, 'f', 2),
                                      folderPaths.value(disc->folder),
                                      disc->memo,
                                      disc->picture};
        QCOMPARE(row, expected);
    }
}

void TestDiscExport::failedWriteLeavesFileAlone()
{
    TDAOQuery all;
    DiscExport::OpenAllDiscs(all, *m_db);
    const QString path = m_catalog->FilePath(QStringLiteral("没有的文件夹/列表.csv"));
    try {
        DiscExport::WriteDiscs(all, ShownColumns, {}, DiscExport::TFormat::CsvUtf8, path);
        QFAIL("written into a missing folder");
    } catch (const EFileError &e) {
        QVERIFY2(e.Message().contains(QStringLiteral("列表.csv")), qPrintable(e.Message()));
    }
    QVERIFY(!QFile::exists(path));
}

QTEST_GUILESS_MAIN(TestDiscExport)
#include "tst_discexport.moc"
