#include "toolkit/GridFormat.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QStringList>

#include <cmath>

namespace GridFormat {

namespace {

// One section of a number pattern: literal text around the digits.
struct NumberPattern
{
    QString prefix;
    QString suffix;
    int minInteger = 0;
    int minDecimals = 0;
    int maxDecimals = 0;
    bool thousands = false;
};

bool IsPlaceholder(QChar c)
{
    return c == u'0' || c == u'#' || c == u'.' || c == u',';
}

// Splits at ';' outside quotes.
QStringList Sections(const QString &format)
{
    QStringList sections{QString()};
    QChar quote;
    for (QChar c : format) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            sections.last() += c;
        } else if (c == u'\'' || c == u'"') {
            quote = c;
            sections.last() += c;
        } else if (c == u';') {
            sections << QString();
        } else {
            sections.last() += c;
        }
    }
    return sections;
}

NumberPattern Parse(const QString &section)
{
    NumberPattern pattern;
    bool inDigits = false;
    bool digitsDone = false;
    bool afterPoint = false;
    QChar quote;
    for (QChar c : section) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            else
                (inDigits || digitsDone ? pattern.suffix : pattern.prefix) += c;
            continue;
        }
        if (c == u'\'' || c == u'"') {
            if (inDigits) {
                inDigits = false;
                digitsDone = true;
            }
            quote = c;
            continue;
        }
        if (!digitsDone && IsPlaceholder(c)) {
            inDigits = true;
            if (c == u'.') {
                afterPoint = true;
            } else if (c == u',') {
                pattern.thousands = true;
            } else if (afterPoint) {
                ++pattern.maxDecimals;
                if (c == u'0')
                    pattern.minDecimals = pattern.maxDecimals;
            } else if (c == u'0') {
                ++pattern.minInteger;
            }
            continue;
        }
        if (inDigits) {
            inDigits = false;
            digitsDone = true;
        }
        (digitsDone ? pattern.suffix : pattern.prefix) += c;
    }
    return pattern;
}

// The digits of a non-negative amount given as an integer count of units of
// 10^-decimals.
QString Digits(const QString &scaled, int decimals, int minInteger, int minDecimals, bool thousands)
{
    QString all = scaled;
    if (all.size() < decimals + 1)
        all = QString(decimals + 1 - all.size(), u'0') + all;
    QString integer = all.left(all.size() - decimals);
    QString fraction = all.right(decimals);
    while (fraction.size() > minDecimals && fraction.endsWith(u'0'))
        fraction.chop(1);
    while (integer.size() > minInteger && integer.startsWith(u'0'))
        integer.remove(0, 1);
    if (integer.size() < minInteger)
        integer = QString(minInteger - integer.size(), u'0') + integer;
    if (thousands)
        for (qsizetype i = integer.size() - 3; i > 0; i -= 3)
            integer.insert(i, u',');
    return fraction.isEmpty() ? integer : integer + u'.' + fraction;
}

// |value| in units of 10^-decimals, rounded half away from zero, as digits.
QString ScaledDigits(double value, int decimals)
{
    const long double scaled = std::round(std::fabs(static_cast<long double>(value)) * std::pow(10.0L, decimals));
    if (scaled < 9.0e18L)
        return QString::number(static_cast<qint64>(scaled));
    // Beyond 64 bits the printed form is as good as any.
    return QString::number(std::fabs(value), 'f', decimals).remove(u'.');
}

bool IsZero(const QString &digits)
{
    for (QChar c : digits)
        if (c != u'0')
            return false;
    return true;
}

QString FormatNumber(double value, const QString &format)
{
    const QStringList sections = Sections(format);
    QString section = sections.at(0);
    bool writeSign = value < 0;
    if (value < 0 && sections.size() > 1 && !sections.at(1).isEmpty()) {
        section = sections.at(1);
        writeSign = false;
    }
    NumberPattern pattern = Parse(section);
    const QString scaled = ScaledDigits(value, pattern.maxDecimals);
    if (IsZero(scaled)) {
        if (sections.size() > 2 && !sections.at(2).isEmpty())
            pattern = Parse(sections.at(2));
        writeSign = false;
    }
    const QString digits = Digits(ScaledDigits(value, pattern.maxDecimals), pattern.maxDecimals, pattern.minInteger,
                                  pattern.minDecimals, pattern.thousands);
    return (writeSign ? QStringLiteral("-") : QString()) + pattern.prefix + digits + pattern.suffix;
}

} // namespace

QString Text(const QVariant &value, const QString &format)
{
    if (!value.isValid() || value.isNull())
        return {};
    if (format.isEmpty())
        return value.toString();
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return FormatNumber(value.toDouble(), format);
    case QMetaType::QDateTime:
        return QLocale::c().toString(value.toDateTime(), format);
    case QMetaType::QDate:
        return QLocale::c().toString(value.toDate(), format);
    default:
        return value.toString();
    }
}

QString Fixed(double value, int decimals)
{
    decimals = std::max(decimals, 0);
    const QString scaled = ScaledDigits(value, decimals);
    const QString digits = Digits(scaled, decimals, 1, decimals, false);
    return value < 0 && !IsZero(scaled) ? u'-' + digits : digits;
}

QString FixedScaled(qint64 tenThousandths, int decimals)
{
    decimals = std::max(decimals, 0);
    const bool negative = tenThousandths < 0;
    quint64 magnitude = negative ? quint64(0) - quint64(tenThousandths) : quint64(tenThousandths);
    QString scaled;
    if (decimals < 4) {
        quint64 divisor = 1;
        for (int i = decimals; i < 4; ++i)
            divisor *= 10;
        scaled = QString::number((magnitude + divisor / 2) / divisor);
    } else {
        scaled = QString::number(magnitude) + QString(decimals - 4, u'0');
    }
    const QString digits = Digits(scaled, decimals, 1, decimals, false);
    return negative && !IsZero(scaled) ? u'-' + digits : digits;
}

} // namespace GridFormat
