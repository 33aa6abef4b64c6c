#include "toolkit/PictureFiles.h"

#include <QFile>
#include <QImageReader>

namespace PictureFiles {

bool IsReadablePicture(const QString &path)
{
    QFile file;
    if (!OpenRegularFile(file, path))
        return false;
    QImageReader reader(&file);
    return reader.canRead();
}

} // namespace PictureFiles
