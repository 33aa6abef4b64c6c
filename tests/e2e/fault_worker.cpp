// Runs one of the program's commands on a catalog, through the program's own
// code, and can stop dead in the middle of it so that a test kills it there:
//
//   fault_worker delete <catalog> <pause>
//       deletes every disc at once, as the disc list's multiple delete does
//   fault_worker copy <catalog> <folder> <target> <pause>
//       copies a folder with every folder below it into another, as a drag
//       with Ctrl in the folder tree does
//   fault_worker compact <catalog> <pause>
//       compacts the catalog
//   fault_worker save <catalog> <size limit> <description bytes>
//       adds a disc with a long description while files may not grow past
//       the limit, then, without the limit, a disc with a short one
//
// <pause> counts rows written (for the compaction: the engine's progress
// steps); when it is reached the worker prints "paused" and waits to be
// killed. With 0 it runs through. It prints "started" before the command,
// "done" after it, and "steps <n>" with the count it reached; "message
// <text>" for each message the user would see.
#include "browser/CdListPane.h"
#include "browser/CdTreePane.h"
#include "store/catalog/DataModule.h"
#include "store/engine/DAOQuery.h"
#include "toolkit/CommandGuard.h"
#include "toolkit/DataGrid.h"
#include "toolkit/MessageBoxes.h"

#include <QApplication>
#include <QTreeView>

#include <sqlcipher/sqlite3.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>
#include <unistd.h>

namespace {

long pauseAt = 0;
long steps = 0;
const char *countedTable = "";
int countedOperation = 0;

void Print(const QString &line)
{
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

void Step()
{
    if (++steps == pauseAt) {
        Print(QStringLiteral("paused"));
        for (;;)
            pause();
    }
}

void RowWritten(void *, int operation, const char *, const char *table, sqlite3_int64)
{
    if (operation == countedOperation && std::strcmp(table, countedTable) == 0)
        Step();
}

int Progress(void *)
{
    Step();
    return 0;
}

// Every connection the engine opens from now on counts its progress.
int CountProgress(sqlite3 *db, char **, const sqlite3_api_routines *)
{
    sqlite3_progress_handler(db, 100, Progress, nullptr);
    return SQLITE_OK;
}

// Every connection the engine opens from now on tells the rows it writes;
// only those of the table and kind CountRows names count.
int HookRowsWritten(sqlite3 *db, char **, const sqlite3_api_routines *)
{
    sqlite3_update_hook(db, RowWritten, nullptr);
    return SQLITE_OK;
}

void CountRows(const char *table, int operation)
{
    countedTable = table;
    countedOperation = operation;
}

int DeleteEveryDisc(TDM &dm)
{
    TDAOQuery discs;
    discs.SetDatabase(&dm.DbBase);
    TCdListPane list(discs);
    list.ShowCdList(1);
    list.dgCd->View()->selectAll();
    CountRows("TbCd", SQLITE_DELETE);
    Msg::Recorder confirm(true);
    Print(QStringLiteral("started"));
    list.btnDelClick();
    return 0;
}

int CopyFolder(TDM &dm, int folderId, int targetId)
{
    TDAOQuery folders;
    folders.SetDatabase(&dm.DbBase);
    TCdTreePane tree(folders);
    tree.LoadCdTree();
    CountRows("TbTree", SQLITE_INSERT);
    Print(QStringLiteral("started"));
    tree.DropFolders(targetId, TCdTreePane::DropZone::OnRow, true, {folderId});
    return 0;
}

int Compact(TDM &dm)
{
    dm.DbBase.SetConnected(true);
    sqlite3_auto_extension(reinterpret_cast<void (*)()>(CountProgress));
    Print(QStringLiteral("started"));
    const TCurrency ratio = dm.CompactDb();
    sqlite3_reset_auto_extension();
    return ratio > 0 ? 0 : 1;
}

int SaveUnderLimit(TDM &dm, rlim_t limit, int descriptionBytes)
{
    TDAOQuery discs;
    discs.SetDatabase(&dm.DbBase);
    TCdListPane list(discs);
    list.CurrentFolderId = [] { return 1; };
    QString description(descriptionBytes, QLatin1Char('m'));
    int shown = 0;
    bool typedCameBack = true;
    list.EditDisc = [&](TCdRec &disc) {
        // Shown again after a refused write, with what was typed: the user
        // gives up.
        if (++shown > 1) {
            typedCameBack = disc.Memo == description && disc.Name == QStringLiteral("满盘");
            return false;
        }
        disc.Code = QStringLiteral("F%1").arg(descriptionBytes);
        disc.Name = QStringLiteral("满盘");
        disc.Spell = QStringLiteral("MP");
        disc.CId = 1;
        disc.QId = 1;
        disc.Memo = description;
        return true;
    };
    list.ShowCdList(1);

    // A write past the limit fails with EFBIG instead of ending the program,
    // as a write to a full disk fails with ENOSPC.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit original{};
    getrlimit(RLIMIT_FSIZE, &original);
    rlimit limited = original;
    limited.rlim_cur = limit;
    setrlimit(RLIMIT_FSIZE, &limited);
    Msg::Recorder messages(true);
    Print(QStringLiteral("started"));
    const bool ran = RunCommand([&] { list.btnAddClick(); });
    setrlimit(RLIMIT_FSIZE, &original);
    const QStringList refused = messages.Texts();
    for (const QString &text : refused)
        Print(QStringLiteral("message ") + text);
    // The write was refused, reported, and the editor shown again with
    // what was typed.
    if (!ran || shown != 2 || !typedCameBack)
        return 1;

    // Space again: the program goes on with the same catalog.
    description = QStringLiteral("short");
    shown = 0;
    const bool savedNow = RunCommand([&] { list.btnAddClick(); });
    for (const QString &text : messages.Texts().mid(refused.size()))
        Print(QStringLiteral("message ") + text);
    return savedNow && shown == 1 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 3)
        return 2;
    const QString command = args[0];
    // Messages are printed, never shown.
    Msg::Recorder messages(true);
    sqlite3_auto_extension(reinterpret_cast<void (*)()>(HookRowsWritten));
    TDM dm;
    DM = &dm;
    dm.NameCatalog(args[1]);

    int result = 2;
    try {
        if (command == QLatin1String("delete")) {
            pauseAt = args[2].toLong();
            result = DeleteEveryDisc(dm);
        } else if (command == QLatin1String("copy") && args.size() == 5) {
            pauseAt = args[4].toLong();
            result = CopyFolder(dm, args[2].toInt(), args[3].toInt());
        } else if (command == QLatin1String("compact")) {
            pauseAt = args[2].toLong();
            result = Compact(dm);
        } else if (command == QLatin1String("save") && args.size() == 4) {
            result = SaveUnderLimit(dm, rlim_t(args[2].toLongLong()), args[3].toInt());
        }
    } catch (...) {
        ShowError(std::current_exception());
        result = 1;
    }
    for (const QString &text : messages.Texts())
        Print(QStringLiteral("message ") + text);
    Print(QStringLiteral("steps %1").arg(steps));
    Print(QStringLiteral("done"));
    DM = nullptr;
    return result;
}
