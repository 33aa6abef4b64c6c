// The keyboard rule and the frame that every dialog shares.
#include "dialogs/EnterForm.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

namespace {

// A dialog with the kinds of controls the program's dialogs hold, in an
// order that differs from the tab order.
class SampleDialog : public TEnterFm
{
public:
    SampleDialog()
    {
        edThird = new QLineEdit(this);
        edFirst = new QLineEdit(this);
        cbSecond = new QComboBox(this);
        mmMemo = new QPlainTextEdit(this);
        btnOk = new QPushButton(QStringLiteral("确定"), this);
        btnCancel = new QPushButton(QStringLiteral("取消"), this);
        auto *layout = new QVBoxLayout(this);
        for (QWidget *w : std::initializer_list<QWidget *>{edThird, edFirst, cbSecond, mmMemo, btnOk, btnCancel})
            layout->addWidget(w);
        // Marked as default here; the dialog must take that role away.
        btnOk->setDefault(true);
        cbSecond->setEditable(true);
        setTabOrder(edFirst, cbSecond);
        setTabOrder(cbSecond, edThird);
        setTabOrder(edThird, mmMemo);
        setTabOrder(mmMemo, btnOk);
        setTabOrder(btnOk, btnCancel);
        connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
        connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
        resize(300, 200);
    }

    QLineEdit *edFirst, *edThird;
    QComboBox *cbSecond;
    QPlainTextEdit *mmMemo;
    QPushButton *btnOk, *btnCancel;
};

void ShowActive(QWidget &dialog)
{
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
}

} // namespace

class TestEnterForm : public QObject
{
    Q_OBJECT

private slots:
    void enterWalksTheTabOrderAndReachesEachControl();
    void enterInAnEditNeverClosesTheDialog_data();
    void enterInAnEditNeverClosesTheDialog();
    void focusedButtonIsPressedByEnterAndSpace_data();
    void focusedButtonIsPressedByEnterAndSpace();
    void enterOnDisabledButtonDoesNothing();
    void otherKeysAreLeftAlone();
    void fixedSizeAndCentred();
};

void TestEnterForm::enterWalksTheTabOrderAndReachesEachControl()
{
    SampleDialog dlg;
    ShowActive(dlg);
    QSignalSpy returnPressed(dlg.edFirst, &QLineEdit::returnPressed);

    dlg.edFirst->setFocus();
    QTest::keyClicks(dlg.edFirst, QStringLiteral("a"));
    QTest::keyClick(dlg.edFirst, Qt::Key_Return);
    QCOMPARE(returnPressed.count(), 1);
    QCOMPARE(QApplication::focusWidget(), dlg.cbSecond);

    // The combo box takes its typed text on Enter, then the focus moves on.
    QTest::keyClicks(dlg.cbSecond, QStringLiteral("DVD"));
    QTest::keyClick(dlg.cbSecond, Qt::Key_Enter, Qt::KeypadModifier);
    QCOMPARE(dlg.cbSecond->count(), 1);
    QCOMPARE(dlg.cbSecond->itemText(0), QStringLiteral("DVD"));
    QCOMPARE(QApplication::focusWidget(), dlg.edThird);

    QTest::keyClick(dlg.edThird, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), dlg.mmMemo);

    // The memo gets its line break and the focus moves on all the same.
    QTest::keyClicks(dlg.mmMemo, QStringLiteral("x"));
    QTest::keyClick(dlg.mmMemo, Qt::Key_Return);
    QCOMPARE(dlg.mmMemo->toPlainText(), QStringLiteral("x\n"));
    QCOMPARE(QApplication::focusWidget(), dlg.btnOk);
    QVERIFY(dlg.isVisible());
}

void TestEnterForm::enterInAnEditNeverClosesTheDialog_data()
{
    QTest::addColumn<Qt::Key>("key");
    QTest::newRow("Return") << Qt::Key_Return;
    QTest::newRow("Enter") << Qt::Key_Enter;
    QTest::newRow("Escape") << Qt::Key_Escape;
}

void TestEnterForm::enterInAnEditNeverClosesTheDialog()
{
    QFETCH(Qt::Key, key);
    SampleDialog dlg;
    ShowActive(dlg);
    QVERIFY(!dlg.btnOk->isDefault() && !dlg.btnOk->autoDefault());
    QVERIFY(!dlg.btnCancel->autoDefault());
    QSignalSpy finished(&dlg, &QDialog::finished);

    dlg.edThird->setFocus();
    QTest::keyClick(dlg.edThird, key);
    QTest::keyClick(QApplication::focusWidget(), key);
    QVERIFY(dlg.isVisible());
    QCOMPARE(finished.count(), 0);
}

void TestEnterForm::focusedButtonIsPressedByEnterAndSpace_data()
{
    QTest::addColumn<Qt::Key>("key");
    QTest::newRow("Return") << Qt::Key_Return;
    QTest::newRow("Space") << Qt::Key_Space;
}

void TestEnterForm::focusedButtonIsPressedByEnterAndSpace()
{
    QFETCH(Qt::Key, key);
    SampleDialog dlg;
    ShowActive(dlg);
    QSignalSpy clicked(dlg.btnCancel, &QPushButton::clicked);
    dlg.btnCancel->setFocus();
    QTest::keyClick(dlg.btnCancel, key);
    QCOMPARE(clicked.count(), 1);
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
}

void TestEnterForm::enterOnDisabledButtonDoesNothing()
{
    SampleDialog dlg;
    ShowActive(dlg);
    dlg.btnOk->setFocus();
    dlg.btnCancel->setEnabled(false);
    QSignalSpy clicked(dlg.btnCancel, &QPushButton::clicked);
    QTest::keyClick(dlg.btnCancel, Qt::Key_Return);
    QCOMPARE(clicked.count(), 0);
    QVERIFY(dlg.isVisible());
}

void TestEnterForm::otherKeysAreLeftAlone()
{
    SampleDialog dlg;
    ShowActive(dlg);
    dlg.edFirst->setFocus();
    QTest::keyClicks(dlg.edFirst, QStringLiteral("ab"));
    QTest::keyClick(dlg.edFirst, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), dlg.cbSecond);
    QCOMPARE(dlg.edFirst->text(), QStringLiteral("ab"));

    // The rule belongs to the dialog: a plain window's memo keeps the focus.
    QWidget plain;
    auto *memo = new QPlainTextEdit(&plain);
    new QLineEdit(&plain);
    plain.show();
    QVERIFY(QTest::qWaitForWindowActive(&plain));
    memo->setFocus();
    QTest::keyClick(memo, Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), memo);
}

void TestEnterForm::fixedSizeAndCentred()
{
    SampleDialog dlg;
    ShowActive(dlg);
    QCOMPARE(dlg.minimumSize(), dlg.maximumSize());
    QVERIFY(dlg.width() >= 300 && dlg.height() >= 200);
    const QRect area = dlg.screen()->availableGeometry();
    QVERIFY((dlg.frameGeometry().center() - area.center()).manhattanLength() <= 2);
}

QTEST_MAIN(TestEnterForm)
#include "tst_enterform.moc"
