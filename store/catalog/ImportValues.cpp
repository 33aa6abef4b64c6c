#include "store/catalog/ImportValues.h"

#include "store/engine/DAOTypes.h"

#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace ImportValues {

std::optional<QDate> ParseDate(const QString &text)
{
    static thread_local const QRegularExpression form(
        QStringLiteral("^\\s*(\\d{4})\\s*(?:(?:[-/.]|年)\\s*(\\d{1,2})\\s*(?:(?:[-/.]|月)\\s*(\\d{1,2})\\s*日?|月)?)?"
                       "\\s*(?:年)?(?:[T\\s]+\\d{1,2}:\\d{2}(?::\\d{2}(?:\\.\\d+)?)?)?\\s*$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const int year = m.capturedView(1).toInt();
    const int month = m.capturedView(2).isEmpty() ? 1 : m.capturedView(2).toInt();
    const int day = m.capturedView(3).isEmpty() ? 1 : m.capturedView(3).toInt();
    const QDate date(year, month, day);
    if (!date.isValid() || year < 100)
        return std::nullopt;
    return date;
}

std::optional<double> ParsePrice(const QString &text)
{
    QString t = text.trimmed();
    static const QString marks[] = {QStringLiteral("¥"), QStringLiteral("￥"), QStringLiteral("元"),
                                    QStringLiteral("RMB"), QStringLiteral("CNY")};
    for (const QString &mark : marks) {
        if (t.contains(mark, Qt::CaseInsensitive))
            t.remove(mark, Qt::CaseInsensitive);
    }
    // The pattern is only asked when a character could be a blank: plain
    // ASCII without spaces holds none.
    static thread_local const QRegularExpression blanks(QStringLiteral("\\s"));
    if (std::any_of(t.cbegin(), t.cend(), [](QChar c) { return c.unicode() >= 0x80 || c.isSpace(); }))
        t.remove(blanks);
    // Thousands separators only between groups of three digits.
    static thread_local const QRegularExpression grouped(QStringLiteral("^-?\\d{1,3}(,\\d{3})+(\\.\\d*)?$"));
    if (t.contains(QLatin1Char(',')) && grouped.match(t).hasMatch())
        t.remove(QLatin1Char(','));
    if (t.isEmpty())
        return std::nullopt;
    static thread_local const QLocale c = [] {
        QLocale locale = QLocale::c();
        locale.setNumberOptions(QLocale::RejectGroupSeparator);
        return locale;
    }();
    bool ok = false;
    const double value = c.toDouble(t, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    // 2^63 ten-thousandths, exact as a double: the first amount the column cannot hold.
    constexpr double Limit = 9223372036854775808.0;
    const double scaled = std::nearbyint(value * double(Currency::Scale));
    if (scaled <= -Limit || scaled >= Limit)
        return std::nullopt;
    return value;
}

} // namespace ImportValues
