#include "tests/support/CatalogFixture.h"

#include "media/CsvReader.h"
#include "store/catalog/DiscExport.h"
#include "store/catalog/ImportFields.h"
#include "store/catalog/ImportPlan.h"
#include "store/catalog/ImportStore.h"
#include "store/catalog/Schema.h"
#include "store/engine/DAODatabase.h"
#include "store/engine/DAOQuery.h"
#include "store/engine/DateUtils.h"
#include "store/engine/Errors.h"

#include <QStringDecoder>
#include <QTest>

namespace {

struct Disc
{
    QString serial, code, name, memo, picture, location;
    int folder;
    double price;
    QDate day; // invalid: no date (NULL)
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

// The columns a disc list shows, in its order.
const QStringList ShownFields = {QStringLiteral("Serial"), QStringLiteral("Day"), QStringLiteral("Name"),
                                 QStringLiteral("Category"), QStringLiteral("Price")};

} // namespace

class TestDiscExport : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void writesDiscsAsSpreadsheetsRead_data();
    void writesDiscsAsSpreadsheetsRead();
    void textsNeverRunAsFormulas_data();
    void textsNeverRunAsFormulas();
    void failedWriteLeavesFileAlone();
    void exportReadsBackAsTheSameCatalog_data();
    void exportReadsBackAsTheSameCatalog();

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
    exec(QStringLiteral("INSERT INTO TbQuality (Id,Name) VALUES (7,'良好')"));
    const QString fifty = QString(QStringLiteral("长")).repeated(50);
    m_discs = {
        {QStringLiteral("A001"), QStringLiteral("C1"), QStringLiteral("霸王别姬"),
         QStringLiteral("第一行\n第二行，\"引号\""), QStringLiteral("bawang.jpg"), QStringLiteral("柜子 \"A\", 第2层"),
         12, 12.5, QDate(2019, 5, 1)},
        {QStringLiteral("A002"), QStringLiteral("C2"), QStringLiteral("Tom \"The\" Cat, Jr."), QString(), QString(),
         QStringLiteral("书架"), 13, 0, QDate(2001, 12, 31)},
        {QStringLiteral("A003"), QStringLiteral("C3"), fifty, QStringLiteral(" \ttab\t and trailing "),
         QStringLiteral("封面 1.png"), QString(), 1, 1234.005, QDate(1999, 1, 2)},
        {QStringLiteral("A004"), QString(), QStringLiteral(" 前后空格 "), QStringLiteral("\n\r\n"), QString(),
         QString(), 11, 3, QDate()},
    };
    for (const Disc &d : m_discs)
        exec(QStringLiteral("INSERT INTO TbCd (Serial,Code,Name,Day,CId,QId,TId,Price,Location,Memo,Picture,Spell) "
                            "VALUES (%1,%2,%3,%4,5,7,%5,%6,%7,%8,%9,'')")
                 .arg(Sql(d.serial), Sql(d.code), Sql(d.name),
                      d.day.isValid() ? QString::number(DateUtils::ToDays(d.day), 'f', 1) : QStringLiteral("NULL"))
                 .arg(d.folder)
                 .arg(QString::number(d.price, 'f', 4), Sql(d.location), Sql(d.memo), Sql(d.picture)));
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

    // A disc without a date and without a price, as older catalogs hold.
    TDAOQuery q;
    q.SetDatabase(m_db.get());
    q.SetSQL(
        QStringLiteral("INSERT INTO TbCd (Serial,Name,Day,TId,Price,Spell) VALUES ('A005','无日期',NULL,1,NULL,'')"));
    q.Execute();
    Disc undated{
        QStringLiteral("A005"), QString(), QStringLiteral("无日期"), QString(), QString(), QString(), 1, 0, QDate()};

    TDAOQuery all;
    DiscExport::OpenAllDiscs(all, *m_db);
    const QString path = m_catalog->FilePath(QStringLiteral("列表.csv"));
    QCOMPARE(
        DiscExport::WriteDiscs(all, DiscExport::DiscColumns(ShownFields), DiscExport::FolderPaths(*m_db), format, path),
        m_discs.size() + 1);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    QCOMPARE(bytes.startsWith("\xEF\xBB\xBF"), bom);
    if (bom)
        bytes.remove(0, 3);
    QStringDecoder decoder(encoding.constData());
    const QString text = decoder.decode(bytes);
    QVERIFY(!decoder.hasError());

