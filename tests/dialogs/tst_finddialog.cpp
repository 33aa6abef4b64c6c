// The find dialog: the statement it builds from its controls, the discs it
// finds on a real catalog, and a find as the user makes it.
#include "dialogs/ExportDiscs.h"
#include "dialogs/FindForm.h"
#include "store/catalog/DataModule.h"
#include "store/catalog/Schema.h"
#include "store/engine/DAODataSource.h"
#include "store/engine/DateUtils.h"
#include "tests/support/ModuleFixture.h"
#include "toolkit/CommandGuard.h"
#include "toolkit/DataGrid.h"
#include "toolkit/GridPrint.h"
#include "toolkit/MessageBoxes.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

const QString DiscList =
    QStringLiteral("SELECT A.*,B.Name AS Category,C.Name AS Quality FROM (TbCd AS A LEFT JOIN TbCategory AS B ON "
                   "A.CId=B.Id) LEFT JOIN TbQuality AS C ON A.QId=C.Id");

// What the user does in the dialog before pressing "开始查找".
struct Input
{
    QList<qint32> browse{}; // the folder picker's answers, one per click on "浏览..." (0: cancelled)
    bool sub = true;
    QString name{}, location{}, memo{};
    qint32 category = 0, quality = 0;
    QString price{};
    QDate day1{}, day2{}; // an invalid date leaves the box unchecked
    QStringList setup{};  // statements run on the catalog first
};

QDate D(const char *text)
{
    return QDate::fromString(QLatin1String(text), Qt::ISODate);
}

void Fill(TFindFm &dlg, const Input &input)
{
    dlg.ChooseFolder = [answers = input.browse](QWidget *) mutable { return answers.takeFirst(); };
    for (qsizetype i = 0; i < input.browse.size(); ++i)
        QTest::mouseClick(dlg.btnBrowse, Qt::LeftButton);
    dlg.cbSub->setChecked(input.sub);
    dlg.edName->setText(input.name);
    dlg.edLocation->setText(input.location);
    dlg.edMemo->setText(input.memo);
    dlg.cbCategory->setCurrentIndex(dlg.cbCategory->findData(input.category));
    dlg.cbQuality->setCurrentIndex(dlg.cbQuality->findData(input.quality));
    dlg.edPrice->setText(input.price);
    for (auto [edit, date] : {std::pair{dlg.edDay1, input.day1}, std::pair{dlg.edDay2, input.day2}}) {
        edit->SetChecked(date.isValid());
        if (date.isValid())
            edit->SetDate(date);
    }
}

// The codes of the discs found, sorted.
QStringList FoundCodes(TDAOQuery &query)
{
    QStringList codes;
    if (!query.Active())
        return {QStringLiteral("<closed>")};
    for (query.First(); !query.AtEnd(); query.Next())
        codes << query.Field(QStringLiteral("Code")).AsString();
    std::sort(codes.begin(), codes.end());
    return codes;
}

// The text a grid shows in a column of a row, found by the column's header.
QString CellText(TDataGrid &grid, int row, const QString &header)
{
    QAbstractItemModel *model = grid.View()->model();
    for (int column = 0; column < model->columnCount(); ++column)
        if (model->headerData(column, Qt::Horizontal).toString() == header)
            return model->index(row, column).data().toString();
    return QStringLiteral("<no column %1>").arg(header);
}

// The dialog's control a focused widget belongs to: its outermost named
// widget below the dialog.
QString ControlName(QWidget *widget, QWidget *dialog)
{
    QString name = QStringLiteral("<unnamed>");
    for (QWidget *w = widget; w && w != dialog; w = w->parentWidget())
        if (!w->objectName().isEmpty())
            name = w->objectName();
    return name;
}

} // namespace

Q_DECLARE_METATYPE(Input)

class TestFindDialog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void statement_data();
    void statement();
    void discsFound_data();
    void discsFound();
    void findAsTheUserDoes();
    void failedFindIsReportedAndListsNothing();
    void closedByItsButtonOrEsc_data();
    void closedByItsButtonOrEsc();
    void resultsAreExportedAndPrinted();

private:
    std::unique_ptr<ModuleFixture> m_catalog;
};

