#pragma once

#include <QString>

class QFile;

// The cover pictures of the picture folder, as every window reads them: a
// stored name means a regular file directly inside the folder, nothing else.
namespace PictureFiles {

// A name that can only mean a file directly inside the picture folder: no
// folder separator of either platform, no drive, no control character, not
// made of dots only.
bool IsPlainFileName(const QString &name);

// The file of that name in the picture folder, if it is a readable regular
// file that really lies there (a link inside the folder may lead anywhere:
// the real file must lie directly in the real folder); empty otherwise.
QString StoredPictureFile(const QString &pictureFolder, const QString &name);

// Opens a file for reading only when it is a regular file: a FIFO, a device
// or a folder is refused without waiting on it. On failure the reason, in
// Chinese, is in error when given.
bool OpenRegularFile(QFile &file, const QString &path, QString *error = nullptr);

// Whether the file is a regular file holding a picture the program can read,
// told by its content, not its name. Safe on any thread.
bool IsReadablePicture(const QString &path);

} // namespace PictureFiles
