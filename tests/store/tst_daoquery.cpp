// The data-access layer: cursor, columns, editing, errors.
#include "store/engine/CatalogOpening.h"
#include "store/engine/DAODatabase.h"
#include "store/engine/DAOQuery.h"
#include "store/engine/DateUtils.h"
#include "store/engine/Errors.h"
#include "store/engine/RowReader.h"
#include "tests/support/CatalogFixture.h"

#include <QTest>

#include <sqlcipher/sqlite3.h>

namespace {

// Reads one value straight from the file, through a connection of its own.
QString RawValue(const QString &path, const QString &sql)
{
    const TCatalogHandle db = OpenCatalogHandle(path, QString::fromLatin1(Schema::CatalogPassword), true);
    QString value = QStringLiteral("<no row>");
    bool first = true;
    RunStatement(db.get(), sql.toUtf8(), [&](sqlite3_stmt *row) {
        if (first)
            value = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(row, 0)));
        first = false;
    });
    return value;
}

// The connection and its raw statements are the engine's own: code above it
// reads rows through TRowReader and cannot take the handle.
template <typename Db> constexpr bool TakesHandle = requires(Db &db)
{
    db.Handle();
};
template <typename Db> constexpr bool PreparesRaw = requires(Db &db)
{
    db.Prepare(QString());
};
template <typename Db> constexpr bool Executes = requires(Db &db)
{
    db.Exec(QString());
};
static_assert(!TakesHandle<TDAODatabase> && !PreparesRaw<TDAODatabase> && Executes<TDAODatabase>);

} // namespace

class TestDAOQuery : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void emptyResult();
    void maxOfEmptyTableIsOneNullRow();
    void columnNamesIgnoreCase();
    void declaredColumns();
    void columnTypesRoundTrip();
    void longResultKeepsEveryValue();
    void textKeepsWholeCharacters_data();
    void textKeepsWholeCharacters();
    void appendGivesNewKeyNeverReused();
    void joinWritesDiscTable();
    void editWithoutKey();
    void deleteRowsAndBookmarks();
    void locate();
    void afterScrollRaisedOnMovesOnly();
    void misuseErrors();
    void engineErrorsLeaveStateAsItWas();
    void connectionProperties();
    void closingDatabaseClosesQueries();
    void emptyPasswordOpensPlainFile();
    void suspendSharesOneTransaction();
    void suspendKeepsWorkDoneBeforeError();
    void rowReaderGivesEachStoredKind_data();
    void rowReaderGivesEachStoredKind();
    void forEachRowFinishesEveryStatement();
    void connectionIdentityAndLastKey();

private:
    void AddDiscs(int count);

    std::unique_ptr<CatalogFixture> m_catalog;
    std::unique_ptr<TDAODatabase> m_db;
    std::unique_ptr<TDAOQuery> m_q;
};

void TestDAOQuery::init()
{
    m_catalog = std::make_unique<CatalogFixture>(Schema::Layout::Build102, true);
    m_db = std::make_unique<TDAODatabase>();
    m_catalog->Attach(*m_db);
    m_q = std::make_unique<TDAOQuery>();
    m_q->SetDatabase(m_db.get());
}

void TestDAOQuery::cleanup()
{
    m_q.reset();
    m_db.reset();
    m_catalog.reset();
}

void TestDAOQuery::AddDiscs(int count)
{
    TDAOQuery q;
    q.SetDatabase(m_db.get());
    q.SetSQL(QStringLiteral("SELECT * FROM TbCd"));
    q.Open();
    for (int i = 1; i <= count; ++i) {
        q.Append();
        q.Field("Name").SetAsString(QStringLiteral("光盘%1").arg(i));
        q.Field("Code").SetAsString(QString::number(i));
        q.Field("TId").SetAsInteger(1);
        q.Post();
    }
}

