#pragma once

#include "store/catalog/PictureFiles.h"

#include <QString>

// What the picture folder's rules (store/catalog/PictureFiles.h) leave to a
// library that decodes images.
namespace PictureFiles {

// Whether the file is a regular file holding a picture the program can read,
// told by its content, not its name. Safe on any thread.
bool IsReadablePicture(const QString &path);

} // namespace PictureFiles