// Folders: 2 电影, 3 音乐, 5 收藏 under the root; 4 华语 and 6 欧美 under
// 音乐, 8 粤语 under 华语; 7 甲 and 9 乙 under 收藏. One disc in each folder,
// the root included, and one more in 电影.
void TestFindDialog::init()
{
    m_catalog = std::make_unique<ModuleFixture>();

    const char *folders[][3] = {{"2", "1", "电影"}, {"3", "1", "音乐"}, {"4", "3", "华语"}, {"5", "1", "收藏"},
                                {"6", "3", "欧美"}, {"7", "5", "甲"},   {"8", "4", "粤语"}, {"9", "5", "乙"}};
    for (const auto &f : folders)
        m_catalog->Dm().ExecuteSQL(QStringLiteral("INSERT INTO TbTree (ID, Id1, Name) VALUES (%1, %2, \"%3\")")
                                       .arg(QLatin1String(f[0]), QLatin1String(f[1]), QString::fromUtf8(f[2])));
    // Code, folder, category, grade, price, date, name, location, memo.
    const QStringList discs = {
        R"("A01", 2, 2, 1, 12.5, #2003-06-01#, "藏金阁", "书柜第二层", "第一行" & char(13,10) & "line2")",
        R"("A02", 3, 1, 2, 30, #2004-03-01#, "Music", "", "")",
        R"("A03", 4, 1, 0, 12.34, #2002-12-31#, "英雄abc", "", "")",
        R"("A04", 8, 2, 2, 0, #2004-03-02#, "12"" 黑胶", "", "")",
        R"("A05", 6, 3, 3, 12.5, #2003-01-01#, "ABC合集", "", "")",
        R"("A06", 5, 4, 1, 5, #2005-01-01#, "游戏aXb", "", "")",
        R"("A07", 7, 4, 1, 6, #2005-02-01#, "甲盘", "", "")",
        R"("A08", 9, 4, 1, 7, #2005-03-01#, "乙盘", "", "")",
        R"("A09", 1, 5, 1, 8, #2005-04-01#, "根盘", "", "")",
        R"("A10", 2, 5, 1, -1234.5, #2006-01-01#, "退货", "", "")",
    };
    for (const QString &disc : discs)
        m_catalog->Dm().ExecuteSQL(
            QStringLiteral("INSERT INTO TbCd (Code, TId, CId, QId, Price, Day, Name, Location, Memo, DId, Spell) "
                           "VALUES (%1, 0, \"\")")
                .arg(disc));
}

void TestFindDialog::cleanup()
{
    DM = nullptr;
    m_catalog.reset();
}

