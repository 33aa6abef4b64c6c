#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>

// The complete backup: one zip archive holding a consistent copy of the
// catalog, every cover picture its discs name and a manifest. Failures raise
// EFileError with a message naming the file and the reason.
namespace FullBackup {

// The file of a stored picture name in the picture folder, or empty when
// there is no such readable picture.
using PictureResolver = std::function<QString(const QString &name)>;

struct TBackupReport
{
    int Discs = 0;
    int Pictures = 0;
    QStringList MissingPictures; // named by discs, not found when backing up
};

// Writes the archive: the catalog copied through the engine as of one
// moment, the pictures, the manifest. Written under a temporary name beside
// the archive and renamed into place; a failure leaves no half archive.
TBackupReport WriteArchive(const QString &catalogPath, const QString &password, const PictureResolver &pictures,
                           const QString &archivePath);

// How much unpacking an archive may take.
struct TUnpackLimits
{
    // The largest cover picture unpacked.
    qint64 MostPictureBytes = qint64(1) << 30;
    // The room the unpacked files may take; negative for what the temporary
    // folder's disk has free.
    qint64 FreeBytes = -1;
};

// What an archive holds, checked as a whole and unpacked into a temporary
// folder that lives as long as this object.
class TArchive
{
public:
    // Checks the archive: our manifest, a sound catalog opening with the
    // password (CatalogBackup::CheckCatalogFile), every picture the manifest
    // lists. Each entry must be of the size the archive's directory and the
    // manifest give, within the limits, and all of them must fit the room
    // there is before anything is unpacked; entries are written to disk as
    // they are read, never more bytes than that size. A manifest naming the
    // catalog as the template of new catalogs (CatalogFiles::IsTemplate) and
    // a catalog entry that unpacks to many times its packed size are
    // refused. EFileError otherwise; nothing is changed outside the
    // temporary folder.
    TArchive(const QString &archivePath, const QString &password, const TUnpackLimits &limits = {});
    ~TArchive();
    TArchive(const TArchive &) = delete;
    TArchive &operator=(const TArchive &) = delete;

    QString CatalogName() const { return m_catalogName; } // the file name of the catalog, e.g. 电影.MDB
    int Discs() const { return m_discs; }
    int Pictures() const { return int(m_pictures.size()); }

    struct TRestoreReport
    {
        int Pictures = 0;                // copied or already there
        QHash<QString, QString> Renamed; // clashing name -> the free name it got
        QString SafetyCopy;              // the catalog file replaced, kept; empty for none
    };

    // Copies the pictures into the picture folder, never over a different
    // file of the same name (such a picture gets a free name by the rule of
    // PictureNames and the restored catalog's discs are changed to it), then
    // puts the catalog in place at destination, keeping the file it replaces
    // as CatalogBackup::RestoreCatalog does. On failure the pictures copied
    // are removed and the destination is as it was. The destination must
    // not be open.
    TRestoreReport Restore(const QString &destination, const QString &pictureFolder);

private:
    QString m_tempFolder;
    QString m_password;
    QString m_catalogName;
    int m_discs = 0;
    QStringList m_pictures;
};

} // namespace FullBackup