void TestDAOQuery::emptyResult()
{
    int scrolls = 0;
    m_q->AfterScroll = [&](TDAODataset &) { ++scrolls; };
    m_q->SetSQL("SELECT * FROM TbCd WHERE Id=999");
    m_q->Open();
    QVERIFY(m_q->AtEnd());
    QCOMPARE(m_q->RowCount(), 0);
    QCOMPARE(scrolls, 0);
    QCOMPARE(m_q->Field("Name").AsString(), QString());
    QCOMPARE(m_q->Field("Id").AsInteger(), 0);
    QCOMPARE(m_q->Field("Day").AsDateTime(), 0.0);
}

void TestDAOQuery::maxOfEmptyTableIsOneNullRow()
{
    m_q->SetSQL("SELECT Max(Id) As Code FROM TbCd");
    m_q->Open();
    QCOMPARE(m_q->RowCount(), 1);
    QVERIFY(!m_q->AtEnd());
    QVERIFY(m_q->Field("Code").IsNull());
    QCOMPARE(m_q->Field("code").AsString(), QString());
}

void TestDAOQuery::columnNamesIgnoreCase()
{
    AddDiscs(1);
    m_q->SetSQL("SELECT * FROM TbCd");
    m_q->Open();
    QCOMPARE(m_q->Field("Id").FieldName(), QStringLiteral("ID"));
    QCOMPARE(m_q->Field("id").AsInteger(), 1);
    QVERIFY(!m_q->FindField("Nope"));
    QVERIFY_THROWS_EXCEPTION(EDAODatabaseError, m_q->Field("Nope"));
}

void TestDAOQuery::declaredColumns()
{
    AddDiscs(1);
    m_q->FieldDefs = {{"ID", TFieldType::Integer, 0}, {"Name", TFieldType::Text, 4}};
    m_q->SetSQL("SELECT * FROM TbCd");
    m_q->Open();
    QCOMPARE(m_q->FieldCount(), 2);
    QCOMPARE(m_q->Field("Id").AsInteger(), 1);
    m_q->Edit();
    m_q->Field("Name").SetAsString(QStringLiteral("一二三"));
    m_q->Post();
    QCOMPARE(m_q->Field("Name").AsString(), QStringLiteral("一二")); // the declared size counts

    TDAOQuery other;
    other.SetDatabase(m_db.get());
    other.FieldDefs = {{"Missing", TFieldType::Text, 20}};
    other.SetSQL("SELECT * FROM TbCd");
    QVERIFY_THROWS_EXCEPTION(EDAODatabaseError, other.Open());
    QVERIFY(!other.Active());
}

void TestDAOQuery::columnTypesRoundTrip()
{
    const double day = DateUtils::ToDays(QDateTime(QDate(2004, 3, 1), QTime(18, 30)));
    m_q->SetSQL("SELECT * FROM TbCd");
    m_q->Open();
    m_q->Append();
    m_q->Field("Day").SetAsDateTime(day);
    m_q->Field("Price").SetAsCurrency(123456); // 12.3456
    m_q->Field("Name").SetAsString(QStringLiteral("藏金阁"));
    m_q->Field("Memo").SetAsString(QStringLiteral("第一行\r\n第二行"));
    m_q->Field("CId").SetAsInteger(-7);
    m_q->Post();

    QCOMPARE(m_q->Field("Day").AsDateTime(), day);
    QCOMPARE(m_q->Field("Day").AsString(), QStringLiteral("2004-03-01 18:30:00"));
    QCOMPARE(m_q->Field("Day").DataType(), TFieldType::DateTime);
    QCOMPARE(m_q->Field("Price").AsCurrency(), TCurrency(123456));
    QCOMPARE(m_q->Field("Price").DataType(), TFieldType::Currency);
    QCOMPARE(m_q->Field("Memo").DataType(), TFieldType::Memo);
    QCOMPARE(m_q->Field("Name").Size(), 100);
    QCOMPARE(m_q->Field("CId").AsInteger(), -7);
    QCOMPARE(m_q->Field("Spell").AsString(), QString()); // the column's default

    // The file holds UTF-8 text and comparable numbers.
    QCOMPARE(RawValue(m_catalog->Path(), "SELECT Name FROM TbCd"), QStringLiteral("藏金阁"));
    QCOMPARE(RawValue(m_catalog->Path(), "SELECT count(*) FROM TbCd WHERE Price=12.3456"), QStringLiteral("1"));
    QCOMPARE(RawValue(m_catalog->Path(), "SELECT count(*) FROM TbCd WHERE Day>38047 AND Day<38048"),
             QStringLiteral("1"));
}

