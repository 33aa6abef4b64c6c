// The quick-pick lookup edit: its filter, its list rows, and choosing a row
// by Enter or from the list, on a real catalog.
#include "pinyin/GbkText.h"
#include "store/catalog/DataModule.h"
#include "store/catalog/Schema.h"
#include "tests/support/ModuleFixture.h"
#include "toolkit/ExPickEdit.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <QWheelEvent>

class TestExPickEdit : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void filter_data();
    void filter();
    void rowFormat_data();
    void rowFormat();
    void longNamesKeepColumns();
    void pickByCodeColumn();
    void enterChoosesOneMatch();
    void severalMatchesOpenTheList();
    void enterAgainMovesOnAndTypingStartsAgain();
    void keyZeroIsNeverSignalled();
    void committedTextStartsAgain_data();
    void committedTextStartsAgain();
    void controlKeysKeepAConfirmedBox_data();
    void controlKeysKeepAConfirmedBox();
    void wheelDoesNotStepThroughRows();

private:
    void Type(const QString &text);

    std::unique_ptr<ModuleFixture> m_catalog;
    std::unique_ptr<QWidget> m_window;
    TExPickEdit *m_edit = nullptr;
    QLineEdit *m_next = nullptr;
    QList<int> m_changes;
    QList<int> m_keys;
};

void TestExPickEdit::init()
{
    m_catalog = std::make_unique<ModuleFixture>(Schema::Layout::Build102, false);
    for (const char *sql : {
             R"(INSERT INTO TbCd (Code, Name, Spell, TId) VALUES ("A0001", "藏金阁", "CJG", 1))",
             R"(INSERT INTO TbCd (Code, Name, Spell, TId) VALUES ("A0002", "藏金阁续集", "CJGXJ", 1))",
             R"(INSERT INTO TbCd (Code, Name, Spell, TId) VALUES ("12", "英雄", "YX", 1))",
             R"(INSERT INTO TbCd (Code, Name, Spell, TId) VALUES ("345", "大话西游", "DHXY", 1))",
         })
        m_catalog->Dm().ExecuteSQL(QString::fromUtf8(sql));

    m_window = std::make_unique<QWidget>();
    auto *layout = new QVBoxLayout(m_window.get());
    m_edit = new TExPickEdit(m_window.get());
    m_next = new QLineEdit(m_window.get());
    layout->addWidget(m_edit);
    layout->addWidget(m_next);
    m_catalog->Dm().SetupPickEdit(QStringLiteral("SELECT Id,Code,Name,Spell FROM TbCd"), *m_edit, true, false);
    m_changes.clear();
    m_keys.clear();
    m_edit->OnSelectionChange = [this](TExPickEdit &edit) { m_changes << edit.SelectedKey(); };
    m_edit->OnKeyPress = [this](TExPickEdit &, int key) { m_keys << key; };
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_edit->setFocus();
}

void TestExPickEdit::cleanup()
{
    m_window.reset();
    m_catalog.reset();
}

void TestExPickEdit::Type(const QString &text)
{
    QTest::keyClicks(m_edit, text);
}

void TestExPickEdit::filter_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QList<int>>("keys"); // the rows' keys, in list order
    const QString base = QStringLiteral("SELECT Id,Code,Name,Spell FROM TbCd");
    QTest::newRow("initials") << base << "cjg"
                              << R"( WHERE SPELL LIKE "CJG*")" << QList<int>{1, 2};
    QTest::newRow("upper-case initials") << base << "CJG"
                                         << R"( WHERE SPELL LIKE "CJG*")" << QList<int>{1, 2};
    QTest::newRow("code") << base << "12"
                          << R"( WHERE CODE LIKE "12*")" << QList<int>{3};
    QTest::newRow("name") << base << "藏金"
                          << R"( WHERE NAME LIKE "藏金*")" << QList<int>{1, 2};
    QTest::newRow("blanks dropped") << base << "c j g"
                                    << R"( WHERE SPELL LIKE "CJG*")" << QList<int>{1, 2};
    QTest::newRow("full-width") << base << "ＣＪＧ"
                                << R"( WHERE SPELL LIKE "CJG*")" << QList<int>{1, 2};
    QTest::newRow("empty: every row") << base << ""
                                      << "" << QList<int>{1, 2, 3, 4};
    QTest::newRow("double quote: nothing") << base << "a\"b"
                                           << R"( WHERE CODE LIKE "A""B*")" << QList<int>{};
    QTest::newRow("statement with WHERE") << base + " WHERE TId=1"
                                          << "yx"
                                          << R"( AND SPELL LIKE "YX*")" << QList<int>{3};
}

