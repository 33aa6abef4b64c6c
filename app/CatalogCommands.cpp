#include "app/CatalogCommands.h"

#include "dialogs/CompactDbForm.h"
#include "store/catalog/CatalogBackup.h"
#include "store/catalog/CatalogFiles.h"
#include "store/catalog/DataModule.h"
#include "store/catalog/FullBackup.h"
#include "store/catalog/PictureFiles.h"
#include "store/catalog/UpgradeUnit.h"
#include "store/engine/Errors.h"
#include "toolkit/JobProgress.h"
#include "toolkit/MessageBoxes.h"
#include "toolkit/WaitCursor.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include <memory>

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

const QString ArchiveFilter = QStringLiteral("完整备份 (*.zip *.ZIP)");

QString ChooseFullBackupFile(QWidget *parent, const QString &proposedName)
{
    QFileDialog dlg(parent, QStringLiteral("完整备份（含封面）到..."), QDir::homePath(), ArchiveFilter);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setDefaultSuffix(QStringLiteral("zip"));
    dlg.selectFile(proposedName);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    return dlg.selectedFiles().constFirst();
}

QString ChooseFullRestoreFile(QWidget *parent)
{
    QFileDialog dlg(parent, QStringLiteral("从完整备份恢复..."), QDir::homePath(), ArchiveFilter);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::ExistingFile);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    return dlg.selectedFiles().constFirst();
}

// At most a few names in a message, the rest counted.
QString NameList(const QStringList &names)
{
    constexpr int Shown = 10;
    QString text = names.mid(0, Shown).join(QLatin1Char('\n'));
    if (names.size() > Shown)
        text += QStringLiteral("\n……另有 %1 个").arg(names.size() - Shown);
    return text;
}

// The sentence naming the safety copy a restore kept; empty for none.
QString SafetyCopyText(const QString &catalog, const QString &safetyCopy)
{
    if (safetyCopy.isEmpty())
        return {};
    return QStringLiteral("\n\n被替换的光盘夹“%1”已保存为“%2”。")
        .arg(QDir::toNativeSeparators(catalog), QDir::toNativeSeparators(safetyCopy));
}

// The commands work from the open catalog's file; without one they say so.
bool HasCatalog(const QString &currentDb)
{
    if (!currentDb.isEmpty() && QFileInfo(currentDb).isFile())
        return true;
    Msg::Warning(QStringLiteral("请先打开一个光盘夹。"));
    return false;
}

// A long step of a command (copying or checking a whole catalog, packing or
// unpacking an archive) on the worker, the window painting meanwhile. The
// step opens what it works on itself.
void RunLong(QWidget *parent, const QString &currentDb, const QString &password, const QString &title,
             const QString &label, const std::function<void()> &work)
{
    JobProgress::TOptions options;
    options.Title = title;
    options.Label = label;
    options.ShowAtOnce = false;
    JobProgress::Run(parent, currentDb, password, options, [&work](TCatalogJob &) { work(); });
}

} // namespace

std::function<QString(QWidget *, const QString &)> ChooseBackupFileHook = ChooseBackupFile;
std::function<QString(QWidget *)> ChooseRestoreFileHook = ChooseRestoreFile;
std::function<QString(QWidget *, const QString &)> ChooseFullBackupFileHook = ChooseFullBackupFile;
std::function<QString(QWidget *)> ChooseFullRestoreFileHook = ChooseFullRestoreFile;

void RunBackup(QWidget *parent, TDM &dm, const QString &currentDb)
{
    if (!HasCatalog(currentDb))
        return;
    const QString path = ChooseBackupFileHook(parent, QFileInfo(currentDb).fileName());
    if (path.isEmpty())
        return;
    const QString password = dm.DbBase.Password();
    RunLong(parent, currentDb, password, QStringLiteral("备份光盘夹"), QStringLiteral("正在备份光盘夹..."),
            [&] { CatalogBackup::BackupCatalog(currentDb, password, path); });
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
        QString safetyCopy;
        // The whole file is checked first.
        RunLong(parent, currentDb, password, QStringLiteral("恢复光盘夹"), QStringLiteral("正在恢复光盘夹..."),
                [&] { safetyCopy = CatalogBackup::RestoreCatalog(source, destination, password); });
        Msg::Information(QStringLiteral("账本恢复成功！请选择打开账本开始使用。") +
                         SafetyCopyText(destination, safetyCopy));
        return;
    }

    // The open catalog's own file: never replaced under the open connection.
    try {
        RunLong(parent, currentDb, password, QStringLiteral("恢复光盘夹"), QStringLiteral("正在检查光盘夹文件..."),
                [&] { CatalogBackup::CheckCatalogFile(source, password); });
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
        // A fresh connection, even if something read the catalog meanwhile:
        // never one to the file that was replaced.
        dm.DbBase.SetConnected(false);
        dm.DbBase.SetConnected(true);
        UpgradeDb(dm);
        reloadPanes();
    };
    QString safetyCopy;
    try {
        RunLong(parent, currentDb, password, QStringLiteral("恢复光盘夹"), QStringLiteral("正在恢复光盘夹..."),
                [&] { safetyCopy = CatalogBackup::RestoreCatalog(source, destination, password); });
    } catch (...) {
        reopen();
        throw;
    }
    reopen();
    Msg::Information(QStringLiteral("账本恢复成功！已经重新打开“%1”。").arg(shown) +
                     SafetyCopyText(destination, safetyCopy));
}

