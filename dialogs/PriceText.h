#pragma once

#include <QString>

#include <optional>

// A price as the user types it, read the same way by the disc editor and
// the find dialog.
namespace PriceText {

// The number a typed price stands for: written with a point or with the
// system's decimal separator, blanks around it ignored, no group
// separators. Nothing when the text is no number, or no finite number that
// the catalog's price column can hold (it keeps ten-thousandths in 64 bits).
std::optional<double> Parse(const QString &text);

} // namespace PriceText
