// A fixture that cannot be made stops its test at once, with its reason in
// the log, and the run ends as failed (not as a crash). The broken fixture
// is made in a child run of this test, whose temporary folders would go
// into a plain file (which not even root can write into as into a folder).
#include "tests/support/CatalogFixture.h"
#include "tests/support/ModuleFixture.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryFile>
#include <QTest>

namespace {

const char *const ChildVariable = "VORLIX_BROKEN_FIXTURE";

} // namespace

class TestFixtures : public QObject
{
    Q_OBJECT

private slots:
    void brokenFixtureStopsTheTest_data();
    void brokenFixtureStopsTheTest();

    // Run by the test above in a child process only.
    void onBrokenFixture();
};

void TestFixtures::brokenFixtureStopsTheTest_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::newRow("catalog file") << QStringLiteral("file");
    QTest::newRow("catalog with the data module") << QStringLiteral("module");
}

void TestFixtures::brokenFixtureStopsTheTest()
{
    QFETCH(QString, fixture);
    QTemporaryFile notAFolder;
    QVERIFY(notAFolder.open());
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QLatin1String(ChildVariable), fixture);
    environment.insert(QStringLiteral("TMPDIR"), notAFolder.fileName());
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("onBrokenFixture")});
    QVERIFY(child.waitForFinished(60000));
    const QString log = QString::fromUtf8(child.readAll());

    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QVERIFY2(child.exitCode() != 0, qPrintable(log));
    QVERIFY2(log.contains(QStringLiteral("FAIL!  : TestFixtures::onBrokenFixture() fixture: no temporary folder")),
             qPrintable(log));
    QVERIFY2(!log.contains(QStringLiteral("the test went on")), qPrintable(log));
    QVERIFY2(log.contains(QStringLiteral("Totals:")), qPrintable(log));
}

void TestFixtures::onBrokenFixture()
{
    const QByteArray fixture = qgetenv(ChildVariable);
    if (fixture.isEmpty())
        QSKIP("made to fail by brokenFixtureStopsTheTest only");
    if (fixture == "file") {
        CatalogFixture catalog;
        qInfo("the test went on with %s", qPrintable(catalog.Path()));
    } else {
        ModuleFixture catalog;
        qInfo("the test went on with %s", qPrintable(catalog.Path()));
    }
}

QTEST_GUILESS_MAIN(TestFixtures)
#include "tst_fixtures.moc"
