// The disc editor: opening, the checks and look-ups of OK, the cover picture.
#include "dialogs/AddCdDlg.h"
#include "dialogs/AddCdPicture.h"
#include "pinyin/GbkText.h"
#include "pinyin/Spell.h"
#include "store/catalog/DataModule.h"
#include "store/catalog/DiscStore.h"
#include "store/catalog/Schema.h"
#include "store/engine/DateUtils.h"
#include "store/engine/SqlDialect.h"
#include "tests/support/WhenShown.h"
#include "toolkit/CalendarDateEdit.h"
#include "toolkit/GbkLineEdit.h"
#include "toolkit/MessageBoxes.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <sys/stat.h>

using SqlDialect::Quote;

namespace {

// Every field of a disc, to see that a refused OK writes none of them.
QStringList Fields(const TCdRec &disc)
{
    return {QString::number(disc.Id),
            disc.Day ? QString::number(*disc.Day) : QStringLiteral("no date"),
            disc.Serial,
            disc.Code,
            disc.Name,
            disc.Spell,
            QString::number(disc.CId),
            QString::number(disc.TId),
            QString::number(disc.QId),
            QString::number(disc.DId),
            disc.Price ? QString::number(*disc.Price) : QString(),
            disc.Location,
            disc.Picture,
            disc.Memo};
}

QByteArray Content(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

// A picture file of the given colour and size, in the format its name says.
QImage WritePicture(const QString &path, Qt::GlobalColor colour, QSize size = QSize(120, 90))
{
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(colour);
    if (!picture.save(path))
        qFatal("cannot write a test picture");
    return picture;
}

// Typing as a user does: one character at a time, Chinese through the
// input method's commit.
void Type(QWidget *target, const QString &text)
{
    for (QChar c : text) {
        if (c.unicode() < 0x80) {
            QTest::keyClick(target, c.toLatin1());
        } else {
            QInputMethodEvent commit;
            commit.setCommitString(QString(c));
            QApplication::sendEvent(target, &commit);
        }
    }
}

// The control of the dialog that holds a widget: a combo box for its edit,
// the date edit for its box, the page control for its tabs.
QString ControlName(QWidget *widget, const QWidget *dialog)
{
    for (QWidget *w = widget; w && w != dialog; w = w->parentWidget())
        if (!w->objectName().isEmpty() && !w->objectName().startsWith(QStringLiteral("qt_")))
            return w->objectName();
    return {};
}

// What the date box's calendar looked like when it popped up.
struct TCalendarLook
{
    bool shown = false;
    QDate date;
    Qt::DayOfWeek firstDay = Qt::Monday;
    bool grid = false;
    QCalendarWidget::VerticalHeaderFormat weekNumbers = QCalendarWidget::NoVerticalHeader;
};

// Opens the calendar as the user does, with a click on the box's drop-down
// button, notes how it looks and closes it again.
TCalendarLook OpenCalendar(QDateEdit *box)
{
    QStyleOptionComboBox option;
    option.initFrom(box);
    option.editable = true;
    option.subControls = QStyle::SC_All;
    const QRect button = box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow, box);
    QTest::mouseClick(box, Qt::LeftButton, {}, button.center());

    TCalendarLook look;
    for (QCalendarWidget *calendar : box->findChildren<QCalendarWidget *>()) {
        if (!calendar->isVisible())
            continue;
        look = {true, calendar->selectedDate(), calendar->firstDayOfWeek(), calendar->isGridVisible(),
                calendar->verticalHeaderFormat()};
        calendar->window()->close();
    }
    return look;
}

} // namespace

class TestAddDisc : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void nextDiscCode();
    void editDiscOpens_data();
    void editDiscOpens();
    void tabOrderPutsTheButtonsFirst();
    void discWithoutADate_data();
    void discWithoutADate();
    void discWithoutAPrice_data();
    void discWithoutAPrice();

    void btnOkClick_data();
    void btnOkClick();
    void nulCharactersLeaveTheName();
    void newFolderIsAddedOnceUnderThePreviousFolder();
    void doubleQuotesAreTakenAsTyped();
    void boxesAcceptNoMoreThanTheColumnHolds_data();
    void boxesAcceptNoMoreThanTheColumnHolds();

    void chosenPictureIsStored_data();
    void chosenPictureIsStored();
    void failedPictureCopyKeepsTheDialogOpen();
    void unreadablePictureKeepsThePrevious_data();
    void unreadablePictureKeepsThePrevious();
    void storedPictureIsShownAndKept();
    void descriptionLinesEndInCrLf_data();
    void descriptionLinesEndInCrLf();
    void storedPictureNotInTheFolderShowsTheDefaultCover_data();
    void storedPictureNotInTheFolderShowsTheDefaultCover();

private:
    int Count(const QString &table) const;
    QString NameOf(const QString &table, int id) const;
    int IdOf(const QString &table, const QString &name) const;
    TEditDiscContext Context() const { return {PictureFolder(), false}; }
    QString PictureFolder() const { return m_dir->filePath(QStringLiteral("Picture")); }
    QString SourcePath(const QString &name) const { return m_sources->filePath(name); }
    // A new disc in the music folder, with every required field filled.
    static void FillRequired(TAddCdDlg &dlg);

    std::unique_ptr<QTemporaryDir> m_dir;     // the program folder
    std::unique_ptr<QTemporaryDir> m_sources; // where the user's picture files are
    std::unique_ptr<TDM> m_dm;
};

