#include "TextBlank.h"

namespace TextBlank {

const QList<char16_t> &Codepoints()
{
    static const QList<char16_t> codepoints = [] {
        QList<char16_t> found;
        for (char32_t c = 0; c <= 0xFFFF; ++c) {
            if (QChar(char16_t(c)).isSpace())
                found.append(char16_t(c));
        }
        return found;
    }();
    return codepoints;
}

bool IsSpace(QChar c)
{
    return c.isSpace();
}

bool IsBlank(QStringView text)
{
    for (const QChar c : text) {
        if (!IsSpace(c))
            return false;
    }
    return true;
}

QString Trimmed(QStringView text)
{
    return text.trimmed().toString();
}

} // namespace TextBlank
