// The whole program on a catalog of 100,000 discs in 10,000 folders: the
// real main window started as the program starts it, then what a user does
// with it (a folder click, a quick jump, a find, grouping, moving through
// the list, deleting 10,000 discs, compacting) and the program's peak
// memory. Each case sits beside a baseline that does the same data work
// with the bare SQLCipher API on the same file, in the same run; the run
// ends with a table of the ratios.
//
// bench_main --memory-child <mode> ... is the child process that the memory
// cases start; it is not meant to be run by hand.
#include "app/Globalvar.h"
#include "app/MainForm.h"
#include "app/SettingObjects.h"
#include "app/StartUp.h"
#include "bench/BenchSupport.h"
#include "browser/CdListPane.h"
#include "browser/CdTreePane.h"
#include "browser/DetailView.h"
#include "browser/PageService.h"
#include "dialogs/AddCdDlg.h"
#include "dialogs/CompactDbForm.h"
#include "dialogs/FindForm.h"
#include "store/catalog/DataModule.h"
#include "store/catalog/DiscList.h"
#include "store/catalog/Schema.h"
#include "store/engine/DAOQuery.h"
#include "store/engine/Errors.h"
#include "toolkit/DataGrid.h"
#include "toolkit/ExPickEdit.h"
#include "toolkit/MessageBoxes.h"
#include "toolkit/TreeList.h"
#include "toolkit/TreeListModel.h"
#include "tools/CatalogGenerator.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <benchmark/benchmark.h>
#include <sqlcipher/sqlite3.h>

#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int Discs = 100000;
constexpr int Folders = 10000;
constexpr int DeletedDiscs = 10000;

// Folders of the generated tree (see CatalogGenerator.h): two top folders,
// and two boxes of the third level.
constexpr int TopFolderA = 2;
constexpr int TopFolderB = 3;
constexpr int BoxFolderA = 5000;
constexpr int BoxFolderB = 5001;

const QString DiscList = DiscListStatement();

using Bench::RawDb;
using Bench::RawStatement;
using Bench::WorkDir;

// -- The catalogs ----------------------------------------------------------

// The generated catalog, written once per run; the cases that change it
// work on copies.
QString CatalogPath()
{
    return Bench::GeneratedCatalog(QStringLiteral("Catalog.MDB"), Discs, Schema::Layout::Build102, Folders);
}

// A catalog without discs or folders, for the memory baseline.
QString EmptyCatalogPath()
{
    return Bench::GeneratedCatalog(QStringLiteral("Empty.MDB"), 0, Schema::Layout::Build102, 0);
}

QString FreshCopy(const QString &name)
{
    return Bench::FreshCopy(CatalogPath(), name);
}

QString FolderStatement(int folderId)
{
    return FolderDiscListStatement(folderId);
}

// -- The program -------------------------------------------------------------

// Runs the event loop until the condition holds; throws after a minute.
void WaitFor(const std::function<bool()> &condition, const char *what)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > 60000)
            throw EAppError(QStringLiteral("timed out waiting for ") + QLatin1String(what));
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

// The program as main() starts it, in a program folder of its own, with the
// catalog remembered as the one open last and every message box recorded.
class Program
{
public:
    explicit Program(const QString &catalog)
    {
        QFile::remove(TSettings::FileName());
        m_folder = std::make_unique<QTemporaryDir>(WorkDir().filePath(QStringLiteral("program-XXXXXX")));
        for (const char *sub : {"Data", "Picture", "Skin"})
            QDir(m_folder->path()).mkpath(QLatin1String(sub));
        TMainFm::SetAppFolderForTests(m_folder->path());
        Options = TOptions::Defaults();
        CurrentDb.clear();
        AppFolder.clear();
        Settings = std::make_unique<TSettings>();
        Settings->WriteDefaultDb(catalog);
        CreateMainObjects();
        MainFm->ChooseCatalogHook = [](QString &) { return false; };
    }
    // The program started and shown, with that many discs listed.
    Program(const QString &catalog, int discs)
        : Program(catalog)
    {
        Show(discs);
    }
    ~Program()
    {
        DestroyMainObjects();
        TMainFm::SetAppFolderForTests(QString());
    }
    Program(const Program &) = delete;
    Program &operator=(const Program &) = delete;

    // The first showing, as main() makes it, until the root folder's list
    // of discs rows is on screen.
    void Show(int discs)
    {
        MainFm->showMaximized();
        WaitFor([discs] { return MainFm->QCd.Active() && MainFm->QCd.RowCount() == discs; }, "the disc list");
        QCoreApplication::processEvents();
        MainFm->repaint();
    }

    // The events of a change processed, and the list and the detail page
    // painted.
    static void Settle()
    {
        QCoreApplication::processEvents();
        MainFm->CdList->dgCd->View()->viewport()->repaint();
        MainFm->WebBrowser->viewport()->repaint();
    }

    // Errors shown since the last call, as one text; empty when none.
    QString TakeErrors()
    {
        QStringList errors;
        for (const Msg::Shown &shown : std::as_const(messages.shown))
            if (shown.kind == Msg::Kind::Error || shown.kind == Msg::Kind::Warning)
                errors << shown.text;
        messages.Clear();
        return errors.join(QLatin1Char('\n'));
    }

    Msg::Recorder messages{true};

private:
    std::unique_ptr<QTemporaryDir> m_folder;
};

void Check(bool condition, const char *what)
{
    if (!condition)
        throw EAppError(QStringLiteral("check failed: ") + QLatin1String(what));
}

void CheckNoErrors(Program &program)
{
    const QString errors = program.TakeErrors();
    if (!errors.isEmpty())
        throw EAppError(QStringLiteral("the program reported: ") + errors);
}

