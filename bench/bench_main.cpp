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
#include "CatalogGenerator.h"
#include "CdListPane.h"
#include "CdTreePane.h"
#include "CompactDbForm.h"
#include "DAOQuery.h"
#include "DataGrid.h"
#include "DataModule.h"
#include "DetailView.h"
#include "DiscList.h"
#include "Errors.h"
#include "ExPickEdit.h"
#include "FindForm.h"
#include "Globalvar.h"
#include "MainForm.h"
#include "MessageBoxes.h"
#include "PageService.h"
#include "Schema.h"
#include "SettingObjects.h"
#include "StartUp.h"
#include "TreeList.h"
#include "TreeListModel.h"

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

#include <unistd.h>

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

// -- The catalogs ----------------------------------------------------------

QTemporaryDir &WorkDir()
{
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/vorlix-bench-XXXXXX"));
    if (!dir.isValid())
        throw EFileError(QStringLiteral("no temporary folder"));
    return dir;
}

// The generated catalog, written once per run; the cases that change it
// work on copies.
QString CatalogPath()
{
    static const QString path = [] {
        const QString file = WorkDir().filePath(QStringLiteral("Catalog.MDB"));
        CatalogGenerator::GenerateCatalog(file, Discs, Schema::Layout::Build101, 1, Folders);
        return file;
    }();
    return path;
}

// A catalog without discs or folders, for the memory baseline.
QString EmptyCatalogPath()
{
    static const QString path = [] {
        const QString file = WorkDir().filePath(QStringLiteral("Empty.MDB"));
        CatalogGenerator::GenerateCatalog(file, 0, Schema::Layout::Build101, 1, 0);
        return file;
    }();
    return path;
}

QString FreshCopy(const QString &name)
{
    const QString file = WorkDir().filePath(name);
    QFile::remove(file);
    if (!QFile::copy(CatalogPath(), file))
        throw EFileError(QStringLiteral("cannot copy the catalog to ") + file);
    return file;
}

// -- The bare engine ---------------------------------------------------------

// An open, keyed handle on a catalog.
class RawDb
{
public:
    explicit RawDb(const QString &path)
    {
        const QByteArray file = path.toUtf8();
        if (sqlite3_open_v2(file.constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
            sqlite3_close(m_db);
            throw EDAOError(QStringLiteral("cannot open the catalog"), 0);
        }
        sqlite3_key(m_db, Schema::CatalogPassword, int(qstrlen(Schema::CatalogPassword)));
    }
    ~RawDb() { sqlite3_close(m_db); }
    RawDb(const RawDb &) = delete;
    RawDb &operator=(const RawDb &) = delete;

    sqlite3 *Handle() const { return m_db; }

    // Prepare, step every row and read every column with the accessor of
    // its type; the number of rows.
    qint64 StepAll(const QString &sql)
    {
        const QByteArray text = sql.toUtf8();
        sqlite3_stmt *stmt = nullptr;
        if (sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &stmt, nullptr) != SQLITE_OK)
            TDAODatabase::RaiseEngineError(m_db, sqlite3_errcode(m_db), sql);
        qint64 rows = 0;
        const int columns = sqlite3_column_count(stmt);
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            ++rows;
            for (int c = 0; c < columns; ++c) {
                switch (sqlite3_column_type(stmt, c)) {
                case SQLITE_INTEGER:
                    benchmark::DoNotOptimize(sqlite3_column_int64(stmt, c));
                    break;
                case SQLITE_FLOAT:
                    benchmark::DoNotOptimize(sqlite3_column_double(stmt, c));
                    break;
                case SQLITE_NULL:
                    break;
                default:
                    benchmark::DoNotOptimize(sqlite3_column_text(stmt, c));
                    benchmark::DoNotOptimize(sqlite3_column_bytes(stmt, c));
                }
            }
        }
        sqlite3_finalize(stmt);
        return rows;
    }

    void Exec(const char *sql)
    {
        if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            TDAODatabase::RaiseEngineError(m_db, sqlite3_errcode(m_db), QString::fromUtf8(sql));
    }

    qint64 Count(const QString &sql)
    {
        const QByteArray text = sql.toUtf8();
        sqlite3_stmt *stmt = nullptr;
        if (sqlite3_prepare_v2(m_db, text.constData(), int(text.size()), &stmt, nullptr) != SQLITE_OK)
            TDAODatabase::RaiseEngineError(m_db, sqlite3_errcode(m_db), sql);
        const qint64 count = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : -1;
        sqlite3_finalize(stmt);
        return count;
    }