// The catalog: the seeded categories and qualities, the category "DVD",
// the folders 电影夹 (2) and 音乐夹 (3), and the discs 5 ("A1", 123460 in
// price) and 41 ("99").
void TestAddDisc::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_sources = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid() && m_sources->isValid());
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("Picture")));
    const QString path = m_dir->filePath(QStringLiteral("Test.MDB"));
    Schema::CreateCatalog(path, Schema::Layout::Build102, true);
    m_dm = std::make_unique<TDM>();
    m_dm->NameCatalog(path);
    DM = m_dm.get();
    DM->ExecuteSQL(QStringLiteral("INSERT INTO TbCategory (Name) VALUES (\"DVD\")"));
    DM->ExecuteSQL(QStringLiteral("INSERT INTO TbTree (ID, Id1, Name) VALUES (2, 1, \"电影夹\")"));
    DM->ExecuteSQL(QStringLiteral("INSERT INTO TbTree (ID, Id1, Name) VALUES (3, 1, \"音乐夹\")"));
    DM->ExecuteSQL(QStringLiteral("INSERT INTO TbCd (ID, Code, Name, Spell, CId, TId, QId, DId, Price) "
                                  "VALUES (5, \"A1\", \"英雄\", \"OLD\", %1, 2, 1, 7, 12.346)")
                       .arg(IdOf(QStringLiteral("TbCategory"), QStringLiteral("DVD"))));
    DM->ExecuteSQL(QStringLiteral("INSERT INTO TbCd (ID, Code, Name, TId) VALUES (41, \"99\", \"卧虎\", 2)"));
}

void TestAddDisc::cleanup()
{
    DM = nullptr;
    m_dm.reset();
    m_sources.reset();
    m_dir.reset();
}

int TestAddDisc::Count(const QString &table) const
{
    return DM->GetFieldValue(QStringLiteral("SELECT Count(*) As N FROM %1").arg(table), QStringLiteral("N")).toInt();
}

QString TestAddDisc::NameOf(const QString &table, int id) const
{
    return DM->GetFieldValue(QStringLiteral("SELECT Name FROM %1 WHERE Id=%2").arg(table, QString::number(id)),
                             QStringLiteral("Name"));
}

int TestAddDisc::IdOf(const QString &table, const QString &name) const
{
    return DM
        ->GetFieldValue(QStringLiteral("SELECT Id FROM %1 WHERE Name=%2").arg(table, Quote(name)), QStringLiteral("Id"))
        .toInt();
}

void TestAddDisc::FillRequired(TAddCdDlg &dlg)
{
    dlg.edName->setText(QStringLiteral("新片"));
    dlg.cbCategory->setCurrentText(QStringLiteral("音乐"));
    dlg.cbCdTree->setCurrentText(QStringLiteral("音乐夹"));
    dlg.cbQuality->setCurrentText(QStringLiteral("良好"));
}

void TestAddDisc::nextDiscCode()
{
    // The largest Id, not the largest code: disc 41 has the code "99".
    QCOMPARE(DiscStore::NextDiscCode(DM->DbBase), QStringLiteral("42"));
    DM->ExecuteSQL(QStringLiteral("DELETE FROM TbCd"));
    QCOMPARE(DiscStore::NextDiscCode(DM->DbBase), QStringLiteral("1"));
}

void TestAddDisc::editDiscOpens_data()
{
    QTest::addColumn<int>("discId"); // 0: a new disc in folder 3
    QTest::addColumn<bool>("autoCode");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("confirm");

    QTest::newRow("add, code proposed") << 0 << true << QStringLiteral("添加光盘") << QStringLiteral("42") << true;
    QTest::newRow("add, no code proposed") << 0 << false << QStringLiteral("添加光盘") << QString() << false;
    QTest::newRow("edit shows its own code")
        << 5 << true << QStringLiteral("修改光盘") << QStringLiteral("A1") << false;
}

void TestAddDisc::editDiscOpens()
{
    QFETCH(int, discId);
    QFETCH(bool, autoCode);
    QFETCH(QString, caption);
    QFETCH(QString, code);
    QFETCH(bool, confirm);

    TCdRec disc;
    if (discId == 0) {
        disc.Day = DateUtils::ToDays(QDate(2024, 2, 29));
        disc.TId = 3;
    } else {
        disc = {5,
                DateUtils::ToDays(QDate(2023, 7, 1)),
                QStringLiteral("S-9"),
                QStringLiteral("A1"),
                QStringLiteral("英雄"),
                QString(),
                IdOf(QStringLiteral("TbCategory"), QStringLiteral("DVD")),
                2,
                1,
                7,
                125000,
                QStringLiteral("柜子"),
                QString(),
                QStringLiteral("第一行\n第二行")};
    }
    const TCdRec before = disc;

    Msg::Recorder messages;
    QStringList seen;
    QList<int> lists;
    QSize cover;
    QString hint, firstPage;
    TCalendarLook calendar;
    WhenShown<TAddCdDlg>([&](TAddCdDlg &dlg) {
        seen << dlg.windowTitle() << dlg.edCode->text() << dlg.edDay->text() << dlg.edSerial->text()
             << dlg.edName->text() << dlg.edPrice->text() << dlg.edLocation->text() << dlg.edMemo->toPlainText()
             << dlg.cbCategory->currentText() << dlg.cbCdTree->currentText() << dlg.cbQuality->currentText();
        lists << dlg.cbCategory->count() << dlg.cbCdTree->count() << dlg.cbCdTree->itemData(1).toInt()
              << dlg.cbCategory->currentData().toInt() << dlg.cbQuality->maxVisibleItems();
        calendar = OpenCalendar(dlg.edDay);
        firstPage = dlg.PageControl->currentWidget()->objectName();
        cover = dlg.imgPicture->Picture().size();
        hint = dlg.imgPicture->toolTip();
        if (confirm) {
            FillRequired(dlg);
            QTest::mouseClick(dlg.btnOk, Qt::LeftButton);
        } else {
            QTest::mouseClick(dlg.btnCancle, Qt::LeftButton);
        }
    });
    QCOMPARE(EditDisc(disc, {PictureFolder(), autoCode}), confirm);

    // Every folder but the root is listed; the entries carry their Ids.
    QCOMPARE(lists, (QList<int>{Count(QStringLiteral("TbCategory")), 2, 3, disc.Id ? before.CId : 0, 8}));
    // The calendar pops up from the date box's button, on the box's date,
    // weeks from Sunday, in a grid, with the week numbers.
    QVERIFY(calendar.shown);
    QCOMPARE(calendar.date, DateUtils::ToDate(*before.Day));
    QCOMPARE(calendar.firstDay, Qt::Sunday);
    QVERIFY(calendar.grid);
    QCOMPARE(calendar.weekNumbers, QCalendarWidget::ISOWeekNumbers);
    QCOMPARE(firstPage, QStringLiteral("tsDetail"));
    // No picture yet: the default cover and its hint.
    QCOMPARE(cover, QSize(150, 215));
    QCOMPARE(hint, QStringLiteral("当前无图片，双击此处，可以选择图片。"));
    QCOMPARE(seen.value(0), caption);
    QCOMPARE(seen.value(1), code);
    if (discId == 0) {
        QCOMPARE(seen.mid(2), (QStringList{QStringLiteral("2024-02-29"), QString(), QString(), QStringLiteral("0.00"),
                                           QString(), QString(), QString(), QStringLiteral("音乐夹"), QString()}));
    } else {
        QCOMPARE(seen.mid(2),
                 (QStringList{QStringLiteral("2023-07-01"), QStringLiteral("S-9"), QStringLiteral("英雄"),
                              QStringLiteral("12.50"), QStringLiteral("柜子"), QStringLiteral("第一行\n第二行"),
                              QStringLiteral("DVD"), QStringLiteral("电影夹"), QStringLiteral("全新")}));
    }
    if (confirm) {
        QCOMPARE(disc.Code, code);
        QCOMPARE(DateUtils::FormatDate(disc.Day), QStringLiteral("2024-02-29"));
        QCOMPARE(disc.Name, QStringLiteral("新片"));
    } else {
        QCOMPARE(Fields(disc), Fields(before));
    }
    QVERIFY(messages.shown.isEmpty());
}

