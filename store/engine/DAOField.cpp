#include "store/engine/DAOField.h"

#include "pinyin/GbkText.h"
#include "store/engine/DAODataset.h"
#include "store/engine/DateUtils.h"
#include "store/engine/Errors.h"

#include <QDateTime>
#include <QLocale>

#include <cmath>

TDAOField::TDAOField(TDAODataset *dataset, int index, const QString &name, TFieldType type, int size, bool readOnly)
    : m_dataset(dataset)
    , m_index(index)
    , m_name(name)
    , m_type(type)
    , m_size(size)
    , m_readOnly(readOnly)
{
}

QVariant TDAOField::Stored() const
{
    return m_dataset->StoredValue(m_index);
}

void TDAOField::Store(const QVariant &stored)
{
    m_dataset->SetStoredValue(m_index, stored);
}

bool TDAOField::IsNull() const
{
    return !Stored().isValid();
}

namespace {

double NumberOf(const QVariant &stored)
{
    if (stored.typeId() == QMetaType::QString) {
        bool ok = false;
        const double d = stored.toString().trimmed().toDouble(&ok);
        return ok ? d : 0.0;
    }
    return stored.toDouble();
}

QString DateTimeText(double days)
{
    if (days == std::floor(days))
        return DateUtils::FormatDate(DateUtils::ToDate(days));
    const QDateTime dt = DateUtils::ToDateTime(days);
    if (dt.time() == QTime(0, 0))
        return DateUtils::FormatDate(dt.date());
    return DateUtils::FormatDate(dt.date()) + dt.time().toString(QStringLiteral(" HH:mm:ss"));
}

} // namespace

QVariant TDAOField::TypedValue(const QVariant &stored) const
{
    if (!stored.isValid())
        return {};
    switch (m_type) {
    case TFieldType::Integer:
    case TFieldType::SmallInt:
        return stored.typeId() == QMetaType::QString ? QVariant(stored.toString().toInt())
                                                     : QVariant(int(std::llround(stored.toDouble())));
    case TFieldType::Text:
    case TFieldType::Memo:
        return stored.toString();
    case TFieldType::Currency:
        return Currency::ToDouble(Currency::FromDouble(NumberOf(stored)));
    case TFieldType::Float:
        return NumberOf(stored);
    case TFieldType::DateTime:
        return DateUtils::ToDateTime(NumberOf(stored));
    case TFieldType::Boolean:
        return NumberOf(stored) != 0.0;
    }
    return stored;
}

QString TDAOField::TextOf(const QVariant &stored) const
{
    if (!stored.isValid())
        return {};
    switch (m_type) {
    case TFieldType::Text:
    case TFieldType::Memo:
        return stored.toString();
    case TFieldType::Integer:
    case TFieldType::SmallInt:
        return QString::number(TypedValue(stored).toInt());
    case TFieldType::Currency:
        return QString::number(Currency::ToDouble(Currency::FromDouble(NumberOf(stored))), 'g',
                               QLocale::FloatingPointShortest);
    case TFieldType::Float:
        return QString::number(NumberOf(stored), 'g', 15);
    case TFieldType::DateTime:
        return DateTimeText(NumberOf(stored));
    case TFieldType::Boolean:
        return NumberOf(stored) != 0.0 ? QStringLiteral("True") : QStringLiteral("False");
    }
    return stored.toString();
}

QVariant TDAOField::Value() const
{
    return TypedValue(Stored());
}

int TDAOField::AsInteger() const
{
    const QVariant v = Value();
    if (m_type == TFieldType::Text || m_type == TFieldType::Memo)
        return v.toString().trimmed().toInt();
    if (m_type == TFieldType::DateTime)
        return int(AsDateTime());
    return int(std::llround(v.toDouble()));
}

QString TDAOField::AsString() const
{
    return TextOf(Stored());
}