// A result larger than the rows' first blocks of memory: every value is
// where it was read, also when the same query is read again shorter and
// longer.
void TestDAOQuery::longResultKeepsEveryValue()
{
    const auto sql = [](int rows) {
        return QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<") +
               QString::number(rows) +
               QStringLiteral(") SELECT i AS Num, printf('光盘名称很长的一张光盘%06d', i) AS Name, "
                              "CASE WHEN i%3=0 THEN NULL WHEN i%3=1 THEN '' ELSE i*0.5 END AS Other FROM n");
    };
    for (const int rows : {60000, 10, 80000}) {
        m_q->SetSQL(sql(rows));
        m_q->Open();
        QCOMPARE(m_q->RowCount(), rows);
        for (const int row : {0, 1, 2, rows / 2, rows - 1}) {
            const int i = row + 1;
            m_q->MoveTo(row);
            QCOMPARE(m_q->Field("Num").AsInteger(), i);
            QCOMPARE(m_q->Field("Name").AsString(),
                     QStringLiteral("光盘名称很长的一张光盘%1").arg(i, 6, 10, QLatin1Char('0')));
            const QVariant other = m_q->ValueAt(row, 2);
            if (i % 3 == 0)
                QVERIFY(other.isNull());
            else if (i % 3 == 1)
                QCOMPARE(other.toString(), QString());
            else
                QCOMPARE(other.toDouble(), i * 0.5);
        }
    }
}

void TestDAOQuery::textKeepsWholeCharacters_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::newRow("fits") << QStringLiteral("英雄") << QStringLiteral("英雄");
    // The column holds 40 bytes.
    const QString ten = QStringLiteral("一二三四五六七八九十");
    QTest::newRow("50 bytes of ASCII") << QString(50, QLatin1Char('x')) << QString(40, QLatin1Char('x'));
    QTest::newRow("25 Chinese characters") << ten + ten + ten.left(5) << ten + ten;
    QTest::newRow("cut would split a character")
        << QStringLiteral("a") + ten + ten << QStringLiteral("a") + ten + ten.left(9);
}

void TestDAOQuery::textKeepsWholeCharacters()
{
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    m_q->SetSQL("SELECT * FROM TbCategory");
    m_q->Open();
    m_q->Append();
    m_q->Field("Name").SetAsString(typed);
    QCOMPARE(m_q->Field("Name").AsString(), stored);
    m_q->Post();
    QCOMPARE(RawValue(m_catalog->Path(), "SELECT Name FROM TbCategory ORDER BY Id DESC"), stored);
}

void TestDAOQuery::appendGivesNewKeyNeverReused()
{
    m_q->SetSQL("SELECT * FROM TbCategory");
    m_q->Open();
    const int before = m_q->RowCount();
    m_q->Append();
    m_q->Field("Name").SetAsString(QStringLiteral("纪录片"));
    m_q->Post();
    QCOMPARE(m_q->RowCount(), before + 1);
    QCOMPARE(m_q->CurrentRow(), before);
    const int key = m_q->Field("Id").AsInteger();
    QCOMPARE(key, 8);
    QCOMPARE(m_q->Field("Name").AsString(), QStringLiteral("纪录片"));

    m_q->Delete();
    m_q->Append();
    m_q->Field("Name").SetAsString(QStringLiteral("新闻"));
    m_q->Post();
    QCOMPARE(m_q->Field("Id").AsInteger(), key + 1);
}