private:
    sqlite3 *m_db = nullptr;
};

QString FolderStatement(int folderId)
{
    return folderId == Schema::RootFolderId ? DiscList : DiscList + QStringLiteral(" WHERE TId=%1").arg(folderId);
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

double Seconds(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e9;
}

void Fail(benchmark::State &state, const std::exception &error)
{
    state.SkipWithError(error.what());
}

// -- 1. Start-up: the first showing until the whole list is painted ------------

void StartProgram(benchmark::State &state)
{
    try {
        const QString catalog = CatalogPath();
        for (auto _ : state) {
            Program program(catalog);
            QElapsedTimer timer;
            timer.start();
            program.Show(Discs);
            state.SetIterationTime(Seconds(timer));
            Check(MainFm->CdTree->tlCdTree->Model()->rowCount() > 0, "the folder tree is loaded");
            Check(MainFm->CdList->dgCd->FooterText(QStringLiteral("Serial")) == QStringLiteral("总数：%1").arg(Discs),
                  "the footer counts every disc");
            CheckNoErrors(program);
        }
    } catch (const std::exception &error) {
        Fail(state, error);
    }
}

// The same data work: the file opened and keyed (the key derived), the
// folders and the root folder's discs read.
void StartRaw(benchmark::State &state)
{
    try {
        const QString catalog = CatalogPath();
        qint64 rows = 0;
        for (auto _ : state) {
            QElapsedTimer timer;
            timer.start();
            RawDb db(catalog);
            db.StepAll(QStringLiteral("SELECT * FROM TbTree"));
            rows = db.StepAll(DiscList);
            state.SetIterationTime(Seconds(timer));
        }
        state.counters["rows"] = double(rows);
    } catch (const std::exception &error) {
        Fail(state, error);
    }
}

// -- 2. A folder click in the tree -----------------------------------------------

// 0: the root folder (every disc); 1: two top folders in turn; 2: two boxes
// of the third level in turn.
const int ClickedFolders[3][2] = {
    {Schema::RootFolderId, Schema::RootFolderId}, {TopFolderA, TopFolderB}, {BoxFolderA, BoxFolderB}};

// A mouse click on a folder's row, scrolled into view beforehand.
void ClickFolder(int folderId)
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
    const QPoint at = view->visualRect(node).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
}

void FolderClickProgram(benchmark::State &state)
{
    try {
        Program program(CatalogPath());
        program.Show(Discs);
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
            QElapsedTimer timer;
            timer.start();
            ClickFolder(folderId);
            Program::Settle();
            state.SetIterationTime(Seconds(timer));
            Check(MainFm->CdTree->CurrentFolderId() == folderId, "the clicked folder is the current one");
            Check(MainFm->QCd.RowCount() == expected[folderId], "the list shows the folder's discs");
        }
        state.counters["rows"] = double(expected[ClickedFolders[state.range(0)][0]]);
        CheckNoErrors(program);
    } catch (const std::exception &error) {
        Fail(state, error);
    }
}

void FolderClickRaw(benchmark::State &state)
{
    try {
        RawDb db(CatalogPath());
        int turn = 0;
        qint64 rows = 0;
        for (auto _ : state) {
            const int folderId = ClickedFolders[state.range(0)][turn];
            turn = 1 - turn;
            QElapsedTimer timer;
            timer.start();
            rows = db.StepAll(FolderStatement(folderId));
            state.SetIterationTime(Seconds(timer));
        }
        state.counters["rows"] = double(rows);
    } catch (const std::exception &error) {
        Fail(state, error);
    }
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
    try {
        Program program(CatalogPath());
        program.Show(Discs);
        TExPickEdit *box = MainFm->cbCode;
        QAbstractItemView *list = box->view();
        int row = 0;
        int matches = 0;
        for (auto _ : state) {
            QElapsedTimer timer;
            timer.start();
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
            state.SetIterationTime(Seconds(timer));
            Check(MainFm->CdTree->CurrentFolderId() == MainFm->QCd.Field("TId").AsInteger(),
                  "the tree shows the disc's folder");
            row = 1 - row; // another disc each time
        }
        state.counters["matches"] = matches;
        CheckNoErrors(program);
    } catch (const std::exception &error) {
        Fail(state, error);
    }
}

