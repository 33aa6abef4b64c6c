#include "toolkit/ThumbnailCache.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QFuture>
#include <QImageReader>
#include <QSaveFile>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

namespace {

// Two decoders at a time; more would only take the user-interface thread's
// share of a small machine.
constexpr int Workers = 2;
// Requests beyond this many are forgotten, the oldest first: they were
// scrolled past and are asked for again when they show once more.
constexpr int MaxPending = 400;

} // namespace

TThumbnailCache::TThumbnailCache(const QString &diskFolder, const QSize &size, const QImage &fallback, int memoryKB,
                                 QObject *parent)
    : QObject(parent)
    , m_diskFolder(diskFolder)
    , m_size(size)
    , m_fallback(fallback.isNull() ? QImage() : fallback.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation))
    , m_memory(std::max(1, memoryKB))
    , m_pool(new QThreadPool(this))
{
    m_pool->setMaxThreadCount(Workers);
}

TThumbnailCache::~TThumbnailCache()
{
    m_pending.clear();
    m_pool->clear();
    m_pool->waitForDone();
}

QString TThumbnailCache::DiskName(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return {};
    QByteArray key = QFileInfo(path).absoluteFilePath().toUtf8();
    key += '\n' + QByteArray::number(info.lastModified().toMSecsSinceEpoch());
    key += '\n' + QByteArray::number(info.size());
    return QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex()) +
           QStringLiteral(".jpg");
}

QImage TThumbnailCache::Make(const QString &path, const QSize &size, const QString &diskFolder)
{
    const QString name = DiskName(path);
    if (name.isEmpty())
        return {};
    const QString cached = diskFolder.isEmpty() ? QString() : diskFolder + u'/' + name;
    if (!cached.isEmpty() && QFileInfo::exists(cached)) {
        QImage image(cached);
        if (!image.isNull())
            return image;
    }
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize full = reader.size();
    // JPEG decoders scale while decoding: far less work than the whole
    // picture scaled afterwards.
    if (full.isValid() && (full.width() > size.width() || full.height() > size.height()))
        reader.setScaledSize(full.scaled(size, Qt::KeepAspectRatio));
    QImage image = reader.read();
    if (image.isNull())
        return {};
    if (image.width() > size.width() || image.height() > size.height())
        image = image.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (!cached.isEmpty() && !image.hasAlphaChannel() && QDir().mkpath(diskFolder)) {
        // A cache that cannot be written is only slower.
        QSaveFile file(cached);
        if (file.open(QIODevice::WriteOnly) && image.save(&file, "JPG", 85))
            file.commit();
    }
    return image;
}

QImage TThumbnailCache::Thumbnail(const QString &path)
{
    if (path.isEmpty())
        return m_fallback;
    if (const Entry *entry = m_memory.object(path)) {
        // Thumbnails of a file that has changed since are made again.
        if (entry->diskName == DiskName(path))
            return entry->image;
        m_memory.remove(path);
    }
    if (m_queued.contains(path)) {
        // Asked for again: it moves to the front.
        m_pending.removeOne(path);
        m_pending.append(path);
        return {};
    }
    m_queued.insert(path);
    m_pending.append(path);
    while (m_pending.size() > MaxPending)
        m_queued.remove(m_pending.takeFirst());
    StartNext();
    return {};
}

void TThumbnailCache::ClearPending()
{
    for (const QString &path : std::as_const(m_pending))
        m_queued.remove(path);
    m_pending.clear();
}

void TThumbnailCache::StartNext()
{
    while (m_running < Workers && !m_pending.isEmpty()) {
        const QString path = m_pending.takeLast();
        ++m_running;
        const QSize size = m_size;
        const QString folder = m_diskFolder;
        QtConcurrent::run(m_pool, [path, size, folder] {
            return std::pair<QImage, QString>(Make(path, size, folder), DiskName(path));
        }).then(this, [this, path](const std::pair<QImage, QString> &made) {
            --m_running;
            m_queued.remove(path);
            auto *entry = new Entry{made.first.isNull() ? m_fallback : made.first, made.second};
            const int cost = made.first.isNull() ? 1 : std::max<int>(1, int(made.first.sizeInBytes() / 1024));
            m_memory.insert(path, entry, cost);
            emit Ready(path);
            StartNext();
        });
    }
}
