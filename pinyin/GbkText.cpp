#include "GbkText.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace GbkText {

namespace {

// GBK takes one byte for ASCII, two for every character it knows, and we
// count a character it cannot express as the '?' it is written as.
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
    const qsizetype len = (c.isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
    static thread_local QStringEncoder encoder("GBK");
    const QByteArray bytes = encoder(QStringView(text).mid(i, len));
    i += len;
    return bytes.isEmpty() ? 1 : int(bytes.size());
}

} // namespace

QByteArray Encode(const QString &text)
{
    QStringEncoder encoder("GBK");
    return encoder(text);
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

} // namespace GbkText
