#pragma once

#include "dialogs/EnterForm.h"
#include "store/catalog/CustomFieldRules.h"

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class TDAODatabase;

// "常用字段": the ready-made sets (电影, 音乐, 软件与游戏) with their fields,
// each ticked or left; a field the catalog has already is shown but cannot
// be ticked. OK adds the ticked fields together, all or none.
class TFieldSetsDlg : public TEnterFm
{
    Q_OBJECT

public:
    TFieldSetsDlg(TDAODatabase &db, QWidget *parent = nullptr);

    // The field of a set, by the set's and the field's place.
    QTreeWidgetItem *FieldItem(int set, int field) const;
    // The fields ticked, each name once.
    QList<CustomFields::TNewField> Ticked() const;

    QTreeWidget *tvSets;
    QPushButton *btnOk, *btnCancel;

private:
    void btnOkClick();

    TDAODatabase &m_db;
};