void TestExPickEdit::filter()
{
    QFETCH(QString, sql);
    QFETCH(QString, typed);
    QFETCH(QString, filter);
    QFETCH(QList<int>, keys);
    m_edit->SQL = sql;
    m_edit->setEditText(typed);
    m_edit->RefreshList();
    QCOMPARE(m_edit->Filter(), filter);
    QList<int> listed;
    for (int row = 0; row < m_edit->RowCount(); ++row)
        listed << m_edit->RowValue(row);
    // In the order of the statement's table, not of an index that covers it.
    QCOMPARE(listed, keys);
}

void TestExPickEdit::rowFormat_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("row");
    QTest::newRow("padded") << "藏金阁"
                            << "a01"
                            << "藏金阁              A01       CJG       ";
    QTest::newRow("long code pushes on") << "英雄"
                                         << "12345678901"
                                         << "英雄                1234567890"
                                            "1CJG       ";
    QTest::newRow("name cut at its width") << "一二三四五六七八九十一二"
                                           << "1"
                                           << "一二三四五六七八九十1         CJG       ";
    QTest::newRow("cut never splits") << "a一二三四五六七八九十"
                                      << "1"
                                      << "a一二三四五六七八九 1         CJG       ";
}

void TestExPickEdit::rowFormat()
{
    QFETCH(QString, name);
    QFETCH(QString, code);
    QFETCH(QString, row);
    QCOMPARE(TExPickEdit::FormatRow(name, code, QStringLiteral(" CJG "), QString(), 20, 10, 10, 0), row);
}

void TestExPickEdit::longNamesKeepColumns()
{
    // Names of the full 100 bytes, one starting with a letter so that a cut
    // at 40 bytes would split a character.
    const QString chinese = QStringLiteral("指环王护戒使者加长版").repeated(5);
    const QString mixed = QStringLiteral("a") + chinese.left(49);
    m_catalog->Dm().ExecuteSQL(
        QStringLiteral(R"(INSERT INTO TbCd (Code, Name, Spell, TId) VALUES ("6901234567", "%1", "ZHW", 1))")
            .arg(chinese));
    m_catalog->Dm().ExecuteSQL(
        QStringLiteral(R"(INSERT INTO TbCd (Code, Name, Spell, TId) VALUES ("7", "%1", "ZHWA", 1))").arg(mixed));
    Type(QStringLiteral("zhw"));
    QTest::keyClick(m_edit, Qt::Key_Return);
    QCOMPARE(m_edit->RowCount(), 2);
    const int nameWidth = m_edit->NameWidth();
    QVERIFY(nameWidth >= 20 && nameWidth <= 40);
    const QStringList codes{"6901234567", "7"};
    const QStringList names{chinese, mixed};
    for (int row = 0; row < 2; ++row) {
        const QString text = m_edit->RowText(row);
        const QString nameColumn = GbkText::Truncate(text, nameWidth);
        QCOMPARE(GbkText::ByteWidth(nameColumn), nameWidth); // padded where a character did not fit
        QVERIFY2(names.at(row).startsWith(nameColumn.trimmed()), qPrintable(text));
        QVERIFY(nameColumn.trimmed().size() >= nameWidth / 2 - 1);
        QCOMPARE(GbkText::Mid(text, nameWidth, m_edit->CodeWidth()).trimmed(), codes.at(row));
    }
    // The drop-down fits the rows, not the declared 100-byte names.
    const int charWidth = m_edit->view()->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    QVERIFY(m_edit->view()->minimumWidth() <= charWidth * (nameWidth + 2 * 10 + 2) + 24);
}

