#pragma once

#include "store/engine/DAOTypes.h"

#include <QString>
#include <QVariant>

class TDAODataset;

// One column of a query, read and written at the query's current row.
// A null column reads as 0, as empty text or as date-time 0.
class TDAOField
{
public:
    TDAOField(TDAODataset *dataset, int index, const QString &name, TFieldType type, int size, bool readOnly);

    const QString &FieldName() const { return m_name; }
    TFieldType DataType() const { return m_type; }
    int Size() const { return m_size; }
    bool ReadOnly() const { return m_readOnly; }
    int Index() const { return m_index; }

    bool IsNull() const;
    // Typed: int, QString, double (currency and floats), QDateTime, bool;
    // an invalid QVariant for null.
    QVariant Value() const;
    int AsInteger() const;
    QString AsString() const;
    double AsDateTime() const;
    TCurrency AsCurrency() const;
    double AsFloat() const;
    bool AsBoolean() const;

    // Writing needs the query in the editing or inserting state. Text keeps
    // at most Size bytes of GBK, cut before the first character that does not
    // fit.
    void SetValue(const QVariant &value);
    void SetAsInteger(int value);
    void SetAsString(const QString &value);
    void SetAsDateTime(double value);
    void SetAsCurrency(TCurrency value);
    void SetAsFloat(double value);
    void SetAsBoolean(bool value);
    void Clear();

    // Conversions of a stored value (qlonglong, double, QString or null) as
    // this field's type; the query's bound views use them for any row.
    QVariant TypedValue(const QVariant &stored) const;
    QString TextOf(const QVariant &stored) const;

private:
    QVariant Stored() const;
    void Store(const QVariant &stored);

    TDAODataset *m_dataset;
    int m_index;
    QString m_name;
    TFieldType m_type;
    int m_size;
    bool m_readOnly;
};
