#include "pinyin/GbkText.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace GbkText {

namespace {

// A high surrogate with a low one after it is one character; any other
// surrogate stands alone, and GBK writes it as '?'.
qsizetype CharLength(const QString &text, qsizetype i)
{
    return (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) ? 2 : 1;
}

// GBK takes one byte for ASCII, two for every character it knows, and we
// count a character it cannot express as the '?' it is written as, an
// invisible one that is left out as nothing.
int CharWidth(const QString &text, qsizetype &i)
{
    const QChar c = text.at(i);
    if (c.unicode() < 0x80) {
        ++i;
        return 1;
    }
    if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FA5) {
        ++i; // the unified ideographs, all of them in GBK
        return 2;
    }
    const qsizetype len = CharLength(text, i);
    // Stateless: an encoder that kept a lone high surrogate back for its pair
    // would add it to the next character measured, in this text or another.
    static thread_local QStringEncoder encoder("GBK", QStringConverter::Flag::Stateless);
    const QByteArray bytes = encoder(QStringView(text).mid(i, len));
    i += len;
    // Alone, a high surrogate gives nothing here; Encode writes it as '?'.
    if (len == 1 && c.isHighSurrogate())
        return 1;
    return int(bytes.size()); // nothing at all for an invisible character
}

} // namespace

QByteArray Encode(const QString &text)
{
    // One encoder per thread, started afresh for every text: making one
    // costs more than encoding a name.
    static thread_local QStringEncoder encoder("GBK");
    encoder.resetState();
    QByteArray bytes = encoder(text);
    encoder.resetState();
    // The encoder keeps a high surrogate at the very end back for a low one
    // that never comes: it is a character GBK cannot express.
    if (!text.isEmpty() && text.back().isHighSurrogate())
        bytes += '?';
    return bytes;
}

QString Decode(const QByteArray &gbk)
{
    QStringDecoder decoder("GBK");
    return decoder(gbk);
}

int ByteWidth(const QString &text)
{
    int width = 0;
    qsizetype i = 0;
    while (i < text.size())
        width += CharWidth(text, i);
    return width;
}

QString Truncate(const QString &text, int maxBytes)
{
    if (text.size() * 2 <= maxBytes)
        return text; // nothing can be wider than two bytes a UTF-16 unit
    int width = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        qsizetype next = i;
        const int w = CharWidth(text, next);
        if (width + w > maxBytes)
            return text.left(i);
        width += w;
        i = next;
    }
    return text;
}

QString Mid(const QString &text, int fromByte, int lengthBytes)
{
    const qint64 end = qint64(fromByte) + qMax(lengthBytes, 0);
    qint64 width = 0;
    qsizetype i = 0, first = -1, last = 0;
    while (i < text.size() && width < end) {
        qsizetype next = i;
        const int w = CharWidth(text, next);
        if (width >= fromByte && width + w <= end) {
            if (first < 0)
                first = i;
            last = next;
        }
        width += w;
        i = next;
    }
    return first < 0 ? QString() : text.mid(first, last - first);
}

} // namespace GbkText
