// Lending discs and taking them back: the loans table made by the first
// loan only, the discs out and the overdue ones, the history, the loans that
// go with a deleted disc, and the loans the store refuses.
#include "store/catalog/DataModule.h"
#include "store/catalog/LoanStore.h"
#include "store/engine/DAODatabase.h"
#include "store/engine/DAOQuery.h"
#include "store/engine/DateUtils.h"
#include "store/engine/Errors.h"
#include "tests/support/CatalogFixture.h"

#include <QTest>

namespace {

QDate DaysFromToday(int days)
{
    return DateUtils::ToDate(DateUtils::Today()).addDays(days);
}

qint64 Count(TDAODatabase &db, const QString &sql)
{
    TDAOQuery q;
    q.SetDatabase(&db);
    q.SetSQL(sql);
    q.Open();
    const qint64 n = q.FieldAt(0).AsInteger();
    q.Close();
    return n;
}

// Discs 1 英雄, 2 大话西游 and 3 红楼梦.
void AddDiscs(TDAODatabase &db)
{
    db.Exec(QStringLiteral("INSERT INTO TbCd (ID, Code, Name, TId) VALUES (1, '1', '英雄', 1), "
                           "(2, '2', '大话西游', 1), (3, '3', '红楼梦', 1)"));
}

} // namespace

class TestLoanStore : public QObject
{
    Q_OBJECT

private slots:
    void neverLentCatalogKeepsItsBytes();
    void lendOverdueAndReturn();
    void refused_data();
    void refused();
    void deletedDiscTakesItsLoans();
    void compactedCatalogStillDeletesLoans();
};

void TestLoanStore::neverLentCatalogKeepsItsBytes()
{
    CatalogFixture fixture(Schema::Layout::Build102, true);
    {
        TDAODatabase db;
        fixture.Attach(db);
        AddDiscs(db);
    }
    const QByteArray before = CatalogFixture::Digest(fixture.Path());
    {
        TDAODatabase db;
        fixture.Attach(db);
        QVERIFY(!LoanStore::HasLoans(db));
        QVERIFY(LoanStore::CurrentLoans(db).isEmpty());
        QVERIFY(!LoanStore::CurrentLoan(db, 1));
        QVERIFY(LoanStore::OpenLoans(db, DaysFromToday(0)).isEmpty());
        QVERIFY(LoanStore::ReturnedLoans(db).isEmpty());
        // A loan refused after the table was made in its transaction takes
        // the table with it.
        QVERIFY_THROWS_EXCEPTION(EAppError, LoanStore::Lend(db, 99, QStringLiteral("张三"), DaysFromToday(0), {}));
        QVERIFY_THROWS_EXCEPTION(EAppError, LoanStore::Return(db, 1, DaysFromToday(0)));
        QVERIFY(!LoanStore::HasLoans(db));
    }
    QCOMPARE(CatalogFixture::Digest(fixture.Path()), before);
}

void TestLoanStore::lendOverdueAndReturn()
{
    CatalogFixture fixture;
    TDAODatabase db;
    fixture.Attach(db);
    AddDiscs(db);

    LoanStore::Lend(db, 2, QStringLiteral("  李四 "), DaysFromToday(-5), DaysFromToday(25));
    QVERIFY(LoanStore::HasLoans(db));
    LoanStore::Lend(db, 1, QStringLiteral("张三"), DaysFromToday(-10), DaysFromToday(-3));
    LoanStore::Lend(db, 3, QStringLiteral("王五"), DaysFromToday(0), {});

    const QDate today = DaysFromToday(0);
    const QHash<int, LoanStore::TLoan> out = LoanStore::CurrentLoans(db);
    QCOMPARE(out.size(), 3);
    QCOMPARE(out.value(2).Borrower, QStringLiteral("李四"));
    QCOMPARE(out.value(2).Lent, DaysFromToday(-5));
    QCOMPARE(out.value(2).Due, DaysFromToday(25));
    QVERIFY(out.value(1).IsOverdue(today));
    QVERIFY(!out.value(2).IsOverdue(today));
    QVERIFY(!out.value(3).IsOverdue(today)); // no due date: never late

    // Overdue first, then by due date, those without one last.
    QList<int> order;
    for (const LoanStore::TLoan &loan : LoanStore::OpenLoans(db, today))
        order << loan.CdId;
    QCOMPARE(order, (QList<int>{1, 2, 3}));
    QCOMPARE(LoanStore::OpenLoans(db, today).first().CdName, QStringLiteral("英雄"));

    // Out already: refused, whoever asks.
    QVERIFY_THROWS_EXCEPTION(EAppError, LoanStore::Lend(db, 1, QStringLiteral("赵六"), today, {}));

    LoanStore::Return(db, 1, today);
    QVERIFY(!LoanStore::CurrentLoan(db, 1));
    QCOMPARE(LoanStore::CurrentLoans(db).size(), 2);
    const QList<LoanStore::TLoan> history = LoanStore::ReturnedLoans(db);
    QCOMPARE(history.size(), 1);
    QCOMPARE(history.first().Borrower, QStringLiteral("张三"));
    QCOMPARE(history.first().Returned, today);
    QCOMPARE(history.first().CdCode, QStringLiteral("1"));

    // Back home, it can go out again; the history keeps the first loan.
    LoanStore::Lend(db, 1, QStringLiteral("赵六"), today, DaysFromToday(7));
    QCOMPARE(LoanStore::CurrentLoan(db, 1)->Borrower, QStringLiteral("赵六"));
    QCOMPARE(Count(db, QStringLiteral("SELECT COUNT(*) FROM TbLoan WHERE CdId=1")), 2);
}