void TestExPickEdit::pickByCodeColumn()
{
    // Two codes that differ only in their last byte are told apart when a
    // row's text is compared.
    m_edit->setEditText(QStringLiteral("cjg"));
    m_edit->RefreshList();
    QCOMPARE(m_edit->RowCount(), 2);
    QCOMPARE(m_edit->NameWidth(), 40); // a long name column shows 20 Chinese characters
    QCOMPARE(m_edit->CodeWidth(), 10);
    QCOMPARE(m_edit->SpellWidth(), 10);
    for (int row = 0; row < 2; ++row) {
        m_edit->setEditText(m_edit->RowText(row));
        QCOMPARE(m_edit->FindRow(), row);
    }
    m_edit->setEditText(QStringLiteral("藏金阁")); // shorter than the name column: no code
    QCOMPARE(m_edit->FindRow(), -1);
    // A character across the code column's edge is left out, not cut: its
    // second byte would pair with the "A" after it.
    m_edit->setEditText(QStringLiteral("a藏金阁续集藏金阁续集藏金阁续集藏金阁续集A0002"));
    QCOMPARE(m_edit->FindRow(), 1);
}

void TestExPickEdit::enterChoosesOneMatch()
{
    Type(QStringLiteral("dhxy"));
    QTest::keyClick(m_edit, Qt::Key_Return);
    QCOMPARE(m_edit->SelectedKey(), 4);
    QCOMPARE(m_edit->currentText(), QStringLiteral("大话西游"));
    QCOMPARE(m_changes, QList<int>{4});
    QCOMPARE(m_keys.last(), int(Qt::Key_Return));
    QCOMPARE(m_edit->Confirmed(), 1);
    QVERIFY(!m_edit->view()->isVisible());

    // Nothing matches: nothing chosen, the key kept.
    QTest::keyClick(m_edit, Qt::Key_Backspace);
    m_edit->clearEditText();
    Type(QStringLiteral("zzz"));
    QTest::keyClick(m_edit, Qt::Key_Return);
    QCOMPARE(m_edit->RowCount(), 0);
    QCOMPARE(m_edit->SelectedKey(), 4);
    QCOMPARE(m_changes, QList<int>{4});
}

void TestExPickEdit::severalMatchesOpenTheList()
{
    Type(QStringLiteral("cjg"));
    QTest::keyClick(m_edit, Qt::Key_Return);
    QTRY_VERIFY(m_edit->view()->isVisible());
    QCOMPARE(m_edit->SelectedKey(), 0);
    QVERIFY(m_changes.isEmpty());
    QCOMPARE(m_edit->currentText(), QStringLiteral("cjg"));

    // The arrow keys do not step through the list.
    QTest::keyClick(m_edit, Qt::Key_Down);
    QCOMPARE(m_edit->SelectedKey(), 0);

    QAbstractItemView *view = m_edit->view();
    const QRect second = view->visualRect(view->model()->index(1, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, second.center());
    QTRY_COMPARE(m_edit->SelectedKey(), 2);
    QCOMPARE(m_edit->currentText(), QStringLiteral("藏金阁续集"));
    QCOMPARE(m_changes, QList<int>{2});

    // The rows go as from any combo box.
    QVERIFY(m_edit->RowCount() >= 2);
    m_edit->removeItem(0);
    QVERIFY(m_edit->RowText(0).startsWith(QStringLiteral("藏金阁续集")));
    m_edit->clear();
    QCOMPARE(m_edit->RowCount(), 0);
}

void TestExPickEdit::enterAgainMovesOnAndTypingStartsAgain()
{
    Type(QStringLiteral("yx"));
    QTest::keyClick(m_edit, Qt::Key_Return);
    QCOMPARE(m_edit->SelectedKey(), 3);
    QVERIFY(m_edit->hasFocus());
    QTest::keyClick(m_edit, Qt::Key_Return);
    QVERIFY(m_next->hasFocus());
    QCOMPARE(m_edit->Confirmed(), 1);

    m_edit->setFocus();
    QTest::keyClick(m_edit, Qt::Key_D);
    QCOMPARE(m_edit->currentText(), QStringLiteral("d"));
    QCOMPARE(m_edit->Confirmed(), 0);
    Type(QStringLiteral("hxy"));
    QTest::keyClick(m_edit, Qt::Key_Return);
    QCOMPARE(m_edit->SelectedKey(), 4);
    QCOMPARE(m_changes, (QList<int>{3, 3, 4})); // the second Enter chose the same disc again
}

void TestExPickEdit::keyZeroIsNeverSignalled()
{
    m_edit->SQL = QStringLiteral("SELECT 0 AS Id,Code,Name,Spell FROM TbCd");
    Type(QStringLiteral("yx"));
    QTest::keyClick(m_edit, Qt::Key_Return);
    QCOMPARE(m_edit->currentText(), QStringLiteral("英雄"));
    QCOMPARE(m_edit->SelectedKey(), 0);
    QVERIFY(m_changes.isEmpty());
}

void TestExPickEdit::committedTextStartsAgain_data()
{
    QTest::addColumn<QString>("preedit");
    QTest::addColumn<int>("replaced"); // characters before the caret the commit replaces
    QTest::newRow("commit alone") << QString() << 0;
    QTest::newRow("preedit, then commit") << QStringLiteral("da hua") << 0;
    QTest::newRow("commit replacing text before the caret") << QString() << 2;
}

void TestExPickEdit::committedTextStartsAgain()
{
    QFETCH(QString, preedit);
    QFETCH(int, replaced);
    Type(QStringLiteral("yx"));
    QTest::keyClick(m_edit, Qt::Key_Return);
    QCOMPARE(m_edit->currentText(), QStringLiteral("英雄"));
    QCOMPARE(m_edit->Confirmed(), 1);

    // An input method delivers to the widget that has the focus.
    QObject *target = QApplication::focusObject();
    QVERIFY(target);
    if (!preedit.isEmpty()) {
        QInputMethodEvent composing(preedit, {});
        QApplication::sendEvent(target, &composing);
        QCOMPARE(m_edit->Confirmed(), 1); // nothing typed yet
    }
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("大话"), -replaced, replaced);
    QApplication::sendEvent(target, &commit);
    QCOMPARE(m_edit->currentText(), QStringLiteral("大话"));
    QCOMPARE(m_edit->Confirmed(), 0);

    // The next Enter searches the new text and keeps the focus.
    QTest::keyClick(m_edit, Qt::Key_Return);
    QCOMPARE(m_edit->SelectedKey(), 4);
    QCOMPARE(m_edit->currentText(), QStringLiteral("大话西游"));
    QVERIFY(m_edit->hasFocus());
    QCOMPARE(m_changes, (QList<int>{3, 4}));
}