void TestAddDisc::tabOrderPutsTheButtonsFirst()
{
    TCdRec disc;
    TAddCdDlg dlg(disc, Context());
    dlg.show();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    QCOMPARE(dlg.focusWidget(), dlg.edDay);

    dlg.btnOk->setFocus();
    QStringList order;
    // Tab steps through the date's sections before it leaves the date.
    for (int i = 0; i < 18; ++i) {
        QWidget *focus = QApplication::focusWidget();
        order << ControlName(focus, &dlg);
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    order.removeDuplicates();
    QCOMPARE(order, (QStringList{QStringLiteral("btnOk"), QStringLiteral("btnCancle"), QStringLiteral("PageControl"),
                                 QStringLiteral("edDay"), QStringLiteral("cbCategory"), QStringLiteral("cbCdTree"),
                                 QStringLiteral("cbQuality"), QStringLiteral("edSerial"), QStringLiteral("edCode"),
                                 QStringLiteral("edName"), QStringLiteral("edPrice"), QStringLiteral("edLocation")}));
}

void TestAddDisc::discWithoutADate_data()
{
    QTest::addColumn<QString>("day");     // the disc's date; empty: none
    QTest::addColumn<QString>("clicks");  // on the box's check box: "c" a click, "s" Space in the box
    QTest::addColumn<QString>("shown");   // the box's text at the end
    QTest::addColumn<QString>("written"); // the disc's date after OK; empty: none

    const QString today = QDate::currentDate().toString(Qt::ISODate);
    QTest::newRow("none, left alone") << QString() << QString() << QStringLiteral("无日期") << QString();
    QTest::newRow("none, then one") << QString() << QStringLiteral("c") << today << today;
    QTest::newRow("none, then one by Space") << QString() << QStringLiteral("s") << today << today;
    QTest::newRow("one, left alone") << QStringLiteral("2023-07-01") << QString() << QStringLiteral("2023-07-01")
                                     << QStringLiteral("2023-07-01");
    QTest::newRow("one, taken away") << QStringLiteral("2023-07-01") << QStringLiteral("c") << QStringLiteral("无日期")
                                     << QString();
    QTest::newRow("one, taken away and given back") << QStringLiteral("2023-07-01") << QStringLiteral("cs")
                                                    << QStringLiteral("2023-07-01") << QStringLiteral("2023-07-01");
}

void TestAddDisc::discWithoutADate()
{
    QFETCH(QString, day);
    QFETCH(QString, clicks);
    QFETCH(QString, shown);
    QFETCH(QString, written);

    TCdRec disc;
    disc.TId = 3;
    if (!day.isEmpty())
        disc.Day = DateUtils::ToDays(QDate::fromString(day, Qt::ISODate));
    Msg::Recorder messages;
    TAddCdDlg dlg(disc, Context());
    dlg.show();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    QCheckBox *check = dlg.edDay->DateCheck();
    QVERIFY(check);
    QCOMPARE(check->isChecked(), !day.isEmpty());
    QCOMPARE(dlg.edDay->text(), day.isEmpty() ? QStringLiteral("无日期") : day);
    if (day.isEmpty()) // no calendar for a box without a date
        QVERIFY(!OpenCalendar(dlg.edDay).shown);
    for (QChar click : clicks) {
        if (click == u'c')
            QTest::mouseClick(check, Qt::LeftButton);
        else
            QTest::keyClick(dlg.edDay, Qt::Key_Space);
    }
    QCOMPARE(dlg.edDay->text(), shown);
    FillRequired(dlg);
    dlg.btnOkClick();
    QVERIFY(messages.shown.isEmpty());
    QCOMPARE(DateUtils::FormatDate(disc.Day), written);
    QCOMPARE(disc.Day.has_value(), !written.isEmpty());
}

void TestAddDisc::discWithoutAPrice_data()
{
    QTest::addColumn<QString>("typed");   // null: the box left as shown
    QTest::addColumn<QString>("written"); // the disc's price after OK; empty: none

    QTest::newRow("left empty") << QString() << QString();
    QTest::newRow("a price typed") << QStringLiteral("12.5") << QStringLiteral("125000");
    QTest::newRow("typed and cleared again") << QStringLiteral("") << QString();
}

// An imported disc whose price cell was empty has none; saving it for any
// other change keeps it without one, and it shows as an empty box.
void TestAddDisc::discWithoutAPrice()
{
    QFETCH(QString, typed);
    QFETCH(QString, written);

    TCdRec disc;
    disc.TId = 3;
    disc.Price.reset();
    Msg::Recorder messages;
    TAddCdDlg dlg(disc, Context());
    QCOMPARE(dlg.edPrice->text(), QString());
    if (!typed.isNull()) {
        dlg.edPrice->setText(QStringLiteral("1"));
        dlg.edPrice->setText(typed);
    }
    FillRequired(dlg);
    dlg.btnOkClick();
    QVERIFY(messages.shown.isEmpty());
    QCOMPARE(disc.Price ? QString::number(*disc.Price) : QString(), written);
}

void TestAddDisc::nulCharactersLeaveTheName()
{
    TCdRec disc;
    disc.TId = 3;
    Msg::Recorder messages;
    TAddCdDlg dlg(disc, Context());
    FillRequired(dlg);
    dlg.edName->setText(QStringLiteral("新") + QChar(u'\0') + QStringLiteral("片") + QChar(u'\0'));
    dlg.btnOkClick();
    QVERIFY(messages.shown.isEmpty());
    QCOMPARE(disc.Name, QStringLiteral("新片"));
    QCOMPARE(disc.Spell, GetSpell(QStringLiteral("新片")));
}

void TestAddDisc::btnOkClick_data()
{
    QTest::addColumn<int>("discId"); // 0: a new disc in folder 3; 5: the disc A1
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("quality");
    QTest::addColumn<QString>("price");   // null: left as shown
    QTest::addColumn<QString>("message"); // empty: accepted
    QTest::addColumn<QString>("focus");
    QTest::addColumn<qint64>("storedPrice");
    QTest::addColumn<QString>("shownAgain");
    QTest::addColumn<int>("rowsAdded"); // categories, folders and qualities

    const QString film = QStringLiteral("新片"), music = QStringLiteral("音乐"), folder = QStringLiteral("音乐夹"),
                  good = QStringLiteral("良好"), newCategory = QStringLiteral("新类"),
                  newFolder = QStringLiteral("新夹"), newQuality = QStringLiteral("新质");
    const QString none;
    const QString blank = QStringLiteral("  ");

    QTest::newRow("duplicate code, other letter case")
        << 0 << QStringLiteral("a1") << film << newCategory << newFolder << newQuality << none
        << QStringLiteral("此编号已经存在，请重新输入") << QStringLiteral("edCode") << 0LL << none << 0;
    QTest::newRow("own code kept on edit")
        << 5 << QStringLiteral("A1") << QStringLiteral("英雄") << QStringLiteral("DVD") << QStringLiteral("电影夹")
        << QStringLiteral("全新") << none << none << none << 123460LL << QStringLiteral("12.35") << 0;
    QTest::newRow("blank code stored as typed")
        << 0 << QStringLiteral("   ") << film << music << folder << good << QStringLiteral("8") << none << none
        << 80000LL << QStringLiteral("8.00") << 0;
    QTest::newRow("category in other letter case found")
        << 0 << QStringLiteral("N1") << film << QStringLiteral("dvd") << folder << good << QString() << none << none
        << 0LL << QStringLiteral("0.00") << 0;
    QTest::newRow("new names added") << 0 << QStringLiteral("N1") << film << newCategory << newFolder << newQuality
                                     << QStringLiteral("1") << none << none << 10000LL << QStringLiteral("1.00") << 3;
    QTest::newRow("empty name") << 0 << QStringLiteral("N1") << blank << newCategory << newFolder << newQuality << none
                                << QStringLiteral("“名称”为空，请输入") << QStringLiteral("edName") << 0LL << none << 0;
    QTest::newRow("empty category") << 0 << QStringLiteral("N1") << film << blank << newFolder << newQuality << none
                                    << QStringLiteral("“分类”为空，请输入") << QStringLiteral("cbCategory") << 0LL
                                    << none << 0;
    QTest::newRow("empty folder") << 0 << QStringLiteral("N1") << film << newCategory << QString() << newQuality << none
                                  << QStringLiteral("“文件夹目录”为空，请输入") << QStringLiteral("cbCdTree") << 0LL
                                  << none << 0;
    QTest::newRow("empty quality") << 0 << QStringLiteral("N1") << film << newCategory << newFolder << blank << none
                                   << QStringLiteral("“质量”为空，请输入") << QStringLiteral("cbQuality") << 0LL << none
                                   << 0;
    QTest::newRow("price to four decimals")
        << 0 << QString() << film << music << folder << good << QStringLiteral("12.346") << none << none << 123460LL
        << QStringLiteral("12.35") << 0;
    QTest::newRow("price that is no number")
        << 0 << QString() << film << music << folder << good << QStringLiteral("12元") << none << none << 0LL
        << QStringLiteral("0.00") << 0;
    // No finite number the price column can hold: no number.
    for (const char *typed : {"inf", "nan", "1e300", "-1e20", "922337203685478", "1,234.5"})
        QTest::newRow(qPrintable(QStringLiteral("price %1").arg(QLatin1String(typed))))
            << 0 << QString() << film << music << folder << good << QString::fromLatin1(typed) << none << none << 0LL
            << QStringLiteral("0.00") << 0;
    QTest::newRow("large price") << 0 << QString() << film << music << folder << good
                                 << QStringLiteral("123456789012.5") << none << none << 1234567890125000LL
                                 << QStringLiteral("123456789012.50") << 0;
    const QString fullWidth = QStringLiteral("\u3000\u3000");
    QTest::newRow("name of full-width blanks")
        << 0 << QStringLiteral("N1") << fullWidth << newCategory << newFolder << newQuality << none
        << QStringLiteral("“名称”为空，请输入") << QStringLiteral("edName") << 0LL << none << 0;
    const QString empty = QStringLiteral("“名称”为空，请输入");
    QTest::newRow("name of zero-width spaces")
        << 0 << QStringLiteral("N1") << QStringLiteral("\u200B\u200B") << newCategory << newFolder << newQuality << none
        << empty << QStringLiteral("edName") << 0LL << none << 0;
    QTest::newRow("name of format characters and blanks")
        << 0 << QStringLiteral("N1") << QStringLiteral("\u200D \uFEFF\u3000\u2060\u3164") << newCategory << newFolder
        << newQuality << none << empty << QStringLiteral("edName") << 0LL << none << 0;
    QTest::newRow("name of NUL characters")
        << 0 << QStringLiteral("N1") << QString(2, QChar(u'\0')) << newCategory << newFolder << newQuality << none
        << empty << QStringLiteral("edName") << 0LL << none << 0;
    QTest::newRow("quality of full-width blanks")
        << 0 << QStringLiteral("N1") << film << newCategory << newFolder << fullWidth << none
        << QStringLiteral("“质量”为空，请输入") << QStringLiteral("cbQuality") << 0LL << none << 0;
    QTest::newRow("price changed on edit")
        << 5 << QStringLiteral("A1") << QStringLiteral("英雄") << QStringLiteral("DVD") << QStringLiteral("电影夹")
        << QStringLiteral("全新") << QStringLiteral("-3.5") << none << none << -35000LL << QStringLiteral("-3.50") << 0;
}

void TestAddDisc::btnOkClick()
{
    QFETCH(int, discId);
    QFETCH(QString, code);
    QFETCH(QString, name);
    QFETCH(QString, category);
    QFETCH(QString, folder);
    QFETCH(QString, quality);
    QFETCH(QString, price);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    QFETCH(qint64, storedPrice);
    QFETCH(QString, shownAgain);
    QFETCH(int, rowsAdded);

    TCdRec disc;
    disc.TId = 3;
    if (discId == 5)
        disc = {5,
                0,
                QString(),
                QStringLiteral("A1"),
                QStringLiteral("英雄"),
                QStringLiteral("OLD"),
                IdOf(QStringLiteral("TbCategory"), QStringLiteral("DVD")),
                2,
                1,
                7,
                123460,
                QString(),
                QString(),
                QString()};
    const TCdRec before = disc;
    const int rowsBefore =
        Count(QStringLiteral("TbCategory")) + Count(QStringLiteral("TbTree")) + Count(QStringLiteral("TbQuality"));

    Msg::Recorder messages;
    TAddCdDlg dlg(disc, Context());
    dlg.show();
    QVERIFY(QTest::qWaitForWindowActive(&dlg));
    dlg.PageControl->setCurrentWidget(dlg.tsMemo);
    dlg.edCode->setText(code);
    dlg.edName->setText(name);
    dlg.cbCategory->setCurrentText(category);
    dlg.cbCdTree->setCurrentText(folder);
    dlg.cbQuality->setCurrentText(quality);
    if (!price.isNull())
        dlg.edPrice->setText(price);
    dlg.btnOkClick();

    const int rowsAfter =
        Count(QStringLiteral("TbCategory")) + Count(QStringLiteral("TbTree")) + Count(QStringLiteral("TbQuality"));
    QCOMPARE(rowsAfter - rowsBefore, rowsAdded);
    if (!message.isEmpty()) {
        QCOMPARE(messages.Texts(), QStringList{message});
        QCOMPARE(messages.shown.first().kind, Msg::Kind::Error);
        QVERIFY(dlg.isVisible());
        QCOMPARE(dlg.PageControl->currentWidget(), dlg.tsDetail);
        QCOMPARE(ControlName(dlg.focusWidget(), &dlg), focus);
        QCOMPARE(Fields(disc), Fields(before));
        return;
    }

    QVERIFY(messages.shown.isEmpty());
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(disc.Id, discId);
    QCOMPARE(disc.Code, code);
    QCOMPARE(disc.Name, name);
    QCOMPARE(disc.Spell, GetSpell(name));
    QCOMPARE(NameOf(QStringLiteral("TbCategory"), disc.CId).toLower(), category.toLower());
    QCOMPARE(NameOf(QStringLiteral("TbTree"), disc.TId), folder);
    QCOMPARE(NameOf(QStringLiteral("TbQuality"), disc.QId), quality);
    QCOMPARE(disc.DId, 0);
    QCOMPARE(disc.Price.value_or(-1), storedPrice);

    TAddCdDlg reopened(disc, Context());
    QCOMPARE(reopened.edPrice->text(), shownAgain);
    QCOMPARE(reopened.cbCategory->currentData().toInt(), disc.CId);
}

void TestAddDisc::newFolderIsAddedOnceUnderThePreviousFolder()
{
    Msg::Recorder messages;
    const int folders = Count(QStringLiteral("TbTree"));
    TCdRec disc;
    disc.TId = 3;
    TAddCdDlg dlg(disc, Context());
    FillRequired(dlg);
    dlg.cbCdTree->setCurrentText(QStringLiteral("古典"));
    dlg.cbQuality->setCurrentText(QString());
    dlg.btnOkClick();
    QCOMPARE(messages.Texts(), QStringList{QStringLiteral("“质量”为空，请输入")});
    QCOMPARE(Count(QStringLiteral("TbTree")), folders);

    dlg.cbQuality->setCurrentText(QStringLiteral("良好"));
    dlg.btnOkClick();
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(Count(QStringLiteral("TbTree")), folders + 1);
    QCOMPARE(disc.TId, IdOf(QStringLiteral("TbTree"), QStringLiteral("古典")));
    QCOMPARE(
        DM->GetFieldValue(QStringLiteral("SELECT Id1 FROM TbTree WHERE Id=%1").arg(disc.TId), QStringLiteral("Id1")),
        QStringLiteral("3"));

    // The next disc that names it finds it, and the new folder is listed.
    TCdRec next;
    next.TId = 2;
    TAddCdDlg second(next, Context());
    QVERIFY(second.cbCdTree->findText(QStringLiteral("古典")) >= 0);
    FillRequired(second);
    second.cbCdTree->setCurrentText(QStringLiteral("古典"));
    second.btnOkClick();
    QCOMPARE(next.TId, disc.TId);
    QCOMPARE(Count(QStringLiteral("TbTree")), folders + 1);
    QCOMPARE(messages.shown.size(), 1);
}

void TestAddDisc::doubleQuotesAreTakenAsTyped()
{
    // "%2" as well: no statement may read a typed text as a placeholder.
    const QString code = QStringLiteral("C\"1%2"), category = QStringLiteral("类\"别"),
                  folder = QStringLiteral("夹\"子"), quality = QStringLiteral("好\"的");
    Msg::Recorder messages;
    TCdRec disc;
    disc.TId = 1;
    TAddCdDlg dlg(disc, Context());
    dlg.edCode->setText(code);
    dlg.edSerial->setText(QStringLiteral("S\"1"));
    dlg.edName->setText(QStringLiteral("名\"称"));
    dlg.cbCategory->setCurrentText(category);
    dlg.cbCdTree->setCurrentText(folder);
    dlg.cbQuality->setCurrentText(quality);
    dlg.edLocation->setText(QStringLiteral("位\"置"));
    dlg.edMemo->setPlainText(QStringLiteral("说\"明"));
    dlg.btnOkClick();
    QVERIFY(messages.shown.isEmpty());
    QCOMPARE((QStringList{disc.Code, disc.Serial, disc.Name, disc.Location, disc.Memo}),
             (QStringList{code, QStringLiteral("S\"1"), QStringLiteral("名\"称"), QStringLiteral("位\"置"),
                          QStringLiteral("说\"明")}));
    QCOMPARE(NameOf(QStringLiteral("TbCategory"), disc.CId), category);
    QCOMPARE(NameOf(QStringLiteral("TbTree"), disc.TId), folder);
    QCOMPARE(NameOf(QStringLiteral("TbQuality"), disc.QId), quality);

    // Stored, the same texts are found again: the code as a duplicate, the
    // names as existing rows.
    DM->ExecuteSQL(QStringLiteral("INSERT INTO TbCd (Code, Name) VALUES (%1, \"x\")").arg(Quote(code)));
    const int categories = Count(QStringLiteral("TbCategory"));
    TCdRec other;
    TAddCdDlg second(other, Context());
    FillRequired(second);
    second.edCode->setText(code);
    second.btnOkClick();
    QCOMPARE(messages.Texts(), QStringList{QStringLiteral("此编号已经存在，请重新输入")});
    second.edCode->setText(QStringLiteral("D1"));
    second.cbCategory->setCurrentText(category);
    second.btnOkClick();
    QCOMPARE(other.CId, disc.CId);
    QCOMPARE(Count(QStringLiteral("TbCategory")), categories);
}

void TestAddDisc::boxesAcceptNoMoreThanTheColumnHolds_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("width");

    QTest::newRow("code") << QStringLiteral("edCode") << 20;
    QTest::newRow("serial") << QStringLiteral("edSerial") << 40;
    QTest::newRow("name") << QStringLiteral("edName") << 100;
    QTest::newRow("location") << QStringLiteral("edLocation") << 100;
    QTest::newRow("category") << QStringLiteral("cbCategory") << 40;
    QTest::newRow("folder") << QStringLiteral("cbCdTree") << 60;
    QTest::newRow("quality") << QStringLiteral("cbQuality") << 40;
}