// The same data work: the matches read for the list, the chosen disc read
// for the list and again for its page.
void JumpRaw(benchmark::State &state)
{
    try {
        RawDb db(CatalogPath());
        const QString matches =
            QStringLiteral("SELECT Id,Code,Name,Spell FROM TbCd WHERE ") + QLatin1String(JumpFilters[state.range(0)]);
        std::vector<int> keys;
        {
            sqlite3_stmt *stmt = nullptr;
            sqlite3_prepare_v2(db.Handle(), matches.toUtf8().constData(), -1, &stmt, nullptr);
            while (keys.size() < 2 && sqlite3_step(stmt) == SQLITE_ROW)
                keys.push_back(sqlite3_column_int(stmt, 0));
            sqlite3_finalize(stmt);
        }
        Check(keys.size() == 2, "two matches");
        int row = 0;
        qint64 rows = 0;
        for (auto _ : state) {
            QElapsedTimer timer;
            timer.start();
            rows = db.StepAll(matches);
            const QString one = DiscList + QStringLiteral(" WHERE A.Id=%1").arg(keys[size_t(row)]);
            db.StepAll(one);
            db.StepAll(one);
            state.SetIterationTime(Seconds(timer));
            row = 1 - row;
        }
        state.counters["matches"] = double(rows);
    } catch (const std::exception &error) {
        Fail(state, error);
    }
}

// -- 4. A find through the main window --------------------------------------------

const QString FindFragment = QStringLiteral("英");

// The tool bar's find button: the dialog made and filled, "英" typed into
// the name, "开始查找" clicked, the discs found listed and painted, the
// dialog closed again.
void FindProgram(benchmark::State &state)
{
    try {
        Program program(CatalogPath());
        program.Show(Discs);
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
            QElapsedTimer timer;
            timer.start();
            MainFm->btnFind->click();
            state.SetIterationTime(Seconds(timer));
            Check(found > 0, "the dialog found discs");
        }
        state.counters["rows"] = found;
        CheckNoErrors(program);
    } catch (const std::exception &error) {
        Fail(state, error);
    }
}

void FindRaw(benchmark::State &state)
{
    try {
        RawDb db(CatalogPath());
        qint64 rows = 0;
        for (auto _ : state) {
            QElapsedTimer timer;
            timer.start();
            db.StepAll(QStringLiteral("SELECT Id,Name FROM TbCategory"));
            db.StepAll(QStringLiteral("SELECT Id,Name FROM TbQuality"));
            rows = db.StepAll(DiscList + QStringLiteral(" WHERE A.Name LIKE '%") + FindFragment + QStringLiteral("%'"));
            state.SetIterationTime(Seconds(timer));
        }
        state.counters["rows"] = double(rows);
    } catch (const std::exception &error) {
        Fail(state, error);
    }
}

// -- 5. Grouping the disc list by category --------------------------------------

void GroupProgram(benchmark::State &state)
{
    try {
        Program program(CatalogPath());
        program.Show(Discs);
        TDataGrid *grid = MainFm->CdList->dgCd;
        for (auto _ : state) {
            // A freshly listed catalog: the category names are read for
            // the grouping.
            grid->GroupBy({});
            MainFm->ShowCdList(Schema::RootFolderId);
            Program::Settle();
            QElapsedTimer timer;
            timer.start();
            grid->GroupBy(QStringLiteral("Category"));
            Program::Settle();
            state.SetIterationTime(Seconds(timer));
            Check(grid->View()->model()->rowCount() == CatalogGenerator::CategoryCount, "one group per category");
        }
        grid->GroupBy({}); // not stored as the layout of the next cases
        CheckNoErrors(program);
    } catch (const std::exception &error) {
        Fail(state, error);
    }
}

// The engine groups the same rows with the same counts and sums.
void GroupRaw(benchmark::State &state)
{
    try {
        RawDb db(CatalogPath());
        qint64 groups = 0;
        for (auto _ : state) {
            QElapsedTimer timer;
            timer.start();
            groups = db.StepAll(QStringLiteral("SELECT B.Name,COUNT(*),SUM(A.Price) FROM TbCd AS A LEFT JOIN "
                                               "TbCategory AS B ON A.CId=B.Id GROUP BY B.Name"));
            state.SetIterationTime(Seconds(timer));
        }
        state.counters["groups"] = double(groups);
    } catch (const std::exception &error) {
        Fail(state, error);
    }
}

// -- 6. The detail page on a cursor move ------------------------------------------

