#pragma once

#include <QString>
#include <QtGlobal>

#include <cmath>

// Column types as program code sees them.
enum class TFieldType {
    Integer,  // 32-bit signed (also the auto-numbered keys)
    SmallInt, // 16-bit signed
    Text,     // at most Size bytes of GBK
    Memo,     // text of any length
    Currency, // 64-bit count of ten-thousandths
    Float,
    DateTime, // days since 1899-12-30, time of day as the fraction
    Boolean,
};

// A column a window declares for its query before opening it; a text column
// without a stated size is 20 bytes wide.
struct TFieldDef
{
    QString Name;
    TFieldType Type = TFieldType::Text;
    int Size = 20;
};

// Currency: a 64-bit count of ten-thousandths.
using TCurrency = qint64;

namespace Currency {
inline constexpr qint64 Scale = 10000;
inline double ToDouble(TCurrency value)
{
    return double(value) / Scale;
}
// To the nearest ten-thousandth, ties to even.
inline TCurrency FromDouble(double value)
{
    return TCurrency(std::nearbyint(value * Scale));
}
} // namespace Currency

// A row of a query that the cursor can come back to.
using TBookmark = quint32;
