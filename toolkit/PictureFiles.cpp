#include "toolkit/PictureFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace PictureFiles {

bool IsPlainFileName(const QString &name)
{
    if (name.isEmpty())
        return false;
    bool onlyDots = true;
    for (const QChar c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':') || c.unicode() < 0x20)
            return false;
        if (c != QLatin1Char('.'))
            onlyDots = false;
    }
    // ".", ".." and, where trailing dots are dropped, "..." as well.
    return !onlyDots;
}

QString StoredPictureFile(const QString &pictureFolder, const QString &name)
{
    if (!IsPlainFileName(name))
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

bool IsReadablePicture(const QString &path)
{
    QFile file;
    if (!OpenRegularFile(file, path))
        return false;
    QImageReader reader(&file);
    return reader.canRead();
}

} // namespace PictureFiles
