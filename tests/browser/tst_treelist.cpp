// The tree list over a query: the hierarchy it builds, how it follows the
// query, the focus and the cursor, dragging over it, footer and layout.
#include "store/engine/DAOQuery.h"
#include "tests/support/ModuleFixture.h"
#include "toolkit/TreeList.h"
#include "toolkit/TreeShape.h"

#include <QAbstractItemModelTester>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

namespace {

constexpr int NameColumn = 2;

QList<TTreeColumn> FolderColumns()
{
    TTreeColumn id;
    id.FieldName = id.Caption = QStringLiteral("ID");
    id.Visible = false;
    TTreeColumn parent;
    parent.FieldName = parent.Caption = QStringLiteral("Id1");
    parent.Visible = false;
    TTreeColumn name;
    name.FieldName = QStringLiteral("Name");
    name.Caption = QStringLiteral("光盘夹目录");
    name.FooterFormat = QStringLiteral("目录总数：%1");
    return {id, parent, name};
}

void Bind(TTreeList &tree, TDAOQuery &query)
{
    tree.SetColumns(FolderColumns());
    tree.SetDataSet(&query, QStringLiteral("ID"), QStringLiteral("Id1"), QStringLiteral("Name"));
}

void OpenFolders(TDAOQuery &query)
{
    TDM::OpenQuery(query, QStringLiteral("SELECT * FROM TbTree"));
}

// What a tree built afresh from the catalog shows.
QString FreshOutline(TDM &dm)
{
    TDAOQuery query;
    query.SetDatabase(&dm.DbBase);
    OpenFolders(query);
    TTreeList tree;
    Bind(tree, query);
    return Outline(*tree.Model(), NameColumn);
}

bool GotoFolder(TDAOQuery &query, int id)
{
    return query.Locate(QStringLiteral("ID"), id);
}

void SetParent(TDAOQuery &query, int id, int parentId)
{
    QVERIFY(GotoFolder(query, id));
    query.Edit();
    query.Field(QStringLiteral("Id1")).SetAsInteger(parentId);
    query.Post();
}

void Rename(TDAOQuery &query, int id, const QString &name)
{
    QVERIFY(GotoFolder(query, id));
    query.Edit();
    query.Field(QStringLiteral("Name")).SetAsString(name);
    query.Post();
}

} // namespace

class TestTreeList : public QObject
{
    Q_OBJECT

private slots:
    void hierarchy_data();
    void hierarchy();
    void followsTheQueryRowByRow();
    void focusAndCursorFollowEachOther();
    void dragOverTheTree();
    void hoverOpensAndEdgesScroll();
    void footerAndLayout();
    void tenThousandFolders();
    void chainDeeperThanAViewCanShow();
};

void TestTreeList::hierarchy_data()
{
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("outline");

    QTest::newRow("children by name in pinyin order, numbers by value")
        << QStringList{R"(2, 1, "音乐")", R"(3, 1, "电影")", R"(4, 1, "第10集")", R"(5, 1, "第9集")", R"(6, 3, "动作")"}
        << QStringLiteral("主目录(第9集,第10集,电影(动作),音乐)");
    QTest::newRow("equal names keep the order read")
        << QStringList{R"(2, 1, "电影")", R"(3, 1, "电影")", R"(4, 3, "乙")", R"(5, 2, "甲")"}
        << QStringLiteral("主目录(电影(甲),电影(乙))");
    QTest::newRow("child read before its parent")
        << QStringList{R"(3, 1, "音乐")", R"(9, 10, "古典")", R"(10, 3, "器乐")"}
        << QStringLiteral("主目录(音乐(器乐(古典)))");
    QTest::newRow("missing parent: top level, sorted with the root")
        << QStringList{R"(5, 99, "孤儿")", R"(6, 5, "孤儿之子")"} << QStringLiteral("孤儿(孤儿之子);主目录");
    QTest::newRow("own parent: top level") << QStringList{R"(8, 8, "自己")"} << QStringLiteral("主目录;自己");
    QTest::newRow("two-cycle cut at the row read last")
        << QStringList{R"(6, 7, "环甲")", R"(7, 6, "环乙")", R"(9, 6, "下")"}
        << QStringLiteral("环乙(环甲(下));主目录");
    QTest::newRow("longer cycle with a branch")
        << QStringList{R"(10, 12, "甲")", R"(11, 10, "乙")", R"(12, 11, "丙")", R"(13, 11, "丁")"}
        << QStringLiteral("丙(甲(乙(丁)));主目录");
}

