#include "CatalogCommands.h"

#include "CatalogBackup.h"
#include "CatalogFiles.h"
#include "CompactDbForm.h"
#include "DataModule.h"
#include "Errors.h"
#include "MessageBoxes.h"
#include "UpgradeUnit.h"
#include "WaitCursor.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace CatalogCommands {

namespace {

// The file system tells letter case apart; catalog files come in any case.
const QString FileFilter = QStringLiteral("光盘夹文件 (*.mdb *.MDB)");
const QString FileSuffix = QStringLiteral("mdb");

QString ChooseBackupFile(QWidget *parent, const QString &proposedName)
{
    QFileDialog dlg(parent, QStringLiteral("当前光盘夹备份到..."), QDir::homePath(), FileFilter);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setDefaultSuffix(FileSuffix);
    dlg.selectFile(proposedName);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    return dlg.selectedFiles().constFirst();
}

QString ChooseRestoreFile(QWidget *parent)
{
    QFileDialog dlg(parent, QStringLiteral("恢复光盘夹文件..."), QDir::homePath(), FileFilter);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::ExistingFile);
    dlg.setDefaultSuffix(FileSuffix);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    return dlg.selectedFiles().constFirst();
}

// The commands work from the open catalog's file; without one they say so.
bool HasCatalog(const QString &currentDb)
{
    if (!currentDb.isEmpty() && QFileInfo(currentDb).isFile())
        return true;
    Msg::Warning(QStringLiteral("请先打开一个光盘夹。"));
    return false;
}

} // namespace

std::function<QString(QWidget *, const QString &)> ChooseBackupFileHook = ChooseBackupFile;
std::function<QString(QWidget *)> ChooseRestoreFileHook = ChooseRestoreFile;

void RunBackup(QWidget *parent, TDM &dm, const QString &currentDb)
{
    if (!HasCatalog(currentDb))
        return;
    const QString path = ChooseBackupFileHook(parent, QFileInfo(currentDb).fileName());
    if (path.isEmpty())
        return;
    {
        const TWaitCursor busy; // a large catalog takes a moment to copy
        CatalogBackup::BackupCatalog(currentDb, dm.DbBase.Password(), path);
    }
    Msg::Information(QStringLiteral("光盘夹已备份到“%1”。").arg(QDir::toNativeSeparators(path)));
}

void RunRestore(QWidget *parent, TDM &dm, const QString &currentDb, const std::function<void()> &reloadPanes)
{
    if (!HasCatalog(currentDb))
        return;
    const QString source = ChooseRestoreFileHook(parent);
    if (source.isEmpty())
        return;

    // Into the open catalog's folder, under the chosen file's name; a file
    // there whose name differs only in letter case is the one replaced.
    const QString folder = QFileInfo(currentDb).absolutePath();
    QString name = QFileInfo(source).fileName();
    if (const QString existing = CatalogFiles::FindFile(folder, name); !existing.isEmpty())
        name = existing;
    const QString destination = QDir(folder).filePath(name);
    const QString password = dm.DbBase.Password();

    if (!CatalogBackup::SameFile(destination, currentDb) || CatalogBackup::SameFile(source, destination)) {
        {
            const TWaitCursor busy;
            CatalogBackup::RestoreCatalog(source, destination, password);
        }
        Msg::Information(QStringLiteral("账本恢复成功！请选择打开账本开始使用。"));
        return;
    }

    // The open catalog's own file: never replaced under the open connection.
    try {
        const TWaitCursor busy;
        CatalogBackup::CheckCatalogFile(source, password);
    } catch (const EAppError &e) {
        throw EFileError(QStringLiteral("恢复光盘夹失败：") + e.Message());
    }
    const QString shown = QDir::toNativeSeparators(destination);
    if (!Msg::Confirm(QStringLiteral("“%1”是当前打开的光盘夹，恢复会用所选的文件替换它，其中现有的内容将会丢失。\n"
                                     "要关闭这个光盘夹，恢复之后再重新打开吗？")
                          .arg(shown)))
        return;
    dm.DbBase.SetConnected(false);
    // Reopened either way: the restored file, or the catalog as it was when
    // the restore failed.
    auto reopen = [&] {
        const TWaitCursor busy; // a restored older catalog is upgraded
        dm.DbBase.SetConnected(true);
        UpgradeDb(dm);
        reloadPanes();
    };
    try {
        const TWaitCursor busy;
        CatalogBackup::RestoreCatalog(source, destination, password);
    } catch (...) {
        reopen();
        throw;
    }
    reopen();
    Msg::Information(QStringLiteral("账本恢复成功！已经重新打开“%1”。").arg(shown));
}

void RunCompact(QWidget *parent, TDM &dm, const QString &currentDb, const std::function<void()> &reloadPanes)
{
    if (!HasCatalog(currentDb))
        return;
    ShowCompactDialog([&dm] { return dm.CompactDb(); }, parent, [&dm] { return dm.CompactFailure(); });
    // The compaction closed the catalog and the panes' queries with it.
    reloadPanes();
}

} // namespace CatalogCommands
