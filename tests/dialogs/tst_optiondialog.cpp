// The options dialog: the category and quality lists and the two switches.
#include "dialogs/OptionForm.h"
#include "store/catalog/DataModule.h"
#include "store/catalog/Schema.h"
#include "store/engine/SqlDialect.h"
#include "tests/support/ModuleFixture.h"
#include "tests/support/WhenShown.h"
#include "toolkit/DataGrid.h"
#include "toolkit/MessageBoxes.h"

#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <functional>
#include <memory>

using SqlDialect::Quote;

namespace {

enum class List { Category, Quality };
enum class Action { Add, Change, Delete };
enum class Message { None, AddEmpty, ChangeEmpty, Duplicate, InUse, Confirm };

// Both lists start with these names, in this order; a disc uses "DVD".
const QStringList StartNames{QStringLiteral("Say \"Hi\""), QStringLiteral("光盘光盘光盘光盘光盘"),
                             QStringLiteral("DVD"), QStringLiteral("蓝光")};

QString Table(List list)
{
    return list == List::Category ? QStringLiteral("TbCategory") : QStringLiteral("TbQuality");
}

// What the user is told, for each list; Confirm with %1 for the name.
QString TextOf(List list, Message message)
{
    const bool c = list == List::Category;
    switch (message) {
    case Message::None:
        break;
    case Message::AddEmpty:
        return c ? QStringLiteral("光盘分类不能为空，请输入") : QStringLiteral("质量名称不能为空，请输入");
    case Message::ChangeEmpty:
        return c ? QStringLiteral("此光盘分类不能为空，请输入") : QStringLiteral("质量名称不能为空，请输入");
    case Message::Duplicate:
        return c ? QStringLiteral("此光盘分类已经存在，请重新输入") : QStringLiteral("此质量名称已经存在，请重新输入");
    case Message::InUse:
        return c ? QStringLiteral("此分类已经被使用，不能删除！") : QStringLiteral("此质量名称已经被使用，不能删除！");
    case Message::Confirm:
        return c ? QStringLiteral("真的要删除[%1]光盘分类吗？") : QStringLiteral("真的要删除[%1]质量名称吗？");
    }
    return {};
}

Msg::Kind KindOf(Message message)
{
    switch (message) {
    case Message::InUse:
        return Msg::Kind::Warning;
    case Message::Confirm:
        return Msg::Kind::Confirmation;
    default:
        return Msg::Kind::Error;
    }
}

QStringList Names(List list)
{
    QStringList names;
    TDAOQuery query;
    query.SetDatabase(&DM->DbBase);
    TDM::OpenQuery(query, QStringLiteral("SELECT Name FROM %1").arg(Table(list)));
    for (query.First(); !query.AtEnd(); query.Next())
        names << query.Field(QStringLiteral("Name")).AsString();
    names.sort();
    return names;
}

// The texts of the grid's rows, top to bottom.
QStringList ShownNames(TDataGrid *grid)
{
    QStringList names;
    const QAbstractItemModel *model = grid->View()->model();
    for (int row = 0; row < model->rowCount(); ++row)
        names << model->index(row, 0).data().toString();
    return names;
}

QString CurrentShownName(TDataGrid *grid)
{
    return grid->View()->currentIndex().siblingAtColumn(0).data().toString();
}

// Puts the grid's cursor on the row showing name, as a click does.
bool SelectShown(TDataGrid *grid, const QString &name)
{
    const int row = ShownNames(grid).indexOf(name);
    if (row < 0)
        return false;
    grid->View()->setCurrentIndex(grid->View()->model()->index(row, 0));
    return true;
}

} // namespace

Q_DECLARE_METATYPE(List)
Q_DECLARE_METATYPE(Action)
Q_DECLARE_METATYPE(Message)

class TestOptionDialog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void listsShowNamesOnly();
    void nameRules_data();
    void nameRules();
    void emptyList_data();
    void emptyList();
    void switches_data();
    void switches();

private:
    QString DiscListName(List list) const;

    std::unique_ptr<ModuleFixture> m_catalog;
    qint32 m_autoCode = 1;
    qint32 m_autoNew = 1;
};

