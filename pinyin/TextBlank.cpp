#include "pinyin/TextBlank.h"

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

bool ShowsNothing(QStringView text)
{
    for (const char32_t c : text.toUcs4()) {
        if (c <= 0xFFFF && IsSpace(QChar(char16_t(c))))
            continue;
        const QChar::Category category = QChar::category(c);
        if (category == QChar::Other_Control || category == QChar::Other_Format)
            continue;
        // Letters by their class, yet drawn as nothing.
        if (c == 0x115F || c == 0x1160 || c == 0x3164 || c == 0xFFA0)
            continue;
        return false;
    }
    return true;
}

} // namespace TextBlank