void RunFullBackup(QWidget *parent, TDM &dm, const QString &currentDb, const QString &pictureFolder)
{
    if (!HasCatalog(currentDb))
        return;
    const QString path =
        ChooseFullBackupFileHook(parent, QFileInfo(currentDb).completeBaseName() + QStringLiteral(".zip"));
    if (path.isEmpty())
        return;
    FullBackup::TBackupReport report;
    const QString password = dm.DbBase.Password();
    RunLong(parent, currentDb, password, QStringLiteral("完整备份"), QStringLiteral("正在写入完整备份..."), [&] {
        report = FullBackup::WriteArchive(
            currentDb, password,
            [&pictureFolder](const QString &name) { return PictureFiles::StoredPictureFile(pictureFolder, name); },
            path);
    });
    QString text = QStringLiteral("完整备份已写入“%1”，其中有 %2 张光盘、%3 个封面图片。")
                       .arg(QDir::toNativeSeparators(path))
                       .arg(report.Discs)
                       .arg(report.Pictures);
    if (!report.MissingPictures.isEmpty()) {
        text += QStringLiteral("\n\n以下封面图片在封面文件夹中找不到，没有备份：\n") + NameList(report.MissingPictures);
        Msg::Warning(text);
        return;
    }
    Msg::Information(text);
}

void RunFullRestore(QWidget *parent, TDM &dm, const QString &currentDb, const QString &pictureFolder,
                    const std::function<void()> &reloadPanes)
{
    if (!HasCatalog(currentDb))
        return;
    const QString archive = ChooseFullRestoreFileHook(parent);
    if (archive.isEmpty())
        return;
    const QString password = dm.DbBase.Password();
    std::unique_ptr<FullBackup::TArchive> content;
    // Every entry is read and checked.
    RunLong(parent, currentDb, password, QStringLiteral("从完整备份恢复"), QStringLiteral("正在检查完整备份..."),
            [&] { content = std::make_unique<FullBackup::TArchive>(archive, password); });

    const QString folder = QFileInfo(currentDb).absolutePath();
    QString name = content->CatalogName();
    if (const QString existing = CatalogFiles::FindFile(folder, name); !existing.isEmpty())
        name = existing;
    const QString destination = QDir(folder).filePath(name);
    const QString shown = QDir::toNativeSeparators(destination);
    const bool open = CatalogBackup::SameFile(destination, currentDb);
    if (open) {
        if (!Msg::Confirm(
                QStringLiteral("“%1”是当前打开的光盘夹，恢复会用备份中的光盘夹替换它，其中现有的内容将会丢失。\n"
                               "要关闭这个光盘夹，恢复之后再重新打开吗？")
                    .arg(shown)))
            return;
    } else if (QFileInfo::exists(destination)) {
        if (!Msg::Confirm(
                QStringLiteral("已经有名为“%1”的光盘夹，恢复会用备份中的光盘夹替换它，其中现有的内容将会丢失。\n"
                               "要替换它吗？")
                    .arg(shown)))
            return;
    }

    FullBackup::TArchive::TRestoreReport report;
    if (open)
        dm.DbBase.SetConnected(false);
    auto reopen = [&] {
        if (!open)
            return;
        dm.DbBase.SetConnected(false);
        dm.DbBase.SetConnected(true);
        UpgradeDb(dm);
        reloadPanes();
    };
    try {
        RunLong(parent, currentDb, password, QStringLiteral("从完整备份恢复"), QStringLiteral("正在恢复完整备份..."),
                [&] { report = content->Restore(destination, pictureFolder); });
    } catch (...) {
        reopen();
        throw;
    }
    reopen();
    QString text = QStringLiteral("已从完整备份恢复光盘夹“%1”：%2 张光盘、%3 个封面图片。")
                       .arg(shown)
                       .arg(content->Discs())
                       .arg(report.Pictures);
    if (!report.Renamed.isEmpty()) {
        QStringList renamed;
        for (auto it = report.Renamed.cbegin(); it != report.Renamed.cend(); ++it)
            renamed << QStringLiteral("%1 → %2").arg(it.key(), it.value());
        renamed.sort();
        text += QStringLiteral("\n\n封面文件夹中已有同名的不同图片，以下封面改用了新的名字：\n") + NameList(renamed);
    }
    text += SafetyCopyText(destination, report.SafetyCopy);
    if (open)
        text += QStringLiteral("\n\n已经重新打开这个光盘夹。");
    Msg::Information(text);
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
