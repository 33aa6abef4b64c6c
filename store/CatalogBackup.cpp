#include "CatalogBackup.h"

#include "DAODatabase.h"
#include "Errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <sqlcipher/sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <memory>

namespace CatalogBackup {

namespace {

const QString BackupFailed = QStringLiteral("备份光盘夹失败：");
const QString RestoreFailed = QStringLiteral("恢复光盘夹失败：");

[[noreturn]] void CannotWrite(const QString &prefix, const QString &path, const QString &reason,
                              const QString &details = {})
{
    throw EFileError(prefix + QStringLiteral("无法写入“%1”（%2）。").arg(QDir::toNativeSeparators(path), reason),
                     details);
}

// The engine's failure in a few Chinese words; its own words go to the
// details.
QString WriteReason(int code)
{
    switch (code & 0xff) {
    case SQLITE_FULL:
        return QStringLiteral("磁盘空间不足");
    case SQLITE_IOERR:
        return QStringLiteral("写入出错，磁盘可能已满或文件过大");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("文件正被另一个程序使用");
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_READONLY:
        return QStringLiteral("文件或它所在的文件夹不能写入");
    case SQLITE_NOMEM:
        return QStringLiteral("内存不足");
    default:
        return QStringLiteral("写入出错");
    }
}

// Engine errors and refused files carry their own message naming the file.
TCatalogHandle OpenOrThrow(const QString &prefix, const QString &path, const QString &password, bool readOnly,
                           bool create = false)
{
    try {
        return OpenCatalogHandle(path, password, readOnly, create);
    } catch (const EAppError &e) {
        throw EFileError(prefix + e.Message(), e.Details());
    }
}

// A journal left beside the destination by an interrupted change to the
// file being replaced would be played back into the new file.
void RemoveStaleJournal(const QString &path)
{
    QFile::remove(path + QStringLiteral("-journal"));
}

void RequireNotFolder(const QString &prefix, const QString &destination)
{
    if (QFileInfo(destination).isDir())
        CannotWrite(prefix, destination, QStringLiteral("这是一个文件夹"));
}

} // namespace

bool SameFile(const QString &a, const QString &b)
{
    const QFileInfo fa(a), fb(b);
    if (fa.exists() && fb.exists())
        return fa.canonicalFilePath() == fb.canonicalFilePath();
    return QDir::cleanPath(fa.absoluteFilePath()) == QDir::cleanPath(fb.absoluteFilePath());
}

void CheckCatalogFile(const QString &path, const QString &password)
{
    // The open asks HoldsCatalog, as every open of a catalog does.
    OpenOrThrow(QString(), path, password, true);
}

void BackupCatalog(const QString &source, const QString &password, const QString &destination)
{
    if (SameFile(source, destination))
        throw EFileError(BackupFailed + QStringLiteral("“%1”就是当前光盘夹文件本身，请选择另一个文件。")
                                            .arg(QDir::toNativeSeparators(destination)));
    RequireNotFolder(BackupFailed, destination);
    const TCatalogHandle from = OpenOrThrow(BackupFailed, source, password, true);

    const QFileInfo target(destination);
    QTemporaryFile temp(target.absolutePath() + QLatin1Char('/') + target.fileName() + QStringLiteral(".XXXXXX"));
    if (!temp.open())
        CannotWrite(BackupFailed, destination, temp.errorString());
    const QString tempPath = temp.fileName();
    // The engine writes the file; no second descriptor of ours stays open.
    temp.close();
    auto cleanUp = [&] { QFile::remove(tempPath + QStringLiteral("-journal")); };

    {
        TCatalogHandle to = OpenOrThrow(BackupFailed, tempPath, password, false, true);
        sqlite3_backup *backup = sqlite3_backup_init(to.get(), "main", from.get(), "main");
        if (!backup) {
            const int code = sqlite3_extended_errcode(to.get());
            const QString details = QString::fromUtf8(sqlite3_errmsg(to.get()));
            cleanUp();
            CannotWrite(BackupFailed, destination, WriteReason(code), details);
        }
        // All pages in one step, under one read lock of the source: the copy
        // shows the catalog as of one moment. A writer holding the file
        // briefly is waited for.
        int rc = SQLITE_OK;
        for (int attempt = 0; attempt < 50; ++attempt) {
            rc = sqlite3_backup_step(backup, -1);
            if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED)
                break;
            sqlite3_sleep(100);
        }
        sqlite3_backup_finish(backup);
        if (rc != SQLITE_DONE) {
            const QString details = QString::fromUtf8(sqlite3_errstr(rc));
            to.reset();
            cleanUp();
            CannotWrite(BackupFailed, destination, WriteReason(rc), details);
        }
        const int closed = CloseCatalogHandle(to);
        if (closed != SQLITE_OK) {
            cleanUp();
            CannotWrite(BackupFailed, destination, WriteReason(closed), QString::fromUtf8(sqlite3_errstr(closed)));
        }
    }

    // A replaced file keeps its permissions; a new one is readable by all.
    const QFile::Permissions permissions = target.exists() ? QFile::permissions(destination)
                                                           : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser |
                                                                 QFile::WriteUser | QFile::ReadGroup | QFile::ReadOther;
    QFile::setPermissions(tempPath, permissions);
    RemoveStaleJournal(destination);
    // rename() replaces the destination in one step.
    if (std::rename(QFile::encodeName(tempPath).constData(), QFile::encodeName(destination).constData()) != 0) {
        const QString reason = qt_error_string(errno);
        CannotWrite(BackupFailed, destination, reason);
    }
    temp.setAutoRemove(false);
}

void RestoreCatalog(const QString &source, const QString &destination, const QString &password)
{
    try {
        CheckCatalogFile(source, password);
    } catch (const EAppError &e) {
        throw EFileError(RestoreFailed + e.Message());
    }
    if (SameFile(source, destination))
        return;
    RequireNotFolder(RestoreFailed, destination);

    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        throw EFileError(
            RestoreFailed +
            QStringLiteral("无法读取“%1”（%2）。").arg(QDir::toNativeSeparators(source), in.errorString()));
    // QSaveFile writes beside the destination and renames on commit; a
    // failure leaves the destination as it was.
    QSaveFile out(destination);
    if (!out.open(QIODevice::WriteOnly))
        CannotWrite(RestoreFailed, destination, out.errorString());
    QByteArray chunk;
    while (!(chunk = in.read(1 << 20)).isEmpty()) {
        if (out.write(chunk) != chunk.size())
            CannotWrite(RestoreFailed, destination, out.errorString());
    }
    if (in.error() != QFileDevice::NoError)
        throw EFileError(
            RestoreFailed +
            QStringLiteral("无法读取“%1”（%2）。").arg(QDir::toNativeSeparators(source), in.errorString()));
    RemoveStaleJournal(destination);
    if (!out.commit())
        CannotWrite(RestoreFailed, destination, out.errorString());
}

} // namespace CatalogBackup
