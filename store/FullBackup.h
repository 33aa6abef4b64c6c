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

// What an archive holds, checked as a whole and unpacked into a temporary
// folder that lives as long as this object.
class TArchive
{
public:
    // Checks the archive: our manifest, a catalog opening with the password,
    // every picture the manifest lists. EFileError otherwise; nothing is
    // changed outside the temporary folder.
    TArchive(const QString &archivePath, const QString &password);
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
    };

    // Copies the pictures into the picture folder, never over a different
    // file of the same name (such a picture gets a free name and the
    // restored catalog's discs are changed to it), then puts the catalog in
    // place at destination. On failure the pictures copied are removed and
    // the destination is as it was. The destination must not be open.
    TRestoreReport Restore(const QString &destination, const QString &pictureFolder);

private:
    QString m_tempFolder;
    QString m_password;
    QString m_catalogName;
    int m_discs = 0;
    QStringList m_pictures;
};

} // namespace FullBackup