double TDAOField::AsDateTime() const
{
    const QVariant stored = Stored();
    if (!stored.isValid())
        return 0.0;
    if (stored.typeId() == QMetaType::QString) {
        const QDate date = DateUtils::ParseDate(stored.toString());
        return date.isValid() ? DateUtils::ToDays(date) : 0.0;
    }
    return stored.toDouble();
}

TCurrency TDAOField::AsCurrency() const
{
    const QVariant stored = Stored();
    return stored.isValid() ? Currency::FromDouble(NumberOf(stored)) : 0;
}

double TDAOField::AsFloat() const
{
    const QVariant stored = Stored();
    return stored.isValid() ? NumberOf(stored) : 0.0;
}

bool TDAOField::AsBoolean() const
{
    return AsFloat() != 0.0;
}

void TDAOField::SetValue(const QVariant &value)
{
    if (!value.isValid() || value.isNull()) {
        Clear();
        return;
    }
    switch (value.typeId()) {
    case QMetaType::QString:
        SetAsString(value.toString());
        return;
    case QMetaType::QDate:
        SetAsDateTime(DateUtils::ToDays(value.toDate()));
        return;
    case QMetaType::QDateTime:
        SetAsDateTime(DateUtils::ToDays(value.toDateTime()));
        return;
    case QMetaType::Bool:
        SetAsBoolean(value.toBool());
        return;
    case QMetaType::Double:
    case QMetaType::Float:
        SetAsFloat(value.toDouble());
        return;
    default:
        if (m_type == TFieldType::Text || m_type == TFieldType::Memo)
            SetAsString(value.toString());
        else
            Store(QVariant(value.toLongLong()));
    }
}

void TDAOField::SetAsInteger(int value)
{
    if (m_type == TFieldType::Text || m_type == TFieldType::Memo)
        SetAsString(QString::number(value));
    else if (m_type == TFieldType::Currency)
        SetAsCurrency(TCurrency(value) * Currency::Scale);
    else
        Store(QVariant(qlonglong(value)));
}

void TDAOField::SetAsString(const QString &value)
{
    switch (m_type) {
    case TFieldType::Text:
        Store(GbkText::Truncate(value, m_size));
        return;
    case TFieldType::Memo:
        Store(value);
        return;
    case TFieldType::DateTime: {
        if (value.trimmed().isEmpty()) {
            Clear();
            return;
        }
        const QDate date = DateUtils::ParseDate(value);
        if (!date.isValid())
            throw EDAODatabaseError(QStringLiteral("'%1' is not a valid date").arg(value));
        SetAsDateTime(DateUtils::ToDays(date));
        return;
    }
    default: {
        if (value.trimmed().isEmpty()) {
            Clear();
            return;
        }
        bool ok = false;
        const double number = value.trimmed().toDouble(&ok);
        if (!ok)
            throw EDAODatabaseError(QStringLiteral("'%1' is not a valid number").arg(value));
        SetAsFloat(number);
    }
    }
}

void TDAOField::SetAsDateTime(double value)
{
    Store(QVariant(value));
}

void TDAOField::SetAsCurrency(TCurrency value)
{
    Store(QVariant(Currency::ToDouble(value)));
}

void TDAOField::SetAsFloat(double value)
{
    switch (m_type) {
    case TFieldType::Integer:
    case TFieldType::SmallInt:
    case TFieldType::Boolean:
        Store(QVariant(qlonglong(std::llround(value))));
        return;
    case TFieldType::Currency:
        SetAsCurrency(Currency::FromDouble(value));
        return;
    case TFieldType::Text:
    case TFieldType::Memo:
        SetAsString(QString::number(value, 'g', 15));
        return;
    default:
        Store(QVariant(value));
    }
}

void TDAOField::SetAsBoolean(bool value)
{
    Store(QVariant(qlonglong(value ? 1 : 0)));
}

void TDAOField::Clear()
{
    Store(QVariant());
}