void TestTreeList::hierarchy()
{
    QFETCH(QStringList, rows);
    QFETCH(QString, outline);

    ModuleFixture catalog;
    catalog.AddFolders(rows);
    TDAOQuery query;
    query.SetDatabase(&catalog.Dm().DbBase);
    TTreeList tree;
    QAbstractItemModelTester tester(tree.Model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    Bind(tree, query);
    OpenFolders(query);

    QCOMPARE(Outline(*tree.Model(), NameColumn), outline);
    QCOMPARE(tree.Model()->NodeCount(), rows.size() + 1);
    QCOMPARE(tree.FooterText(QStringLiteral("Name")), QStringLiteral("目录总数：%1").arg(rows.size() + 1));
}

// Every change the query reports is applied in place, and the tree is then
// the same as one read afresh.
void TestTreeList::followsTheQueryRowByRow()
{
    ModuleFixture catalog;
    catalog.AddFolders({R"(2, 1, "电影")", R"(3, 1, "音乐")", R"(4, 2, "动作")", R"(5, 99, "孤儿")"});
    TDAOQuery query;
    query.SetDatabase(&catalog.Dm().DbBase);
    TTreeList tree;
    QAbstractItemModelTester tester(tree.Model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    Bind(tree, query);
    OpenFolders(query);
    tree.ExpandAll(tree.NodeOfKey(1));
    QCOMPARE(Outline(*tree.Model(), NameColumn), QStringLiteral("孤儿;主目录(电影(动作),音乐)"));

    struct Step
    {
        const char *what;
        std::function<void()> change;
        QString outline;
    };
    const QList<Step> steps = {
        {"add",
         [&] {
             query.Append();
             query.Field(QStringLiteral("Id1")).SetAsInteger(3);
             query.Field(QStringLiteral("Name")).SetAsString(QStringLiteral("古典"));
             query.Post();
         },
         QStringLiteral("孤儿;主目录(电影(动作),音乐(古典))")},
        {"rename in place", [&] { Rename(query, 4, QStringLiteral("爱情")); },
         QStringLiteral("孤儿;主目录(电影(爱情),音乐(古典))")},
        {"rename moves it among its siblings", [&] { Rename(query, 3, QStringLiteral("阿卡")); },
         QStringLiteral("孤儿;主目录(阿卡(古典),电影(爱情))")},
        {"new parent", [&] { SetParent(query, 2, 3); }, QStringLiteral("孤儿;主目录(阿卡(电影(爱情),古典))")},
        {"parent inside its own subtree: the cycle is cut at the row read last", [&] { SetParent(query, 3, 4); },
         QStringLiteral("爱情(阿卡(电影,古典));孤儿;主目录")},
        {"cycle broken again", [&] { SetParent(query, 4, 1); }, QStringLiteral("孤儿;主目录(爱情(阿卡(电影,古典)))")},
        {"delete a leaf",
         [&] {
             QVERIFY(GotoFolder(query, 6));
             query.Delete();
         },
         QStringLiteral("孤儿;主目录(爱情(阿卡(电影)))")},
        {"delete a folder with children: they go to the top",
         [&] {
             QVERIFY(GotoFolder(query, 4));
             query.Delete();
         },
         QStringLiteral("阿卡(电影);孤儿;主目录")},
        {"the orphan's parent arrives",
         [&] {
             query.Append();
             query.Field(QStringLiteral("ID")).SetAsInteger(99);
             query.Field(QStringLiteral("Id1")).SetAsInteger(1);
             query.Field(QStringLiteral("Name")).SetAsString(QStringLiteral("收养"));
             query.Post();
         },
         QStringLiteral("阿卡(电影);主目录(收养(孤儿))")},
        {"changes with the controls suspended",
         [&] {
             TDAOSuspendGuard guard(query);
             SetParent(query, 3, 99);
             Rename(query, 2, QStringLiteral("新片"));
         },
         QStringLiteral("主目录(收养(阿卡(新片),孤儿))")},
    };
    for (const Step &step : steps) {
        step.change();
        QVERIFY2(!QTest::currentTestFailed(), step.what);
        QVERIFY2(
            Outline(*tree.Model(), NameColumn) == step.outline,
            qPrintable(QStringLiteral("%1: %2").arg(QString::fromUtf8(step.what), Outline(*tree.Model(), NameColumn))));
        QCOMPARE(FreshOutline(catalog.Dm()), step.outline);
        QCOMPARE(tree.FooterText(QStringLiteral("Name")), QStringLiteral("目录总数：%1").arg(query.RowCount()));
    }
    // Suspended and resumed with nothing written (a drop of discs holds the
    // folders so): the folders are not read again.
    QSignalSpy resets(tree.Model(), &QAbstractItemModel::modelAboutToBeReset);
    {
        TDAOSuspendGuard guard(query);
        QVERIFY(GotoFolder(query, 2));
    }
    QCOMPARE(resets.count(), 1); // the cursor moved meanwhile
    {
        TDAOSuspendGuard guard(query);
    }
    QCOMPARE(resets.count(), 1);
    // Folders that were open stay open through a rebuild.
    QVERIFY(tree.IsExpanded(tree.NodeOfKey(1)));
    QVERIFY(tree.IsExpanded(tree.NodeOfKey(99)));
}

void TestTreeList::focusAndCursorFollowEachOther()
{
    ModuleFixture catalog;
    catalog.AddFolders({R"(2, 1, "电影")", R"(3, 1, "音乐")", R"(4, 2, "动作")"});
    TDAOQuery query;
    query.SetDatabase(&catalog.Dm().DbBase);
    int scrolls = 0;
    query.AfterScroll = [&](TDAODataset &) { ++scrolls; };
    TTreeList tree;
    Bind(tree, query);
    OpenFolders(query);
    QCOMPARE(tree.KeyOf(tree.CurrentNode()), 1); // the first row read

    // The cursor moves: the focus follows and the node is selected.
    scrolls = 0;
    QVERIFY(GotoFolder(query, 4));
    QCOMPARE(tree.KeyOf(tree.CurrentNode()), 4);
    QCOMPARE(tree.SelectedKeys(), QList<int>{4});
    QCOMPARE(scrolls, 1);

    // The focus moves: the cursor follows, once.
    scrolls = 0;
    tree.View()->setCurrentIndex(tree.NodeOfKey(3));
    QCOMPARE(query.Field(QStringLiteral("ID")).AsInteger(), 3);
    QCOMPARE(scrolls, 1);

    QVERIFY(tree.GotoKey(2));
    QCOMPARE(query.Field(QStringLiteral("ID")).AsInteger(), 2);
    QCOMPARE(tree.KeyOf(tree.CurrentNode()), 2);
    QVERIFY(!tree.GotoKey(42));

    // A new row becomes current in both.
    query.Append();
    query.Field(QStringLiteral("Id1")).SetAsInteger(4);
    query.Field(QStringLiteral("Name")).SetAsString(QStringLiteral("新"));
    query.Post();
    const int added = query.Field(QStringLiteral("ID")).AsInteger();
    QCOMPARE(tree.KeyOf(tree.CurrentNode()), added);

    // A deleted current row: both go to the row the query moves to.
    query.Delete();
    QVERIFY(!tree.NodeOfKey(added).isValid());
    QCOMPARE(tree.KeyOf(tree.CurrentNode()), query.Field(QStringLiteral("ID")).AsInteger());

    // Several nodes can be selected.
    QItemSelectionModel *selection = tree.View()->selectionModel();
    selection->select(tree.NodeOfKey(3), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selection->select(tree.NodeOfKey(2), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QList<int> keys = tree.SelectedKeys();
    std::sort(keys.begin(), keys.end());
    QVERIFY(keys.contains(2) && keys.contains(3));
    tree.ClearSelection();
    QVERIFY(tree.SelectedKeys().isEmpty());
}

namespace {

struct DropCall
{
    int target = -1;
    TTreeList::DropZone zone = TTreeList::DropZone::OnRow;
    bool ctrl = false;
    QList<int> keys;
};

// A shown tree list over the folders, recording its drop hooks.
struct DragFixture
{
    explicit DragFixture(ModuleFixture &catalog)
    {
        query.SetDatabase(&catalog.Dm().DbBase);
        Bind(tree, query);
        OpenFolders(query);
        tree.resize(300, 200);
        tree.show();
        tree.OnDragOver = [this](QObject *, const QMimeData *mime, const QModelIndex &target, TTreeList::DropZone zone,
                                 bool ctrl) {
            overs << DropCall{tree.KeyOf(target), zone, ctrl, TTreeList::DraggedKeys(mime)};
            return accept;
        };
        tree.OnDragDrop = [this](QObject *, const QMimeData *mime, const QModelIndex &target, TTreeList::DropZone zone,
                                 bool ctrl) {
            drops << DropCall{tree.KeyOf(target), zone, ctrl, TTreeList::DraggedKeys(mime)};
        };
    }

    QPoint PointIn(int key, int xFromRowStart) const
    {
        const QRect rect = tree.View()->visualRect(
            tree.Model()->index(tree.NodeOfKey(key).row(), NameColumn, tree.NodeOfKey(key).parent()));
        const int treeStart = tree.View()->header()->sectionViewportPosition(NameColumn);
        return {treeStart + xFromRowStart, rect.center().y()};
    }

    // Qt hands moves only to a widget that accepted the drag's entry.
    bool Move(const QPoint &at, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        if (!entered) {
            QDragEnterEvent enter(at, Qt::MoveAction | Qt::CopyAction, mime.get(), Qt::LeftButton, modifiers);
            QCoreApplication::sendEvent(tree.View()->viewport(), &enter);
            entered = enter.isAccepted();
        }
        QDragMoveEvent event(at, Qt::MoveAction | Qt::CopyAction, mime.get(), Qt::LeftButton, modifiers);
        QCoreApplication::sendEvent(tree.View()->viewport(), &event);
        lastAction = event.dropAction();
        return event.isAccepted();
    }

    TDAOQuery query;
    TTreeList tree;
    std::unique_ptr<QMimeData> mime{TTreeList::NodesMimeData({4}, 4)};
    QList<DropCall> overs, drops;
    bool accept = true;
    bool entered = false;
    Qt::DropAction lastAction = Qt::IgnoreAction;
};

} // namespace

void TestTreeList::dragOverTheTree()
{
    ModuleFixture catalog;
    catalog.AddFolders({R"(2, 1, "电影")", R"(3, 1, "音乐")", R"(4, 2, "动作")", R"(5, 2, "爱情")"});
    DragFixture f(catalog);
    f.tree.ExpandAll(f.tree.NodeOfKey(1));
    const int indent = f.tree.View()->indentation();
    QCOMPARE(TTreeList::DragStartKey(f.mime.get()), 4);

    // On a level-2 row (right of its expand button): a child drop; the
    // node under the pointer becomes current, the query's cursor with it.
    QVERIFY(f.Move(f.PointIn(5, 2 * indent + 4)));
    QCOMPARE(f.overs.last().target, 5);
    QCOMPARE(f.overs.last().zone, TTreeList::DropZone::OnRow);
    QCOMPARE(f.overs.last().keys, QList<int>{4});
    QCOMPARE(f.lastAction, Qt::MoveAction);
    QCOMPARE(f.tree.KeyOf(f.tree.CurrentNode()), 5);
    QCOMPARE(f.query.Field(QStringLiteral("ID")).AsInteger(), 5);

    // Left of its expand button: a sibling drop. With Ctrl: a copy.
    QVERIFY(f.Move(f.PointIn(5, 2 * indent - 4), Qt::ControlModifier));
    QCOMPARE(f.overs.last().zone, TTreeList::DropZone::Indent);
    QVERIFY(f.overs.last().ctrl);
    QCOMPARE(f.lastAction, Qt::CopyAction);

    // A top-level row has no indentation to drop on.
    QVERIFY(f.Move(f.PointIn(1, 1)));
    QCOMPARE(f.overs.last().zone, TTreeList::DropZone::OnRow);

    // Below every row: no target; refused when the hook refuses.
    f.accept = false;
    QVERIFY(!f.Move(QPoint(50, 190)));
    QCOMPARE(f.overs.last().target, 0);

    // The drop asks once more and hands over what it asked.
    f.accept = true;
    QDropEvent drop(f.PointIn(3, indent + 8), Qt::MoveAction | Qt::CopyAction, f.mime.get(), Qt::LeftButton,
                    Qt::NoModifier);
    qsizetype asked = f.overs.size();
    QCoreApplication::sendEvent(f.tree.View()->viewport(), &drop);
    QVERIFY(drop.isAccepted());
    QCOMPARE(f.overs.size(), asked + 1);
    QCOMPARE(f.drops.size(), 1);
    QCOMPARE(f.drops.last().target, 3);
    QCOMPARE(f.drops.last().zone, TTreeList::DropZone::OnRow);
    QVERIFY(!f.drops.last().ctrl);

    f.accept = false;
    f.entered = false; // a new drag
    QVERIFY(!f.Move(f.PointIn(3, indent + 8)));
    asked = f.overs.size();
    QDropEvent refused(f.PointIn(3, indent + 8), Qt::MoveAction, f.mime.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(f.tree.View()->viewport(), &refused);
    QCOMPARE(f.overs.size(), asked + 1);
    QVERIFY(!refused.isAccepted());
    QCOMPARE(f.drops.size(), 1);
}

void TestTreeList::hoverOpensAndEdgesScroll()
{
    ModuleFixture catalog;
    QStringList rows{R"(2, 1, "电影")", R"(3, 2, "动作")"};
    for (int id = 10; id < 60; ++id)
        rows << QStringLiteral(R"(%1, 1, "盘%1")").arg(id);
    catalog.AddFolders(rows);
    DragFixture f(catalog);
    QTreeView *view = f.tree.View();
    view->expand(f.tree.NodeOfKey(1));
    QVERIFY(!f.tree.IsExpanded(f.tree.NodeOfKey(2)));

    // Resting on a collapsed folder opens it after a while.
    f.Move(f.PointIn(2, view->indentation() + 8));
    QVERIFY(!f.tree.IsExpanded(f.tree.NodeOfKey(2)));
    QTRY_VERIFY_WITH_TIMEOUT(f.tree.IsExpanded(f.tree.NodeOfKey(2)), 3000);

    // Near the bottom edge the tree scrolls a row at a time, and the node
    // under the pointer becomes current.
    QScrollBar *bar = view->verticalScrollBar();
    QCOMPARE(bar->value(), 0);
    const QPoint nearBottom(40, view->viewport()->height() - 5);
    f.Move(nearBottom);
    QTRY_VERIFY_WITH_TIMEOUT(bar->value() >= 2, 3000);
    QCOMPARE(f.tree.CurrentNode(), view->indexAt(nearBottom).siblingAtColumn(0));

    // Away from the edges it stops; near the top it goes back.
    f.Move(QPoint(40, view->viewport()->height() / 2));
    const int stopped = bar->value();
    QTest::qWait(350);
    QCOMPARE(bar->value(), stopped);
    f.Move(QPoint(40, 3));
    QTRY_VERIFY_WITH_TIMEOUT(bar->value() < stopped, 3000);

    // A leave ends it.
    QDragLeaveEvent leave;
    QCoreApplication::sendEvent(view->viewport(), &leave);
    const int left = bar->value();
    QTest::qWait(350);
    QCOMPARE(bar->value(), left);
}

void TestTreeList::footerAndLayout()
{
    ModuleFixture catalog;
    // The tree list keeps its layout in whatever group its owner hands it.
    const QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("layouts.ini")), QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("Layouts"));
    catalog.AddFolders({R"(2, 1, "电影")"});
    TDAOQuery query;
    query.SetDatabase(&catalog.Dm().DbBase);
    QList<TTreeColumn> columns = FolderColumns();
    columns[1].Visible = true; // Id1 shows, so that Name has a width of its own
    std::swap(columns[1], columns[2]);

    {
        TTreeList tree;
        tree.SetColumns(columns);
        tree.SetDataSet(&query, QStringLiteral("ID"), QStringLiteral("Id1"), QStringLiteral("Name"));
        OpenFolders(query);
        QCOMPARE(tree.FooterText(QStringLiteral("Name")), QStringLiteral("目录总数：2"));
        QCOMPARE(tree.FooterText(QStringLiteral("ID")), QString());
        QCOMPARE(tree.Model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("光盘夹目录"));
        QCOMPARE(tree.View()->treePosition(), 1);
        tree.View()->header()->resizeSection(1, 77);
        tree.View()->header()->setSectionHidden(0, false);
        tree.SaveLayout(settings, QStringLiteral("tlTest"));
    }
    TTreeList restored;
    restored.SetColumns(columns);
    restored.SetDataSet(&query, QStringLiteral("ID"), QStringLiteral("Id1"), QStringLiteral("Name"));
    restored.RestoreLayout(settings, QStringLiteral("tlTest"));
    QCOMPARE(restored.View()->header()->sectionSize(1), 77);
    QVERIFY(restored.View()->header()->isSectionHidden(0));
    QVERIFY(!restored.View()->header()->isSectionHidden(1));
    QCOMPARE(restored.View()->header()->sortIndicatorSection(), 1);
    QCOMPARE(restored.View()->header()->sortIndicatorOrder(), Qt::AscendingOrder);
}

// 10,000 folders: 100 under the root with 89 each, and a chain 1,000 deep.
void TestTreeList::tenThousandFolders()
{
    ModuleFixture catalog;
    TDM &dm = catalog.Dm();
    TDAOQuery writer;
    writer.SetDatabase(&dm.DbBase);
    OpenFolders(writer);
    {
        TDAOSuspendGuard guard(writer);
        auto add = [&](int parentId, const QString &name) {
            writer.Append();
            writer.Field(QStringLiteral("Id1")).SetAsInteger(parentId);
            writer.Field(QStringLiteral("Name")).SetAsString(name);
            writer.Post();
            return writer.Field(QStringLiteral("ID")).AsInteger();
        };
        for (int top = 0; top < 100; ++top) {
            const int id = add(1, QStringLiteral("目录%1").arg(top));
            for (int child = 0; child < 89; ++child)
                add(id, QStringLiteral("子目录%1").arg(child));
        }
        int parentId = 1;
        for (int depth = 0; depth < 1000; ++depth)
            parentId = add(parentId, QStringLiteral("深%1").arg(depth));
    }

    TDAOQuery query;
    query.SetDatabase(&dm.DbBase);
    TTreeList tree;
    Bind(tree, query);
    OpenFolders(query);
    tree.ExpandAll(tree.NodeOfKey(1));
    QCOMPARE(tree.Model()->NodeCount(), 10001);
    QCOMPARE(tree.FooterText(QStringLiteral("Name")), QStringLiteral("目录总数：10001"));
    QCOMPARE(tree.Model()->rowCount(tree.NodeOfKey(1)), 101);
    query.Last();
    QCOMPARE(tree.LevelOf(tree.NodeOfKey(query.Field(QStringLiteral("ID")).AsInteger())), 1000);
    QVERIFY(tree.IsExpanded(tree.NodeOfKey(query.Field(QStringLiteral("Id1")).AsInteger())));
}

// A chain of 30,000 folders, each under the one before: the view stays up,
// expanded, and shows folders below the deepest level at the top level.
void TestTreeList::chainDeeperThanAViewCanShow()
{
    constexpr int Chain = 30000;
    ModuleFixture catalog;
    TDM &dm = catalog.Dm();
    const QByteArray sql = "WITH RECURSIVE n(i) AS (SELECT 2 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                           QByteArray::number(Chain + 1) +
                           ") INSERT INTO TbTree (ID, Id1, Name) SELECT i, i - 1, 'F' || i FROM n";
    dm.DbBase.Exec(QString::fromLatin1(sql));

    TDAOQuery query;
    query.SetDatabase(&dm.DbBase);
    TTreeList tree;
    Bind(tree, query);
    OpenFolders(query);
    tree.resize(400, 300);
    tree.show();
    tree.ExpandAll(tree.NodeOfKey(1));
    QCoreApplication::processEvents();
    tree.View()->scrollToBottom();
    QCoreApplication::processEvents();
    QCOMPARE(tree.Model()->NodeCount(), Chain + 1);

    // Folder k lies at level k - 1 down to the deepest level; the next one
    // starts again at the top.
    const int deepest = TreeShape::MaxDepth + 1;
    QCOMPARE(tree.LevelOf(tree.NodeOfKey(deepest)), TreeShape::MaxDepth);
    QCOMPARE(tree.LevelOf(tree.NodeOfKey(deepest + 1)), 0);
    QCOMPARE(tree.LevelOf(tree.NodeOfKey(deepest + 2)), 1);
    int most = 0;
    for (int id = 1; id <= Chain + 1; ++id)
        most = qMax(most, tree.LevelOf(tree.NodeOfKey(id)));
    QCOMPARE(most, TreeShape::MaxDepth);
    QVERIFY(tree.IsExpanded(tree.NodeOfKey(deepest - 1)));

    // A folder added under the deepest one goes to the top as well.
    query.Append();
    query.Field(QStringLiteral("Id1")).SetAsInteger(deepest);
    query.Field(QStringLiteral("Name")).SetAsString(QStringLiteral("新目录"));
    query.Post();
    const int added = query.Field(QStringLiteral("ID")).AsInteger();
    QCOMPARE(tree.LevelOf(tree.NodeOfKey(added)), 0);
    QCoreApplication::processEvents();
}

QTEST_MAIN(TestTreeList)
#include "tst_treelist.moc"