// Down in the disc list: the next disc becomes the current one and the
// detail view shows its page, painted.
void CursorProgram(benchmark::State &state)
{
    try {
        Program program(CatalogPath());
        program.Show(Discs);
        QTreeView *view = MainFm->CdList->dgCd->View();
        view->setFocus();
        for (auto _ : state) {
            const int before = MainFm->QCd.CurrentRow();
            QElapsedTimer timer;
            timer.start();
            QTest::keyClick(view, Qt::Key_Down);
            Program::Settle();
            state.SetIterationTime(Seconds(timer));
            Check(MainFm->QCd.CurrentRow() == before + 1, "the cursor moved to the next disc");
            Check(MainFm->WebBrowser->source() == TOurNSHandler::PageUrl(MainFm->QCd.Field("ID").AsInteger()),
                  "the detail view shows the disc's page");
        }
        CheckNoErrors(program);
    } catch (const std::exception &error) {
        Fail(state, error);
    }
}

// The page reads the disc's row through the one-disc statement.
void CursorRaw(benchmark::State &state)
{
    try {
        RawDb db(CatalogPath());
        int id = 1;
        for (auto _ : state) {
            ++id;
            QElapsedTimer timer;
            timer.start();
            db.StepAll(DiscList + QStringLiteral(" WHERE A.Id=%1").arg(id));
            state.SetIterationTime(Seconds(timer));
        }
    } catch (const std::exception &error) {
        Fail(state, error);
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
    try {
        for (auto _ : state) {
            Program program(FreshCopy(QStringLiteral("Delete.MDB")));
            program.Show(Discs);
            SelectEveryTenthRow();
            Program::Settle();
            Check(MainFm->CdList->dgCd->SelectedCount() == DeletedDiscs, "10,000 rows selected");
            program.messages.Clear();
            QElapsedTimer timer;
            timer.start();
            MainFm->btnDel->click();
            Program::Settle();
            state.SetIterationTime(Seconds(timer));
            Check(program.messages.Texts() == QStringList{QStringLiteral("真的要删除这些光盘吗？")},
                  "one confirmation asked");
            program.messages.Clear();
            Check(MainFm->QCd.RowCount() == Discs - DeletedDiscs, "the list shows the discs left");
            Check(DM->GetFieldValue(QStringLiteral("SELECT COUNT(*) AS N FROM TbCd"), QStringLiteral("N")).toInt() ==
                      Discs - DeletedDiscs,
                  "the catalog holds the discs left");
        }
    } catch (const std::exception &error) {
        Fail(state, error);
    }
}

// On a fresh copy (not timed): the same 10,000 discs deleted by ID in one
// transaction, then the discs left read for the list.
void DeleteRaw(benchmark::State &state)
{
    try {
        for (auto _ : state) {
            const QString file = FreshCopy(QStringLiteral("DeleteRaw.MDB"));
            std::vector<int> ids;
            {
                RawDb db(file);
                sqlite3_stmt *stmt = nullptr;
                sqlite3_prepare_v2(db.Handle(), DiscList.toUtf8().constData(), -1, &stmt, nullptr);
                for (int row = 0; sqlite3_step(stmt) == SQLITE_ROW; ++row)
                    if (row % (Discs / DeletedDiscs) == 0)
                        ids.push_back(sqlite3_column_int(stmt, 0));
                sqlite3_finalize(stmt);
            }
            RawDb db(file);
            db.Count(QStringLiteral("SELECT COUNT(*) FROM sqlite_master")); // the key derived, not timed
            QElapsedTimer timer;
            timer.start();
            db.Exec("BEGIN");
            sqlite3_stmt *del = nullptr;
            sqlite3_prepare_v2(db.Handle(), "DELETE FROM TbCd WHERE ID=?", -1, &del, nullptr);
            for (int id : ids) {
                sqlite3_bind_int(del, 1, id);
                if (sqlite3_step(del) != SQLITE_DONE)
                    TDAODatabase::RaiseEngineError(db.Handle(), sqlite3_errcode(db.Handle()));
                sqlite3_reset(del);
            }
            sqlite3_finalize(del);
            db.Exec("COMMIT");
            const qint64 rows = db.StepAll(DiscList);
            state.SetIterationTime(Seconds(timer));
            Check(rows == Discs - DeletedDiscs, "the discs left");
        }
    } catch (const std::exception &error) {
        Fail(state, error);
    }
}

// -- 7b. Moving 10,000 discs, copying and deleting folders -----------------------

// On a fresh copy shown in the program (not timed): every tenth disc
// selected and dropped on a box, until the box's list is painted.
void MoveProgram(benchmark::State &state)
{
    try {
        for (auto _ : state) {
            Program program(FreshCopy(QStringLiteral("Move.MDB")));
            program.Show(Discs);
            const int before =
                int(DM->GetFieldValue(QStringLiteral("SELECT COUNT(*) AS N FROM TbCd WHERE TId=%1").arg(BoxFolderA),
                                      QStringLiteral("N"))
                        .toInt());
            SelectEveryTenthRow();
            Program::Settle();
            TTreeList *tree = MainFm->CdTree->tlCdTree;
            QMimeData rows;
            rows.setData(QString::fromLatin1(TDataGrid::RowsMimeType), QByteArray());
            QElapsedTimer timer;
            timer.start();
            MainFm->CdTree->tlCdTreeDragDrop(MainFm->CdList->dgCd->View(), &rows, tree->NodeOfKey(BoxFolderA),
                                             TTreeList::DropZone::OnRow, false);
            Program::Settle();
            state.SetIterationTime(Seconds(timer));
            const int moved = MainFm->QCd.RowCount() - before;
            Check(moved > DeletedDiscs - 100 && moved <= DeletedDiscs, "the box lists the discs moved");
            CheckNoErrors(program);
        }
    } catch (const std::exception &error) {
        Fail(state, error);
    }
}

// On a fresh copy (not timed): the same discs moved by ID in one
// transaction, then the box's list read.
void MoveRaw(benchmark::State &state)
{
    try {
        for (auto _ : state) {
            const QString file = FreshCopy(QStringLiteral("MoveRaw.MDB"));
            RawDb db(file);
            std::vector<int> ids;
            for (int id = 1; id <= Discs; id += Discs / DeletedDiscs)
                ids.push_back(id);
            db.Count(QStringLiteral("SELECT COUNT(*) FROM sqlite_master")); // the key derived, not timed
            QElapsedTimer timer;
            timer.start();
            db.Exec("BEGIN");
            sqlite3_stmt *update = nullptr;
            sqlite3_prepare_v2(db.Handle(), "UPDATE TbCd SET TId=? WHERE ID=?", -1, &update, nullptr);
            for (int id : ids) {
                sqlite3_bind_int(update, 1, BoxFolderA);
                sqlite3_bind_int(update, 2, id);
                if (sqlite3_step(update) != SQLITE_DONE)
                    TDAODatabase::RaiseEngineError(db.Handle(), sqlite3_errcode(db.Handle()));
                sqlite3_reset(update);
            }
            sqlite3_finalize(update);
            db.Exec("COMMIT");
            db.StepAll(FolderStatement(BoxFolderA));
            state.SetIterationTime(Seconds(timer));
        }
    } catch (const std::exception &error) {
        Fail(state, error);
    }
}

// A top folder with everything below it (about 500 folders) copied onto
// another top folder, Ctrl held, until the tree is painted again. Each
// iteration on a fresh copy (not timed).
void FolderCopyProgram(benchmark::State &state)
{
    try {
        int copied = 0;
        for (auto _ : state) {
            Program program(FreshCopy(QStringLiteral("FolderCopy.MDB")));
            program.Show(Discs);
            TTreeList *tree = MainFm->CdTree->tlCdTree;
            const int before = tree->Model()->NodeCount();
            const std::unique_ptr<QMimeData> mime(TTreeList::NodesMimeData({TopFolderA}, TopFolderA));
            QElapsedTimer timer;
            timer.start();
            MainFm->CdTree->tlCdTreeDragDrop(tree->View(), mime.get(), tree->NodeOfKey(TopFolderB),
                                             TTreeList::DropZone::OnRow, true);
            QCoreApplication::processEvents();
            tree->View()->viewport()->repaint();
            state.SetIterationTime(Seconds(timer));
            copied = tree->Model()->NodeCount() - before;
            Check(copied > 400, "the folders copied");
            CheckNoErrors(program);
        }
        state.counters["folders"] = copied;
    } catch (const std::exception &error) {
        Fail(state, error);
    }
}

// The same folders written on a fresh copy in one transaction, each
// child naming its parent's new ID.
void FolderCopyRaw(benchmark::State &state)
{
    try {
        int copied = 0;
        for (auto _ : state) {
            const QString file = FreshCopy(QStringLiteral("FolderCopyRaw.MDB"));
            RawDb db(file);
            // The subtree, read beforehand as the program takes it from its tree.
            std::map<int, std::vector<std::pair<int, QByteArray>>> children;
            {
                sqlite3_stmt *stmt = nullptr;
                sqlite3_prepare_v2(db.Handle(), "SELECT ID,Id1,Name FROM TbTree", -1, &stmt, nullptr);
                while (sqlite3_step(stmt) == SQLITE_ROW)
                    children[sqlite3_column_int(stmt, 1)].push_back(
                        {sqlite3_column_int(stmt, 0),
                         QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 2)))});
                sqlite3_finalize(stmt);
            }
            QElapsedTimer timer;
            timer.start();
            db.Exec("BEGIN");
            sqlite3_stmt *insert = nullptr;
            sqlite3_prepare_v2(db.Handle(), "INSERT INTO TbTree (Id1, Name) VALUES (?, ?)", -1, &insert, nullptr);
            copied = 0;
            std::function<void(int, const QByteArray &, int)> write = [&](int id, const QByteArray &name,
                                                                          int parentId) {
                sqlite3_bind_int(insert, 1, parentId);
                sqlite3_bind_text(insert, 2, name.constData(), int(name.size()), SQLITE_STATIC);
                if (sqlite3_step(insert) != SQLITE_DONE)
                    TDAODatabase::RaiseEngineError(db.Handle(), sqlite3_errcode(db.Handle()));
                sqlite3_reset(insert);
                ++copied;
                const int newId = int(sqlite3_last_insert_rowid(db.Handle()));
                for (const auto &child : children[id])
                    write(child.first, child.second, newId);
            };
            QByteArray topName;
            for (const auto &top : children[Schema::RootFolderId])
                if (top.first == TopFolderA)
                    topName = top.second;
            write(TopFolderA, topName, TopFolderB);
            sqlite3_finalize(insert);
            db.Exec("COMMIT");
            state.SetIterationTime(Seconds(timer));
        }
        state.counters["folders"] = copied;
    } catch (const std::exception &error) {
        Fail(state, error);
    }
}

