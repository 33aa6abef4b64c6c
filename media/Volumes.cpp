#include "media/Volumes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <algorithm>

namespace Volumes {

namespace {

// The removable flag of the block device holding a partition, "/dev/sdb1".
bool DeviceIsRemovable(const QString &device)
{
    if (!device.startsWith(QLatin1String("/dev/")))
        return false;
    QString name = device.mid(5);
    // A partition's flag is its disk's: sdb1 → sdb, mmcblk0p1 → mmcblk0.
    for (int tries = 0; tries < 2; ++tries) {
        QFile flag(QStringLiteral("/sys/class/block/%1/removable").arg(name));
        if (flag.open(QIODevice::ReadOnly))
            return flag.readAll().trimmed() == "1";
        const QString disk = QFileInfo(QStringLiteral("/sys/class/block/%1/..").arg(name)).canonicalFilePath();
        if (disk.isEmpty())
            return false;
        name = QFileInfo(disk).fileName();
    }
    return false;
}

TVolume FromStorage(const QStorageInfo &storage)
{
    TVolume volume;
    volume.Root = storage.rootPath();
    volume.Device = QString::fromLocal8Bit(storage.device());
    volume.FsType = QString::fromLocal8Bit(storage.fileSystemType());
    volume.Label = storage.name().isEmpty() ? QFileInfo(volume.Root).fileName() : storage.name();
    volume.Size = storage.bytesTotal();
    volume.Used = storage.bytesTotal() - storage.bytesFree();
    volume.ReadOnly = storage.isReadOnly();
    return volume;
}

} // namespace

TKind KindOf(const TVolume &volume)
{
    if (volume.Device.startsWith(QLatin1String("/dev/sr")) || volume.Device.startsWith(QLatin1String("/dev/cdrom")))
        return TKind::Optical;
    if (volume.Device.startsWith(QLatin1String("/dev/loop")))
        return TKind::Image;
    if (volume.RemovableDevice)
        return TKind::Removable;
    // A disc file system on some other device is still a disc.
    if (volume.FsType == QLatin1String("iso9660") || volume.FsType == QLatin1String("udf"))
        return TKind::Optical;
    return TKind::Other;
}

QList<TVolume> Offered(QList<TVolume> volumes)
{
    for (TVolume &volume : volumes)
        volume.Kind = KindOf(volume);
    volumes.removeIf([](const TVolume &volume) { return volume.Kind == TKind::Other; });
    std::stable_sort(volumes.begin(), volumes.end(), [](const TVolume &a, const TVolume &b) {
        if (a.Kind != b.Kind)
            return a.Kind < b.Kind;
        return a.Root < b.Root;
    });
    return volumes;
}

QList<TVolume> Mounted()
{
    QList<TVolume> volumes;
    for (const QStorageInfo &storage : QStorageInfo::mountedVolumes()) {
        if (!storage.isValid() || !storage.isReady())
            continue;
        TVolume volume = FromStorage(storage);
        volume.RemovableDevice = DeviceIsRemovable(volume.Device);
        volumes << volume;
    }
    return Offered(volumes);
}

TVolume OfFolder(const QString &folder)
{
    TVolume volume = FromStorage(QStorageInfo(folder));
    volume.Root = QDir(folder).absolutePath();
    volume.Label = QFileInfo(volume.Root).fileName();
    volume.Kind = TKind::Other;
    return volume;
}

} // namespace Volumes
