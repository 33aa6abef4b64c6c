// The box limited to a column's GBK bytes: typed keys, pastes and text
// committed by an input method all keep what fits and say so.
#include "toolkit/GbkLineEdit.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QSignalSpy>
#include <QTest>

class TestGbkLineEdit : public QObject
{
    Q_OBJECT

private slots:
    void keepsWhatFits_data();
    void keepsWhatFits();
    void preeditThenCommit();
    void textThatFitsSaysNothing();
    void limitText();
};

namespace {

enum class Way { Keys, Paste, PasteKey, Commit };

// Key presses carrying the characters, as a keyboard layout sends them
// (QTest::keyClicks only knows Latin-1).
void Type(QWidget *widget, const QString &text)
{
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

void Enter(TGbkLineEdit &edit, Way way, const QString &text)
{
    switch (way) {
    case Way::Keys:
        Type(&edit, text);
        break;
    case Way::Paste:
        QGuiApplication::clipboard()->setText(text);
        edit.paste(); // as the context menu's 粘贴 does
        break;
    case Way::PasteKey:
        QGuiApplication::clipboard()->setText(text);
        QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
        break;
    case Way::Commit: {
        QInputMethodEvent event;
        event.setCommitString(text);
        QCoreApplication::sendEvent(&edit, &event);
        break;
    }
    }
}

} // namespace

void TestGbkLineEdit::keepsWhatFits_data()
{
    QTest::addColumn<QString>("before"); // '|' marks the caret
    QTest::addColumn<int>("way");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("tips"); // 0 none, 1 refused key, 2 cut text

    // The box takes 10 bytes: five Chinese characters or ten letters.
    const int keys = int(Way::Keys), paste = int(Way::Paste), pasteKey = int(Way::PasteKey), commit = int(Way::Commit);
    QTest::newRow("typed letters stop at the limit") << "|" << keys << "ABCDEFGHIJKL"
                                                     << "ABCDEFGHIJ|" << 1;
    QTest::newRow("typed Chinese stops at a whole character") << "A|" << keys << "中文字母表"
                                                              << "A中文字母|" << 1;
    QTest::newRow("typed in the middle") << "中文|字母表" << keys << "X"
                                         << "中文|字母表" << 1;
    QTest::newRow("paste cut before the first misfit") << "AB|" << paste << "指环王：护戒使者"
                                                       << "AB指环王：|" << 2;
    QTest::newRow("paste in the middle keeps the end") << "A|B" << paste << "12345678901"
                                                       << "A12345678|B" << 2;
    QTest::newRow("paste with Ctrl+V") << "|" << pasteKey << "光盘夹管理程序"
                                       << "光盘夹管理|" << 2;
    QTest::newRow("paste of one byte room, Chinese") << "ABCDEFGHI|" << paste << "中文"
                                                     << "ABCDEFGHI|" << 2;
    QTest::newRow("paste over a selection") << "[ABCDEFGHIJ]" << paste << "汉字汉字汉字"
                                            << "汉字汉字汉|" << 2;
    QTest::newRow("committed phrase cut") << "中文|" << commit << "指环王护戒使者"
                                          << "中文指环王|" << 2;
    QTest::newRow("committed character refused") << "中文字母表|" << commit << "王"
                                                 << "中文字母表|" << 1;
    QTest::newRow("character beyond 16 bits is kept whole") << "ABCDEFGHI|" << commit << "😀😀"
                                                            << "ABCDEFGHI😀|" << 2;
}

void TestGbkLineEdit::keepsWhatFits()
{
    QFETCH(QString, before);
    QFETCH(int, way);
    QFETCH(QString, input);
    QFETCH(QString, after);
    QFETCH(int, tips);

    TGbkLineEdit edit(10);
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    if (before.startsWith('[')) {
        edit.setText(before.mid(1, before.size() - 2));
        edit.selectAll();
    } else {
        edit.setText(QString(before).remove('|'));
        edit.setCursorPosition(int(before.indexOf('|')));
    }
    QSignalSpy limit(&edit, &TGbkLineEdit::limitReached);

    Enter(edit, Way(way), input);

    QString shown = edit.text();
    shown.insert(edit.cursorPosition(), '|');
    QCOMPARE(shown, after);
    if (tips == 0) {
        QCOMPARE(limit.count(), 0);
        return;
    }
    QVERIFY(limit.count() >= 1);
    const bool cut = tips == 2;
    QCOMPARE(limit.last().at(1).toBool(), cut);
    const QString tip = limit.last().at(0).toString();
    QVERIFY2(tip.contains(QStringLiteral("最多可输入5个汉字或10个字母")), qPrintable(tip));
    QCOMPARE(tip.contains(QStringLiteral("截去")), cut);
    QCOMPARE(edit.LastTip(), tip);
}

void TestGbkLineEdit::preeditThenCommit()
{
    // An input method shows the pinyin being composed, then commits the
    // chosen characters in its place.
    TGbkLineEdit edit(6);
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    edit.setText(QStringLiteral("光盘"));
    QSignalSpy limit(&edit, &TGbkLineEdit::limitReached);

    QInputMethodEvent preedit(QStringLiteral("zhihuanwang"), {});
    QCoreApplication::sendEvent(&edit, &preedit);
    QCOMPARE(edit.text(), QStringLiteral("光盘"));
    QCOMPARE(limit.count(), 0);

    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("指环王"));
    QCoreApplication::sendEvent(&edit, &commit);
    QCOMPARE(edit.text(), QStringLiteral("光盘指"));
    QCOMPARE(limit.count(), 1);
    QVERIFY(limit.last().at(1).toBool());
}

void TestGbkLineEdit::textThatFitsSaysNothing()
{
    TGbkLineEdit edit(10);
    QSignalSpy limit(&edit, &TGbkLineEdit::limitReached);
    Type(&edit, QStringLiteral("中文AB"));
    QGuiApplication::clipboard()->setText(QStringLiteral("王CD"));
    edit.paste();
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QTest::keyClicks(&edit, QStringLiteral("E"));
    QCOMPARE(edit.text(), QStringLiteral("中文AB王CE"));
    QCOMPARE(limit.count(), 0);
    QVERIFY(edit.LastTip().isEmpty());
}

void TestGbkLineEdit::limitText()
{
    QCOMPARE(TGbkLineEdit::LimitText(100), QStringLiteral("最多可输入50个汉字或100个字母"));
    QCOMPARE(TGbkLineEdit::LimitText(40), QStringLiteral("最多可输入20个汉字或40个字母"));
}

QTEST_MAIN(TestGbkLineEdit)
#include "tst_gbklineedit.moc"
