#pragma once

#include <QString>

class QFile;

// The cover pictures of the picture folder, as every window and the catalog
// code read them: a stored name means a regular file directly inside the
// folder, nothing else (the name rule is FileNames::IsPlainFileName).
// Whether a file holds a picture is told in toolkit/PictureFiles.h, which
// decodes images.
namespace PictureFiles {

// The file of that name in the picture folder, if it is a readable regular
// file that really lies there (a link inside the folder may lead anywhere:
// the real file must lie directly in the real folder); empty otherwise.
QString StoredPictureFile(const QString &pictureFolder, const QString &name);

// Opens a file for reading only when it is a regular file: a FIFO, a device
// or a folder is refused without waiting on it. On failure the reason, in
// Chinese, is in error when given.
bool OpenRegularFile(QFile &file, const QString &path, QString *error = nullptr);

} // namespace PictureFiles
