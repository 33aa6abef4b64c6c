// The folder tree on a real catalog: loading, the context menu's commands,
// and dropping discs and folders on it.
#include "browser/CdTreePane.h"
#include "store/engine/DAOQuery.h"
#include "tests/support/ModuleFixture.h"
#include "toolkit/DataGrid.h"
#include "toolkit/MessageBoxes.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMimeData>
#include <QTreeView>

namespace {

constexpr int NameColumn = 2;
const QString Base = QStringLiteral("孤儿;主目录(电影(爱情,动作(武侠)),音乐);自己");

const QString AllDiscs = QStringLiteral("SELECT A.*,B.Name AS Category,C.Name AS Quality FROM (TbCd AS A LEFT JOIN "
                                        "TbCategory AS B ON A.CId=B.Id) LEFT JOIN TbQuality AS C ON A.QId=C.Id");

QString FreshOutline(TDM &dm)
{
    TDAOQuery query;
    query.SetDatabase(&dm.DbBase);
    TCdTreePane pane(query);
    pane.LoadCdTree();
    return Outline(*pane.tlCdTree->Model(), NameColumn);
}

QImage ImageOf(const QIcon &icon)
{
    return icon.pixmap(16, 16).toImage();
}

} // namespace

using Zone = TTreeList::DropZone;
Q_DECLARE_METATYPE(TTreeList::DropZone)

class TestCdTree : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void loadShowsTheFoldersOpen();
    void emptyCatalogDisablesDeleteAndRename();
    void addFolder_data();
    void addFolder();
    void renameFolder_data();
    void renameFolder();
    void deleteFolder_data();
    void deleteFolder();
    void dropDiscs();
    void dropFolders_data();
    void dropFolders();

private:
    int Count(const QString &sql);
    void SetCurrent(int id);
    QString TreeOutline() const { return Outline(*m_pane->tlCdTree->Model(), NameColumn); }

    std::unique_ptr<ModuleFixture> m_catalog;
    std::unique_ptr<TDAOQuery> m_folders, m_discs;
    std::unique_ptr<TCdTreePane> m_pane;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
    std::unique_ptr<Msg::Recorder> m_messages;
    QList<int> m_listed;
    QStringList m_asked;
    QString m_answer; // null: the folder-name dialog is cancelled
    int m_selectionCleared = 0;
    bool m_busyAtListing = false;

    void ListDiscs(int folderId) { TDM::OpenQuery(*m_discs, AllDiscs + QStringLiteral(" WHERE TId=%1").arg(folderId)); }
    QObject m_discList;
};

// The folders of Base, discs 1-3 in 音乐 (3) and disc 4 in 爱情 (5).
void TestCdTree::init()
{
    m_catalog = std::make_unique<ModuleFixture>();
    m_catalog->AddFolders({R"(2, 1, "电影")", R"(3, 1, "音乐")", R"(4, 2, "动作")", R"(5, 2, "爱情")",
                           R"(6, 4, "武侠")", R"(7, 99, "孤儿")", R"(8, 8, "自己")"});
    for (const char *sql : {R"(INSERT INTO TbCd (ID, Name, Code, TId) VALUES (1, "英雄", "1", 3))",
                            R"(INSERT INTO TbCd (ID, Name, Code, TId) VALUES (2, "大话西游", "2", 3))",
                            R"(INSERT INTO TbCd (ID, Name, Code, TId) VALUES (3, "藏金阁", "3", 3))",
                            R"(INSERT INTO TbCd (ID, Name, Code, TId) VALUES (4, "甜蜜蜜", "4", 5))"})
        m_catalog->Dm().ExecuteSQL(QString::fromUtf8(sql));

    m_messages = std::make_unique<Msg::Recorder>();
    m_folders = std::make_unique<TDAOQuery>();
    m_folders->SetDatabase(&m_catalog->Dm().DbBase);
    m_discs = std::make_unique<TDAOQuery>();
    m_discs->SetDatabase(&m_catalog->Dm().DbBase);
    m_pane = std::make_unique<TCdTreePane>(*m_folders);
    m_tester = std::make_unique<QAbstractItemModelTester>(m_pane->tlCdTree->Model(),
                                                          QAbstractItemModelTester::FailureReportingMode::QtTest);
    m_listed.clear();
    m_asked.clear();
    m_answer = QString();
    m_selectionCleared = 0;
    connect(m_pane.get(), &TCdTreePane::FolderChosen, this, [this](int id) {
        m_listed << id;
        m_busyAtListing = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        ListDiscs(id);
    });
    m_pane->IsDiscList = [this](QObject *source) { return source == &m_discList; };
    connect(m_pane.get(), &TCdTreePane::DiscsMoved, this, [this] { ++m_selectionCleared; });
    m_pane->QCd = m_discs.get();
    m_pane->AskFolderName = [this](QString &name) {
        m_asked << name;
        if (m_answer.isNull())
            return false;
        name = m_answer;
        return true;
    };
    m_pane->LoadCdTree();
}