// The clock of one iteration, as the cases time by hand: running from when
// it is made until Stop().
class IterationClock
{
public:
    explicit IterationClock(benchmark::State &state)
        : m_state(state)
    {
        m_timer.start();
    }
    void Stop() { m_state.SetIterationTime(double(m_timer.nsecsElapsed()) / 1e9); }

private:
    benchmark::State &m_state;
    QElapsedTimer m_timer;
};

// A baseline on the catalog opened and keyed once: each iteration times
// statements(db), whose last count the counter shows.
template <typename Statements> void TimeOnCatalog(benchmark::State &state, const char *counter, Statements statements)
{
    const RawDb db(CatalogPath());
    qint64 count = 0;
    for (auto _ : state) {
        IterationClock clock(state);
        count = statements(db);
        clock.Stop();
    }
    state.counters[counter] = double(count);
}

// -- 1. Start-up: the first showing until the whole list is painted ------------

void StartProgram(benchmark::State &state)
{
    const QString catalog = CatalogPath();
    for (auto _ : state) {
        Program program(catalog);
        IterationClock clock(state);
        program.Show(Discs);
        clock.Stop();
        Check(MainFm->CdTree->tlCdTree->Model()->rowCount() > 0, "the folder tree is loaded");
        Check(MainFm->CdList->dgCd->FooterText(QStringLiteral("Serial")) == QStringLiteral("总数：%1").arg(Discs),
              "the footer counts every disc");
        CheckNoErrors(program);
    }
}

// The same data work: the file opened and keyed (the key derived), the
// folders and the root folder's discs read.
void StartRaw(benchmark::State &state)
{
    const QString catalog = CatalogPath();
    qint64 rows = 0;
    for (auto _ : state) {
        IterationClock clock(state);
        RawDb db(catalog);
        db.StepAll(QStringLiteral("SELECT * FROM TbTree"));
        rows = db.StepAll(DiscList);
        clock.Stop();
    }
    state.counters["rows"] = double(rows);
}

// -- 2. A folder click in the tree -----------------------------------------------

// 0: the root folder (every disc); 1: two top folders in turn; 2: two boxes
// of the third level in turn.
const int ClickedFolders[3][2] = {
    {Schema::RootFolderId, Schema::RootFolderId}, {TopFolderA, TopFolderB}, {BoxFolderA, BoxFolderB}};

// The middle of a folder's row in the tree's viewport, the row scrolled
// into view beforehand.
QPoint FolderPoint(int folderId)
{
    TTreeList *tree = MainFm->CdTree->tlCdTree;
    QTreeView *view = tree->View();
    QModelIndex node = tree->NodeOfKey(folderId);
    for (int c = 0; c < view->header()->count(); ++c)
        if (!view->header()->isSectionHidden(c)) {
            node = node.siblingAtColumn(c);
            break;
        }
    view->scrollTo(node);
    return view->visualRect(node).center();
}

// A mouse click on a folder's row.
void ClickFolder(int folderId)
{
    const QPoint at = FolderPoint(folderId);
    QTest::mouseClick(MainFm->CdTree->tlCdTree->View()->viewport(), Qt::LeftButton, {}, at);
}

void FolderClickProgram(benchmark::State &state)
{
    Program program(CatalogPath(), Discs);
    std::map<int, int> expected;
    {
        RawDb db(CatalogPath());
        for (int id : ClickedFolders[state.range(0)])
            expected[id] = int(db.Count(id == Schema::RootFolderId
                                            ? QStringLiteral("SELECT COUNT(*) FROM TbCd")
                                            : QStringLiteral("SELECT COUNT(*) FROM TbCd WHERE TId=%1").arg(id)));
    }
    int turn = 0;
    for (auto _ : state) {
        const int folderId = ClickedFolders[state.range(0)][turn];
        turn = 1 - turn;
        IterationClock clock(state);
        ClickFolder(folderId);
        Program::Settle();
        clock.Stop();
        Check(MainFm->CdTree->CurrentFolderId() == folderId, "the clicked folder is the current one");
        Check(MainFm->QCd.RowCount() == expected[folderId], "the list shows the folder's discs");
    }
    state.counters["rows"] = double(expected[ClickedFolders[state.range(0)][0]]);
    CheckNoErrors(program);
}

void FolderClickRaw(benchmark::State &state)
{
    RawDb db(CatalogPath());
    int turn = 0;
    qint64 rows = 0;
    for (auto _ : state) {
        const int folderId = ClickedFolders[state.range(0)][turn];
        turn = 1 - turn;
        IterationClock clock(state);
        rows = db.StepAll(FolderStatement(folderId));
        clock.Stop();
    }
    state.counters["rows"] = double(rows);
}

// -- 3. The quick jump -------------------------------------------------------

// 0: by code prefix "12" (1,111 discs); 1: by the initials "xl".
const char *const JumpTexts[2] = {"12", "xl"};
const char *const JumpFilters[2] = {"Code LIKE '12%'", "Spell LIKE 'XL%'"};