void TestAddDisc::boxesAcceptNoMoreThanTheColumnHolds()
{
    QFETCH(QString, box);
    QFETCH(int, width);

    TCdRec disc;
    TAddCdDlg dlg(disc, Context());
    QWidget *control = dlg.findChild<QWidget *>(box);
    QVERIFY(control);
    auto *combo = qobject_cast<QComboBox *>(control);
    QLineEdit *edit = combo ? combo->lineEdit() : qobject_cast<QLineEdit *>(control);
    QVERIFY(edit);

    // ASCII: one byte each; typing on past the width adds nothing.
    edit->clear();
    Type(edit, QString(width + 3, QLatin1Char('x')));
    QCOMPARE(edit->text(), QString(width, QLatin1Char('x')));

    // Chinese: two bytes each, and none is split at an odd width.
    edit->clear();
    Type(edit, QString(width, QChar(0x5149)));
    QCOMPARE(edit->text(), QString(width / 2, QChar(0x5149)));
    edit->setText(QString(width - 1, QLatin1Char('x')));
    Type(edit, QStringLiteral("光"));
    QCOMPARE(GbkText::ByteWidth(edit->text()), width - 1);

    // A paste that does not fit is cut at a whole character, and the box
    // says so.
    edit->clear();
    edit->insert(QString(width / 2 + 1, QChar(0x5149)));
    QCOMPARE(edit->text(), QString(width / 2, QChar(0x5149)));
    auto *limited = qobject_cast<TGbkLineEdit *>(edit);
    QVERIFY(limited);
    QVERIFY(limited->LastTip().contains(QStringLiteral("截去")));
    QVERIFY(limited->LastTip().contains(TGbkLineEdit::LimitText(width)));
}