void TestCdTree::cleanup()
{
    m_tester.reset();
    m_pane.reset();
    m_discs.reset();
    m_folders.reset();
    m_messages.reset();
    m_catalog.reset();
}

int TestCdTree::Count(const QString &sql)
{
    return m_catalog->Dm().GetFieldValue(sql, QStringLiteral("N")).toInt();
}

void TestCdTree::SetCurrent(int id)
{
    QVERIFY(m_pane->tlCdTree->GotoKey(id));
    QCOMPARE(m_pane->CurrentFolderId(), id);
}

void TestCdTree::loadShowsTheFoldersOpen()
{
    TTreeList *tree = m_pane->tlCdTree;
    m_pane->resize(300, 300);
    m_pane->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pane.get()));
    QCOMPARE(TreeOutline(), Base);
    QCOMPARE(tree->objectName(), QStringLiteral("tlCdTree"));
    QCOMPARE(tree->FooterText(QStringLiteral("Name")), QStringLiteral("目录总数：8"));
    QCOMPARE(tree->Model()->headerData(NameColumn, Qt::Horizontal).toString(), QStringLiteral("光盘夹目录"));
    // The root all the way down; nothing else.
    for (int id : {1, 2, 4})
        QVERIFY(tree->IsExpanded(tree->NodeOfKey(id)));
    QVERIFY(!tree->IsExpanded(tree->NodeOfKey(7)));
    // The first row read is current; the disc list is left alone.
    QCOMPARE(m_pane->CurrentFolderId(), 1);
    QCOMPARE(tree->KeyOf(tree->CurrentNode()), 1);
    QVERIFY(m_listed.isEmpty());

    QStringList menu;
    for (QAction *action : m_pane->pmCdTree->actions())
        menu << action->text() + (action->isEnabled() ? QString() : QStringLiteral("(off)"));
    QCOMPARE(menu, (QStringList{QStringLiteral("添加光盘夹目录"), QStringLiteral("删除"), QStringLiteral("重命名")}));

    // The plus folder for folders with child folders.
    const QImage plain = ImageOf(TTreeList::FolderImage(false));
    const QImage plus = ImageOf(TTreeList::FolderImage(true));
    QVERIFY(plain != plus);
    for (int id : {1, 2, 4, 3, 6, 7, 8}) {
        const QModelIndex node = tree->NodeOfKey(id);
        const int expected = (id == 1 || id == 2 || id == 4) ? 1 : 0;
        QCOMPARE(m_pane->tlCdTreeGetStateIndex(node), expected);
        const QModelIndex name = node.siblingAtColumn(NameColumn);
        QCOMPARE(ImageOf(name.data(Qt::DecorationRole).value<QIcon>()), expected ? plus : plain);
    }

    // A click lists the current folder.
    SetCurrent(3);
    QTest::mouseClick(tree->View()->viewport(), Qt::LeftButton, {},
                      tree->View()->visualRect(tree->NodeOfKey(3).siblingAtColumn(NameColumn)).center());
    QCOMPARE(m_listed, QList<int>{3});
    m_pane->tlCdTreeClick();
    QCOMPARE(m_listed, (QList<int>{3, 3}));

    // The disc list's jump moves the tree to a disc's folder, if it exists.
    QVERIFY(m_pane->LocateFolder(6));
    QCOMPARE(tree->KeyOf(tree->CurrentNode()), 6);
    QVERIFY(!m_pane->LocateFolder(42));
    QCOMPARE(m_pane->CurrentFolderId(), 6);
    QCOMPARE(m_listed, (QList<int>{3, 3}));
}