void TestFindDialog::statement_data()
{
    QTest::addColumn<Input>("input");
    QTest::addColumn<QString>("condition"); // what follows the disc list

    QTest::newRow("all criteria, in their order")
        << Input{.browse = {5},
                 .name = "abc",
                 .category = 2,
                 .price = "12.5",
                 .day1 = D("2004-03-01"),
                 .day2 = D("2003-01-01")}
        << R"( WHERE ( A.TId=5  OR  A.TId=7  OR  A.TId=9 ) AND  A.Name LIKE "*abc*"  AND  A.CId=2  AND  A.Price=12.50  AND  A.Day<=#2004-03-01#  AND  A.Day>=#2003-01-01# )";
    QTest::newRow("whole catalog, a name only") << Input{.name = "abc"} << R"( WHERE  A.Name LIKE "*abc*" )";
    QTest::newRow("sub-folders depth first")
        << Input{.browse = {3}} << " WHERE ( A.TId=3  OR  A.TId=4  OR  A.TId=8  OR  A.TId=6 )";
    QTest::newRow("a folder without sub-folders") << Input{.browse = {2}} << " WHERE ( A.TId=2 )";
    QTest::newRow("sub-folders not wanted") << Input{.browse = {5}, .sub = false} << " WHERE ( A.TId=5 )";
    QTest::newRow("the root chosen through browse")
        << Input{.browse = {5, 1}, .name = "abc"} << R"( WHERE  A.Name LIKE "*abc*" )";
    QTest::newRow("browse cancelled") << Input{.browse = {5, 0}, .sub = false} << " WHERE ( A.TId=5 )";
    QTest::newRow("texts as typed, grade")
        << Input{.name = " abc", .location = "第二", .memo = "line2", .quality = 2}
        << R"( WHERE  A.Name LIKE "* abc*"  AND  A.Location LIKE "*第二*"  AND  A.Memo LIKE "*line2*"  AND  A.QId=2 )";
    QTest::newRow("a typed quote is doubled, wildcards stay")
        << Input{.name = "12\" a?b*"} << R"( WHERE  A.Name LIKE "*12"" a?b**" )";
    QTest::newRow("a name of blanks") << Input{.name = "   "} << "";
    QTest::newRow("price 12.5") << Input{.price = "12.5"} << " WHERE  A.Price=12.50 ";
    QTest::newRow("price with blanks around") << Input{.price = " 7 "} << " WHERE  A.Price=7.00 ";
    QTest::newRow("price that is no number") << Input{.price = "12元"} << "";
    QTest::newRow("price that is no finite number") << Input{.price = "inf"} << "";
    QTest::newRow("price nan") << Input{.price = "nan"} << "";
    QTest::newRow("price beyond the currency") << Input{.price = "1e300"} << "";
    QTest::newRow("price beyond the currency, negative") << Input{.price = "-1e20"} << "";
    QTest::newRow("largest price the currency holds")
        << Input{.price = "922337203685477"} << " WHERE  A.Price=922337203685477.00 ";
    QTest::newRow("one more is too large") << Input{.price = "922337203685478"} << "";
    QTest::newRow("price with a group separator") << Input{.price = "1,234.5"} << "";
    QTest::newRow("price in full-width blanks") << Input{.price = "\u30008\u3000"} << " WHERE  A.Price=8.00 ";
    QTest::newRow("latest date alone") << Input{.day1 = D("2004-03-01")} << " WHERE  A.Day<=#2004-03-01# ";
    QTest::newRow("earliest date alone") << Input{.day2 = D("2003-01-01")} << " WHERE  A.Day>=#2003-01-01# ";
    QTest::newRow("both dates") << Input{.day1 = D("2004-03-01"), .day2 = D("2003-01-01")}
                                << " WHERE  A.Day<=#2004-03-01#  AND  A.Day>=#2003-01-01# ";
    QTest::newRow("no criterion lists every disc") << Input{} << "";
}

void TestFindDialog::statement()
{
    QFETCH(Input, input);
    QFETCH(QString, condition);

    TFindFm dlg(m_catalog->Dm());
    dlg.FormShow();
    Fill(dlg, input);
    QCOMPARE(BuildFindStatement(dlg.Criteria()), DiscList + condition);
}