// An empty folder added (not timed), then deleted through the tree's menu,
// the confirmation answered, until the tree is painted again.
void FolderDeleteProgram(benchmark::State &state)
{
    try {
        Program program(FreshCopy(QStringLiteral("FolderDelete.MDB")));
        program.Show(Discs);
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
            QElapsedTimer timer;
            timer.start();
            MainFm->CdTree->pmCdTreeDel->trigger();
            QCoreApplication::processEvents();
            tree->View()->viewport()->repaint();
            state.SetIterationTime(Seconds(timer));
            Check(!tree->NodeOfKey(added).isValid(), "the folder deleted");
            Check(program.messages.shown.size() == 1, "one confirmation asked");
            program.messages.Clear();
        }
    } catch (const std::exception &error) {
        Fail(state, error);
    }
}

// The same checks and the delete on the bare engine, the folder inserted
// beforehand (not timed).
void FolderDeleteRaw(benchmark::State &state)
{
    try {
        const QString file = FreshCopy(QStringLiteral("FolderDeleteRaw.MDB"));
        RawDb db(file);
        for (auto _ : state) {
            db.Exec("INSERT INTO TbTree (Id1, Name) VALUES (5000, 'x')");
            const qint64 id = sqlite3_last_insert_rowid(db.Handle());
            QElapsedTimer timer;
            timer.start();
            db.StepAll(QStringLiteral("SELECT Id FROM TbCd WHERE TId=%1").arg(id));
            db.StepAll(QStringLiteral("SELECT ID FROM TbTree WHERE Id1=%1 AND ID<>%1").arg(id));
            db.Exec(QStringLiteral("DELETE FROM TbTree WHERE ID=%1").arg(id).toUtf8().constData());
            state.SetIterationTime(Seconds(timer));
        }
    } catch (const std::exception &error) {
        Fail(state, error);
    }
}