void TestCdTree::emptyCatalogDisablesDeleteAndRename()
{
    m_catalog->Dm().ExecuteSQL(QStringLiteral("DELETE FROM TbTree"));
    m_pane->LoadCdTree();
    QCOMPARE(m_pane->tlCdTree->Model()->NodeCount(), 0);
    QCOMPARE(m_pane->tlCdTree->FooterText(QStringLiteral("Name")), QStringLiteral("目录总数：0"));
    QVERIFY(m_pane->pmCdTreeAdd->isEnabled());
    QVERIFY(!m_pane->pmCdTreeDel->isEnabled());
    QVERIFY(!m_pane->pmCdTreeRen->isEnabled());
    QCOMPARE(m_pane->CurrentFolderId(), 0);

    m_answer = QStringLiteral("新");
    m_pane->pmCdTreeDelClick();
    m_pane->pmCdTreeRenClick();
    QVERIFY(m_asked.isEmpty());
    QVERIFY(m_messages->shown.isEmpty());

    // A first folder has no parent to name.
    m_pane->pmCdTreeAddClick();
    QCOMPARE(Count(QStringLiteral(R"(SELECT count(*) AS N FROM TbTree WHERE Id1=0 AND Name="新")")), 1);
    QVERIFY(m_pane->pmCdTreeDel->isEnabled());
    QVERIFY(m_pane->pmCdTreeRen->isEnabled());
}

void TestCdTree::addFolder_data()
{
    QTest::addColumn<int>("current");
    QTest::addColumn<QString>("answer"); // null: cancelled
    QTest::addColumn<QString>("stored");

    QTest::newRow("under a leaf") << 3 << QStringLiteral("古典") << QStringLiteral("古典");
    QTest::newRow("blanks are kept") << 1 << QStringLiteral("  老 电影 ") << QStringLiteral("  老 电影 ");
    QTest::newRow("same name as a sibling") << 2 << QStringLiteral("动作") << QStringLiteral("动作");
    // A folder name takes 60 bytes.
    const QString ten = QStringLiteral("一二三四五六七八九十");
    QTest::newRow("too long: cut before the character that does not fit")
        << 1 << ten.repeated(3) + QStringLiteral("壹") << ten.repeated(3);
    QTest::newRow("half a character never stays")
        << 1 << QStringLiteral("a") + ten.repeated(3) << QStringLiteral("a") + ten.repeated(2) + ten.left(9);
    QTest::newRow("cancelled") << 3 << QString() << QString();
}

void TestCdTree::addFolder()
{
    QFETCH(int, current);
    QFETCH(QString, answer);
    QFETCH(QString, stored);

    SetCurrent(current);
    const int before = m_pane->tlCdTreeGetStateIndex(m_pane->tlCdTree->NodeOfKey(current));
    m_answer = answer;
    m_pane->pmCdTreeAddClick();

    QCOMPARE(m_asked, QStringList{QString()});
    QVERIFY(m_messages->shown.isEmpty());
    QVERIFY(m_listed.isEmpty());
    if (answer.isNull()) {
        QCOMPARE(m_pane->CurrentFolderId(), current);
        QCOMPARE(TreeOutline(), Base);
        QCOMPARE(Count(QStringLiteral("SELECT count(*) AS N FROM TbTree")), 8);
        return;
    }
    // The new folder is a child of the one that was current, and current.
    const int added = m_pane->CurrentFolderId();
    QVERIFY(added > 8);
    QCOMPARE(m_pane->tlCdTree->KeyOf(m_pane->tlCdTree->CurrentNode()), added);
    QCOMPARE(m_catalog->Dm().GetFieldValue(QStringLiteral("SELECT Id1, Name FROM TbTree WHERE ID=%1").arg(added),
                                           QStringLiteral("Name")),
             stored);
    QCOMPARE(m_catalog->Dm().GetFieldValue(QStringLiteral("SELECT Id1 FROM TbTree WHERE ID=%1").arg(added),
                                           QStringLiteral("Id1")),
             QString::number(current));
    const QModelIndex node = m_pane->tlCdTree->NodeOfKey(added);
    QCOMPARE(m_pane->tlCdTree->KeyOf(node.parent()), current);
    QCOMPARE(before, current == 3 ? 0 : 1);
    QCOMPARE(m_pane->tlCdTreeGetStateIndex(node.parent()), 1);
    QCOMPARE(TreeOutline(), FreshOutline(m_catalog->Dm()));
}

