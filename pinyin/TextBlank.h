#pragma once

#include <QList>
#include <QString>
#include <QStringView>

// One meaning of "blank" for every name and code the program checks and for
// the catalog's unique index on codes: a text is blank when it holds nothing
// but the space characters below, the ideographic (full-width) space among
// them.
namespace TextBlank {

// The space characters, as Unicode code points, in ascending order: what
// QChar::isSpace() calls a space.
const QList<char16_t> &Codepoints();

bool IsSpace(QChar c);

// True when the text is empty or holds only space characters.
bool IsBlank(QStringView text);

// The text without the space characters at either end.
QString Trimmed(QStringView text);

// True when the text shows nothing: it holds only space characters, control
// characters, and zero-width or other invisible format characters (U+200B,
// U+200D, U+FEFF, the Hangul fillers, ...). A disc's name must show
// something; codes keep the plainer rule above, which their index follows.
bool ShowsNothing(QStringView text);

} // namespace TextBlank
