#include "CatalogFixture.h"

#include "CsvReader.h"
#include "DAODatabase.h"
#include "DAOQuery.h"
#include "DateUtils.h"
#include "DiscExport.h"
#include "Errors.h"
#include "ImportFields.h"
#include "ImportPlan.h"
#include "ImportStore.h"
#include "Schema.h"

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
        const auto disc =
            std::find_if(m_discs.cbegin(), m_discs.cend(), [&](const Disc &d) { return d.serial == row[0]; });
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

// Each disc of a catalog as one line of text: its values, the names of its
// category and grade and its folder's path; sorted, so two catalogs holding
// the same discs give the same list whatever their record numbers.
QStringList DiscsOf(TDAODatabase &db)
{
    const QHash<int, QString> paths = DiscExport::FolderPaths(db);
    TDAOQuery q;
    q.SetDatabase(&db);
    q.SetSQL(QStringLiteral("SELECT A.Serial,A.Code,A.Name,A.Memo,A.Location,A.Price,A.Day,A.TId,"
                            "B.Name AS Category,C.Name AS Quality FROM (TbCd AS A LEFT JOIN TbCategory AS B "
                            "ON A.CId=B.Id) LEFT JOIN TbQuality AS C ON A.QId=C.Id"));
    q.Open();
    QStringList discs;
    for (q.First(); !q.AtEnd(); q.Next()) {
        QStringList values;
        for (const char *field : {"Serial", "Code", "Name", "Memo", "Location", "Category", "Quality"})
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
    // collection: discs, folders, categories and grades.
    QFETCH(DiscExport::TFormat, format);
    TDAOQuery q;
    q.SetDatabase(m_db.get());
    q.SetSQL(QStringLiteral("INSERT INTO TbQuality (Id,Name) VALUES (7,'良好')"));
    q.Execute();
    q.SetSQL(QStringLiteral("UPDATE TbCd SET QId=7, Code='C'||ID, Location='柜子 \"A\", 第2层'"));
    q.Execute();

    TDAOQuery all;
    DiscExport::OpenAllDiscs(all, *m_db);
    const QList<DiscExport::TColumn> columns =
        QList<DiscExport::TColumn>{{QStringLiteral("Serial"), QStringLiteral("序列号")},
                                   {QStringLiteral("Day"), QStringLiteral("日期")},
                                   {QStringLiteral("Code"), QStringLiteral("编号")},
                                   {QStringLiteral("Name"), QStringLiteral("名称")},
                                   {QStringLiteral("Category"), QStringLiteral("分类")},
                                   {QStringLiteral("Quality"), QStringLiteral("质量")},
                                   {QStringLiteral("Price"), QStringLiteral("价格")},
                                   {QStringLiteral("Location"), QStringLiteral("位置")}} +
        DiscExport::ExtraColumns();
    const QString path = m_catalog->FilePath(QStringLiteral("导出.csv"));
    DiscExport::WriteDiscs(all, columns, DiscExport::FolderPaths(*m_db), format, path);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = CsvReader::Decode(file.readAll(), CsvReader::TEncoding::Auto);
    const QList<CsvReader::TRecord> records = CsvReader::Parse(text, CsvReader::DetectSeparator(text));
    QCOMPARE(records.size(), m_discs.size() + 1);
    QVERIFY(ImportFields::IsHeaderRow(records[0].Fields));

    CatalogFixture target;
    TDAODatabase db;
    target.Attach(db);
    db.SetConnected(true);
    ImportPlan::TSettings settings;
    settings.Mapping = ImportFields::GuessMapping(records[0].Fields);
    settings.Mapping[ImportFields::Cover] = -1; // the covers travel in a complete backup
    settings.Widths = ImportStore::ReadWidths(db);
    const QList<ImportPlan::TRow> rows = ImportPlan::Build(records.mid(1), settings);
    for (const ImportPlan::TRow &row : rows)
        QVERIFY2(!row.Skipped && row.Problems.isEmpty(), qPrintable(row.Problems.join(u';')));
    ImportStore::TCallbacks callbacks;
    callbacks.Step = [] { return true; };
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