void TestAddDisc::chosenPictureIsStored_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("already"); // files in the picture folder: "name=same" or "name=other"
    QTest::addColumn<QString>("stored");

    QTest::newRow("spaces removed") << QStringLiteral("my cover.jpg") << QStringList() << QStringLiteral("mycover.jpg");
    QTest::newRow("bmp") << QStringLiteral("封 面.bmp") << QStringList() << QStringLiteral("封面.bmp");
    QTest::newRow("same picture already there")
        << QStringLiteral("my cover.jpg") << QStringList{QStringLiteral("mycover.jpg=same")}
        << QStringLiteral("mycover.jpg");
    QTest::newRow("another disc's picture of that name")
        << QStringLiteral("my cover.jpg") << QStringList{QStringLiteral("mycover.jpg=other")}
        << QStringLiteral("mycover_1.jpg");
    QTest::newRow("the numbered name taken too")
        << QStringLiteral("my cover.jpg")
        << QStringList{QStringLiteral("mycover.jpg=other"), QStringLiteral("mycover_1.jpg=other")}
        << QStringLiteral("mycover_2.jpg");
    QTest::newRow("the numbered name holds the same picture")
        << QStringLiteral("my cover.jpg")
        << QStringList{QStringLiteral("mycover.jpg=other"), QStringLiteral("mycover_1.jpg=same")}
        << QStringLiteral("mycover_1.jpg");
    QTest::newRow("picture folder missing")
        << QStringLiteral("my cover.jpg") << QStringList{QStringLiteral("-")} << QStringLiteral("mycover.jpg");
}

