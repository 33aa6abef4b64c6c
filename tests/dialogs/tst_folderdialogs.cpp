// The folder-name dialog and the folder picker.
#include "dialogs/AddTreeDlg.h"
#include "dialogs/SelDirForm.h"
#include "store/catalog/DataModule.h"
#include "store/catalog/Schema.h"
#include "store/engine/Errors.h"
#include "tests/support/ModuleFixture.h"
#include "tests/support/WhenShown.h"
#include "toolkit/CommandGuard.h"
#include "toolkit/MessageBoxes.h"
#include "toolkit/TreeShape.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>
#include <memory>

namespace {

enum class Finish { Ok, Cancel, CloseBox };

void FinishWith(Finish finish, QPushButton *ok, QPushButton *cancel, QDialog &dlg)
{
    switch (finish) {
    case Finish::Ok:
        QTest::mouseClick(ok, Qt::LeftButton);
        break;
    case Finish::Cancel:
        QTest::mouseClick(cancel, Qt::LeftButton);
        break;
    case Finish::CloseBox:
        dlg.close();
        break;
    }
}

} // namespace

Q_DECLARE_METATYPE(Finish)

class TestFolderDialogs : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void editFolderName_data();
    void editFolderName();
    void blankNameIsRefusedAndTheDialogStays();

    void pickerShowsTheFoldersAsATree();
    void pickerStaysUpForAChainOf30000();
    void chooseScopeFolder_data();
    void chooseScopeFolder();
    void pickerErrorsReachTheCommandGuard();

private:
    std::unique_ptr<ModuleFixture> m_catalog;
};

void TestFolderDialogs::init()
{
    m_catalog = std::make_unique<ModuleFixture>();
}

void TestFolderDialogs::cleanup()
{
    DM = nullptr;
    m_catalog.reset();
}

void TestFolderDialogs::editFolderName_data()
{
    QTest::addColumn<QString>("initial");
    QTest::addColumn<QString>("typed"); // replaces the text; null keeps it
    QTest::addColumn<Finish>("finish");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("name");

    QTest::newRow("add") << QString() << QStringLiteral("电影") << Finish::Ok << true << QStringLiteral("电影");
    QTest::newRow("rename keeps the caption")
        << QStringLiteral("电影") << QStringLiteral("动作片") << Finish::Ok << true << QStringLiteral("动作片");
    QTest::newRow("unchanged name") << QStringLiteral("电影") << QString() << Finish::Ok << true
                                    << QStringLiteral("电影");
    QTest::newRow("blanks around are kept")
        << QString() << QStringLiteral("  老 电影 ") << Finish::Ok << true << QStringLiteral("  老 电影 ");
    QTest::newRow("cancel") << QStringLiteral("电影") << QStringLiteral("音乐") << Finish::Cancel << false
                            << QStringLiteral("电影");
    QTest::newRow("close box") << QStringLiteral("电影") << QStringLiteral("音乐") << Finish::CloseBox << false
                               << QStringLiteral("电影");
}

void TestFolderDialogs::editFolderName()
{
    QFETCH(QString, initial);
    QFETCH(QString, typed);
    QFETCH(Finish, finish);
    QFETCH(bool, result);
    QFETCH(QString, name);

    Msg::Recorder messages;
    QString seenText, caption;
    WhenShown<TAddTreeDlg>([&](TAddTreeDlg &dlg) {
        seenText = dlg.edName->text();
        caption = dlg.windowTitle();
        if (!typed.isNull())
            dlg.edName->setText(typed);
        FinishWith(finish, dlg.btnOk, dlg.btnCancle, dlg);
    });
    QString text = initial;
    QCOMPARE(EditFolderName(text), result);
    QCOMPARE(text, name);
    QCOMPARE(seenText, initial);
    QCOMPARE(caption, QStringLiteral("添加光盘夹目录"));
    QVERIFY(messages.shown.isEmpty());
}

