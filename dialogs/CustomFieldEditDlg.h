#pragma once

#include "dialogs/EnterForm.h"
#include "store/catalog/CustomFieldRules.h"

#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class TDAODatabase;

// "添加字段" and "修改字段": a field's name, its kind and, for a 选择 field,
// its list, a choice a line. A field's kind is chosen once, when it is
// added. OK writes the field; a field the catalog refuses is reported and
// the dialog stays open.
class TCustomFieldEditDlg : public TEnterFm
{
    Q_OBJECT

public:
    // A new field when field is empty, otherwise that field.
    TCustomFieldEditDlg(TDAODatabase &db, const std::optional<CustomFields::TCustomField> &field,
                        QWidget *parent = nullptr);

    // The field written, after OK.
    int FieldId() const { return m_fieldId; }

    QLineEdit *edName;
    QComboBox *cbKind;
    QLabel *lbKindHint;
    QLabel *lbChoices;
    QPlainTextEdit *edChoices;
    QPushButton *btnOk, *btnCancel;

private:
    void btnOkClick();
    void KindChanged();
    CustomFields::TFieldKind Kind() const;

    TDAODatabase &m_db;
    int m_fieldId = 0;
};
