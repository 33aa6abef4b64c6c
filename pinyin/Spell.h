#pragma once

#include <QByteArray>
#include <QString>

// Pinyin initials of a disc name: each Chinese character gives the upper-case
// first letter of its reading, ASCII characters other than the space are kept
// (letters upper-cased). 藏金阁 gives CJG, so the user finds it by typing cjg.
//
// The rules work on GBK bytes, where a byte of 0x80 or above always starts a
// pair. The QString overloads encode to GBK first, and read a character that
// GBK writes as one such byte (the euro sign) alone, as a lone lead byte,
// so that it never takes a byte of the character after it. The byte
// overloads are for callers that already hold GBK text, including text that
// ends in a lone lead byte (it is paired with a zero byte).

// Drops spaces and ideographic spaces, folds full-width ASCII to ASCII and
// lower-cases ASCII letters. The quick-pick box applies the same rule to what
// the user types.
QByteArray NormalizeSpellText(const QByteArray &gbk);
QString NormalizeSpellText(const QString &text);

// The pinyin initials of a text, plain ASCII.
QByteArray GetSpell(const QByteArray &gbk);
QString GetSpell(const QString &text);

// Whether a pinyin input method that can convert characters back to their
// readings is installed. There is none on this platform, so the answer is
// always no and TableInitial serves every character.
bool FindPinyinIme();

// The initial the pinyin input method gives a double-byte character: at most
// one byte, empty when it has no reading for it.
QByteArray ImeInitial(uchar lead, uchar trail);

// The initial of a double-byte character from the pinyin order of the GB2312
// first-level characters; everything outside them gives 'Z'.
char TableInitial(uchar lead, uchar trail);