// Types the text into an empty code box and presses Enter: the box lists the
// matches. Then a click on one of them: the disc list shows that disc, the
// tree its folder, the detail view its page.
void JumpProgram(benchmark::State &state)
{
    Program program(CatalogPath(), Discs);
    TExPickEdit *box = MainFm->cbCode;
    QAbstractItemView *list = box->view();
    int row = 0;
    int matches = 0;
    for (auto _ : state) {
        IterationClock clock(state);
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Backspace); // a new search starts in an empty box
        box->clearEditText();
        QTest::keyClicks(box, QLatin1String(JumpTexts[state.range(0)]));
        QTest::keyClick(box, Qt::Key_Return);
        WaitFor([list] { return list->isVisible(); }, "the list of matches");
        matches = box->RowCount();
        const int key = box->RowValue(row);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(list->model()->index(row, 0)).center());
        WaitFor([key] { return MainFm->QCd.RowCount() == 1 && MainFm->QCd.Field("ID").AsInteger() == key; },
                "the disc chosen");
        Program::Settle();
        clock.Stop();
        Check(MainFm->CdTree->CurrentFolderId() == MainFm->QCd.Field("TId").AsInteger(),
              "the tree shows the disc's folder");
        row = 1 - row; // another disc each time
    }
    state.counters["matches"] = matches;
    CheckNoErrors(program);
}

// The same data work: the matches read for the list, the chosen disc read
// for the list and again for its page.
void JumpRaw(benchmark::State &state)
{
    RawDb db(CatalogPath());
    const QString matches =
        QStringLiteral("SELECT Id,Code,Name,Spell FROM TbCd WHERE ") + QLatin1String(JumpFilters[state.range(0)]);
    std::vector<int> keys;
    {
        const RawStatement stmt = db.Prepare(matches.toUtf8().constData());
        while (keys.size() < 2 && sqlite3_step(stmt.get()) == SQLITE_ROW)
            keys.push_back(sqlite3_column_int(stmt.get(), 0));
    }
    Check(keys.size() == 2, "two matches");
    int row = 0;
    qint64 rows = 0;
    for (auto _ : state) {
        IterationClock clock(state);
        rows = db.StepAll(matches);
        const QString one = OneDiscStatement(keys[size_t(row)]);
        db.StepAll(one);
        db.StepAll(one);
        clock.Stop();
        row = 1 - row;
    }
    state.counters["matches"] = double(rows);
}

// -- 4. A find through the main window --------------------------------------------

const QString FindFragment = QStringLiteral("英");

// The tool bar's find button: the dialog made and filled, "英" typed into
// the name, "开始查找" clicked, the discs found listed and painted, the
// dialog closed again.
void FindProgram(benchmark::State &state)
{
    Program program(CatalogPath(), Discs);
    int found = -1;
    for (auto _ : state) {
        found = -1;
        QTimer::singleShot(0, MainFm, [&found] {
            auto *dlg = qobject_cast<TFindFm *>(QApplication::activeModalWidget());
            if (!dlg)
                return;
            dlg->edName->setText(FindFragment);
            dlg->btnFind->click();
            QCoreApplication::processEvents();
            dlg->dgFind->View()->viewport()->repaint();
            found = dlg->dsFind ? dlg->QFind.RowCount() : -1;
            dlg->reject();
        });
        IterationClock clock(state);
        MainFm->btnFind->click();
        clock.Stop();
        Check(found > 0, "the dialog found discs");
    }
    state.counters["rows"] = found;
    CheckNoErrors(program);
}

void FindRaw(benchmark::State &state)
{
    TimeOnCatalog(state, "rows", [](const RawDb &db) {
        db.StepAll(QStringLiteral("SELECT Id,Name FROM TbCategory"));
        db.StepAll(QStringLiteral("SELECT Id,Name FROM TbQuality"));
        return db.StepAll(DiscList + QStringLiteral(" WHERE A.Name LIKE '%") + FindFragment + QStringLiteral("%'"));
    });
}

// -- 4b. Opening the find dialog and the disc editor -------------------------------

// The tool bar's find button until the dialog is on screen and painted; the
// dialog is closed again untimed.
void FindOpenProgram(benchmark::State &state)
{
    Program program(CatalogPath(), Discs);
    for (auto _ : state) {
        QElapsedTimer timer;
        qint64 shown = -1;
        QTimer::singleShot(0, MainFm, [&shown, &timer] {
            auto *dlg = qobject_cast<TFindFm *>(QApplication::activeModalWidget());
            if (!dlg)
                return;
            dlg->repaint();
            shown = timer.nsecsElapsed();
            dlg->reject();
        });
        timer.start();
        MainFm->btnFind->click();
        Check(shown > 0, "the find dialog was shown");
        state.SetIterationTime(double(shown) / 1e9);
        Program::Settle();
    }
    CheckNoErrors(program);
}

// The dialog's choices: the categories and the qualities, each with "none".
void FindOpenRaw(benchmark::State &state)
{
    TimeOnCatalog(state, "rows", [](const RawDb &db) {
        return db.StepAll(QStringLiteral("SELECT Id,Name FROM TbCategory UNION SELECT 0,'-' FROM TbSetings")) +
               db.StepAll(QStringLiteral("SELECT Id,Name FROM TbQuality UNION SELECT 0,'-' FROM TbSetings"));
    });
}

// The tool bar's edit button on the current disc: the editor made, filled,
// shown and painted, then cancelled, until the main window is painted again.
void EditOpenProgram(benchmark::State &state)
{
    Program program(CatalogPath(), Discs);
    QTreeView *view = MainFm->CdList->dgCd->View();
    int folders = 0;
    for (auto _ : state) {
        bool shown = false;
        QTimer::singleShot(0, MainFm, [&shown, &folders] {
            auto *dlg = qobject_cast<TAddCdDlg *>(QApplication::activeModalWidget());
            if (!dlg)
                return;
            dlg->repaint();
            folders = dlg->cbCdTree->count();
            shown = dlg->edName->text() == MainFm->QCd.Field("Name").AsString();
            dlg->reject();
        });
        IterationClock clock(state);
        MainFm->btnEdit->click();
        Program::Settle();
        clock.Stop();
        Check(shown, "the editor showed the current disc");
        QTest::keyClick(view, Qt::Key_Down); // another disc each time, untimed
        Program::Settle();
    }
    state.counters["folders"] = folders;
    CheckNoErrors(program);
}