// -- 8. Compacting ------------------------------------------------------------------

// The menu's compact command on the shown catalog: the dialog, "开始"
// clicked, the result reported, the dialog closed, and the panes loaded
// again until the whole list is painted.
void CompactProgram(benchmark::State &state)
{
    try {
        Program program(FreshCopy(QStringLiteral("Compact.MDB")));
        program.Show(Discs);
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
            QElapsedTimer timer;
            timer.start();
            MainFm->mCompress->trigger();
            QCoreApplication::processEvents();
            MainFm->repaint();
            state.SetIterationTime(Seconds(timer));
            const QStringList texts = program.messages.Texts();
            Check(texts.size() == 1 && texts.first().startsWith(QStringLiteral("光盘夹整理完成")),
                  "the compaction reported done");
            reported = texts.first();
            program.messages.Clear();
            Check(MainFm->QCd.RowCount() == Discs, "the list shows every disc again");
        }
    } catch (const std::exception &error) {
        Fail(state, error);
    }
}

// The file opened and keyed, vacuumed and closed; then opened and keyed
// again, and the folders and the root folder's discs read.
void CompactRaw(benchmark::State &state)
{
    try {
        const QString file = FreshCopy(QStringLiteral("CompactRaw.MDB"));
        qint64 rows = 0;
        for (auto _ : state) {
            QElapsedTimer timer;
            timer.start();
            {
                RawDb db(file);
                db.Exec("VACUUM");
            }
            RawDb db(file);
            db.StepAll(QStringLiteral("SELECT * FROM TbTree"));
            rows = db.StepAll(DiscList);
            state.SetIterationTime(Seconds(timer));
        }
        state.counters["rows"] = double(rows);
    } catch (const std::exception &error) {
        Fail(state, error);
    }
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
                Program program(args.value(3));
                program.Show(discs);
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
    try {
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
            QElapsedTimer timer;
            timer.start();
            child.start(QCoreApplication::applicationFilePath(), args);
            if (!child.waitForFinished(120000) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
                throw EAppError(QStringLiteral("the memory child failed: ") +
                                QString::fromLocal8Bit(child.readAllStandardError()));
            state.SetIterationTime(Seconds(timer));
            for (const QByteArray &line : child.readAllStandardOutput().split('\n'))
                if (line.startsWith("VmHWM "))
                    peak = line.mid(6).toLongLong();
            Check(peak > 0, "the child reported its peak");
        }
        state.counters["VmHWM_MiB"] = double(peak) / 1024.0;
    } catch (const std::exception &error) {
        Fail(state, error);
    }
}