void TestFolderDialogs::blankNameIsRefusedAndTheDialogStays()
{
    const QStringList blanks{QString(), QStringLiteral("   "), QStringLiteral(" \t "), QStringLiteral("\u3000 \u3000")};
    for (const QString &blank : blanks) {
        Msg::Recorder messages;
        bool stayedOpen = false;
        QWidget *focus = nullptr;
        WhenShown<TAddTreeDlg>([&](TAddTreeDlg &dlg) {
            dlg.edName->setText(blank);
            dlg.btnOk->setFocus();
            QTest::mouseClick(dlg.btnOk, Qt::LeftButton);
            stayedOpen = dlg.isVisible();
            focus = dlg.focusWidget();
            QCOMPARE(dlg.edName->text(), blank);
            QTest::mouseClick(dlg.btnCancle, Qt::LeftButton);
        });
        QString text = QStringLiteral("电影");
        QVERIFY(!EditFolderName(text));
        QCOMPARE(text, QStringLiteral("电影"));
        QVERIFY(stayedOpen);
        QCOMPARE(focus ? focus->objectName() : QString(), QStringLiteral("edName"));
        QCOMPARE(messages.Texts(), QStringList{QStringLiteral("“目录名称”为空，请输入")});
        QCOMPARE(messages.shown.first().kind, Msg::Kind::Error);
    }
}

namespace {

// Folders read in this order: a child before its parent, a folder whose
// parent is missing, two that name each other and one that names itself.
void AddFolders(TDM &dm)
{
    const char *rows[] = {
        "2, 1, \"电影\"",  "3, 1, \"音乐\"", "4, 2, \"动作\"", "9, 10, \"古典\"", "10, 3, \"器乐\"",
        "5, 99, \"孤儿\"", "6, 7, \"环甲\"", "7, 6, \"环乙\"", "8, 8, \"自己\"",
    };
    for (const char *row : rows)
        dm.ExecuteSQL(QStringLiteral("INSERT INTO TbTree (ID, Id1, Name) VALUES (%1)").arg(QString::fromUtf8(row)));
}

// "name(child,child)" for an item and everything below it.
QString Outline(const QTreeWidgetItem *item)
{
    QString text = item->text(0);
    if (item->childCount() == 0)
        return text;
    QStringList children;
    for (int i = 0; i < item->childCount(); ++i)
        children << Outline(item->child(i));
    return text + QLatin1Char('(') + children.join(QLatin1Char(',')) + QLatin1Char(')');
}

bool AllExpanded(const QTreeWidgetItem *item)
{
    if (item->childCount() == 0)
        return true;
    if (!item->isExpanded())
        return false;
    for (int i = 0; i < item->childCount(); ++i)
        if (!AllExpanded(item->child(i)))
            return false;
    return true;
}

} // namespace

void TestFolderDialogs::pickerShowsTheFoldersAsATree()
{
    AddFolders(m_catalog->Dm());
    TSelDirFm dlg(m_catalog->Dm());
    dlg.LoadScope();

    QStringList topLevel;
    for (int i = 0; i < dlg.tlScope->topLevelItemCount(); ++i)
        topLevel << Outline(dlg.tlScope->topLevelItem(i));
    QCOMPARE(topLevel, (QStringList{QStringLiteral("主目录(电影(动作),音乐(器乐(古典)))"), QStringLiteral("孤儿"),
                                    QStringLiteral("环乙(环甲)"), QStringLiteral("自己")}));
    QVERIFY(AllExpanded(dlg.tlScope->topLevelItem(0)));
    QVERIFY(dlg.tlScope->isHeaderHidden());
    QCOMPARE(dlg.tlScope->columnCount(), 1);
    QCOMPARE(dlg.CurrentFolderId(), 1);

    // Tab order: OK, Cancel, the tree.
    QStringList tabOrder;
    for (QWidget *w = dlg.btnOk; tabOrder.size() < 3; w = w->nextInFocusChain())
        if (w->focusPolicy() & Qt::TabFocus)
            tabOrder << w->objectName();
    QCOMPARE(tabOrder, (QStringList{QStringLiteral("btnOk"), QStringLiteral("btnCancle"), QStringLiteral("tlScope")}));
    QCOMPARE(dlg.windowTitle(), QStringLiteral("选择查找范围"));
}