void TestAddDisc::chosenPictureIsStored()
{
    QFETCH(QString, source);
    QFETCH(QStringList, already);
    QFETCH(QString, stored);

    const QString sourcePath = SourcePath(source);
    const QImage picture = WritePicture(sourcePath, Qt::darkBlue);
    const QByteArray sourceBytes = Content(sourcePath);
    QHash<QString, QByteArray> before;
    for (const QString &entry : already) {
        if (entry == QStringLiteral("-")) {
            QVERIFY(QDir(PictureFolder()).removeRecursively());
            continue;
        }
        const QString name = entry.section(QLatin1Char('='), 0, 0);
        before[name] = entry.endsWith(QStringLiteral("=same")) ? sourceBytes : QByteArrayLiteral("another picture");
        WriteFile(QDir(PictureFolder()).filePath(name), before[name]);
    }

    Msg::Recorder messages;
    TCdRec disc;
    TAddCdDlg dlg(disc, Context());
    FillRequired(dlg);
    int asked = 0;
    dlg.PictureDlg = [&](QWidget *) {
        ++asked;
        return sourcePath;
    };
    QTest::mouseDClick(dlg.imgPicture, Qt::LeftButton);
    QCOMPARE(asked, 1);
    QCOMPARE(dlg.imgPicture->Picture().size(), picture.size());
    QCOMPARE(dlg.imgPicture->toolTip(), QStringLiteral("当前无图片，双击此处，可以选择图片。"));
    QVERIFY(!QFileInfo::exists(QDir(PictureFolder()).filePath(stored)) || before.contains(stored));

    dlg.btnOkClick();
    QVERIFY(messages.shown.isEmpty());
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(disc.Picture, stored);
    QCOMPARE(Content(QDir(PictureFolder()).filePath(stored)), sourceBytes);
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        QCOMPARE(Content(QDir(PictureFolder()).filePath(it.key())), it.value());
    QCOMPARE(QDir(PictureFolder()).entryList(QDir::Files).size(), before.size() + (before.contains(stored) ? 0 : 1));
}

