#pragma once

#include <QString>

// Copies of whole catalog files: backing up the open catalog and restoring a
// copy into the catalog folder. A file under the destination's name is
// always complete, old or new: the copy is written beside it under a
// temporary name and renamed into place. Failures raise EFileError with a
// message naming the file and the reason.
namespace CatalogBackup {

// Proves that the file is a catalog this program opens with the password:
// it opens, and it holds the catalog's tables. EFileError otherwise.
void CheckCatalogFile(const QString &path, const QString &password);

// Writes a complete, consistent copy of the catalog at source to
// destination, replacing a file there. The copy opens with the same
// password. The catalog may stay open meanwhile: the copy is taken through
// the engine, as of one moment. The destination may not be the source.
void BackupCatalog(const QString &source, const QString &password, const QString &destination);

// Checks that source is a catalog opening with the password, then copies it
// byte for byte to destination, replacing a file there. Nothing is replaced
// when the source is refused or the copy fails. The destination must not be
// open in this program. Nothing is copied when both name the same file.
void RestoreCatalog(const QString &source, const QString &destination, const QString &password);

// Whether the two paths name the same file (both existing), or the same
// path when one does not exist.
bool SameFile(const QString &a, const QString &b);

} // namespace CatalogBackup
