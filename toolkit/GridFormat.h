#pragma once

#include <QString>
#include <QVariant>

// How grids write values: display patterns for numbers and dates, and
// fixed-point totals.
namespace GridFormat {

// The text of a value in a column's display format. Numbers take a pattern
// of up to three sections "positive;negative;zero" made of 0 (a digit that
// is always written), # (a digit written only when needed), '.', ',' (group
// thousands) and literal text, e.g. "0.00;-0.00". Dates and date-times take
// a date pattern such as "yyyy-MM-dd". A null value gives an empty text;
// other values, or an empty format, give the value as text.
QString Text(const QVariant &value, const QString &format);

// A number with the given count of decimals, rounded half away from zero.
QString Fixed(double value, int decimals);
// The same for a count of ten-thousandths (a currency amount).
QString FixedScaled(qint64 tenThousandths, int decimals);

} // namespace GridFormat
