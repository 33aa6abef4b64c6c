#include "dialogs/PriceText.h"

#include "pinyin/TextBlank.h"
#include "store/engine/DAOTypes.h"

#include <QLocale>

#include <cmath>

namespace PriceText {

namespace {

// Whether the amount, in ten-thousandths and rounded as the catalog rounds
// it, fits into the 64-bit currency column.
bool FitsCurrency(double value)
{
    if (!std::isfinite(value))
        return false;
    // 2^63, exact as a double: the first amount the column cannot hold.
    constexpr double Limit = 9223372036854775808.0;
    const double scaled = std::nearbyint(value * double(Currency::Scale));
    return scaled > -Limit && scaled < Limit;
}

} // namespace

std::optional<double> Parse(const QString &text)
{
    const QString trimmed = TextBlank::Trimmed(text);
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    double value = c.toDouble(trimmed, &ok);
    if (!ok) {
        QLocale system;
        system.setNumberOptions(QLocale::RejectGroupSeparator);
        value = system.toDouble(trimmed, &ok);
    }
    if (!ok || !FitsCurrency(value))
        return std::nullopt;
    return value;
}

} // namespace PriceText