    // Every field, the list's columns first; the rest whatever the list
    // shows, among them the location it cannot show.
    const QList<QStringList> rows = ParseTable(text, separator);
    QCOMPARE(rows.size(), m_discs.size() + 2);
    QCOMPARE(rows[0], (QStringList{QStringLiteral("序列号"), QStringLiteral("日期"), QStringLiteral("名称"),
                                   QStringLiteral("分类"), QStringLiteral("价格"), QStringLiteral("编号"),
                                   QStringLiteral("质量"), QStringLiteral("位置"), QStringLiteral("光盘夹目录"),
                                   QStringLiteral("说明"), QStringLiteral("封面")}));
    const QHash<int, QString> folderPaths = {{1, QString()},
                                             {11, QStringLiteral("电影/华语")},
                                             {12, QStringLiteral("电影/华语/2019")},
                                             {13, QStringLiteral("音乐, \"现场\"")}};
    for (const QStringList &row : rows.mid(1)) {
        if (row[0] == undated.serial) {
            QCOMPARE(row, (QStringList{undated.serial, QString(), undated.name, QString(), QString(), QString(),
                                       QString(), QString(), QString(), QString(), QString()}));
            continue;
        }
        const auto disc =
            std::find_if(m_discs.cbegin(), m_discs.cend(), [&](const Disc &d) { return d.serial == row[0]; });
        QVERIFY2(disc != m_discs.cend(), qPrintable(row.join(u'|')));
        const QStringList expected = {disc->serial,
                                      disc->day.toString(QStringLiteral("yyyy-MM-dd")),
                                      disc->name,
                                      QStringLiteral("剧情"),
                                      QString::number(disc->price, 'f', 2),
                                      disc->code,
                                      QStringLiteral("良好"),
                                      disc->location,
                                      folderPaths.value(disc->folder),
                                      disc->memo,
                                      disc->picture};
        QCOMPARE(row, expected);
    }
}

void TestDiscExport::textsNeverRunAsFormulas_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("cell");
    const QString link = QStringLiteral("=HYPERLINK(\"http://example.com/?q=1\",\"点这里\")");
    QTest::newRow("formula") << link << QLatin1Char('\'') + link;
    QTest::newRow("plus") << QStringLiteral("+1+2") << QStringLiteral("'+1+2");
    QTest::newRow("minus") << QStringLiteral("-1+2") << QStringLiteral("'-1+2");
    QTest::newRow("at") << QStringLiteral("@SUM(1,2)") << QStringLiteral("'@SUM(1,2)");
    QTest::newRow("tab first") << QStringLiteral("\t=1+2") << QStringLiteral("'\t=1+2");
    QTest::newRow("carriage return first") << QStringLiteral("\r=1+2") << QStringLiteral("'\r=1+2");
    QTest::newRow("sign inside") << QStringLiteral("A=1+2") << QStringLiteral("A=1+2");
}