void TestFindDialog::discsFound_data()
{
    QTest::addColumn<Input>("input");
    QTest::addColumn<QString>("codes");

    QTest::newRow("no criterion") << Input{} << "A01 A02 A03 A04 A05 A06 A07 A08 A09 A10";
    QTest::newRow("folder and all below it") << Input{.browse = {3}} << "A02 A03 A04 A05";
    QTest::newRow("folder alone") << Input{.browse = {3}, .sub = false} << "A02";
    QTest::newRow("root named as a sub-folder is not descended into")
        << Input{.browse = {5}, .setup = {"UPDATE TbTree SET Id1=5 WHERE Id=1"}} << "A06 A07 A08";
    QTest::newRow("folders in a loop") << Input{.browse = {4}, .setup = {"UPDATE TbTree SET Id1=8 WHERE Id=4"}}
                                       << "A03 A04";
    // 1,200 folders, each below the one before, under 甲, with 乙盘 in the
    // deepest: more folders than an OR of them can hold.
    QTest::newRow("a deep tree of 1,200 folders")
        << Input{.browse = {5},
                 .setup =
                     {"INSERT INTO TbTree (ID, Id1, Name) WITH RECURSIVE n(i) AS (SELECT 100 UNION ALL "
                      "SELECT i+1 FROM n WHERE i<1299) SELECT i, CASE WHEN i=100 THEN 7 ELSE i-1 END, \"x\" FROM n",
                      "UPDATE TbCd SET TId=1299 WHERE Code=\"A08\""}}
        << "A06 A07 A08";
    QTest::newRow("typed *") << Input{.name = "英*c"} << "A03";
    QTest::newRow("typed ?") << Input{.name = "a?b"} << "A06";
    QTest::newRow("letter case ignored") << Input{.name = "abc"} << "A03 A05";
    QTest::newRow("letter case ignored, upper") << Input{.name = "MUSIC"} << "A02";
    QTest::newRow("typed quote") << Input{.name = "12\""} << "A04";
    QTest::newRow("location and memo") << Input{.location = "第二", .memo = "LINE2"} << "A01";
    QTest::newRow("category and grade") << Input{.category = 2, .quality = 2} << "A04";
    QTest::newRow("dates inclusive at both ends")
        << Input{.day1 = D("2004-03-01"), .day2 = D("2003-01-01")} << "A01 A02 A05";
    // A disc without a date is within no range of dates, and still found
    // by anything else.
    const QStringList undated = {"UPDATE TbCd SET Day=NULL WHERE Code IN (\"A01\", \"A02\")"};
    QTest::newRow("undated, dates on both ends")
        << Input{.day1 = D("2004-03-01"), .day2 = D("2003-01-01"), .setup = undated} << "A05";
    QTest::newRow("undated, latest alone") << Input{.day1 = D("2003-01-01"), .setup = undated} << "A03 A05";
    QTest::newRow("undated, earliest alone") << Input{.day2 = D("2005-03-01"), .setup = undated} << "A08 A09 A10";
    QTest::newRow("undated, no date asked") << Input{.location = "第二", .setup = undated} << "A01";
    QTest::newRow("earliest after latest") << Input{.day1 = D("2003-01-01"), .day2 = D("2004-03-01")} << "";
    QTest::newRow("price equal") << Input{.price = "12.5"} << "A01 A05";
    QTest::newRow("negative price") << Input{.price = "-1234.50"} << "A10";
    QTest::newRow("scope and name") << Input{.browse = {3}, .name = "abc"} << "A03 A05";
}

void TestFindDialog::discsFound()
{
    QFETCH(Input, input);
    QFETCH(QString, codes);

    for (const QString &statement : input.setup)
        m_catalog->Dm().ExecuteSQL(statement);
    Msg::Recorder messages;
    TFindFm dlg(m_catalog->Dm());
    dlg.FormShow();
    Fill(dlg, input);
    QTest::mouseClick(dlg.btnFind, Qt::LeftButton);
    QCOMPARE(messages.Texts(), QStringList());
    QCOMPARE(FoundCodes(dlg.QFind).join(QLatin1Char(' ')), codes);
}