void TestCdTree::renameFolder_data()
{
    QTest::addColumn<int>("current");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("outline");

    QTest::newRow("moves among its siblings")
        << 3 << QStringLiteral("阿卡") << QStringLiteral("孤儿;主目录(阿卡,电影(爱情,动作(武侠)));自己");
    QTest::newRow("the root too") << 1 << QStringLiteral("全部")
                                  << QStringLiteral("孤儿;全部(电影(爱情,动作(武侠)),音乐);自己");
    QTest::newRow("same name as a sibling")
        << 3 << QStringLiteral("电影") << QStringLiteral("孤儿;主目录(电影(爱情,动作(武侠)),电影);自己");
    QTest::newRow("leading blanks are kept")
        << 6 << QStringLiteral("  剑") << QStringLiteral("孤儿;主目录(电影(爱情,动作(  剑)),音乐);自己");
    QTest::newRow("cancelled") << 3 << QString() << Base;
}

void TestCdTree::renameFolder()
{
    QFETCH(int, current);
    QFETCH(QString, answer);
    QFETCH(QString, outline);

    SetCurrent(current);
    const QString oldName = m_folders->Field(QStringLiteral("Name")).AsString();
    m_answer = answer;
    m_pane->pmCdTreeRenClick();

    QCOMPARE(m_asked, QStringList{oldName});
    QVERIFY(m_messages->shown.isEmpty());
    QCOMPARE(TreeOutline(), outline);
    QCOMPARE(FreshOutline(m_catalog->Dm()), outline);
    QCOMPARE(m_pane->CurrentFolderId(), current);
}

void TestCdTree::deleteFolder_data()
{
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("discIn"); // a folder given a disc first, or 0
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("deleted");
    QTest::addColumn<int>("after"); // current afterwards; 0: wherever the query went

    QTest::newRow("the root") << 1 << 0 << true << QStringLiteral("主目录不能删除！") << false << 1;
    QTest::newRow("the root holding a disc: emptiness first")
        << 1 << 1 << true << QStringLiteral("目录[主目录]不为空，不能删除！") << false << 1;
    QTest::newRow("holding discs") << 3 << 0 << true << QStringLiteral("目录[音乐]不为空，不能删除！") << false << 3;
    QTest::newRow("holding child folders")
        << 4 << 0 << true << QStringLiteral("目录[动作]下还有子目录，不能删除！") << false << 4;
    QTest::newRow("child folders holding discs do not matter first")
        << 4 << 6 << true << QStringLiteral("目录[动作]下还有子目录，不能删除！") << false << 4;
    QTest::newRow("a leaf, confirmed: the parent takes the focus")
        << 6 << 0 << true << QStringLiteral("真的要删除[武侠]目录吗？") << true << 4;
    QTest::newRow("a leaf, cancelled") << 6 << 0 << false << QStringLiteral("真的要删除[武侠]目录吗？") << false << 6;
    QTest::newRow("its own parent") << 8 << 0 << true << QStringLiteral("真的要删除[自己]目录吗？") << true << 0;
    QTest::newRow("an orphan") << 7 << 0 << true << QStringLiteral("真的要删除[孤儿]目录吗？") << true << 0;
}

void TestCdTree::deleteFolder()
{
    QFETCH(int, current);
    QFETCH(int, discIn);
    QFETCH(bool, confirm);
    QFETCH(QString, message);
    QFETCH(bool, deleted);
    QFETCH(int, after);

    if (discIn)
        m_catalog->Dm().ExecuteSQL(
            QStringLiteral(R"(INSERT INTO TbCd (Name, Code, TId) VALUES ("新", "9", %1))").arg(discIn));
    SetCurrent(current);
    m_messages->confirmAnswer = confirm;
    m_pane->pmCdTreeDelClick();

    QCOMPARE(m_messages->Texts(), QStringList{message});
    QCOMPARE(m_messages->shown.first().kind,
             message.startsWith(QStringLiteral("真的")) ? Msg::Kind::Confirmation : Msg::Kind::Warning);
    QCOMPARE(Count(QStringLiteral("SELECT count(*) AS N FROM TbTree WHERE ID=%1").arg(current)), deleted ? 0 : 1);
    QCOMPARE(m_pane->tlCdTree->NodeOfKey(current).isValid(), !deleted);
    QCOMPARE(m_pane->tlCdTree->Model()->NodeCount(), deleted ? 7 : 8);
    if (after)
        QCOMPARE(m_pane->CurrentFolderId(), after);
    QCOMPARE(m_pane->tlCdTree->KeyOf(m_pane->tlCdTree->CurrentNode()), m_pane->CurrentFolderId());
    QCOMPARE(TreeOutline(), FreshOutline(m_catalog->Dm()));
    // No folder is ever left without its parent.
    QCOMPARE(Count(QStringLiteral("SELECT count(*) AS N FROM TbTree WHERE ID<>1 AND Id1 NOT IN (SELECT ID FROM TbTree) "
                                  "AND Id1<>99")),
             0);
    QVERIFY(m_pane->pmCdTreeDel->isEnabled());
    if (current == 6 && deleted)
        QCOMPARE(m_pane->tlCdTreeGetStateIndex(m_pane->tlCdTree->NodeOfKey(4)), 0);
}