void TestDAOQuery::joinWritesDiscTable()
{
    AddDiscs(2);
    m_q->SetSQL("SELECT A.*,B.Name AS Category,C.Name AS Quality FROM (TbCd AS A LEFT JOIN TbCategory AS B ON "
                "A.CId=B.Id) LEFT JOIN TbQuality AS C ON A.QId=C.Id WHERE A.Id=2");
    m_q->Open();
    QVERIFY(m_q->Field("Category").ReadOnly());
    QVERIFY(!m_q->Field("Name").ReadOnly());
    m_q->Edit();
    m_q->Field("Name").SetAsString(QStringLiteral("大话西游"));
    m_q->Field("CId").SetAsInteger(2);
    QVERIFY_THROWS_EXCEPTION(EDAOError, m_q->Field("Category").SetAsString(QStringLiteral("x")));
    m_q->Post();
    QCOMPARE(RawValue(m_catalog->Path(), "SELECT Name FROM TbCd WHERE ID=2"), QStringLiteral("大话西游"));
    QCOMPARE(RawValue(m_catalog->Path(), "SELECT Name FROM TbCd WHERE ID=1"), QStringLiteral("光盘1"));

    m_q->Append();
    m_q->Field("Name").SetAsString(QStringLiteral("新盘"));
    m_q->Post();
    QCOMPARE(m_q->Field("Id").AsInteger(), 3);
    QCOMPARE(RawValue(m_catalog->Path(), "SELECT Name FROM TbCd WHERE ID=3"), QStringLiteral("新盘"));
}

void TestDAOQuery::editWithoutKey()
{
    AddDiscs(3);
    m_q->SetSQL("SELECT Name,Spell FROM TbCd");
    m_q->Open();
    for (m_q->First(); !m_q->AtEnd(); m_q->Next()) {
        m_q->Edit();
        m_q->Field("Spell").SetAsString(QStringLiteral("GP") + m_q->Field("Name").AsString().right(1));
        m_q->Post();
    }
    QCOMPARE(RawValue(m_catalog->Path(), "SELECT group_concat(Spell) FROM TbCd"), QStringLiteral("GP1,GP2,GP3"));
}

void TestDAOQuery::deleteRowsAndBookmarks()
{
    AddDiscs(5);
    m_q->SetSQL("SELECT * FROM TbCd");
    m_q->Open();
    m_q->Last();
    const TBookmark fifth = m_q->Bookmark();
    m_q->First();
    m_q->Next();
    const TBookmark second = m_q->Bookmark();
    m_q->Next();
    const TBookmark third = m_q->Bookmark();

    m_q->GotoBookmark(second);
    m_q->Delete();
    QCOMPARE(m_q->RowCount(), 4);
    QCOMPARE(m_q->Field("Id").AsInteger(), 3); // the next row becomes current
    QVERIFY(!m_q->BookmarkValid(second));
    QVERIFY_THROWS_EXCEPTION(EDAODatabaseError, m_q->GotoBookmark(second));

    m_q->GotoBookmark(fifth);
    QCOMPARE(m_q->Field("Id").AsInteger(), 5);
    m_q->Delete();
    QCOMPARE(m_q->Field("Id").AsInteger(), 4); // the last row went: the one before
    m_q->GotoBookmark(third);
    QCOMPARE(m_q->Field("Id").AsInteger(), 3);
    QCOMPARE(RawValue(m_catalog->Path(), "SELECT group_concat(ID) FROM TbCd"), QStringLiteral("1,3,4"));

    // A pending new row is dropped, not a stored one.
    m_q->Append();
    m_q->Delete();
    QCOMPARE(m_q->RowCount(), 3);
}

void TestDAOQuery::locate()
{
    AddDiscs(4);
    m_q->SetSQL("SELECT * FROM TbCd");
    m_q->Open();
    int scrolls = 0;
    m_q->AfterScroll = [&](TDAODataset &) { ++scrolls; };
    QVERIFY(m_q->Locate("id", 3));
    QCOMPARE(m_q->Field("Name").AsString(), QStringLiteral("光盘3"));
    QCOMPARE(scrolls, 1);
    QVERIFY(!m_q->Locate("Id", 42));
    QCOMPARE(m_q->Field("Id").AsInteger(), 3);
    QCOMPARE(scrolls, 1);
    QVERIFY(m_q->Locate("Name", QStringLiteral("光盘2")));
    QCOMPARE(m_q->Field("Id").AsInteger(), 2);
}