void TestFindDialog::findAsTheUserDoes()
{
    Msg::Recorder messages;
    bool ran = false;
    QTimer::singleShot(0, [&] {
        auto *dlg = qobject_cast<TFindFm *>(QApplication::activeModalWidget());
        if (!dlg) {
            if (QWidget *other = QApplication::activeModalWidget())
                other->close();
            QFAIL("the find dialog is not shown");
        }
        auto closeAtEnd = qScopeGuard([dlg] { dlg->close(); });
        ran = true;

        // A fresh dialog: the whole catalog, sub-folders on, nothing else.
        QCOMPARE(dlg->windowTitle(), QStringLiteral("手动查找"));
        QCOMPARE(dlg->size(), QSize(552, 423));
        QCOMPARE(dlg->dgFind->height(), 175);
        QVERIFY(!dlg->dgFind->findChild<QWidget *>(QStringLiteral("GroupPanel"))->isVisibleTo(dlg->dgFind));
        QCOMPARE(dlg->edScope->text(), QStringLiteral("主目录"));
        QVERIFY(dlg->edScope->isReadOnly());
        QVERIFY(dlg->cbSub->isChecked());
        QCOMPARE(dlg->cbCategory->count(), 8);
        QCOMPARE(dlg->cbCategory->currentText(), QStringLiteral("-不选-"));
        QCOMPARE(dlg->cbCategory->itemText(1), QStringLiteral("电影"));
        QCOMPARE(dlg->cbQuality->count(), 6);
        QCOMPARE(dlg->cbQuality->currentText(), QStringLiteral("-不选-"));
        const QDate today = DateUtils::ToDate(DateUtils::Today());
        for (TCheckDateEdit *day : {dlg->edDay1, dlg->edDay2}) {
            QVERIFY(!day->Checked());
            QVERIFY(!day->Edit->isEnabled());
            QCOMPARE(day->Date(), today);
            QVERIFY(day->Edit->calendarPopup());
            QCOMPARE(day->Edit->displayFormat(), QStringLiteral("yyyy-MM-dd"));
        }
        QCOMPARE(dlg->dsFind->rowCount(), 0);

        // Tab walks the controls in their order, the unchecked dates'
        // pickers skipped.
        QVERIFY(QTest::qWaitForWindowActive(dlg));
        dlg->edName->setFocus();
        QStringList order{ControlName(QApplication::focusWidget(), dlg)};
        for (int i = 0; i < 15; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            order << ControlName(QApplication::focusWidget(), dlg);
        }
        QCOMPARE(order.join(QLatin1Char(' ')),
                 QStringLiteral("edName edLocation edMemo cbCategory cbQuality edPrice edFile edDay1 edDay2 dgFind "
                                "edScope cbSub btnBrowse btnFind btnNewFind edName"));

        // A name typed, Enter moving on, the find pressed.
        dlg->edName->setFocus();
        QTest::keyClicks(dlg->edName, QStringLiteral("abc"));
        QTest::keyClick(dlg->edName, Qt::Key_Return);
        QCOMPARE(ControlName(QApplication::focusWidget(), dlg), QStringLiteral("edLocation"));
        QTest::mouseClick(dlg->btnFind, Qt::LeftButton);
        QCOMPARE(dlg->dsFind->rowCount(), 2);
        QCOMPARE(dlg->dgFind->FooterText(QStringLiteral("Serial")), QStringLiteral("数目：2"));

        // A date checked and picked through its own box; the list of the
        // whole 电影 folder then shows its prices in their format.
        dlg->edDay2->Check->click();
        QVERIFY(dlg->edDay2->Edit->isEnabled());
        dlg->ChooseFolder = [](QWidget *) { return 2; };
        QTest::mouseClick(dlg->btnBrowse, Qt::LeftButton);
        QCOMPARE(dlg->edScope->text(), QStringLiteral("电影"));
        dlg->edName->clear();
        dlg->edDay2->SetDate(QDate(2003, 6, 1));
        QTest::mouseClick(dlg->btnFind, Qt::LeftButton);
        QCOMPARE(dlg->dgFind->FooterText(QStringLiteral("Serial")), QStringLiteral("数目：2"));
        dlg->dgFind->SortBy(QStringLiteral("Price"), Qt::AscendingOrder);
        QCOMPARE(CellText(*dlg->dgFind, 0, QStringLiteral("价格")), QStringLiteral("-1,234.50"));
        QCOMPARE(CellText(*dlg->dgFind, 1, QStringLiteral("价格")), QStringLiteral("12.50"));
        QCOMPARE(CellText(*dlg->dgFind, 1, QStringLiteral("日期")), QStringLiteral("2003-06-01"));
        QCOMPARE(CellText(*dlg->dgFind, 1, QStringLiteral("分类")), QStringLiteral("音乐"));
        QCOMPARE(CellText(*dlg->dgFind, 1, QStringLiteral("质量")), QStringLiteral("全新"));
        QCOMPARE(CellText(*dlg->dgFind, 1, QStringLiteral("位置")), QStringLiteral("书柜第二层"));

        // A new find clears the criteria and keeps the discs found.
        dlg->edPrice->setText(QStringLiteral("5"));
        QTest::mouseClick(dlg->btnNewFind, Qt::LeftButton);
        QCOMPARE(dlg->ScopeId(), 1);
        QCOMPARE(dlg->edScope->text(), QStringLiteral("主目录"));
        QVERIFY(dlg->edPrice->text().isEmpty());
        QVERIFY(!dlg->edDay2->Checked());
        QCOMPARE(dlg->dsFind->rowCount(), 2);
    });
    ShowFind();
    QVERIFY(ran);
    QCOMPARE(messages.Texts(), QStringList());
}

void TestFindDialog::closedByItsButtonOrEsc_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("关闭") << "button";
    QTest::newRow("Esc in a criterion") << "edName";
    QTest::newRow("Esc in the list") << "dgFind";
}

