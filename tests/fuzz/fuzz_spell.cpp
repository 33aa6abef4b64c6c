// Text through the pinyin initials and the GBK helpers: the input's bytes as
// GBK, and the text they make read as UTF-8, as GBK and as raw UTF-16 (the
// last with unpaired surrogates).
#include "tests/fuzz/FuzzTargets.h"

#include "pinyin/GbkText.h"
#include "pinyin/Spell.h"

#include <QStringDecoder>

#include <algorithm>

namespace {

void CheckSpellBytes(const QByteArray &gbk)
{
    const QByteArray normal = NormalizeSpellText(gbk);
    FUZZ_CHECK(NormalizeSpellText(normal) == normal, QStringLiteral("normalizing twice changes the text"));
    FUZZ_CHECK(normal.size() <= gbk.size(), QStringLiteral("normalizing made the text longer"));

    const QByteArray spell = GetSpell(gbk);
    FUZZ_CHECK(spell.size() <= normal.size(), QStringLiteral("more initials than characters"));
    for (const char c : spell)
        FUZZ_CHECK(uchar(c) < 0x80 && c != ' ' && !(c >= 'a' && c <= 'z'),
                   QStringLiteral("initials hold %1").arg(int(uchar(c))));
}

// The longest leading part that fits, never half a surrogate pair.
void CheckTruncate(const QString &text, int maxBytes)
{
    const QString cut = GbkText::Truncate(text, maxBytes);
    FUZZ_CHECK(text.startsWith(cut), QStringLiteral("the cut is no leading part"));
    if (cut.size() == text.size()) {
        FUZZ_CHECK(GbkText::ByteWidth(text) <= maxBytes,
                   QStringLiteral("the whole text is %1 bytes, over %2").arg(GbkText::ByteWidth(text)).arg(maxBytes));
        return;
    }
    FUZZ_CHECK(GbkText::ByteWidth(cut) <= maxBytes,
               QStringLiteral("cut to %1 bytes, over %2").arg(GbkText::ByteWidth(cut)).arg(maxBytes));
    FUZZ_CHECK(!(cut.size() > 0 && cut.back().isHighSurrogate() && text.at(cut.size()).isLowSurrogate()),
               QStringLiteral("the cut splits a surrogate pair"));
    // One character more would not fit.
    const qsizetype next = cut.size() + ((text.at(cut.size()).isHighSurrogate() && cut.size() + 1 < text.size() &&
                                          text.at(cut.size() + 1).isLowSurrogate())
                                             ? 2
                                             : 1);
    FUZZ_CHECK(GbkText::ByteWidth(text.left(next)) > maxBytes,
               QStringLiteral("cut to %1 bytes of %2, though the next character fits")
                   .arg(GbkText::ByteWidth(cut))
                   .arg(maxBytes));
}

// Whole characters from inside the byte window only, as the bytes stand in
// the text.
void CheckMid(const QString &text, const QByteArray &gbk, int from, int length)
{
    const QString part = GbkText::Mid(text, from, length);
    const QByteArray bytes = GbkText::Encode(part);
    FUZZ_CHECK(bytes.size() <= qMax(length, 0),
               QStringLiteral("a window of %1 bytes gave %2").arg(length).arg(bytes.size()));
    if (bytes.isEmpty())
        return;
    FUZZ_CHECK(text.contains(part), QStringLiteral("the window is no part of the text"));
    const qsizetype at = gbk.indexOf(bytes, from);
    FUZZ_CHECK(at >= 0 && at + bytes.size() <= qint64(from) + length,
               QStringLiteral("the window [%1, +%2) gave bytes from elsewhere").arg(from).arg(length));
}

void CheckText(const QString &text, int extraWidth, qsizetype cutAt)
{
    const QByteArray gbk = GbkText::Encode(text);
    const int width = GbkText::ByteWidth(text);
    // The width is that of the bytes the text is written as, whatever was
    // measured before.
    FUZZ_CHECK(width == gbk.size(), QStringLiteral("width %1 of a text of %2 bytes").arg(width).arg(gbk.size()));
    FUZZ_CHECK(GbkText::ByteWidth(text) == width, QStringLiteral("the width changes when measured again"));

    for (const int maxBytes : {0, 1, 2, 3, width / 2, width - 1, width, extraWidth}) {
        if (maxBytes >= 0)
            CheckTruncate(text, maxBytes);
    }
    for (const int from : {0, 1, extraWidth % (width + 1)})
        for (const int length : {1, 2, 3, width - from, extraWidth})
            CheckMid(text, gbk, from, length);

    CheckSpellBytes(gbk);
    const QString normal = NormalizeSpellText(text);
    FUZZ_CHECK(NormalizeSpellText(normal) == normal, QStringLiteral("normalizing twice changes the text"));
    // Each character counts by itself: the rules read a text cut in two, at
    // a character's edge, as the two parts one after the other.
    if (!text.isEmpty()) {
        qsizetype cut = cutAt % (text.size() + 1);
        if (cut > 0 && cut < text.size() && text.at(cut - 1).isHighSurrogate() && text.at(cut).isLowSurrogate())
            ++cut;
        const QString head = text.left(cut);
        const QString tail = text.mid(cut);
        FUZZ_CHECK(GetSpell(text) == GetSpell(head) + GetSpell(tail),
                   QStringLiteral("initials of a text are not those of its parts, cut at %1").arg(cut));
        FUZZ_CHECK(normal == NormalizeSpellText(head) + NormalizeSpellText(tail),
                   QStringLiteral("normal form of a text is not that of its parts, cut at %1").arg(cut));
    }
}

} // namespace

void FuzzSpell(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const int extraWidth = size ? data[0] : 0;
    const qsizetype cutAt = size > 1 ? data[1] : 0;
    CheckSpellBytes(bytes);
    CheckText(QString::fromUtf8(bytes), extraWidth, cutAt);
    QStringDecoder gbk("GBK");
    CheckText(gbk(bytes), extraWidth, cutAt);
    CheckText(FuzzText::Utf16(data, size), extraWidth, cutAt);
}