void TestCdTree::dropDiscs()
{
    TTreeList *tree = m_pane->tlCdTree;
    ListDiscs(3);
    QList<TBookmark> selected;
    for (int row = 0; row < m_discs->RowCount(); ++row)
        selected << m_discs->BookmarkAt(row);
    QCOMPARE(selected.size(), 3);
    m_pane->SelectedDiscs = [&] { return selected; };
    QMimeData rows;
    rows.setData(QString::fromLatin1(TDataGrid::RowsMimeType), QByteArray());

    // Only a folder with a parent takes discs, and only from the disc list.
    const struct
    {
        QObject *source;
        int target;
        bool accepted;
    } overs[] = {
        {&m_discList, 6, true},  {&m_discList, 2, true},  {&m_discList, 1, false},
        {&m_discList, 7, false}, {&m_discList, 0, false}, {this, 6, false},
    };
    for (const auto &over : overs)
        QVERIFY2(m_pane->tlCdTreeDragOver(over.source, &rows, tree->NodeOfKey(over.target), Zone::OnRow, false) ==
                     over.accepted,
                 qPrintable(QString::number(over.target)));

    // Refused drops change nothing.
    m_pane->DropDiscs(1);
    m_pane->tlCdTreeDragDrop(&m_discList, &rows, tree->NodeOfKey(7), Zone::OnRow, false);
    QCOMPARE(Count(QStringLiteral("SELECT count(*) AS N FROM TbCd WHERE TId=3")), 3);
    QVERIFY(m_listed.isEmpty());
    QCOMPARE(m_selectionCleared, 0);

    // Onto a leaf: the discs move, the list shows the leaf, the selection
    // goes; under the wait cursor, which goes afterwards.
    SetCurrent(2);
    m_busyAtListing = false;
    m_pane->tlCdTreeDragDrop(&m_discList, &rows, tree->NodeOfKey(6), Zone::OnRow, false);
    QVERIFY(m_busyAtListing);
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(Count(QStringLiteral("SELECT count(*) AS N FROM TbCd WHERE TId=6")), 3);
    // The discs had no date, and still have none.
    QCOMPARE(Count(QStringLiteral("SELECT count(*) AS N FROM TbCd WHERE TId=6 AND Day IS NULL")), 3);
    QCOMPARE(Count(QStringLiteral("SELECT count(*) AS N FROM TbCd WHERE TId=3")), 0);
    QCOMPARE(Count(QStringLiteral("SELECT count(*) AS N FROM TbCd WHERE TId=5")), 1);
    QCOMPARE(m_listed, QList<int>{6});
    QCOMPARE(m_discs->RowCount(), 3);
    QCOMPARE(m_selectionCleared, 1);
    QCOMPARE(m_pane->CurrentFolderId(), 6);
    QVERIFY(!m_discs->ControlsSuspended());
    QVERIFY(!m_folders->ControlsSuspended());
    QCOMPARE(TreeOutline(), Base);
}