void TestLoanStore::refused_data()
{
    QTest::addColumn<int>("disc");
    QTest::addColumn<QString>("borrower");
    QTest::addColumn<int>("lent");
    QTest::addColumn<int>("due");
    QTest::addColumn<QString>("message");
    QTest::newRow("blank borrower") << 1 << QStringLiteral(" \u3000") << 0 << 5 << QStringLiteral("请填写借给谁");
    QTest::newRow("borrower too wide") << 1 << QString(21, QChar(0x5F20)) << 0 << 5 << QStringLiteral("40 个字节");
    QTest::newRow("lent tomorrow") << 1 << QStringLiteral("张三") << 1 << 5 << QStringLiteral("不能晚于今天");
    QTest::newRow("due before lent") << 1 << QStringLiteral("张三") << -2 << -3 << QStringLiteral("不能早于借出日期");
    QTest::newRow("no such disc") << 42 << QStringLiteral("张三") << 0 << 5 << QStringLiteral("不在光盘夹里");
}

void TestLoanStore::refused()
{
    QFETCH(int, disc);
    QFETCH(QString, borrower);
    QFETCH(int, lent);
    QFETCH(int, due);
    QFETCH(QString, message);
    CatalogFixture fixture;
    TDAODatabase db;
    fixture.Attach(db);
    AddDiscs(db);
    LoanStore::Lend(db, 3, QStringLiteral("王五"), DaysFromToday(-1), {}); // the table exists
    try {
        LoanStore::Lend(db, disc, borrower, DaysFromToday(lent), DaysFromToday(due));
        QFAIL("the loan was written");
    } catch (const EAppError &error) {
        QVERIFY2(error.Message().contains(message), qPrintable(error.Message()));
    }
    QCOMPARE(Count(db, QStringLiteral("SELECT COUNT(*) FROM TbLoan")), 1);
    // A return before the day the disc went out.
    QVERIFY_THROWS_EXCEPTION(EAppError, LoanStore::Return(db, 3, DaysFromToday(-2)));
    QVERIFY(LoanStore::CurrentLoan(db, 3));
}

void TestLoanStore::deletedDiscTakesItsLoans()
{
    CatalogFixture fixture;
    TDAODatabase db;
    fixture.Attach(db);
    AddDiscs(db);
    LoanStore::Lend(db, 1, QStringLiteral("张三"), DaysFromToday(-9), DaysFromToday(-8));
    LoanStore::Return(db, 1, DaysFromToday(-1));
    LoanStore::Lend(db, 1, QStringLiteral("李四"), DaysFromToday(0), {});
    LoanStore::Lend(db, 2, QStringLiteral("王五"), DaysFromToday(0), {});
    LoanStore::Lend(db, 3, QStringLiteral("赵六"), DaysFromToday(0), {});

    // As the disc list deletes: one disc, then several under one transaction.
    TDAOQuery discs;
    discs.SetDatabase(&db);
    discs.SetSQL(QStringLiteral("SELECT * FROM TbCd ORDER BY ID"));
    discs.Open();
    QVERIFY(discs.Locate(QStringLiteral("ID"), 1));
    discs.Delete();
    QCOMPARE(Count(db, QStringLiteral("SELECT COUNT(*) FROM TbLoan WHERE CdId=1")), 0);
    QCOMPARE(LoanStore::CurrentLoans(db).size(), 2);
    {
        TDAOSuspendGuard suspended(discs);
        discs.First();
        discs.Delete();
        discs.First();
        discs.Delete();
    }
    QCOMPARE(Count(db, QStringLiteral("SELECT COUNT(*) FROM TbLoan")), 0);
    QVERIFY(LoanStore::OpenLoans(db, DaysFromToday(0)).isEmpty());
}

void TestLoanStore::compactedCatalogStillDeletesLoans()
{
    CatalogFixture fixture;
    TDM dm;
    dm.NameCatalog(fixture.Path());
    AddDiscs(dm.DbBase);
    LoanStore::Lend(dm.DbBase, 2, QStringLiteral("李四"), DaysFromToday(0), {});
    QVERIFY(dm.CompactDb() > 0);
    QCOMPARE(LoanStore::CurrentLoan(dm.DbBase, 2)->Borrower, QStringLiteral("李四"));
    dm.DbBase.Exec(QStringLiteral("DELETE FROM TbCd WHERE ID=2"));
    QVERIFY(!LoanStore::CurrentLoan(dm.DbBase, 2));
    QCOMPARE(Count(dm.DbBase, QStringLiteral("SELECT COUNT(*) FROM TbLoan")), 0);
}

QTEST_GUILESS_MAIN(TestLoanStore)
#include "tst_loanstore.moc"