void TestDAOQuery::afterScrollRaisedOnMovesOnly()
{
    AddDiscs(3);
    int scrolls = 0;
    m_q->AfterScroll = [&](TDAODataset &) { ++scrolls; };
    m_q->SetSQL("SELECT * FROM TbCd");
    m_q->Open();
    QCOMPARE(scrolls, 1);
    m_q->Next();
    m_q->Last();
    m_q->First();
    QCOMPARE(scrolls, 4);
    m_q->Last();
    m_q->Next(); // past the end: no move
    QVERIFY(m_q->AtEnd());
    QCOMPARE(scrolls, 5);
    m_q->Edit();
    m_q->Field("Serial").SetAsString(QStringLiteral("S"));
    m_q->Post();
    m_q->MoveTo(0); // a bound view's move
    QCOMPARE(scrolls, 6);
}

void TestDAOQuery::misuseErrors()
{
    TDAOQuery orphan;
    orphan.SetSQL("SELECT * FROM TbCd");
    try {
        orphan.Open();
        QFAIL("opened without a database");
    } catch (const EDAODatabaseError &e) {
        QCOMPARE(e.Message(), QStringLiteral("Cannot perform this operation without Database property"));
    }

    m_q->SetSQL("SELECT * FROM TbCd");
    m_q->Open();
    try {
        m_q->Delete();
        QFAIL("deleted from an empty result");
    } catch (const EDAODatabaseError &e) {
        QCOMPARE(e.Message(), QStringLiteral("Cannot perform this operation on an empty dataset"));
    }
    try {
        m_q->Field("Name").SetAsString(QStringLiteral("x"));
        QFAIL("wrote while browsing");
    } catch (const EDAODatabaseError &e) {
        QCOMPARE(e.Message(), QStringLiteral("Dataset not in edit or insert mode"));
    }
    QVERIFY_THROWS_EXCEPTION(EDAODatabaseError, m_q->Post());

    // A result that is not one table's rows cannot be written.
    m_q->SetSQL("SELECT Max(Id) As Code FROM TbCd");
    m_q->Open();
    QVERIFY_THROWS_EXCEPTION(EDAOError, m_q->Edit());
}

void TestDAOQuery::engineErrorsLeaveStateAsItWas()
{
    m_q->SetSQL("SELECT Nope FROM TbCd");
    try {
        m_q->Open();
        QFAIL("opened a bad statement");
    } catch (const EDAOError &e) {
        // The engine's words go to the details, the sentence is Chinese.
        QVERIFY2(!e.Message().contains(QLatin1String("no such column")), qPrintable(e.Message()));
        QVERIFY2(e.Details().contains(QLatin1String("no such column")), qPrintable(e.Details()));
    }
    QVERIFY(!m_q->Active());

    // Two discs with the same code are refused by the file itself; two
    // without a code, or with a blank one, are fine.
    AddDiscs(1);
    m_q->SetSQL("SELECT * FROM TbCd");
    m_q->Open();
    m_q->Append();
    m_q->Field("Code").SetAsString(QStringLiteral("1"));
    QVERIFY_THROWS_EXCEPTION(EDAOError, m_q->Post());
    QCOMPARE(m_q->State(), TDataSetState::Insert);
    m_q->Field("Code").SetAsString(QString());
    m_q->Post();
    m_q->Append();
    m_q->Field("Code").SetAsString(QString());
    m_q->Post();
    for (int i = 0; i < 2; ++i) {
        m_q->Append();
        m_q->Field("Code").SetAsString(QStringLiteral("  "));
        m_q->Post();
    }
    QCOMPARE(m_q->RowCount(), 5);
}

