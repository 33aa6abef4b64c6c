#include "tests/fuzz/FuzzTargets.h"

#include <cstring>

namespace FuzzText {

QString Utf16(const uint8_t *data, size_t size)
{
    QString text(qsizetype(size / 2), Qt::Uninitialized);
    if (size >= 2)
        std::memcpy(text.data(), data, (size / 2) * 2);
    return text;
}

bool IsWellFormed(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate()) {
            if (i + 1 >= text.size() || !text.at(i + 1).isLowSurrogate())
                return false;
            ++i;
        } else if (c.isLowSurrogate()) {
            return false;
        }
    }
    return true;
}

} // namespace FuzzText