void TestExPickEdit::controlKeysKeepAConfirmedBox_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("startsAgain");
    // The texts X11 gives these keys.
    QTest::newRow("Delete") << int(Qt::Key_Delete) << QStringLiteral("\x7f") << false;
    QTest::newRow("Escape") << int(Qt::Key_Escape) << QStringLiteral("\x1b") << false;
    QTest::newRow("Backspace") << int(Qt::Key_Backspace) << QStringLiteral("\b") << true;
    QTest::newRow("letter") << int(Qt::Key_D) << QStringLiteral("d") << true;
}

void TestExPickEdit::controlKeysKeepAConfirmedBox()
{
    QFETCH(int, key);
    QFETCH(QString, text);
    QFETCH(bool, startsAgain);
    Type(QStringLiteral("yx"));
    QTest::keyClick(m_edit, Qt::Key_Return);
    QCOMPARE(m_edit->Confirmed(), 1);
    m_edit->lineEdit()->setCursorPosition(0); // Delete has a character to remove

    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(m_edit, &press);
    QCOMPARE(m_edit->Confirmed(), startsAgain ? 0 : 1);
    if (startsAgain)
        QCOMPARE(m_edit->currentText(), key == Qt::Key_Backspace ? QString() : text);
    else
        QVERIFY(!m_edit->currentText().isEmpty());
}

void TestExPickEdit::wheelDoesNotStepThroughRows()
{
    Type(QStringLiteral("cjg"));
    QTest::keyClick(m_edit, Qt::Key_Return);
    QTRY_VERIFY(m_edit->view()->isVisible());
    m_edit->hidePopup();
    QTRY_VERIFY(!m_edit->view()->isVisible());
    QCOMPARE(m_edit->RowCount(), 2);

    for (const int delta : {-120, 120, -120}) {
        const QPointF centre = QRectF(m_edit->rect()).center();
        QWheelEvent wheel(centre, m_edit->mapToGlobal(centre), {}, {0, delta}, Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(m_edit, &wheel);
    }
    QCOMPARE(m_edit->currentText(), QStringLiteral("cjg"));
    QCOMPARE(m_edit->SelectedKey(), 0);
    QVERIFY(m_changes.isEmpty());
}

QTEST_MAIN(TestExPickEdit)
#include "tst_expickedit.moc"
