// The one module every message box goes through: what a box shows, its
// details, and how errors reach it (and the log) through the command guard.
#include "store/catalog/DataModule.h"
#include "store/engine/Errors.h"
#include "tests/support/CatalogFixture.h"
#include "toolkit/CommandGuard.h"
#include "toolkit/MessageBoxes.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTest>

class TestMessageBoxes : public QObject
{
    Q_OBJECT

private slots:
    void quotedTextIsNeverMarkup_data();
    void quotedTextIsNeverMarkup();
    void buttonsAndDetails();
    void errorDetailsReachTheBox();
    void failedStatementIsLogged();
};

void TestMessageBoxes::quotedTextIsNeverMarkup_data()
{
    QTest::addColumn<int>("kind");
    // A disc name of 20 bytes that would make Qt read /dev/zero until memory
    // runs out, and one that would show a local picture.
    QTest::newRow("confirmation") << int(Msg::Kind::Confirmation);
    QTest::newRow("warning") << int(Msg::Kind::Warning);
    QTest::newRow("error") << int(Msg::Kind::Error);
    QTest::newRow("information") << int(Msg::Kind::Information);
    QTest::newRow("question") << int(Msg::Kind::Question);
}

void TestMessageBoxes::quotedTextIsNeverMarkup()
{
    QFETCH(int, kind);
    const QString text = QStringLiteral("确实要删除光盘“<img src=/dev/zero>”吗？\n<b><img src=\"/etc/hosts.jpg\"></b>");
    const std::unique_ptr<QMessageBox> box = Msg::Build(Msg::Kind(kind), text);
    QCOMPARE(box->textFormat(), Qt::PlainText);
    QCOMPARE(box->text(), text);
    box->show();
    QCoreApplication::processEvents();
    // The label on screen shows the characters as they are.
    bool found = false;
    for (const QLabel *label : box->findChildren<QLabel *>())
        if (label->text() == text) {
            QCOMPARE(label->textFormat(), Qt::PlainText);
            found = true;
        }
    QVERIFY(found);
    box->close();
}

void TestMessageBoxes::buttonsAndDetails()
{
    const std::unique_ptr<QMessageBox> ask = Msg::Build(Msg::Kind::Question, QStringLiteral("再打开吗？"));
    QCOMPARE(ask->button(QMessageBox::Yes)->text(), QStringLiteral("是"));
    QCOMPARE(ask->button(QMessageBox::No)->text(), QStringLiteral("否"));
    QVERIFY(ask->detailedText().isEmpty());

    const std::unique_ptr<QMessageBox> error =
        Msg::Build(Msg::Kind::Error, QStringLiteral("文件已经损坏。"), QStringLiteral("<b>malformed</b>"));
    QCOMPARE(error->button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
    QCOMPARE(error->detailedText(), QStringLiteral("<b>malformed</b>"));
}

void TestMessageBoxes::errorDetailsReachTheBox()
{
    Msg::Recorder messages(false);
    // Logged as shown; no statement failed, so none is named.
    QTest::ignoreMessage(QtWarningMsg, "command failed: 光盘夹文件“a.MDB”已经损坏，无法读取。 "
                                       "database disk image is malformed (SQLite 11)");
    QVERIFY(!RunCommand([] {
        throw EDAOError(QStringLiteral("光盘夹文件“a.MDB”已经损坏，无法读取。"), 11,
                        QStringLiteral("database disk image is malformed (SQLite 11)"));
    }));
    QCOMPARE(messages.shown.size(), 1);
    QCOMPARE(messages.shown[0].kind, Msg::Kind::Error);
    QCOMPARE(messages.shown[0].text, QStringLiteral("光盘夹文件“a.MDB”已经损坏，无法读取。"));
    QCOMPARE(messages.shown[0].details, QStringLiteral("database disk image is malformed (SQLite 11)"));
    QVERIFY(!Msg::Ask(QStringLiteral("再打开吗？")));
    QVERIFY(!Msg::Confirm(QStringLiteral("删除吗？")));
}

// A command stopped by a statement the engine refuses leaves a trail that
// names the statement, besides the message the user sees.
void TestMessageBoxes::failedStatementIsLogged()
{
    CatalogFixture catalog;
    TDM dm;
    dm.NameCatalog(catalog.Path());
    Msg::Recorder messages(false);
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression(QStringLiteral("^command failed: .*no such table: TbMissing.* statement: "
                                                           "SELECT Name FROM TbMissing WHERE Id=3$")));
    QVERIFY(!RunCommand([&] { dm.OpenSQL(QStringLiteral("SELECT Name FROM TbMissing WHERE Id=3")); }));
    QCOMPARE(messages.shown.size(), 1);
    QVERIFY(!messages.shown[0].text.contains(QStringLiteral("SELECT")));
}

QTEST_MAIN(TestMessageBoxes)
#include "tst_messageboxes.moc"
