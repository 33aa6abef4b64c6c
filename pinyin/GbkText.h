#pragma once

#include <QByteArray>
#include <QString>

// Text is QString inside the program; widths and pinyin are measured on its
// GBK encoding, where an ASCII character takes one byte and a Chinese
// character two.
namespace GbkText {

// The GBK bytes of a text. Characters GBK cannot express become '?', except
// invisible ones (a zero-width space, a soft hyphen, a variation selector),
// which are left out.
QByteArray Encode(const QString &text);
QString Decode(const QByteArray &gbk);

// How many GBK bytes the text takes.
int ByteWidth(const QString &text);

// The longest leading part of the text that fits into maxBytes GBK bytes,
// never splitting a character.
QString Truncate(const QString &text, int maxBytes);

// The characters whose bytes lie wholly within bytes [fromByte, fromByte +
// lengthBytes) of the text's GBK encoding: a character cut by either edge of
// the window is left out, never split.
QString Mid(const QString &text, int fromByte, int lengthBytes);

} // namespace GbkText
