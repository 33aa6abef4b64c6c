#include "store/catalog/ContentsText.h"

#include <QDateTime>

namespace ContentsText {

QString SizeText(qint64 bytes)
{
    if (bytes < 1024)
        return QStringLiteral("%1 字节").arg(bytes);
    // Units of 1024 with one decimal, as file managers show them.
    static const char *const units[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
    double value = double(bytes) / 1024.0;
    int unit = 0;
    while (value >= 1024.0 && unit < 5) {
        value /= 1024.0;
        ++unit;
    }
    return QString::number(value, 'f', 1) + QLatin1Char(' ') + QLatin1String(units[unit]);
}

QString DayText(qint64 mtime)
{
    return QDateTime::fromSecsSinceEpoch(mtime).toString(QStringLiteral("yyyy-MM-dd"));
}

} // namespace ContentsText
