// Qt's own dialogs and menus speak Chinese whatever the system's language.
#include "app/StartUp.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

namespace {

// A caption such as "取消" or "撤销(&U)": Chinese once its accelerator is gone.
bool IsChinese(QString text)
{
    text.remove(QRegularExpression(QStringLiteral(R"(\(&.\)|&)")));
    text.remove(QRegularExpression(QStringLiteral(R"(\tCtrl\+.*$)")));
    if (text.trimmed().isEmpty())
        return false;
    for (QChar c : text)
        if (c.isLetter() && c.unicode() < 0x80)
            return false;
    return true;
}

} // namespace

class TestQtTexts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void fileDialog();
    void lineEditMenu();
};

void TestQtTexts::initTestCase()
{
    // As on a desktop set to English.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    InitApplication();
    QVERIFY(QCoreApplication::testAttribute(Qt::AA_DontUseNativeDialogs));
}

void TestQtTexts::fileDialog()
{
    for (const QFileDialog::AcceptMode mode : {QFileDialog::AcceptOpen, QFileDialog::AcceptSave}) {
        QFileDialog dialog(nullptr, QStringLiteral("选择"), QDir::tempPath(), QStringLiteral("JPG (*.jpg)"));
        dialog.setAcceptMode(mode);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const auto *buttons = dialog.findChild<QDialogButtonBox *>();
        QVERIFY2(buttons, "not Qt's own file dialog");
        QCOMPARE(buttons->buttons().size(), 2);
        for (const QAbstractButton *button : buttons->buttons())
            QVERIFY2(IsChinese(button->text()), qPrintable(button->text()));
        for (const char *name : {"lookInLabel", "fileNameLabel", "fileTypeLabel"}) {
            const auto *label = dialog.findChild<QLabel *>(QLatin1String(name));
            QVERIFY2(label, name);
            QVERIFY2(IsChinese(label->text()), qPrintable(label->text()));
        }
        dialog.reject();
    }
}

void TestQtTexts::lineEditMenu()
{
    QLineEdit edit(QStringLiteral("光盘"));
    std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    int captions = 0;
    for (const QAction *action : menu->actions()) {
        if (action->isSeparator())
            continue;
        QVERIFY2(IsChinese(action->text()), qPrintable(action->text()));
        ++captions;
    }
    QVERIFY(captions >= 5); // undo, redo, cut, copy, paste, delete, select all
}

QTEST_MAIN(TestQtTexts)
#include "tst_qttexts.moc"
