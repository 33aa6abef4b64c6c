#include "store/catalog/PictureNames.h"

#include <QFileInfo>

namespace PictureNames {

QString CopyName(const QString &name, int number)
{
    if (number == 0)
        return name;
    const QFileInfo info(name);
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    return QStringLiteral("%1_%2%3").arg(info.completeBaseName(), QString::number(number), suffix);
}

} // namespace PictureNames