void TestOptionDialog::init()
{
    m_catalog = std::make_unique<ModuleFixture>();
    for (List list : {List::Category, List::Quality}) {
        DM->ExecuteSQL(QStringLiteral("DELETE FROM %1").arg(Table(list)));
        for (const QString &name : StartNames)
            DM->ExecuteSQL(QStringLiteral("INSERT INTO %1 (Name) VALUES (%2)").arg(Table(list), Quote(name)));
    }
    const auto idOf = [](List list) {
        return DM->GetFieldValue(QStringLiteral("SELECT Id FROM %1 WHERE Name=\"DVD\"").arg(Table(list)),
                                 QStringLiteral("Id"));
    };
    DM->ExecuteSQL(QStringLiteral("INSERT INTO TbCd (Code, Name, TId, CId, QId) VALUES (\"1\", \"英雄\", 1, %1, %2)")
                       .arg(idOf(List::Category), idOf(List::Quality)));
    m_autoCode = 1;
    m_autoNew = 1;
}

void TestOptionDialog::cleanup()
{
    DM = nullptr;
    m_catalog.reset();
}

// The name the disc shows for its category or quality.
QString TestOptionDialog::DiscListName(List list) const
{
    const QString column = list == List::Category ? QStringLiteral("CId") : QStringLiteral("QId");
    return DM->GetFieldValue(
        QStringLiteral("SELECT B.Name FROM TbCd AS A LEFT JOIN %1 AS B ON A.%2=B.Id").arg(Table(list), column),
        QStringLiteral("Name"));
}

// Only the names show, under their headings; the categories in the order
// read, the qualities sorted by name.
void TestOptionDialog::listsShowNamesOnly()
{
    TOptionDlg dlg(*DM, m_autoCode, m_autoNew);
    dlg.show();
    QCOMPARE(dlg.size(), QSize(442, 303));
    QCOMPARE(dlg.pcOption->currentWidget(), dlg.tsCategory);

    for (TDataGrid *grid : {dlg.dgCategory, dlg.dgQuality}) {
        QCOMPARE(grid->View()->model()->columnCount(), 1);
        QCOMPARE(grid->View()->model()->rowCount(), StartNames.size());
    }
    QCOMPARE(dlg.dgCategory->View()->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("分类名称"));
    QCOMPARE(dlg.dgQuality->View()->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("质量名称"));
    QCOMPARE(ShownNames(dlg.dgCategory), StartNames);
    QCOMPARE(ShownNames(dlg.dgQuality).mid(0, 2), (QStringList{QStringLiteral("DVD"), QStringLiteral("Say \"Hi\"")}));
}

