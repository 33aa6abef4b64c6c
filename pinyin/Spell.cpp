#include "pinyin/Spell.h"

#include "pinyin/GbkText.h"

#include <QStringEncoder>
#include <QStringList>

#include <algorithm>
#include <array>

namespace {

// GB2312 orders its first-level characters by reading, so each initial owns
// one run of codes. There are no readings starting with I, U or V.
struct InitialRange
{
    char letter;
    quint16 first;
    quint16 last;
};

// clang-format off
constexpr std::array<InitialRange, 23> InitialRanges{{
    {'A', 0xB0A1, 0xB0C4}, {'B', 0xB0C5, 0xB2C0}, {'C', 0xB2C1, 0xB4ED},
    {'D', 0xB4EE, 0xB6E9}, {'E', 0xB6EA, 0xB7A1}, {'F', 0xB7A2, 0xB8C0},
    {'G', 0xB8C1, 0xB9FD}, {'H', 0xB9FE, 0xBBF6}, {'J', 0xBBF7, 0xBFA5},
    {'K', 0xBFA6, 0xC0AB}, {'L', 0xC0AC, 0xC2E7}, {'M', 0xC2E8, 0xC4C2},
    {'N', 0xC4C3, 0xC5B5}, {'O', 0xC5B6, 0xC5BD}, {'P', 0xC5BE, 0xC6D9},
    {'Q', 0xC6DA, 0xC8BA}, {'R', 0xC8BB, 0xC8F5}, {'S', 0xC8F6, 0xCBF9},
    {'T', 0xCBFA, 0xCDD9}, {'W', 0xCDDA, 0xCEF3}, {'X', 0xCEF4, 0xD1B8},
    {'Y', 0xD1B9, 0xD4D0}, {'Z', 0xD4D1, 0xD7F9},
}};
// clang-format on

// The lookup below relies on the runs following each other without a gap.
constexpr bool RangesAreContiguous()
{
    for (std::size_t i = 1; i < InitialRanges.size(); ++i) {
        if (InitialRanges[i].first != InitialRanges[i - 1].last + 1)
            return false;
    }
    return true;
}
static_assert(RangesAreContiguous());

constexpr uchar FullWidthLead = 0xA3; // full-width forms of ASCII 0x21..0x7D
constexpr uchar SymbolLead = 0xA1;    // GB2312 punctuation row
constexpr uchar IdeographicSpaceTrail = 0xA1;

bool IsLeadByte(uchar b)
{
    return b >= 0x80;
}

char ToLowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c;
}

char ToUpperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? char(c - ('a' - 'A')) : c;
}

} // namespace

// Only single-byte characters are lower-cased: the second byte of a GBK
// character may lie in the ASCII letter range, and changing it would turn the
// character into a different one.
QByteArray NormalizeSpellText(const QByteArray &gbk)
{
    QByteArray result;
    result.reserve(gbk.size());
    const qsizetype size = gbk.size();
    qsizetype i = 0;
    while (i < size) {
        const uchar b = uchar(gbk.at(i));
        if (!IsLeadByte(b)) {
            if (b != ' ')
                result.append(ToLowerAscii(char(b)));
            ++i;
            continue;
        }
        if (i + 1 >= size) {
            result.append(char(b)); // a lone lead byte at the end stays as it is
            break;
        }
        const uchar t = uchar(gbk.at(i + 1));
        if (b == FullWidthLead && t >= 0xA1 && t <= 0xFD)
            result.append(ToLowerAscii(char(t - 0x80)));
        else if (!(b == SymbolLead && t == IdeographicSpaceTrail))
            result.append(char(b)).append(char(t));
        i += 2;
    }
    return result;
}

namespace {

// Whether GBK writes the character as one byte of 0x80 or above (the euro
// sign, at 0x80).
bool IsSingleHighByte(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80 || (u >= 0x4E00 && u <= 0x9FA5) || c.isSurrogate())
        return false;
    static thread_local QStringEncoder encoder("GBK", QStringConverter::Flag::Stateless);
    const QByteArray bytes = encoder(QStringView(&c, 1));
    return bytes.size() == 1 && IsLeadByte(uchar(bytes.at(0)));
}

// The byte rules take every byte of 0x80 or above as the first of two. A
// character that GBK writes as one such byte would take the first byte of
// the character after it and throw the rest of the text out of step, so the
// QString overloads read it alone: the text as runs, each such character a
// run of its own.
QStringList SpellRuns(const QString &text)
{
    QStringList runs;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!IsSingleHighByte(text.at(i)))
            continue;
        if (i > start)
            runs << text.mid(start, i - start);
        runs << text.mid(i, 1);
        start = i + 1;
    }
    if (start < text.size() || runs.isEmpty())
        runs << text.mid(start);
    return runs;
}

} // namespace

QString NormalizeSpellText(const QString &text)
{
    QString result;
    for (const QString &run : SpellRuns(text))
        result += GbkText::Decode(NormalizeSpellText(GbkText::Encode(run)));
    return result;
}

QByteArray GetSpell(const QByteArray &gbk)
{
    const QByteArray text = NormalizeSpellText(gbk);
    // Decided once, so one text never mixes the two methods.
    const bool useIme = FindPinyinIme();

    QByteArray result;
    result.reserve(text.size());
    const qsizetype size = text.size();
    qsizetype i = 0;
    while (i < size) {
        const uchar b = uchar(text.at(i));
        if (!IsLeadByte(b)) {
            result.append(char(b));
            ++i;
            continue;
        }
        // A lead byte at the very end is read with a zero second byte.
        const uchar t = i + 1 < size ? uchar(text.at(i + 1)) : 0;
        if (useIme)
            result.append(ImeInitial(b, t));
        else
            result.append(TableInitial(b, t));
        i += 2;
    }
    for (char &c : result)
        c = ToUpperAscii(c);
    return result;
}

QString GetSpell(const QString &text)
{
    // Most names hold no such character: one run, read without splitting.
    if (std::none_of(text.cbegin(), text.cend(), IsSingleHighByte))
        return QString::fromLatin1(GetSpell(GbkText::Encode(text)));
    QByteArray result;
    for (const QString &run : SpellRuns(text))
        result += GetSpell(GbkText::Encode(run));
    return QString::fromLatin1(result);
}

bool FindPinyinIme()
{
    return false;
}

QByteArray ImeInitial(uchar lead, uchar trail)
{
    Q_UNUSED(lead);
    Q_UNUSED(trail);
    return {}; // only reached when FindPinyinIme says yes
}

char TableInitial(uchar lead, uchar trail)
{
    const quint16 code = quint16(lead << 8 | trail);
    if (code < InitialRanges.front().first || code > InitialRanges.back().last)
        return 'Z';
    const auto range = std::lower_bound(InitialRanges.begin(), InitialRanges.end(), code,
                                        [](const InitialRange &r, quint16 c) { return r.last < c; });
    return range->letter;
}
