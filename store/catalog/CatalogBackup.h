#pragma once

#include <QString>

// Copies of whole catalog files: backing up the open catalog and restoring a
// copy into the catalog folder. A file under the destination's name is
// always complete, old or new: the copy is written beside it under a
// temporary name and renamed into place. Failures raise EFileError with a
// message naming the file and the reason.
namespace CatalogBackup {

// Why the file cannot serve as a catalog of this program, as a Chinese
// sentence that does not name the file; empty when it can: it opens with the
// password, passes the engine's integrity check, keeps a version this
// program reads and has every table and column of that version. The
// engine's own words go to details when given.
QString CatalogFileProblem(const QString &path, const QString &password, QString *details = nullptr);

// CatalogFileProblem as EFileError naming the file.
void CheckCatalogFile(const QString &path, const QString &password);

// Writes a complete, consistent copy of the catalog at source to
// destination, replacing a file there. The copy opens with the same
// password. The catalog may stay open meanwhile: the copy is taken through
// the engine, as of one moment. The destination may not be the source.
void BackupCatalog(const QString &source, const QString &password, const QString &destination);

// Checks the source completely (CheckCatalogFile), then copies it byte for
// byte to destination. A file there is first kept as its safety copy
// (SafetyCopyPath), which replaces an older one. Nothing is replaced when
// the source is refused, the destination is the template of new catalogs,
// or the safety copy or the copy fails. The destination must not be open in
// this program. Returns the safety copy's path, empty when no file was
// replaced; nothing is copied when both name the same file.
QString RestoreCatalog(const QString &source, const QString &destination, const QString &password);

// Where a restore keeps the catalog file it replaces: "name.MDB.bak" beside
// it, a name the catalog list does not show.
QString SafetyCopyPath(const QString &catalog);

// Whether the two paths name the same file (both existing), or the same
// path when one does not exist.
bool SameFile(const QString &a, const QString &b);

} // namespace CatalogBackup