void TestAddDisc::failedPictureCopyKeepsTheDialogOpen()
{
    // A file where the picture folder should be: the folder cannot be made.
    QVERIFY(QDir(PictureFolder()).removeRecursively());
    WriteFile(PictureFolder(), "not a folder");
    const QString sourcePath = SourcePath(QStringLiteral("cover.jpg"));
    WritePicture(sourcePath, Qt::red);
    const int categories = Count(QStringLiteral("TbCategory"));

    Msg::Recorder messages;
    TCdRec disc;
    disc.TId = 3;
    const TCdRec before = disc;
    TAddCdDlg dlg(disc, Context());
    dlg.show();
    FillRequired(dlg);
    dlg.cbCategory->setCurrentText(QStringLiteral("新类"));
    dlg.PictureDlg = [&](QWidget *) { return sourcePath; };
    dlg.imgPictureDblClick();
    dlg.btnOkClick();

    QCOMPARE(messages.shown.size(), 1);
    QCOMPARE(messages.shown.first().kind, Msg::Kind::Error);
    QVERIFY(messages.shown.first().text.startsWith(QStringLiteral("光盘图片没有保存：")));
    QVERIFY(dlg.isVisible());
    QCOMPARE(dlg.PageControl->currentWidget(), dlg.tsPicture);
    QCOMPARE(Fields(disc), Fields(before));
    QCOMPARE(Count(QStringLiteral("TbCategory")), categories);
}

void TestAddDisc::unreadablePictureKeepsThePrevious_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("content"); // null: a PNG picture

    QTest::newRow("text named .jpg") << QStringLiteral("bad.jpg") << QByteArrayLiteral("no picture at all");
    QTest::newRow("empty file") << QStringLiteral("empty.bmp") << QByteArrayLiteral("");
    QTest::newRow("missing file") << QStringLiteral("gone.jpg") << QByteArray();
    QTest::newRow("not JPEG or BMP") << QStringLiteral("other.png") << QByteArray();
    QTest::newRow("FIFO") << QStringLiteral("pipe.jpg") << QByteArrayLiteral("fifo");
}