void TestOptionDialog::nameRules_data()
{
    QTest::addColumn<List>("list");
    QTest::addColumn<Action>("action");
    QTest::addColumn<QString>("target"); // the row chosen in the grid first
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<Message>("message");
    QTest::addColumn<QString>("removed");
    QTest::addColumn<QString>("added");

    const QString blu = QStringLiteral("蓝光");
    const QString said = QStringLiteral("Say \"Hi\"");
    // 42 bytes into a box of 40; the cut falls inside a character, which is
    // left out whole.
    const QString ten = QStringLiteral("一二三四五六七八九十");
    const QString longName = QStringLiteral("X") + ten + ten + QStringLiteral("Y");
    const QString longCut = QStringLiteral("X") + ten + ten.left(9);

    for (List list : {List::Category, List::Quality}) {
        const char *l = list == List::Category ? "category: " : "quality: ";
        auto row = [&](const char *name) { return &QTest::newRow((QByteArray(l) + name).constData()); };

        *row("add empty") << list << Action::Add << QString() << QString() << true << Message::AddEmpty << QString()
                          << QString();
        *row("add blanks") << list << Action::Add << QString() << QStringLiteral(" \t\u3000 ") << true
                           << Message::AddEmpty << QString() << QString();
        *row("add a name in other case") << list << Action::Add << QString() << QStringLiteral("dvd") << true
                                         << Message::Duplicate << QString() << QString();
        *row("add a quoted name in other case") << list << Action::Add << QString() << QStringLiteral("say \"hi\"")
                                                << true << Message::Duplicate << QString() << QString();
        *row("add keeps surrounding blanks") << list << Action::Add << QString() << QStringLiteral(" HD ") << true
                                             << Message::None << QString() << QStringLiteral(" HD ");
        *row("add a name with a double quote") << list << Action::Add << QString() << QStringLiteral("12\" LD") << true
                                               << Message::None << QString() << QStringLiteral("12\" LD");
        *row("add 42 bytes") << list << Action::Add << QString() << longName << true << Message::None << QString()
                             << longCut;
        *row("add a name longer than an existing one")
            << list << Action::Add << QString() << QStringLiteral("光盘光盘光盘光盘光盘OK") << true << Message::None
            << QString() << QStringLiteral("光盘光盘光盘光盘光盘OK");

        *row("change to empty") << list << Action::Change << blu << QString() << true << Message::ChangeEmpty
                                << QString() << QString();
        *row("change to blanks") << list << Action::Change << blu << QStringLiteral("   ") << true
                                 << Message::ChangeEmpty << QString() << QString();
        *row("change to its own text") << list << Action::Change << blu << blu << true << Message::Duplicate
                                       << QString() << QString();
        *row("change to another name in other case") << list << Action::Change << blu << QStringLiteral("dVd") << true
                                                     << Message::Duplicate << QString() << QString();
        *row("change keeps surrounding blanks") << list << Action::Change << blu << QStringLiteral(" 蓝光 ") << true
                                                << Message::None << blu << QStringLiteral(" 蓝光 ");
        *row("change a used name, the disc follows")
            << list << Action::Change << QStringLiteral("DVD") << QStringLiteral("DVD-9") << true << Message::None
            << QStringLiteral("DVD") << QStringLiteral("DVD-9");
        *row("change to a name with a double quote") << list << Action::Change << blu << QStringLiteral("Say \"Bye\"")
                                                     << true << Message::None << blu << QStringLiteral("Say \"Bye\"");

        *row("delete a used name") << list << Action::Delete << QStringLiteral("DVD") << QString() << true
                                   << Message::InUse << QString() << QString();
        *row("delete after OK") << list << Action::Delete << blu << QString() << true << Message::Confirm << blu
                                << QString();
        *row("delete kept after Cancel") << list << Action::Delete << blu << QString() << false << Message::Confirm
                                         << QString() << QString();
        *row("delete a name with a double quote")
            << list << Action::Delete << said << QString() << true << Message::Confirm << said << QString();
    }
}

// Each action through its button, on the row chosen in the grid.
void TestOptionDialog::nameRules()
{
    QFETCH(List, list);
    QFETCH(Action, action);
    QFETCH(QString, target);
    QFETCH(QString, typed);
    QFETCH(bool, confirm);
    QFETCH(Message, message);
    QFETCH(QString, removed);
    QFETCH(QString, added);

    TOptionDlg dlg(*DM, m_autoCode, m_autoNew);
    const bool c = list == List::Category;
    TDataGrid *grid = c ? dlg.dgCategory : dlg.dgQuality;
    TDAOQuery &query = c ? dlg.QCategory : dlg.QQuality;
    QLineEdit *edit = c ? dlg.edCategory : dlg.edQuality;
    QPushButton *button = action == Action::Add      ? (c ? dlg.btnCAdd : dlg.btnQAdd)
                          : action == Action::Change ? (c ? dlg.btnCEdit : dlg.btnQEdit)
                                                     : (c ? dlg.btnCDel : dlg.btnQDel);
    dlg.ShowPage(c ? 0 : 1);
    if (!target.isEmpty()) {
        QVERIFY(SelectShown(grid, target));
        QCOMPARE(query.Field(QStringLiteral("Name")).AsString(), target);
    }
    edit->setText(typed);

    Msg::Recorder messages(confirm);
    button->click();

    if (message == Message::None) {
        QCOMPARE(messages.Texts(), QStringList());
    } else {
        QString text = TextOf(list, message);
        if (message == Message::Confirm)
            text = text.arg(target);
        QCOMPARE(messages.Texts(), QStringList{text});
        QCOMPARE(messages.shown.first().kind, KindOf(message));
    }
    if (KindOf(message) == Msg::Kind::Error && message != Message::None) {
        QCOMPARE(dlg.focusWidget(), edit);
        QCOMPARE(edit->text(), typed);
    }

    QStringList expected = StartNames;
    expected.removeOne(removed);
    if (!added.isEmpty())
        expected << added;
    expected.sort();
    QCOMPARE(Names(list), expected);
    QCOMPARE(ShownNames(grid).size(), expected.size());
    if (!added.isEmpty())
        QCOMPARE(CurrentShownName(grid), added);
    QCOMPARE(DiscListName(list), removed == QLatin1String("DVD") ? added : QStringLiteral("DVD"));
}