// The editor's data: the disc's row, the category, folder and quality
// choices, whether the disc is lent.
void EditOpenRaw(benchmark::State &state)
{
    RawDb db(CatalogPath());
    int id = 1;
    qint64 rows = 0;
    for (auto _ : state) {
        ++id;
        IterationClock clock(state);
        db.StepAll(OneDiscStatement(id));
        db.StepAll(QStringLiteral("SELECT Id,Name FROM TbCategory"));
        rows = db.StepAll(QStringLiteral("SELECT Id,Name FROM TbTree WHERE Id<>%1").arg(Schema::RootFolderId));
        db.StepAll(QStringLiteral("SELECT Id,Name FROM TbQuality"));
        db.StepAll(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='table' AND name='TbLoan'"));
        clock.Stop();
    }
    state.counters["folders"] = double(rows);
}

// -- 5. Grouping the disc list by category --------------------------------------

void GroupProgram(benchmark::State &state)
{
    Program program(CatalogPath(), Discs);
    TDataGrid *grid = MainFm->CdList->dgCd;
    for (auto _ : state) {
        // A freshly listed catalog: the category names are read for
        // the grouping.
        grid->GroupBy({});
        MainFm->ShowCdList(Schema::RootFolderId);
        Program::Settle();
        IterationClock clock(state);
        grid->GroupBy(QStringLiteral("Category"));
        Program::Settle();
        clock.Stop();
        Check(grid->View()->model()->rowCount() == CatalogGenerator::CategoryCount, "one group per category");
    }
    grid->GroupBy({}); // not stored as the layout of the next cases
    CheckNoErrors(program);
}

// The engine groups the same rows with the same counts and sums.
void GroupRaw(benchmark::State &state)
{
    TimeOnCatalog(state, "groups", [](const RawDb &db) {
        return db.StepAll(QStringLiteral("SELECT B.Name,COUNT(*),SUM(A.Price) FROM TbCd AS A LEFT JOIN "
                                         "TbCategory AS B ON A.CId=B.Id GROUP BY B.Name"));
    });
}

// -- 6. The detail page on a cursor move ------------------------------------------

// Down in the disc list: the next disc becomes the current one and the
// detail view shows its page, painted.
void CursorProgram(benchmark::State &state)
{
    Program program(CatalogPath(), Discs);
    QTreeView *view = MainFm->CdList->dgCd->View();
    view->setFocus();
    for (auto _ : state) {
        const int before = MainFm->QCd.CurrentRow();
        IterationClock clock(state);
        QTest::keyClick(view, Qt::Key_Down);
        Program::Settle();
        clock.Stop();
        Check(MainFm->QCd.CurrentRow() == before + 1, "the cursor moved to the next disc");
        Check(MainFm->WebBrowser->source() == TOurNSHandler::PageUrl(MainFm->QCd.Field("ID").AsInteger()),
              "the detail view shows the disc's page");
    }
    CheckNoErrors(program);
}

// The page reads the disc's row through the one-disc statement.
void CursorRaw(benchmark::State &state)
{
    RawDb db(CatalogPath());
    int id = 1;
    for (auto _ : state) {
        ++id;
        IterationClock clock(state);
        db.StepAll(OneDiscStatement(id));
        clock.Stop();
    }
}

// -- 7. Deleting 10,000 discs -----------------------------------------------------

// Every tenth row of the root folder's list selected, as ctrl-clicks would.
void SelectEveryTenthRow()
{
    QTreeView *view = MainFm->CdList->dgCd->View();
    QAbstractItemModel *model = view->model();
    const int lastColumn = model->columnCount() - 1;
    QItemSelection selection;
    for (int row = 0; row < Discs; row += Discs / DeletedDiscs)
        selection.select(model->index(row, 0), model->index(row, lastColumn));
    view->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

// On a fresh copy shown in the program (not timed): the delete button, the
// confirmation answered, until the list of the 90,000 discs left is painted.
void DeleteProgram(benchmark::State &state)
{
    for (auto _ : state) {
        Program program(FreshCopy(QStringLiteral("Delete.MDB")), Discs);
        SelectEveryTenthRow();
        Program::Settle();
        Check(MainFm->CdList->dgCd->SelectedCount() == DeletedDiscs, "10,000 rows selected");
        program.messages.Clear();
        IterationClock clock(state);
        MainFm->btnDel->click();
        Program::Settle();
        clock.Stop();
        Check(program.messages.Texts() == QStringList{QStringLiteral("真的要删除这些光盘吗？")},
              "one confirmation asked");
        program.messages.Clear();
        Check(MainFm->QCd.RowCount() == Discs - DeletedDiscs, "the list shows the discs left");
        Check(DM->GetFieldValue(QStringLiteral("SELECT COUNT(*) AS N FROM TbCd"), QStringLiteral("N")).toInt() ==
                  Discs - DeletedDiscs,
              "the catalog holds the discs left");
    }
}

// In one transaction: the statement run once for each disc, its values
// bound by bind(statement, id).
template <typename Bind> void RunForEach(const RawDb &db, const char *sql, const std::vector<int> &ids, Bind bind)
{
    db.Exec("BEGIN");
    RawStatement stmt = db.Prepare(sql);
    for (int id : ids) {
        bind(stmt.get(), id);
        db.Run(stmt.get());
    }
    stmt.reset();
    db.Exec("COMMIT");
}

// On a fresh copy (not timed): the same 10,000 discs deleted by ID in one
// transaction, then the discs left read for the list.
void DeleteRaw(benchmark::State &state)
{
    for (auto _ : state) {
        const QString file = FreshCopy(QStringLiteral("DeleteRaw.MDB"));
        std::vector<int> ids;
        {
            RawDb db(file);
            const RawStatement stmt = db.Prepare(DiscList.toUtf8().constData());
            for (int row = 0; sqlite3_step(stmt.get()) == SQLITE_ROW; ++row)
                if (row % (Discs / DeletedDiscs) == 0)
                    ids.push_back(sqlite3_column_int(stmt.get(), 0));
        }
        RawDb db(file);
        db.Count(QStringLiteral("SELECT COUNT(*) FROM sqlite_master")); // the key derived, not timed
        IterationClock clock(state);
        RunForEach(db, "DELETE FROM TbCd WHERE ID=?", ids,
                   [](sqlite3_stmt *del, int id) { sqlite3_bind_int(del, 1, id); });
        const qint64 rows = db.StepAll(DiscList);
        clock.Stop();
        Check(rows == Discs - DeletedDiscs, "the discs left");
    }
}

// -- 7b. Moving 10,000 discs, copying and deleting folders -----------------------

// On a fresh copy shown in the program (not timed): every tenth disc
// selected and dropped on a box, until the box's list is painted.
void MoveProgram(benchmark::State &state)
{
    for (auto _ : state) {
        Program program(FreshCopy(QStringLiteral("Move.MDB")), Discs);
        const int before =
            int(DM->GetFieldValue(QStringLiteral("SELECT COUNT(*) AS N FROM TbCd WHERE TId=%1").arg(BoxFolderA),
                                  QStringLiteral("N"))
                    .toInt());
        SelectEveryTenthRow();
        Program::Settle();
        TTreeList *tree = MainFm->CdTree->tlCdTree;
        QMimeData rows;
        rows.setData(QString::fromLatin1(TDataGrid::RowsMimeType), QByteArray());
        IterationClock clock(state);
        MainFm->CdTree->tlCdTreeDragDrop(MainFm->CdList->dgCd->View(), &rows, tree->NodeOfKey(BoxFolderA),
                                         TTreeList::DropZone::OnRow, false);
        Program::Settle();
        clock.Stop();
        const int moved = MainFm->QCd.RowCount() - before;
        Check(moved > DeletedDiscs - 100 && moved <= DeletedDiscs, "the box lists the discs moved");
        CheckNoErrors(program);
    }
}

// On a fresh copy (not timed): the same discs moved by ID in one
// transaction, then the box's list read.
void MoveRaw(benchmark::State &state)
{
    for (auto _ : state) {
        const QString file = FreshCopy(QStringLiteral("MoveRaw.MDB"));
        RawDb db(file);
        std::vector<int> ids;
        for (int id = 1; id <= Discs; id += Discs / DeletedDiscs)
            ids.push_back(id);
        db.Count(QStringLiteral("SELECT COUNT(*) FROM sqlite_master")); // the key derived, not timed
        IterationClock clock(state);
        RunForEach(db, "UPDATE TbCd SET TId=? WHERE ID=?", ids, [](sqlite3_stmt *update, int id) {
            sqlite3_bind_int(update, 1, BoxFolderA);
            sqlite3_bind_int(update, 2, id);
        });
        db.StepAll(FolderStatement(BoxFolderA));
        clock.Stop();
    }
}

// One disc dropped onto another box, as the tree's view hands a drop from
// the disc list to the program: the first disc of the current box's list
// selected (untimed), the drop at the box's row, until the list of the box
// dropped on and the tree are painted. The disc goes back and forth between
// two boxes. (Offscreen there is no platform drag to start, so the drop is
// handed over where the view's drop event hands it, with the disc list as
// its source.)
void DropOneProgram(benchmark::State &state)
{
    Program program(FreshCopy(QStringLiteral("DropOne.MDB")), Discs);
    TTreeList *tree = MainFm->CdTree->tlCdTree;
    QTreeView *list = MainFm->CdList->dgCd->View();
    ClickFolder(BoxFolderA);
    Program::Settle();
    int target = BoxFolderB;
    for (auto _ : state) {
        const QModelIndex first = list->model()->index(0, 0);
        list->selectionModel()->setCurrentIndex(first, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        const int disc = MainFm->QCd.Field("ID").AsInteger();
        const int before =
            int(DM->GetFieldValue(QStringLiteral("SELECT COUNT(*) AS N FROM TbCd WHERE TId=%1").arg(target),
                                  QStringLiteral("N"))
                    .toInt());
        const QPoint at = FolderPoint(target);
        Program::Settle();
        QMimeData rows;
        rows.setData(QString::fromLatin1(TDataGrid::RowsMimeType), QByteArray());
        IterationClock clock(state);
        const QModelIndex dropped = tree->View()->indexAt(at).siblingAtColumn(0);
        tree->OnDragDrop(list, &rows, dropped, tree->ZoneAt(at), false);
        Program::Settle();
        tree->View()->viewport()->repaint();
        clock.Stop();
        Check(MainFm->CdTree->CurrentFolderId() == target, "the box dropped on is the current folder");
        Check(MainFm->QCd.RowCount() == before + 1, "the box lists the disc dropped");
        Check(DM->GetFieldValue(QStringLiteral("SELECT TId FROM TbCd WHERE ID=%1").arg(disc), QStringLiteral("TId"))
                      .toInt() == target,
              "the disc is in the box");
        target = target == BoxFolderA ? BoxFolderB : BoxFolderA;
        CheckNoErrors(program);
    }
}

// The same disc moved by ID, then the box's list read.
void DropOneRaw(benchmark::State &state)
{
    const QString file = FreshCopy(QStringLiteral("DropOneRaw.MDB"));
    RawDb db(file);
    db.Count(QStringLiteral("SELECT COUNT(*) FROM sqlite_master")); // the key derived, not timed
    const int disc = int(db.Count(QStringLiteral("SELECT MIN(ID) FROM TbCd WHERE TId=%1").arg(BoxFolderA)));
    int target = BoxFolderB;
    for (auto _ : state) {
        IterationClock clock(state);
        db.Exec(QStringLiteral("UPDATE TbCd SET TId=%1 WHERE ID=%2").arg(target).arg(disc).toUtf8().constData());
        db.StepAll(FolderStatement(target));
        clock.Stop();
        target = target == BoxFolderA ? BoxFolderB : BoxFolderA;
    }
}

// A top folder with everything below it (about 500 folders) copied onto
// another top folder, Ctrl held, until the tree is painted again. Each
// iteration on a fresh copy (not timed).
void FolderCopyProgram(benchmark::State &state)
{
    int copied = 0;
    for (auto _ : state) {
        Program program(FreshCopy(QStringLiteral("FolderCopy.MDB")), Discs);
        TTreeList *tree = MainFm->CdTree->tlCdTree;
        const int before = tree->Model()->NodeCount();
        const std::unique_ptr<QMimeData> mime(TTreeList::NodesMimeData({TopFolderA}, TopFolderA));
        IterationClock clock(state);
        MainFm->CdTree->tlCdTreeDragDrop(tree->View(), mime.get(), tree->NodeOfKey(TopFolderB),
                                         TTreeList::DropZone::OnRow, true);
        QCoreApplication::processEvents();
        tree->View()->viewport()->repaint();
        clock.Stop();
        copied = tree->Model()->NodeCount() - before;
        Check(copied > 400, "the folders copied");
        CheckNoErrors(program);
    }
    state.counters["folders"] = copied;
}

// The same folders written on a fresh copy in one transaction, each
// child naming its parent's new ID.
void FolderCopyRaw(benchmark::State &state)
{
    int copied = 0;
    for (auto _ : state) {
        const QString file = FreshCopy(QStringLiteral("FolderCopyRaw.MDB"));
        RawDb db(file);
        // The subtree, read beforehand as the program takes it from its tree.
        std::map<int, std::vector<std::pair<int, QByteArray>>> children;
        {
            const RawStatement stmt = db.Prepare("SELECT ID,Id1,Name FROM TbTree");
            while (sqlite3_step(stmt.get()) == SQLITE_ROW)
                children[sqlite3_column_int(stmt.get(), 1)].push_back(
                    {sqlite3_column_int(stmt.get(), 0),
                     QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(stmt.get(), 2)))});
        }
        IterationClock clock(state);
        db.Exec("BEGIN");
        RawStatement insert = db.Prepare("INSERT INTO TbTree (Id1, Name) VALUES (?, ?)");
        copied = 0;
        std::function<void(int, const QByteArray &, int)> write = [&](int id, const QByteArray &name, int parentId) {
            sqlite3_bind_int(insert.get(), 1, parentId);
            sqlite3_bind_text(insert.get(), 2, name.constData(), int(name.size()), SQLITE_STATIC);
            db.Run(insert.get());
            ++copied;
            const int newId = int(db.LastInsertId());
            for (const auto &child : children[id])
                write(child.first, child.second, newId);
        };
        QByteArray topName;
        for (const auto &top : children[Schema::RootFolderId])
            if (top.first == TopFolderA)
                topName = top.second;
        write(TopFolderA, topName, TopFolderB);
        insert.reset();
        db.Exec("COMMIT");
        clock.Stop();
    }
    state.counters["folders"] = copied;
}

// An empty folder added (not timed), then deleted through the tree's menu,
// the confirmation answered, until the tree is painted again.
void FolderDeleteProgram(benchmark::State &state)
{
    Program program(FreshCopy(QStringLiteral("FolderDelete.MDB")), Discs);
    TTreeList *tree = MainFm->CdTree->tlCdTree;
    MainFm->CdTree->AskFolderName = [](QString &name) {
        name = QStringLiteral("新目录");
        return true;
    };
    for (auto _ : state) {
        MainFm->CdTree->LocateFolder(BoxFolderA);
        MainFm->CdTree->pmCdTreeAdd->trigger();
        const int added = MainFm->CdTree->CurrentFolderId();
        Check(added > Folders + 1, "a folder added");
        QCoreApplication::processEvents();
        program.messages.Clear();
        IterationClock clock(state);
        MainFm->CdTree->pmCdTreeDel->trigger();
        QCoreApplication::processEvents();
        tree->View()->viewport()->repaint();
        clock.Stop();
        Check(!tree->NodeOfKey(added).isValid(), "the folder deleted");
        Check(program.messages.shown.size() == 1, "one confirmation asked");
        program.messages.Clear();
    }
}

// The same checks and the delete on the bare engine, the folder inserted
// beforehand (not timed).
void FolderDeleteRaw(benchmark::State &state)
{
    const QString file = FreshCopy(QStringLiteral("FolderDeleteRaw.MDB"));
    RawDb db(file);
    for (auto _ : state) {
        db.Exec("INSERT INTO TbTree (Id1, Name) VALUES (5000, 'x')");
        const qint64 id = db.LastInsertId();
        IterationClock clock(state);
        db.StepAll(QStringLiteral("SELECT Id FROM TbCd WHERE TId=%1").arg(id));
        db.StepAll(QStringLiteral("SELECT ID FROM TbTree WHERE Id1=%1 AND ID<>%1").arg(id));
        db.Exec(QStringLiteral("DELETE FROM TbTree WHERE ID=%1").arg(id).toUtf8().constData());
        clock.Stop();
    }
}

// -- 8. Compacting ------------------------------------------------------------------

// The menu's compact command on the shown catalog: the dialog, "开始"
// clicked, the result reported, the dialog closed, and the panes loaded
// again until the whole list is painted.
void CompactProgram(benchmark::State &state)
{
    Program program(FreshCopy(QStringLiteral("Compact.MDB")), Discs);
    QString reported;
    for (auto _ : state) {
        program.messages.Clear();
        QTimer::singleShot(0, MainFm, [] {
            auto *dlg = qobject_cast<TCompactDbFm *>(QApplication::activeModalWidget());
            if (!dlg)
                return;
            dlg->btnOk->click();
            dlg->reject();
        });
        IterationClock clock(state);
        MainFm->mCompress->trigger();
        QCoreApplication::processEvents();
        MainFm->repaint();
        clock.Stop();
        const QStringList texts = program.messages.Texts();
        Check(texts.size() == 1 && texts.first().startsWith(QStringLiteral("光盘夹整理完成")),
              "the compaction reported done");
        reported = texts.first();
        program.messages.Clear();
        Check(MainFm->QCd.RowCount() == Discs, "the list shows every disc again");
    }
}

// The file opened and keyed, vacuumed and closed; then opened and keyed
// again, and the folders and the root folder's discs read.
void CompactRaw(benchmark::State &state)
{
    const QString file = FreshCopy(QStringLiteral("CompactRaw.MDB"));
    qint64 rows = 0;
    for (auto _ : state) {
        IterationClock clock(state);
        {
            RawDb db(file);
            db.Exec("VACUUM");
        }
        RawDb db(file);
        db.StepAll(QStringLiteral("SELECT * FROM TbTree"));
        rows = db.StepAll(DiscList);
        clock.Stop();
    }
    state.counters["rows"] = double(rows);
}

// -- 9. Peak memory -------------------------------------------------------------------

// VmHWM of this process in KiB, from /proc/self/status; -1 when unknown.
qint64 PeakKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// The child process: "program <catalog> <discs>" starts the program on the
// catalog and shows its list; "window" shows a bare main window. Prints
// "VmHWM <KiB>" once it is all on screen.
int MemoryChild(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString mode = args.value(2);
    try {
        if (mode == QLatin1String("window")) {
            QMainWindow window;
            window.showMaximized();
            QCoreApplication::processEvents();
            window.repaint();
            std::printf("VmHWM %lld\n", PeakKiB());
            return 0;
        }
        if (mode == QLatin1String("program")) {
            InitApplication();
            const int discs = args.value(4).toInt();
            {
                Program program(args.value(3), discs);
                CheckNoErrors(program);
                std::printf("VmHWM %lld\n", PeakKiB());
            }
            return 0;
        }
    } catch (const std::exception &error) {
        std::fprintf(stderr, "memory child: %s\n", error.what());
        return 1;
    }
    std::fprintf(stderr, "memory child: unknown mode\n");
    return 2;
}

// 0: the program with the 100,000 discs listed; 1: the program on an empty
// catalog; 2: a bare Qt main window.
void Memory(benchmark::State &state)
{
    QStringList args{QStringLiteral("--memory-child")};
    switch (state.range(0)) {
    case 0:
        args << QStringLiteral("program") << CatalogPath() << QString::number(Discs);
        break;
    case 1:
        args << QStringLiteral("program") << EmptyCatalogPath() << QStringLiteral("0");
        break;
    default:
        args << QStringLiteral("window");
    }
    qint64 peak = -1;
    for (auto _ : state) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), WorkDir().filePath(QStringLiteral("memory-config")));
        child.setProcessEnvironment(env);
        IterationClock clock(state);
        child.start(QCoreApplication::applicationFilePath(), args);
        if (!child.waitForFinished(120000) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
            throw EAppError(QStringLiteral("the memory child failed: ") +
                            QString::fromLocal8Bit(child.readAllStandardError()));
        clock.Stop();
        for (const QByteArray &line : child.readAllStandardOutput().split('\n'))
            if (line.startsWith("VmHWM "))
                peak = line.mid(6).toLongLong();
        Check(peak > 0, "the child reported its peak");
    }
    state.counters["VmHWM_MiB"] = double(peak) / 1024.0;
}

