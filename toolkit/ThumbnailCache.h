#pragma once

#include <QCache>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QSize>
#include <QString>
#include <QStringList>

class QThreadPool;

// Small pictures of picture files, made off the user-interface thread and
// kept twice: on disk in a cache folder (one JPEG per picture, named after
// the file's path, modification time and size, so a changed file gets a new
// one) and in memory, bounded, the least recently used going first. A
// missing or unreadable picture gets the fallback picture, never an error.
class TThumbnailCache : public QObject
{
    Q_OBJECT

public:
    // Thumbnails fit into size; memoryKB bounds the pictures kept in memory.
    TThumbnailCache(const QString &diskFolder, const QSize &size, const QImage &fallback, int memoryKB = 48 * 1024,
                    QObject *parent = nullptr);
    ~TThumbnailCache() override;

    // The thumbnail of a picture file: from memory at once; otherwise null,
    // and it is made (or read from the disk cache) in the background, and
    // Ready(path) follows. An empty path gets the fallback at once. The
    // latest requests are served first, so what was painted last comes first.
    QImage Thumbnail(const QString &path);
    QImage Fallback() const { return m_fallback; }
    QSize Size() const { return m_size; }
    QString DiskFolder() const { return m_diskFolder; }

    // The same work on the calling thread, for the background jobs and for
    // tests: the disk cache's copy when it is there, else the picture
    // decoded at thumbnail size and written to the disk cache. Null when the
    // file is missing or cannot be read as a picture.
    static QImage Make(const QString &path, const QSize &size, const QString &diskFolder);
    // The disk cache's file name for a picture file as it is now; empty when
    // there is no such file.
    static QString DiskName(const QString &path);

    // Drops what is waiting to be made (when the list shows other discs).
    void ClearPending();
    int PendingCount() const { return int(m_pending.size()) + m_running; }

signals:
    void Ready(const QString &path);

private:
    struct Entry
    {
        QImage image;
        QString diskName; // the file's state when the thumbnail was made
    };

    void StartNext();

    QString m_diskFolder;
    QSize m_size;
    QImage m_fallback;
    QCache<QString, Entry> m_memory;
    QStringList m_pending; // the latest at the end
    QSet<QString> m_queued;
    int m_running = 0;
    QThreadPool *m_pool;
};
