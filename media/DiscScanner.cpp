#include "media/DiscScanner.h"

#include "store/engine/Errors.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace DiscScanner {

namespace {

// The entries are reported to Progress after this many.
constexpr qint64 ProgressEvery = 256;

class TWalker
{
public:
    explicit TWalker(const TCallbacks &callbacks)
        : m_callbacks(callbacks)
    {
    }

    // Reads the folder at path (bytes, as the system names it; shown as
    // shown below the root) and reports what is inside to parentId. False when
    // the scan was cancelled.
    bool Walk(const std::string &path, const QString &shown, qint64 parentId)
    {
        struct TSubFolder
        {
            std::string Name;
            qint64 Id;
        };
        std::vector<TSubFolder> subFolders;
        {
            DIR *dir = opendir(path.c_str());
            if (!dir)
                return true; // checked by the caller
            const int fd = dirfd(dir);
            while (dirent *item = readdir(dir)) {
                const char *name = item->d_name;
                if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
                    continue;
                struct stat info;
                TFound found;
                found.Name = QFile::decodeName(name);
                if (fstatat(fd, name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
                    // Gone or unreadable since the folder was read.
                    found.Unreadable = true;
                    m_result.Unreadable << shown + QLatin1Char('/') + found.Name;
                    ++m_result.Files;
                    Add(parentId, found);
                    continue;
                }
                found.MTime = info.st_mtim.tv_sec;
                if (S_ISLNK(info.st_mode)) {
                    found.Kind = TEntryKind::Link;
                    ++m_result.Links;
                    Add(parentId, found);
                } else if (S_ISDIR(info.st_mode)) {
                    found.Kind = TEntryKind::Folder;
                    const QString below = shown + QLatin1Char('/') + found.Name;
                    const std::string full = path + '/' + name;
                    if (Refused(below, full)) {
                        found.Unreadable = true;
                        m_result.Unreadable << below;
                    }
                    ++m_result.Folders;
                    const qint64 id = Add(parentId, found);
                    if (!found.Unreadable)
                        subFolders.push_back({name, id});
                } else {
                    found.Size = info.st_size;
                    ++m_result.Files;
                    m_result.Bytes += info.st_size;
                    Add(parentId, found);
                }
                if (m_cancelled) {
                    closedir(dir);
                    return false;
                }
            }
            closedir(dir);
        }
        for (const TSubFolder &sub : subFolders) {
            if (!Walk(path + '/' + sub.Name, shown + QLatin1Char('/') + QFile::decodeName(sub.Name.c_str()), sub.Id))
                return false;
        }
        return true;
    }

    TResult m_result;

private:
    bool Refused(const QString &shown, const std::string &full) const
    {
        if (m_callbacks.RefuseFolder && m_callbacks.RefuseFolder(shown))
            return true;
        // Readable and searchable, as the walk will need it.
        return access(full.c_str(), R_OK | X_OK) != 0;
    }

    qint64 Add(qint64 parentId, const TFound &found)
    {
        const qint64 id = m_callbacks.Add ? m_callbacks.Add(parentId, found) : 0;
        if (++m_count % ProgressEvery == 0 && m_callbacks.Progress && !m_callbacks.Progress(m_result))
            m_cancelled = true;
        return id;
    }

    const TCallbacks &m_callbacks;
    qint64 m_count = 0;
    bool m_cancelled = false;
};

} // namespace

TResult Scan(const QString &root, const TCallbacks &callbacks)
{
    const std::string path = QFile::encodeName(root).toStdString();
    if (access(path.c_str(), R_OK | X_OK) != 0 || (callbacks.RefuseFolder && callbacks.RefuseFolder(QString()))) {
        const int error = errno;
        throw EFileError(QStringLiteral("无法读取“%1”，光盘内容没有改变。").arg(root),
                         QString::fromLocal8Bit(std::strerror(error)));
    }
    TWalker walker(callbacks);
    walker.m_result.Cancelled = !walker.Walk(path, QString(), 0);
    if (!walker.m_result.Cancelled && callbacks.Progress)
        callbacks.Progress(walker.m_result);
    return walker.m_result;
}

} // namespace DiscScanner