// -- Registration and the closing table --------------------------------------------------

using Body = void (*)(benchmark::State &);

// How often a case runs: a number of iterations, or for at least a time.
struct Runs
{
    int iterations;
    double minTime;
};

constexpr Runs Iterations(int n)
{
    return {n, 0};
}

constexpr Runs MinTime(double seconds)
{
    return {0, seconds};
}

// What a user does, as the program does it and as the bare engine does the
// same data work: registered as <family>/Raw[/<variant>] and
// <family>/Program[/<variant>], in this order, and shown side by side in the
// closing table.
struct Case
{
    const char *label;
    const char *family;
    const char *variant; // nullptr: none
    int arg;             // the cases' argument; -1: none
    Body program;
    Runs programRuns;
    Body raw;
    Runs rawRuns;

    std::string Name(const char *side) const
    {
        std::string name = std::string(family) + "/" + side;
        if (variant)
            name.append("/").append(variant);
        return name;
    }
    // As the closing table finds the case: its name and argument.
    std::string Key(const char *side) const
    {
        std::string key = Name(side);
        if (arg >= 0)
            key.append("/").append(std::to_string(arg));
        return key;
    }
};

const Case Cases[] = {
    {"start-up: first showing to the list of 100,000 painted", "Start", nullptr, -1, StartProgram, Iterations(5),
     StartRaw, Iterations(10)},
    {"folder click: the root folder (100,000 discs)", "FolderClick", "Root", 0, FolderClickProgram, MinTime(1.0),
     FolderClickRaw, MinTime(1.0)},
    {"folder click: a top folder (~750 discs)", "FolderClick", "Top", 1, FolderClickProgram, MinTime(1.0),
     FolderClickRaw, MinTime(1.0)},
    {"folder click: a box of the third level (~9 discs)", "FolderClick", "Box", 2, FolderClickProgram, MinTime(1.0),
     FolderClickRaw, MinTime(1.0)},
    {"quick jump by code \"12\" (1,111 matches), one picked", "QuickJump", "Code", 0, JumpProgram, MinTime(1.0),
     JumpRaw, MinTime(1.0)},
    {"quick jump by initials \"xl\", one picked", "QuickJump", "Spell", 1, JumpProgram, MinTime(1.0), JumpRaw,
     MinTime(1.0)},
    {"find \"英\" through the tool bar's find button", "Find", nullptr, -1, FindProgram, MinTime(1.0), FindRaw,
     MinTime(1.0)},
    {"open the find dialog, shown and painted", "FindOpen", nullptr, -1, FindOpenProgram, MinTime(1.0), FindOpenRaw,
     MinTime(1.0)},
    {"open the disc editor on a disc, painted, cancelled", "EditOpen", nullptr, -1, EditOpenProgram, MinTime(1.0),
     EditOpenRaw, MinTime(1.0)},
    {"group the disc list by category", "Group", nullptr, -1, GroupProgram, Iterations(8), GroupRaw, MinTime(1.0)},
    {"cursor down: the next disc's detail page", "Cursor", nullptr, -1, CursorProgram, MinTime(1.0), CursorRaw,
     MinTime(1.0)},
    {"delete 10,000 selected discs, list of 90,000 again", "Delete10000", nullptr, -1, DeleteProgram, Iterations(3),
     DeleteRaw, Iterations(3)},
    {"move 10,000 selected discs onto a folder", "Move10000", nullptr, -1, MoveProgram, Iterations(3), MoveRaw,
     Iterations(3)},
    {"drop one disc onto another box", "DropOne", nullptr, -1, DropOneProgram, MinTime(1.0), DropOneRaw, MinTime(1.0)},
    {"copy a top folder (~500 folders), Ctrl-drop", "FolderCopy", nullptr, -1, FolderCopyProgram, Iterations(3),
     FolderCopyRaw, Iterations(3)},
    {"delete an empty folder through the tree's menu", "FolderDelete", nullptr, -1, FolderDeleteProgram, MinTime(0.5),
     FolderDeleteRaw, MinTime(0.5)},
    {"compact 100,000 discs, panes loaded again", "Compact", nullptr, -1, CompactProgram, Iterations(3), CompactRaw,
     Iterations(3)},
};