// -- Registration and the closing table --------------------------------------------------

struct Pair
{
    const char *label;
    const char *program;
    const char *raw;
};

const Pair Pairs[] = {
    {"start-up: first showing to the list of 100,000 painted", "Start/Program", "Start/Raw"},
    {"folder click: the root folder (100,000 discs)", "FolderClick/Program/Root", "FolderClick/Raw/Root"},
    {"folder click: a top folder (~750 discs)", "FolderClick/Program/Top", "FolderClick/Raw/Top"},
    {"folder click: a box of the third level (~9 discs)", "FolderClick/Program/Box", "FolderClick/Raw/Box"},
    {"quick jump by code \"12\" (1,111 matches), one picked", "QuickJump/Program/Code", "QuickJump/Raw/Code"},
    {"quick jump by initials \"xl\", one picked", "QuickJump/Program/Spell", "QuickJump/Raw/Spell"},
    {"find \"英\" through the tool bar's find button", "Find/Program", "Find/Raw"},
    {"group the disc list by category", "Group/Program", "Group/Raw"},
    {"cursor down: the next disc's detail page", "Cursor/Program", "Cursor/Raw"},
    {"delete 10,000 selected discs, list of 90,000 again", "Delete10000/Program", "Delete10000/Raw"},
    {"move 10,000 selected discs onto a folder", "Move10000/Program", "Move10000/Raw"},
    {"copy a top folder (~500 folders), Ctrl-drop", "FolderCopy/Program", "FolderCopy/Raw"},
    {"delete an empty folder through the tree's menu", "FolderDelete/Program", "FolderDelete/Raw"},
    {"compact 100,000 discs, panes loaded again", "Compact/Program", "Compact/Raw"},
};

