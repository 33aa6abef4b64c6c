#pragma once

#include "store/catalog/CustomFields.h"

#include <QList>
#include <QWidget>

class QFormLayout;

// The disc editor's "更多信息" page: one box per field of the catalog, in
// the catalog's order, fitting the field's kind (a line, a memo, a date with
// its check box, 是/否, the 选择 list, a list of values). It reads and hands
// out a disc's values as CustomFields keeps them; the editor writes them in
// the transaction that saves the disc.
class TCustomFieldsPage : public QWidget
{
    Q_OBJECT

public:
    explicit TCustomFieldsPage(QWidget *parent = nullptr);

    // Makes the boxes for these fields, all empty.
    void SetFields(const QList<CustomFields::TCustomField> &fields);
    const QList<CustomFields::TCustomField> &FieldList() const { return m_fields; }
    // Fills the boxes with a disc's values; a field without one is empty.
    void Load(const CustomFields::TDiscValues &values);
    // The values in the boxes, every field present (an empty list for no
    // value), ready for CustomFields::WriteDiscValues.
    CustomFields::TDiscValues Values() const;

    // What the catalog would refuse in the boxes, the first fault found, as
    // a sentence for the user; empty when every value will do. The box at
    // fault takes the focus.
    QString Check();

    // The box of a field (for tests and the editor's focus).
    QWidget *Box(int fieldId) const;

private:
    QWidget *NewBox(const CustomFields::TCustomField &field);

    QFormLayout *m_form;
    QList<CustomFields::TCustomField> m_fields;
    QList<QWidget *> m_boxes; // one per field, in the same order
};