// Every case on its own clock (manual time), in milliseconds.
benchmark::internal::Benchmark *Add(const std::string &name, Body body, int arg, Runs runs)
{
    benchmark::internal::Benchmark *b = Bench::Register(name, body)->UseManualTime()->Unit(benchmark::kMillisecond);
    if (arg >= 0)
        b->Arg(arg);
    if (runs.iterations > 0)
        b->Iterations(runs.iterations);
    else
        b->MinTime(runs.minTime);
    return b;
}

void Register()
{
    for (const Case &c : Cases) {
        Add(c.Name("Raw"), c.raw, c.arg, c.rawRuns);
        Add(c.Name("Program"), c.program, c.arg, c.programRuns);
    }
    Add("Memory/Program", Memory, 0, Iterations(1));
    Add("Memory/EmptyCatalog", Memory, 1, Iterations(1));
    Add("Memory/BareWindow", Memory, 2, Iterations(1));
}

// The program's time against the bare engine's for every case, then the
// peak memory.
void PrintTable(const Bench::RatioReporter &reporter)
{
    std::vector<Bench::TableRow> rows;
    for (const Case &c : Cases)
        rows.push_back({c.Key("Program"), c.Key("Raw"), 0, 0, c.label});
    reporter.PrintTable({58, "program ms", 11, "bare ms", 11, 7, 2, false, false}, rows);
    const auto full = reporter.Counter("Memory/Program/0", "VmHWM_MiB");
    const auto empty = reporter.Counter("Memory/EmptyCatalog/1", "VmHWM_MiB");
    const auto bare = reporter.Counter("Memory/BareWindow/2", "VmHWM_MiB");
    if (full && empty && bare)
        std::printf("\npeak memory (VmHWM): program with 100,000 discs listed %.1f MiB, on an empty catalog "
                    "%.1f MiB (ratio %.2f, %.0f bytes a disc), bare Qt window %.1f MiB\n",
                    *full, *empty, *full / *empty, (*full - *empty) * 1048576.0 / Discs, *bare);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 2 && qstrcmp(argv[1], "--memory-child") == 0)
        return MemoryChild(argc, argv);
    benchmark::Initialize(&argc, argv);
    // The windows are measured as they lay out and paint, without a screen;
    // the settings go to a folder of the run's own, never the user's.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_CONFIG_HOME", WorkDir().filePath(QStringLiteral("config")).toLocal8Bit());
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    InitApplication();
    Register();
    return Bench::RunAndReport(PrintTable);
}
