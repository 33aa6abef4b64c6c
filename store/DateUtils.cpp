#include "DateUtils.h"

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
    const double whole = std::floor(days);
    const qint64 ms = qint64(std::llround((days - whole) * MsPerDay));
    return QDateTime(Epoch.addDays(qint64(whole)), QTime(0, 0)).addMSecs(ms);
}

QString FormatDate(double days)
{
    return FormatDate(ToDate(days));
}

QString FormatDate(const QDate &date)
{
    return date.toString(QLatin1String(DateFormat));
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
