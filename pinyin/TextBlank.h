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

} // namespace TextBlank