void TestOptionDialog::emptyList_data()
{
    QTest::addColumn<List>("list");
    QTest::newRow("categories") << List::Category;
    QTest::newRow("qualities") << List::Quality;
}

// Delete does nothing at all; change adds the typed name.
void TestOptionDialog::emptyList()
{
    QFETCH(List, list);
    DM->ExecuteSQL(QStringLiteral("DELETE FROM %1").arg(Table(list)));
    TOptionDlg dlg(*DM, m_autoCode, m_autoNew);
    const bool c = list == List::Category;
    Msg::Recorder messages;

    (c ? dlg.edCategory : dlg.edQuality)->setText(QStringLiteral("新的"));
    (c ? dlg.btnCDel : dlg.btnQDel)->click();
    QCOMPARE(messages.Texts(), QStringList());
    QCOMPARE(Names(list), QStringList());

    (c ? dlg.btnCEdit : dlg.btnQEdit)->click();
    QCOMPARE(messages.Texts(), QStringList());
    QCOMPARE(Names(list), QStringList{QStringLiteral("新的")});
    QCOMPARE(CurrentShownName(c ? dlg.dgCategory : dlg.dgQuality), QStringLiteral("新的"));
}

void TestOptionDialog::switches_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("autoCodeIn");
    QTest::addColumn<int>("autoNewIn");
    QTest::addColumn<bool>("clickAutoCode");
    QTest::addColumn<bool>("clickAutoNew");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("shownPage");
    QTest::addColumn<bool>("autoCodeShown");
    QTest::addColumn<bool>("autoNewShown");
    QTest::addColumn<int>("autoCodeOut");
    QTest::addColumn<int>("autoNewOut");

    QTest::newRow("auto code unchecked, then Cancel")
        << 0 << 1 << 1 << true << false << false << "tsCategory" << true << true << 0 << 1;
    QTest::newRow("both checked, then OK")
        << 1 << 0 << 0 << true << true << true << "tsQuality" << false << false << 1 << 1;
    QTest::newRow("a word other than 1 shows off and is kept")
        << 7 << 2 << 1 << false << false << true << "tsCategory" << false << true << 2 << 1;
    QTest::newRow("a word other than 1 clicked on")
        << 0 << -1 << 0 << true << false << false << "tsCategory" << false << false << 1 << 0;
}

// A click changes the word at once; closing restores nothing.
void TestOptionDialog::switches()
{
    QFETCH(int, page);
    QFETCH(int, autoCodeIn);
    QFETCH(int, autoNewIn);
    QFETCH(bool, clickAutoCode);
    QFETCH(bool, clickAutoNew);
    QFETCH(bool, ok);
    QFETCH(QString, shownPage);
    QFETCH(bool, autoCodeShown);
    QFETCH(bool, autoNewShown);
    QFETCH(int, autoCodeOut);
    QFETCH(int, autoNewOut);

    qint32 autoCode = autoCodeIn;
    qint32 autoNew = autoNewIn;
    bool ran = false;
    WhenShown<TOptionDlg>([&](TOptionDlg &dlg) {
        ran = true;
        const QString current = dlg.pcOption->currentWidget()->objectName();
        const bool codeShown = dlg.cbAutoCode->isChecked();
        const bool newShown = dlg.cbAutoNew->isChecked();
        dlg.pcOption->setCurrentWidget(dlg.tsOther);
        // On the box, left of the text.
        const auto click = [](QCheckBox *box) {
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
        };
        if (clickAutoCode)
            click(dlg.cbAutoCode);
        if (clickAutoNew)
            click(dlg.cbAutoNew);
        QTest::mouseClick(ok ? dlg.btnOk : dlg.btnCancle, Qt::LeftButton);
        QCOMPARE(current, shownPage);
        QCOMPARE(codeShown, autoCodeShown);
        QCOMPARE(newShown, autoNewShown);
    });
    ShowOptions(page, autoCode, autoNew);

    QVERIFY(ran);
    QCOMPARE(autoCode, autoCodeOut);
    QCOMPARE(autoNew, autoNewOut);
    QCOMPARE(QApplication::topLevelWidgets().count(), 0);
}

QTEST_MAIN(TestOptionDialog)
#include "tst_optiondialog.moc"