void TestDAOQuery::connectionProperties()
{
    m_db->SetConnected(true);
    QVERIFY(m_db->Connected());
    try {
        m_db->SetDatabaseName(m_catalog->FilePath("Other.MDB"));
        QFAIL("renamed an open database");
    } catch (const EDAODatabaseError &e) {
        QCOMPARE(e.Message(), QStringLiteral("Cannot perform this operation on an open database"));
    }
    QVERIFY_THROWS_EXCEPTION(EDAODatabaseError, m_db->SetPassword(QStringLiteral("x")));
    m_db->SetDatabaseName(m_catalog->Path()); // the same name is accepted
    QCOMPARE(m_db->DatabaseName(), m_catalog->Path());
    QVERIFY(m_db->Connected());
    m_db->SetVersion(QStringLiteral("9"));
    QCOMPARE(m_db->Version(), QStringLiteral("1.99"));
}

void TestDAOQuery::closingDatabaseClosesQueries()
{
    TDAOQuery tree;
    tree.SetDatabase(m_db.get());
    tree.SetSQL("SELECT * FROM TbTree");
    tree.Open();
    m_q->SetSQL("SELECT * FROM TbCd");
    m_q->Open();
    m_db->SetConnected(false);
    QVERIFY(!tree.Active());
    QVERIFY(!m_q->Active());
    tree.Open(); // reconnects
    QVERIFY(m_db->Connected());
    QCOMPARE(tree.RowCount(), 1);
}

void TestDAOQuery::emptyPasswordOpensPlainFile()
{
    const QString plain = m_catalog->FilePath("Plain.MDB");
    Schema::CreateCatalog(plain, Schema::Layout::Build102, false, QString());
    TDAODatabase db;
    db.SetDatabaseName(plain);
    db.SetPassword(QString());
    TDAOQuery q;
    q.SetDatabase(&db);
    q.SetSQL("SELECT * FROM TbSetings");
    q.Open();
    QCOMPARE(q.Field("Version").AsString(), QStringLiteral("Build1.02"));
}

void TestDAOQuery::suspendSharesOneTransaction()
{
    AddDiscs(3);
    m_q->SetSQL("SELECT * FROM TbCd");
    m_q->Open();
    {
        TDAOSuspendGuard outer(*m_q);
        {
            TDAOSuspendGuard inner(*m_q);
            m_q->Delete();
        }
        QVERIFY(m_q->ControlsSuspended());
        m_q->Delete();
        // Not yet committed: another connection still sees every disc.
        QCOMPARE(RawValue(m_catalog->Path(), "SELECT count(*) FROM TbCd"), QStringLiteral("3"));
    }
    QVERIFY(!m_q->ControlsSuspended());
    QCOMPARE(RawValue(m_catalog->Path(), "SELECT count(*) FROM TbCd"), QStringLiteral("1"));
}

void TestDAOQuery::suspendKeepsWorkDoneBeforeError()
{
    AddDiscs(4);
    m_q->SetSQL("SELECT * FROM TbCd");
    m_q->Open();
    try {
        TDAOSuspendGuard guard(*m_q);
        m_q->Delete();
        m_q->Delete();
        throw EAppError(QStringLiteral("stopped halfway"));
    } catch (const EAppError &) {
    }
    QCOMPARE(RawValue(m_catalog->Path(), "SELECT count(*) FROM TbCd"), QStringLiteral("2"));
}

void TestDAOQuery::rowReaderGivesEachStoredKind_data()
{
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("number");

    QTest::newRow("null") << "NULL" << QVariant() << QString() << false;
    QTest::newRow("integer beyond 32 bits")
        << "1099511627776" << QVariant(qint64(1099511627776)) << "1099511627776" << true;
    QTest::newRow("negative integer") << "-7" << QVariant(qint64(-7)) << "-7" << true;
    QTest::newRow("real") << "12.5" << QVariant(12.5) << "12.5" << true;
    QTest::newRow("text") << "'藏金阁 A'" << QVariant(QStringLiteral("藏金阁 A")) << QStringLiteral("藏金阁 A")
                          << false;
    // The whole stored text, not up to its first zero.
    QTest::newRow("text with a zero") << "'甲' || char(0) || 'b'" << QVariant(QStringLiteral("甲\u0000b"))
                                      << QStringLiteral("甲\u0000b") << false;
    QTest::newRow("empty text") << "''" << QVariant(QString(QLatin1String(""))) << QString() << false;
    QTest::newRow("blob") << "x'00ff10'" << QVariant(QByteArray("\x00\xff\x10", 3))
                          << QStringLiteral("\u0000\uFFFD\u0010") << false;
}

