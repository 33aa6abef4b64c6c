#include "store/engine/DateUtils.h"

#include <cmath>

namespace DateUtils {

namespace {
const QDate Epoch(1899, 12, 30);
constexpr double MsPerDay = 86400000.0;
} // namespace

double ToDays(const QDate &date)
{
    return date.isValid() ? double(Epoch.daysTo(date)) : 0.0;
}

double ToDays(const QDateTime &dateTime)
{
    if (!dateTime.isValid())
        return 0.0;
    return ToDays(dateTime.date()) + dateTime.time().msecsSinceStartOfDay() / MsPerDay;
}

QDate ToDate(double days)
{
    return Epoch.addDays(qint64(std::floor(days)));
}

QDateTime ToDateTime(double days)
{
    // A stored date-time is a wall-clock value with no zone: kept in UTC,
    // no daylight-saving change can shift it.
    const double whole = std::floor(days);
    const qint64 ms = qint64(std::llround((days - whole) * MsPerDay));
    return QDateTime(Epoch.addDays(qint64(whole)), QTime(0, 0), Qt::UTC).addMSecs(ms);
}

QString FormatDate(double days)
{
    return FormatDate(ToDate(days));
}

QString FormatDate(const QDate &date)
{
    if (!date.isValid())
        return {};
    int y = 0, m = 0, d = 0;
    date.getDate(&y, &m, &d);
    if (y < 0 || y > 9999)
        return date.toString(QLatin1String(DateFormat));
    // Written by hand: lists format a date for every row they show.
    const char text[10] = {char('0' + y / 1000),
                           char('0' + y / 100 % 10),
                           char('0' + y / 10 % 10),
                           char('0' + y % 10),
                           '-',
                           char('0' + m / 10),
                           char('0' + m % 10),
                           '-',
                           char('0' + d / 10),
                           char('0' + d % 10)};
    return QString::fromLatin1(text, 10);
}

QString FormatDate(const std::optional<double> &days)
{
    return days ? FormatDate(*days) : QString();
}

std::optional<QDate> ToOptionalDate(const std::optional<double> &days)
{
    if (!days)
        return std::nullopt;
    return ToDate(*days);
}

std::optional<double> ToOptionalDays(const std::optional<QDate> &date)
{
    if (!date || !date->isValid())
        return std::nullopt;
    return ToDays(*date);
}

QDate ParseDate(const QString &text)
{
    return QDate::fromString(text.trimmed(), QLatin1String(DateFormat));
}

double Today()
{
    return ToDays(QDate::currentDate());
}

} // namespace DateUtils