void TestFindDialog::closedByItsButtonOrEsc()
{
    QFETCH(QString, how);
    QString shown, closedBy;
    QTimer::singleShot(0, [&] {
        auto *dlg = qobject_cast<TFindFm *>(QApplication::activeModalWidget());
        if (!dlg)
            return;
        shown = dlg->btnClose->text();
        QVERIFY(QTest::qWaitForWindowActive(dlg));
        if (how == QLatin1String("button")) {
            QTest::mouseClick(dlg->btnClose, Qt::LeftButton);
        } else {
            QWidget *target =
                how == QLatin1String("edName") ? static_cast<QWidget *>(dlg->edName) : dlg->dgFind->View();
            target->setFocus();
            QTest::keyClick(target, Qt::Key_Escape);
        }
        closedBy = dlg->isVisible() ? QStringLiteral("nothing") : how;
    });
    // A dialog the action left open is closed here, so the test ends.
    QTimer leftOpen;
    leftOpen.setSingleShot(true);
    connect(&leftOpen, &QTimer::timeout, [] {
        if (QWidget *left = QApplication::activeModalWidget())
            left->close();
    });
    leftOpen.start(3000);
    ShowFind();
    QCOMPARE(shown, QStringLiteral("关闭"));
    QCOMPARE(closedBy, how);
}

void TestFindDialog::failedFindIsReportedAndListsNothing()
{
    Msg::Recorder messages;
    TFindFm dlg(m_catalog->Dm());
    dlg.FormShow();
    QTest::mouseClick(dlg.btnFind, Qt::LeftButton);
    QCOMPARE(dlg.dsFind->rowCount(), 10);

    m_catalog->Dm().ExecuteSQL(QStringLiteral("DROP TABLE TbQuality"));
    QTest::mouseClick(dlg.btnFind, Qt::LeftButton);
    QCOMPARE(messages.shown.size(), 1);
    QCOMPARE(messages.shown[0].kind, Msg::Kind::Error);
    QVERIFY(!dlg.QFind.Active());
    QCOMPARE(dlg.dsFind->rowCount(), 0);
    QCOMPARE(dlg.dgFind->FooterText(QStringLiteral("Serial")), QStringLiteral("数目：0"));
}

// The context menu of the results: the discs found go into the file with
// their folder paths, and the printed list names the find's conditions.
void TestFindDialog::resultsAreExportedAndPrinted()
{
    Msg::Recorder messages;
    TFindFm dlg(m_catalog->Dm());
    dlg.FormShow();
    dlg.edName->setText(QStringLiteral("盘"));
    QTest::mouseClick(dlg.btnFind, Qt::LeftButton);
    QCOMPARE(dlg.QFind.RowCount(), 3);

    const QString path = m_catalog->FilePath(QStringLiteral("结果.csv"));
    ExportDiscs::ChooseExportHook = [&](QWidget *) {
        return ExportDiscs::TChoice{path, DiscExport::TFormat::CsvUtf8, false};
    };
    dlg.pmFindExport->trigger();
    QCOMPARE(messages.Texts(),
             QStringList{QStringLiteral("已导出 3 张光盘到“%1”。").arg(QDir::toNativeSeparators(path))});
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines =
        QString::fromUtf8(file.readAll().mid(3)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[0], QStringLiteral("序列号,编号,日期,名称,分类,质量,价格,位置,光盘夹目录,说明,封面"));
    QVERIFY2(lines.filter(QStringLiteral("甲盘")).value(0).contains(QStringLiteral(",收藏/甲,")),
             qPrintable(lines.join(u'|')));

    QString printed;
    const auto preview = Printout::PreviewHook;
    Printout::PreviewHook = [&](QWidget *, const TPrintout &printout, const QString &) {
        printed = printout.PlainText();
    };
    dlg.pmFindPrint->trigger();
    Printout::PreviewHook = preview;
    QVERIFY2(printed.contains(QStringLiteral("查找条件：范围：主目录（含子目录）；名称：盘")) &&
                 printed.contains(QStringLiteral("根盘")) && printed.contains(QStringLiteral("数目：3")),
             qPrintable(printed));
}

QTEST_MAIN(TestFindDialog)
#include "tst_finddialog.moc"
