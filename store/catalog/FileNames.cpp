#include "store/catalog/FileNames.h"

namespace FileNames {

bool IsPlainFileName(const QString &name)
{
    if (name.isEmpty())
        return false;
    bool onlyDots = true;
    for (const QChar c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':') || c.unicode() < 0x20)
            return false;
        if (c != QLatin1Char('.'))
            onlyDots = false;
    }
    return !onlyDots;
}

} // namespace FileNames