void TestCdTree::dropFolders_data()
{
    QTest::addColumn<QList<int>>("dragged");
    QTest::addColumn<int>("start"); // the folder the drag started on
    QTest::addColumn<int>("target");
    QTest::addColumn<Zone>("zone");
    QTest::addColumn<bool>("ctrl");
    QTest::addColumn<QString>("outline"); // empty: refused

    const QList<int> film{2}, action{4}, swords{6};
    QTest::newRow("move onto a folder: a child of it")
        << action << 4 << 3 << Zone::OnRow << false << QStringLiteral("孤儿;主目录(电影(爱情),音乐(动作(武侠)));自己");
    QTest::newRow("move onto the indentation: a sibling of it")
        << swords << 6 << 3 << Zone::Indent << false << QStringLiteral("孤儿;主目录(电影(爱情,动作),武侠,音乐);自己");
    QTest::newRow("move several") << QList<int>{5, 6} << 6 << 3 << Zone::OnRow << false
                                  << QStringLiteral("孤儿;主目录(电影(动作),音乐(爱情,武侠));自己");
    QTest::newRow("move onto itself") << action << 4 << 4 << Zone::OnRow << false << QString();
    QTest::newRow("move into its own subtree") << film << 2 << 6 << Zone::OnRow << false << QString();
    QTest::newRow("move beside its own child") << film << 2 << 4 << Zone::Indent << false << QString();
    QTest::newRow("the root") << QList<int>{1} << 1 << 3 << Zone::OnRow << true << QString();
    QTest::newRow("an orphan at the top") << QList<int>{7} << 7 << 3 << Zone::OnRow << false << QString();
    QTest::newRow("a top folder among the dragged") << QList<int>{4, 8} << 4 << 3 << Zone::OnRow << false << QString();
    QTest::newRow("started on a top folder") << action << 7 << 3 << Zone::OnRow << false << QString();
    QTest::newRow("beside a top folder") << swords << 6 << 1 << Zone::Indent << true << QString();
    QTest::newRow("copy under its own child")
        << film << 2 << 4 << Zone::OnRow << true
        << QStringLiteral("孤儿;主目录(电影(爱情,动作(电影(爱情,动作(武侠)),武侠)),音乐);自己");
    QTest::newRow("copy beside") << swords << 6 << 3 << Zone::Indent << true
                                 << QStringLiteral("孤儿;主目录(电影(爱情,动作(武侠)),武侠,音乐);自己");
    QTest::newRow("copy a folder and one below it: the inner one comes once")
        << QList<int>{6, 2} << 2 << 3 << Zone::OnRow << true
        << QStringLiteral("孤儿;主目录(电影(爱情,动作(武侠)),音乐(电影(爱情,动作(武侠))));自己");
}

void TestCdTree::dropFolders()
{
    QFETCH(QList<int>, dragged);
    QFETCH(int, start);
    QFETCH(int, target);
    QFETCH(Zone, zone);
    QFETCH(bool, ctrl);
    QFETCH(QString, outline);

    TTreeList *tree = m_pane->tlCdTree;
    QItemSelectionModel *selection = tree->View()->selectionModel();
    for (int id : dragged)
        selection->select(tree->NodeOfKey(id), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const std::unique_ptr<QMimeData> mime(TTreeList::NodesMimeData(dragged, start));
    const QModelIndex node = tree->NodeOfKey(target);
    const bool accepted = !outline.isEmpty();

    QCOMPARE(m_pane->tlCdTreeDragOver(tree->View(), mime.get(), node, zone, ctrl), accepted);
    m_pane->tlCdTreeDragDrop(tree->View(), mime.get(), node, zone, ctrl);

    QVERIFY(m_messages->shown.isEmpty());
    QVERIFY(m_listed.isEmpty());
    if (!accepted) {
        QCOMPARE(TreeOutline(), Base);
        QCOMPARE(FreshOutline(m_catalog->Dm()), Base);
        return;
    }
    QCOMPARE(TreeOutline(), outline);
    QCOMPARE(FreshOutline(m_catalog->Dm()), outline);
    QVERIFY(tree->SelectedKeys().isEmpty());
    QCOMPARE(m_pane->CurrentFolderId(), target);
    // Copies get new IDs from the store; the originals keep theirs.
    const int folders = tree->Model()->NodeCount();
    QCOMPARE(Count(QStringLiteral("SELECT count(*) AS N FROM TbTree WHERE ID>8")), folders - 8);
    for (int id = 1; id <= 8; ++id)
        QVERIFY(tree->NodeOfKey(id).isValid());
    // Discs stay where they were.
    QCOMPARE(Count(QStringLiteral("SELECT count(*) AS N FROM TbCd WHERE TId=3")), 3);
    QCOMPARE(Count(QStringLiteral("SELECT count(*) AS N FROM TbCd WHERE TId>8")), 0);
}

QTEST_MAIN(TestCdTree)
#include "tst_cdtree.moc"