void TestDiscExport::textsNeverRunAsFormulas()
{
    // Every text a user typed (code, name, location, description, folder
    // name) is written so that a spreadsheet shows it instead of running
    // it; a negative price stays a number.
    QFETCH(QString, text);
    QFETCH(QString, cell);
    TDAOQuery q;
    q.SetDatabase(m_db.get());
    q.SetSQL(QStringLiteral("INSERT INTO TbTree (ID,Id1,Name) VALUES (20,1,%1)").arg(Sql(text)));
    q.Execute();
    q.SetSQL(QStringLiteral("INSERT INTO TbCd (Serial,Code,Name,TId,Price,Location,Memo,Spell) "
                            "VALUES ('F1',%1,%1,20,-3,%1,%1,'')")
                 .arg(Sql(text)));
    q.Execute();

    for (const auto format : {DiscExport::TFormat::CsvUtf8, DiscExport::TFormat::TabSeparated}) {
        TDAOQuery all;
        DiscExport::OpenAllDiscs(all, *m_db);
        const QString path = m_catalog->FilePath(QStringLiteral("公式.csv"));
        const QList<DiscExport::TColumn> columns = DiscExport::DiscColumns(
            {QStringLiteral("Serial"), QStringLiteral("Code"), QStringLiteral("Name"), QStringLiteral("Location"),
             QStringLiteral("Memo"), DiscExport::FolderPathField, QStringLiteral("Price")});
        DiscExport::WriteDiscs(all, columns, DiscExport::FolderPaths(*m_db), format, path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QStringList> rows =
            ParseTable(QString::fromUtf8(file.readAll().mid(3)),
                       format == DiscExport::TFormat::TabSeparated ? QLatin1Char('\t') : QLatin1Char(','));
        const auto row = std::find_if(rows.cbegin(), rows.cend(),
                                      [](const QStringList &r) { return r.value(0) == QLatin1String("F1"); });
        QVERIFY(row != rows.cend());
        QCOMPARE(row->mid(1, 6), (QStringList{cell, cell, cell, cell, cell, QStringLiteral("-3.00")}));
    }
}

void TestDiscExport::failedWriteLeavesFileAlone()
{
    TDAOQuery all;
    DiscExport::OpenAllDiscs(all, *m_db);
    const QString path = m_catalog->FilePath(QStringLiteral("没有的文件夹/列表.csv"));
    try {
        DiscExport::WriteDiscs(all, DiscExport::DiscColumns(), {}, DiscExport::TFormat::CsvUtf8, path);
        QFAIL("written into a missing folder");
    } catch (const EFileError &e) {
        QVERIFY2(e.Message().contains(QStringLiteral("列表.csv")), qPrintable(e.Message()));
    }
    QVERIFY(!QFile::exists(path));
}

// Each disc of a catalog as one line of text: its values, the names of its
// category and grade and its folder's path; sorted, so two catalogs holding
// the same discs give the same list whatever their record numbers.
QStringList DiscsOf(TDAODatabase &db)
{
    const QHash<int, QString> paths = DiscExport::FolderPaths(db);
    TDAOQuery q;
    q.SetDatabase(&db);
    q.SetSQL(QStringLiteral("SELECT A.Serial,A.Code,A.Name,A.Memo,A.Location,A.Picture,A.Price,A.Day,A.TId,"
                            "B.Name AS Category,C.Name AS Quality FROM (TbCd AS A LEFT JOIN TbCategory AS B "
                            "ON A.CId=B.Id) LEFT JOIN TbQuality AS C ON A.QId=C.Id"));
    q.Open();
    QStringList discs;
    for (q.First(); !q.AtEnd(); q.Next()) {
        QStringList values;
        for (const char *field : {"Serial", "Code", "Name", "Memo", "Location", "Picture", "Category", "Quality"})
            values << q.Field(QLatin1String(field)).AsString();
        values << QString::number(q.Field(QStringLiteral("Price")).AsFloat(), 'f', 2)
               << DateUtils::FormatDate(q.Field(QStringLiteral("Day")).AsDateTime())
               << paths.value(q.Field(QStringLiteral("TId")).AsInteger());
        discs << values.join(QLatin1String(" | "));
    }
    discs.sort();
    return discs;
}

QStringList NamesOf(TDAODatabase &db, const QString &table)
{
    TDAOQuery q;
    q.SetDatabase(&db);
    q.SetSQL(QStringLiteral("SELECT Name FROM %1").arg(table));
    q.Open();
    QStringList names;
    for (q.First(); !q.AtEnd(); q.Next())
        names << q.Field(QStringLiteral("Name")).AsString();
    names.sort();
    return names;
}

void TestDiscExport::exportReadsBackAsTheSameCatalog_data()
{
    QTest::addColumn<DiscExport::TFormat>("format");
    QTest::newRow("csv utf-8") << DiscExport::TFormat::CsvUtf8;
    QTest::newRow("csv gb18030") << DiscExport::TFormat::CsvGb18030;
    QTest::newRow("tab") << DiscExport::TFormat::TabSeparated;
}

void TestDiscExport::exportReadsBackAsTheSameCatalog()
{
    // What a collector exports, imported into an empty catalog, is the same
    // collection: every field of the discs, their folders, categories,
    // grades and covers.
    QFETCH(DiscExport::TFormat, format);
    TDAOQuery all;
    DiscExport::OpenAllDiscs(all, *m_db);
    const QString path = m_catalog->FilePath(QStringLiteral("导出.csv"));
    DiscExport::WriteDiscs(all, DiscExport::DiscColumns(), DiscExport::FolderPaths(*m_db), format, path);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = CsvReader::Decode(file.readAll(), CsvReader::TEncoding::Auto);
    const QList<CsvReader::TRecord> records = CsvReader::Parse(text, CsvReader::DetectSeparator(text));
    QCOMPARE(records.size(), m_discs.size() + 1);

    // Each heading names a field of its own, and every field has one.
    const QStringList headings = records[0].Fields;
    QSet<int> named;
    for (const QString &heading : headings)
        named.insert(ImportFields::GuessField(heading));
    QVERIFY2(!named.contains(-1) && named.size() == headings.size(), qPrintable(headings.join(u',')));
    QCOMPARE(named.size(), int(ImportFields::FieldCount));

    // The covers named in the file lie beside it, as in the picture folder.
    for (const Disc &d : std::as_const(m_discs)) {
        if (d.picture.isEmpty())
            continue;
        QFile cover(m_catalog->FilePath(d.picture));
        QVERIFY(cover.open(QIODevice::WriteOnly));
    }

    CatalogFixture target;
    TDAODatabase db;
    target.Attach(db);
    db.SetConnected(true);
    ImportPlan::TSettings settings;
    settings.Mapping = ImportFields::GuessMapping(headings);
    settings.Widths = ImportStore::ReadWidths(db);
    settings.PictureFolder = QFileInfo(path).absolutePath();
    const QList<ImportPlan::TRow> rows = ImportPlan::Build(records.mid(1), settings);
    for (const ImportPlan::TRow &row : rows)
        QVERIFY2(!row.Skipped && row.Problems.isEmpty(), qPrintable(row.Problems.join(u';')));
    ImportStore::TCallbacks callbacks;
    callbacks.Step = [] { return true; };
    callbacks.StorePicture = [](const QString &source) { return QFileInfo(source).fileName(); };
    const ImportStore::TReport report = ImportStore::Import(db, rows, Schema::RootFolderId, callbacks);
    QCOMPARE(report.Added, m_discs.size());

    QCOMPARE(DiscsOf(db), DiscsOf(*m_db));
    for (const QString &table : {QStringLiteral("TbCategory"), QStringLiteral("TbQuality")})
        QCOMPARE(NamesOf(db, table), NamesOf(*m_db, table));
    QStringList paths = DiscExport::FolderPaths(db).values(), expected = DiscExport::FolderPaths(*m_db).values();
    paths.sort();
    expected.sort();
    QCOMPARE(paths, expected);
}

QTEST_GUILESS_MAIN(TestDiscExport)
#include "tst_discexport.moc"
