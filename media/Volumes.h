#pragma once

#include <QList>
#include <QString>

// The volumes a disc can be read from: optical drives first, then removable
// media, then mounted disc images.
namespace Volumes {

enum class TKind { Optical = 0, Removable = 1, Image = 2, Other = 3 };

struct TVolume
{
    QString Root;   // where it is mounted
    QString Device; // "/dev/sr0"
    QString FsType;
    QString Label; // the volume's name, or the folder's name when it has none
    qint64 Size = 0;
    qint64 Used = 0;
    bool ReadOnly = false;
    bool RemovableDevice = false; // the block device says it is removable
    TKind Kind = TKind::Other;
};

// The kind a volume is, from its device, file system and removable flag.
TKind KindOf(const TVolume &volume);

// The volumes worth offering, in that order (by root within a kind); others
// (the system's own disks, virtual file systems) are left out.
QList<TVolume> Offered(QList<TVolume> volumes);

// The mounted volumes of this computer, offered.
QList<TVolume> Mounted();

// Any folder the user picks, as a volume: its file system's sizes and its
// own name as the label.
TVolume OfFolder(const QString &folder);

} // namespace Volumes