void TestDAOQuery::rowReaderGivesEachStoredKind()
{
    QFETCH(QString, expression);
    QFETCH(QVariant, value);
    QFETCH(QString, text);
    QFETCH(bool, number);
    int rows = 0;
    m_db->ForEachRow(QStringLiteral("SELECT %1, 'after'").arg(expression), [&](const TRowReader &row) {
        ++rows;
        QCOMPARE(row.Columns(), 2);
        const QVariant read = row.Value(0);
        QCOMPARE(read.typeId(), value.typeId());
        QCOMPARE(read, value);
        QCOMPARE(row.IsNull(0), !value.isValid());
        QCOMPARE(row.IsNumber(0), number);
        QCOMPARE(row.Text(0), text);
        QCOMPARE(QString::fromUtf8(row.Utf8(0)), text);
        if (value.typeId() == QMetaType::LongLong)
            QCOMPARE(row.Int64(0), value.toLongLong());
        if (value.typeId() == QMetaType::Double)
            QCOMPARE(row.Double(0), value.toDouble());
        QCOMPARE(row.Text(1), QStringLiteral("after"));
    });
    QCOMPARE(rows, 1);
}

void TestDAOQuery::forEachRowFinishesEveryStatement()
{
    // A statement the engine refuses: the error names it, in Chinese.
    const QString bad = QStringLiteral("SELECT Nope FROM TbCd");
    try {
        m_db->ForEachRow(bad, [](const TRowReader &) {});
        QFAIL("ran a bad statement");
    } catch (const EDAOError &e) {
        QCOMPARE(e.Statement(), bad);
        QVERIFY2(!e.Message().contains(QLatin1String("no such column")), qPrintable(e.Message()));
    }

    // A reader that stops the walk by throwing leaves no statement running:
    // the table it read can be dropped at once, which the engine refuses
    // while a statement still reads it.
    m_db->Exec(QStringLiteral("CREATE TABLE Scratch (Id INTEGER PRIMARY KEY)"));
    m_db->Exec(QStringLiteral("INSERT INTO Scratch (Id) VALUES (1), (2), (3)"));
    int seen = 0;
    QVERIFY_THROWS_EXCEPTION(EAppError,
                             m_db->ForEachRow(QStringLiteral("SELECT Id FROM Scratch"), [&](const TRowReader &) {
                                 if (++seen == 2)
                                     throw EAppError(QStringLiteral("stopped"));
                             }));
    QCOMPARE(seen, 2);
    m_db->Exec(QStringLiteral("DROP TABLE Scratch"));
}

void TestDAOQuery::connectionIdentityAndLastKey()
{
    QCOMPARE(m_db->LastInsertId(), qint64(0));
    m_db->Exec(QStringLiteral("INSERT INTO TbTree (Id1, Name) VALUES (1, '新目录')"));
    const qint64 folder = m_db->LastInsertId();
    QVERIFY(folder > 1);
    QCOMPARE(RawValue(m_catalog->Path(), QStringLiteral("SELECT max(ID) FROM TbTree")), QString::number(folder));

    // Every connection of the program has a number of its own: another
    // object on the same file, and the same object connected again.
    const int first = m_db->ConnectionSerial();
    TDAODatabase other;
    m_catalog->Attach(other);
    other.SetConnected(true);
    QVERIFY(other.ConnectionSerial() != first);
    m_db->SetConnected(false);
    QCOMPARE(m_db->LastInsertId(), qint64(0));
    m_db->SetConnected(true);
    QVERIFY(m_db->ConnectionSerial() != first);
    QVERIFY(m_db->ConnectionSerial() != other.ConnectionSerial());
}

QTEST_GUILESS_MAIN(TestDAOQuery)
#include "tst_daoquery.moc"