void TestFolderDialogs::pickerStaysUpForAChainOf30000()
{
    constexpr int Chain = 30000;
    const QByteArray sql = "WITH RECURSIVE n(i) AS (SELECT 2 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                           QByteArray::number(Chain + 1) +
                           ") INSERT INTO TbTree (ID, Id1, Name) SELECT i, i - 1, 'F' || i FROM n";
    m_catalog->Dm().DbBase.Exec(QString::fromLatin1(sql));
    {
        TSelDirFm dlg(m_catalog->Dm());
        dlg.LoadScope();
        dlg.show();
        QCoreApplication::processEvents();
        dlg.tlScope->scrollToBottom();
        QCoreApplication::processEvents();
        // Folder k lies at level k - 1 down to the deepest level; the next
        // one starts again at the top.
        auto level = [](const QTreeWidgetItem *item) {
            int depth = 0;
            for (const QTreeWidgetItem *p = item->parent(); p; p = p->parent())
                ++depth;
            return depth;
        };
        const int deepest = TreeShape::MaxDepth + 1;
        QCOMPARE(level(dlg.ItemOfFolder(deepest)), TreeShape::MaxDepth);
        QCOMPARE(level(dlg.ItemOfFolder(deepest + 1)), 0);
        QCOMPARE(level(dlg.ItemOfFolder(Chain + 1)), (Chain + 1 - 1) % (TreeShape::MaxDepth + 1));
        QVERIFY(dlg.ItemOfFolder(deepest - 1)->isExpanded());
        dlg.close();
    }
}

void TestFolderDialogs::chooseScopeFolder_data()
{
    QTest::addColumn<int>("pick"); // 0 leaves the focus where it starts
    QTest::addColumn<Finish>("finish");
    QTest::addColumn<int>("id");

    QTest::newRow("root as it starts") << 0 << Finish::Ok << 1;
    QTest::newRow("root picked again") << 1 << Finish::Ok << 1;
    QTest::newRow("nested folder") << 4 << Finish::Ok << 4;
    QTest::newRow("folder read before its parent") << 9 << Finish::Ok << 9;
    QTest::newRow("cancel") << 4 << Finish::Cancel << 0;
    QTest::newRow("close box") << 4 << Finish::CloseBox << 0;
}

void TestFolderDialogs::chooseScopeFolder()
{
    QFETCH(int, pick);
    QFETCH(Finish, finish);
    QFETCH(int, id);

    AddFolders(m_catalog->Dm());
    WhenShown<TSelDirFm>([&](TSelDirFm &dlg) {
        if (pick) {
            QTreeWidgetItem *item = dlg.ItemOfFolder(pick);
            QVERIFY(item);
            const QRect rect = dlg.tlScope->visualItemRect(item);
            QTest::mouseClick(dlg.tlScope->viewport(), Qt::LeftButton, {}, rect.center());
            QCOMPARE(dlg.tlScope->currentItem(), item);
        }
        FinishWith(finish, dlg.btnOk, dlg.btnCancle, dlg);
    });
    QCOMPARE(ChooseScopeFolder(), id);
}

void TestFolderDialogs::pickerErrorsReachTheCommandGuard()
{
    // A catalog file that is no database: the error stops the command.
    const QString bad = m_catalog->FilePath(QStringLiteral("Bad.MDB"));
    QFile file(bad);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'x'));
    file.close();
    m_catalog->Dm().NameCatalog(bad);

    Msg::Recorder messages;
    bool reachedTheEnd = false;
    QVERIFY(!RunCommand([&] {
        ChooseScopeFolder();
        reachedTheEnd = true;
    }));
    QVERIFY(!reachedTheEnd);
    QCOMPARE(messages.shown.size(), 1);
    QCOMPARE(messages.shown.first().kind, Msg::Kind::Error);
    QVERIFY(!messages.shown.first().text.isEmpty());
    QCOMPARE(QApplication::topLevelWidgets().count(), 0);
}

QTEST_MAIN(TestFolderDialogs)
#include "tst_folderdialogs.moc"
