#pragma once

#include "dialogs/EnterForm.h"
#include "store/catalog/CustomFieldRules.h"

#include <QList>

#include <functional>

class QPushButton;
class QTreeWidget;
class TDAODatabase;

// "自定义字段": the catalog's own fields in their order, with their kinds
// and lists. Fields are added (one by one or from the ready-made sets),
// renamed, given another list, deleted after the user is told how many
// discs hold a value, and moved up or down. Every change is written at once;
// a change the catalog refuses is reported and the list read again.
class TCustomFieldsDlg : public TEnterFm
{
    Q_OBJECT

public:
    TCustomFieldsDlg(TDAODatabase &db, QWidget *parent = nullptr);

    // Reads the fields again, keeping the current one when it is still there.
    void Reload();
    int CurrentFieldId() const;
    void SelectField(int fieldId);

    // After every change, for the windows that show the fields.
    std::function<void()> FieldsChanged;

    QTreeWidget *lvFields;
    QPushButton *btnAdd, *btnSets, *btnEdit, *btnDelete, *btnUp, *btnDown, *btnClose;

private:
    void btnAddClick();
    void btnSetsClick();
    void btnEditClick();
    void btnDeleteClick();
    void Move(int step);
    void UpdateButtons();
    // Runs a change; a refusal is shown and the list read again.
    void Change(const std::function<void()> &change);
    void Changed();

    TDAODatabase &m_db;
    QList<CustomFields::TCustomField> m_fields;
};

// Shows the dialog; fieldsChanged, when given, is called after each change.
void ShowCustomFields(TDAODatabase &db, QWidget *parent, const std::function<void()> &fieldsChanged = {});
