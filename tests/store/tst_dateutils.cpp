// Day counts and the yyyy-MM-dd texts of every date the program shows.
#include "store/engine/DateUtils.h"

#include <QTest>

#include <cstdlib>
#include <ctime>

class TestDateUtils : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void wallClockSurvivesDaylightSaving();
};

void TestDateUtils::roundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("days");
    QTest::newRow("epoch") << "1899-12-30" << 0.0;
    QTest::newRow("before epoch") << "1899-12-01" << -29.0;
    QTest::newRow("leap day") << "2004-02-29" << 38046.0;
    QTest::newRow("find example") << "2004-03-01" << 38047.0;
    QTest::newRow("far") << "9999-12-31" << 2958465.0;
}

void TestDateUtils::roundTrip()
{
    QFETCH(QString, text);
    QFETCH(double, days);
    const QDate date = DateUtils::ParseDate(text);
    QCOMPARE(DateUtils::ToDays(date), days);
    QCOMPARE(DateUtils::ToDate(days), date);
    QCOMPARE(DateUtils::FormatDate(days), text);
    QCOMPARE(DateUtils::FormatDate(date), date.toString(QStringLiteral("yyyy-MM-dd")));
}

void TestDateUtils::wallClockSurvivesDaylightSaving()
{
    // 02:30 on the day New York's clocks jump from 02:00 to 03:00: a stored
    // time of day must come back as it was stored.
    qputenv("TZ", "America/New_York");
    tzset();
    const double days = DateUtils::ToDays(QDate(2004, 4, 4)) + 2.5 / 24.0;
    const QDateTime back = DateUtils::ToDateTime(days);
    QCOMPARE(back.time(), QTime(2, 30));
    QCOMPARE(DateUtils::ToDays(back), days);
    qunsetenv("TZ");
    tzset();
}

QTEST_GUILESS_MAIN(TestDateUtils)
#include "tst_dateutils.moc"