void Register()
{
    auto add = [](const char *name, void (*fn)(benchmark::State &)) {
        return benchmark::RegisterBenchmark(name, fn)->UseManualTime()->Unit(benchmark::kMillisecond);
    };
    add("Start/Raw", StartRaw)->Iterations(10);
    add("Start/Program", StartProgram)->Iterations(5);
    const char *const folderCases[] = {"Root", "Top", "Box"};
    for (int i = 0; i < 3; ++i) {
        add(("FolderClick/Raw/" + std::string(folderCases[i])).c_str(), FolderClickRaw)->Arg(i)->MinTime(1.0);
        add(("FolderClick/Program/" + std::string(folderCases[i])).c_str(), FolderClickProgram)->Arg(i)->MinTime(1.0);
    }
    const char *const jumpCases[] = {"Code", "Spell"};
    for (int i = 0; i < 2; ++i) {
        add(("QuickJump/Raw/" + std::string(jumpCases[i])).c_str(), JumpRaw)->Arg(i)->MinTime(1.0);
        add(("QuickJump/Program/" + std::string(jumpCases[i])).c_str(), JumpProgram)->Arg(i)->MinTime(1.0);
    }
    add("Find/Raw", FindRaw)->MinTime(1.0);
    add("Find/Program", FindProgram)->MinTime(1.0);
    add("Group/Raw", GroupRaw)->MinTime(1.0);
    add("Group/Program", GroupProgram)->Iterations(8);
    add("Cursor/Raw", CursorRaw)->MinTime(1.0);
    add("Cursor/Program", CursorProgram)->MinTime(1.0);
    add("Delete10000/Raw", DeleteRaw)->Iterations(3);
    add("Delete10000/Program", DeleteProgram)->Iterations(3);
    add("Move10000/Raw", MoveRaw)->Iterations(3);
    add("Move10000/Program", MoveProgram)->Iterations(3);
    add("FolderCopy/Raw", FolderCopyRaw)->Iterations(3);
    add("FolderCopy/Program", FolderCopyProgram)->Iterations(3);
    add("FolderDelete/Raw", FolderDeleteRaw)->MinTime(0.5);
    add("FolderDelete/Program", FolderDeleteProgram)->MinTime(0.5);
    add("Compact/Raw", CompactRaw)->Iterations(3);
    add("Compact/Program", CompactProgram)->Iterations(3);
    add("Memory/Program", Memory)->Arg(0)->Iterations(1);
    add("Memory/EmptyCatalog", Memory)->Arg(1)->Iterations(1);
    add("Memory/BareWindow", Memory)->Arg(2)->Iterations(1);
}

// Shows the runs as usual and keeps each case's time (the median when the
// runs are repeated) and peak memory for the closing table.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    RatioReporter()
        : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular)
    {
    }

    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            if (run.error_occurred)
                continue;
            const std::string name = run.run_name.function_name;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type == Run::RT_Iteration || median) {
                if (median || !m_fromMedian[name]) {
                    m_ms[name] = run.GetAdjustedRealTime() / Multiplier(run.time_unit) * 1000.0;
                    const auto peak = run.counters.find("VmHWM_MiB");
                    if (peak != run.counters.end())
                        m_mib[name] = peak->second.value;
                }
                m_fromMedian[name] = m_fromMedian[name] || median;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void PrintTable() const
    {
        std::printf("\n%-58s %11s %11s %7s\n", "case", "program ms", "bare ms", "ratio");
        for (const Pair &pair : Pairs) {
            const auto program = m_ms.find(pair.program);
            const auto raw = m_ms.find(pair.raw);
            if (program == m_ms.end() || raw == m_ms.end())
                continue;
            std::printf("%-58s %11.2f %11.2f %7.2f\n", pair.label, program->second, raw->second,
                        program->second / raw->second);
        }
        const auto full = m_mib.find("Memory/Program");
        const auto empty = m_mib.find("Memory/EmptyCatalog");
        const auto bare = m_mib.find("Memory/BareWindow");
        if (full != m_mib.end() && empty != m_mib.end() && bare != m_mib.end())
            std::printf("\npeak memory (VmHWM): program with 100,000 discs listed %.1f MiB, on an empty catalog "
                        "%.1f MiB (ratio %.2f, %.0f bytes a disc), bare Qt window %.1f MiB\n",
                        full->second, empty->second, full->second / empty->second,
                        (full->second - empty->second) * 1048576.0 / Discs, bare->second);
    }

private:
    static double Multiplier(benchmark::TimeUnit unit)
    {
        switch (unit) {
        case benchmark::kSecond:
            return 1.0;
        case benchmark::kMillisecond:
            return 1e3;
        case benchmark::kMicrosecond:
            return 1e6;
        case benchmark::kNanosecond:
            return 1e9;
        }
        return 1e9;
    }

    std::map<std::string, double> m_ms;
    std::map<std::string, double> m_mib;
    std::map<std::string, bool> m_fromMedian;
};

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
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintTable();
    benchmark::Shutdown();
    return 0;
}
