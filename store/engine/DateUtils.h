#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

#include <optional>

// Dates are stored as day counts since 1899-12-30, the time of day as the
// fraction, and every date the program shows or writes into a statement is
// formatted yyyy-MM-dd here, whatever the system locale says.
namespace DateUtils {

inline constexpr const char *DateFormat = "yyyy-MM-dd";

double ToDays(const QDate &date);
double ToDays(const QDateTime &dateTime);
QDate ToDate(double days);
QDateTime ToDateTime(double days);

// "yyyy-MM-dd" of a day count, or of a date.
QString FormatDate(double days);
QString FormatDate(const QDate &date);
// The same for a date that may be missing: empty when there is none.
QString FormatDate(const std::optional<double> &days);
// The calendar date of a day count that may be missing.
std::optional<QDate> ToOptionalDate(const std::optional<double> &days);
std::optional<double> ToOptionalDays(const std::optional<QDate> &date);

// Parses "yyyy-MM-dd"; an invalid QDate when the text is not such a date.
QDate ParseDate(const QString &text);

// Today, with no time of day.
double Today();

} // namespace DateUtils