void TestAddDisc::unreadablePictureKeepsThePrevious()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, content);

    const QString good = SourcePath(QStringLiteral("good.jpg"));
    WritePicture(good, Qt::green, QSize(64, 48));
    const QString bad = SourcePath(file);
    if (file.endsWith(QStringLiteral(".png")))
        WritePicture(bad, Qt::yellow);
    else if (content == "fifo") // nobody ever writes to it
        QCOMPARE(mkfifo(QFile::encodeName(bad).constData(), 0600), 0);
    else if (!content.isNull())
        WriteFile(bad, content);

    Msg::Recorder messages;
    TCdRec disc;
    TAddCdDlg dlg(disc, Context());
    FillRequired(dlg);
    QString next = good;
    dlg.PictureDlg = [&](QWidget *) { return next; };
    dlg.imgPictureDblClick();
    const QImage shown = dlg.imgPicture->Picture();
    QCOMPARE(shown.size(), QSize(64, 48));

    next = bad;
    dlg.imgPictureDblClick();
    QCOMPARE(messages.shown.size(), 1);
    QVERIFY(messages.shown.first().text.startsWith(
        QStringLiteral("无法读取图片文件“%1”：").arg(QDir::toNativeSeparators(bad))));
    QCOMPARE(dlg.imgPicture->Picture(), shown);
    QCOMPARE(dlg.ChosenPicture(), good);

    // Cancelling the file dialog changes nothing either.
    next.clear();
    dlg.imgPictureDblClick();
    QCOMPARE(dlg.ChosenPicture(), good);

    dlg.btnOkClick();
    QCOMPARE(disc.Picture, QStringLiteral("good.jpg"));
}

void TestAddDisc::storedPictureIsShownAndKept()
{
    // Stored names are kept as they are, spaces and all: the file is there
    // under that name.
    const QString name = QStringLiteral("old cover.jpg");
    WritePicture(QDir(PictureFolder()).filePath(name), Qt::cyan, QSize(300, 430));
    Msg::Recorder messages;
    TCdRec disc;
    disc.Id = 5;
    disc.Code = QStringLiteral("A1");
    disc.Picture = name;
    TAddCdDlg dlg(disc, Context());
    QCOMPARE(dlg.imgPicture->Picture().size(), QSize(300, 430));
    QCOMPARE(dlg.imgPicture->toolTip(), QStringLiteral("当前图片：old cover.jpg，双击此处，可以改变图片。"));
    FillRequired(dlg);
    dlg.btnOkClick();
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(disc.Picture, name);

    QVERIFY(messages.shown.isEmpty());
}

void TestAddDisc::descriptionLinesEndInCrLf_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("typed"); // null: left as shown
    QTest::addColumn<QString>("result");
    QTest::newRow("untouched") << QStringLiteral("一\r\n\r\n二") << QString() << QStringLiteral("一\r\n\r\n二");
    QTest::newRow("untouched, bare line feeds kept")
        << QStringLiteral("一\n二") << QString() << QStringLiteral("一\n二");
    QTest::newRow("typed") << QString() << QStringLiteral("甲\n乙\n\n丙") << QStringLiteral("甲\r\n乙\r\n\r\n丙");
    QTest::newRow("a line added") << QStringLiteral("一\r\n二") << QStringLiteral("一\n二\n三")
                                  << QStringLiteral("一\r\n二\r\n三");
    QTest::newRow("one line") << QStringLiteral("一\r\n二") << QStringLiteral("一") << QStringLiteral("一");
}

void TestAddDisc::descriptionLinesEndInCrLf()
{
    QFETCH(QString, stored);
    QFETCH(QString, typed);
    QFETCH(QString, result);
    TCdRec disc;
    disc.TId = 3;
    disc.Memo = stored;
    Msg::Recorder messages;
    TAddCdDlg dlg(disc, Context());
    // Shown as lines, whatever ends them.
    QCOMPARE(dlg.edMemo->toPlainText(), QString(stored).replace(QLatin1String("\r\n"), QLatin1String("\n")));
    FillRequired(dlg);
    if (!typed.isNull())
        dlg.edMemo->setPlainText(typed);
    dlg.btnOkClick();
    QVERIFY(messages.shown.isEmpty());
    QCOMPARE(disc.Memo, result);
}

void TestAddDisc::storedPictureNotInTheFolderShowsTheDefaultCover_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("file gone") << "gone";
    QTest::newRow("FIFO in the folder") << "fifo";
    QTest::newRow("absolute path outside") << "absolute";
    QTest::newRow("relative path outside") << "relative";
    QTest::newRow("link leading out") << "link";
    QTest::newRow("folder in the folder") << "folder";
}

void TestAddDisc::storedPictureNotInTheFolderShowsTheDefaultCover()
{
    // Read as the detail page reads it: only a regular file directly in the
    // picture folder; everything else is the default cover, at once.
    QFETCH(QString, kind);
    const QString outside = SourcePath(QStringLiteral("outside.jpg"));
    WritePicture(outside, Qt::magenta, QSize(33, 44));
    const QDir folder(PictureFolder());
    QString name = QStringLiteral("gone.jpg");
    if (kind == "fifo") {
        name = QStringLiteral("pipe.jpg");
        QCOMPARE(mkfifo(QFile::encodeName(folder.filePath(name)).constData(), 0600), 0);
    } else if (kind == "absolute") {
        name = outside;
    } else if (kind == "relative") {
        name = QDir(PictureFolder()).relativeFilePath(outside);
        QVERIFY(name.startsWith(QLatin1String("..")));
    } else if (kind == "link") {
        name = QStringLiteral("link.jpg");
        QVERIFY(QFile::link(outside, folder.filePath(name)));
    } else if (kind == "folder") {
        name = QStringLiteral("sub.jpg");
        QVERIFY(folder.mkdir(name));
    }
    Msg::Recorder messages;
    TCdRec disc;
    disc.Id = 5;
    disc.Code = QStringLiteral("A1");
    disc.Picture = name;
    QElapsedTimer elapsed;
    elapsed.start();
    TAddCdDlg dlg(disc, Context());
    QVERIFY(elapsed.elapsed() < 5000);
    QCOMPARE(dlg.imgPicture->Picture(), QImage(QStringLiteral(":/nopicture.jpg")));
    QCOMPARE(dlg.imgPicture->toolTip(), QStringLiteral("当前图片：%1，双击此处，可以改变图片。").arg(name));
    QVERIFY(messages.shown.isEmpty());
    // The stored name is kept as it is.
    FillRequired(dlg);
    dlg.btnOkClick();
    QCOMPARE(disc.Picture, name);
}

QTEST_MAIN(TestAddDisc)
#include "tst_adddisc.moc"
