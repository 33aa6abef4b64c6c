#include "store/catalog/PictureFiles.h"

#include "store/catalog/FileNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace PictureFiles {

QString StoredPictureFile(const QString &pictureFolder, const QString &name)
{
    if (!FileNames::IsPlainFileName(name))
        return {};
    const QString folderPath = QDir::cleanPath(QFileInfo(pictureFolder).absoluteFilePath());
    const QFileInfo file(folderPath + QLatin1Char('/') + name);
    if (!file.isFile() || !file.isReadable())
        return {};
    const QString real = file.canonicalFilePath();
    const QString folder = QFileInfo(folderPath).canonicalFilePath();
    if (real.isEmpty() || folder.isEmpty() || QFileInfo(real).path() != folder)
        return {};
    return file.filePath();
}

bool OpenRegularFile(QFile &file, const QString &path, QString *error)
{
    auto fail = [&](const QString &reason) {
        if (error)
            *error = reason;
        return false;
    };
    // Without O_NONBLOCK, opening a FIFO waits for a writer that may never
    // come; the descriptor is checked before anything is read from it.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        switch (errno) {
        case ENOENT:
            return fail(QStringLiteral("文件不存在"));
        case EACCES:
        case EPERM:
            return fail(QStringLiteral("没有读取这个文件的权限"));
        default:
            return fail(QStringLiteral("无法打开文件"));
        }
    }
    struct stat status
    {
    };
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return fail(QStringLiteral("不是普通文件"));
    }
    // Reads of a regular file never block; back to ordinary reads.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(QStringLiteral("无法打开文件"));
    }
    return true;
}

} // namespace PictureFiles
