#pragma once

#include "store/catalog/CustomFieldRules.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

class TDAODatabase;

// The fields a catalog defines for itself and the discs' values of them.
// The two tables are made by the first field defined, in that transaction:
// a catalog that never defined one keeps its tables as they were and pays
// nothing for the feature. A field is known by its Id; its name may change.
// Deleting a disc deletes its values, however the disc is deleted.
namespace CustomFields {

// A disc's values by field Id, as the user reads and types them: one text
// for every kind but 多值, whose texts come in the disc's order. A field
// without a value is missing.
using TDiscValues = QHash<int, QStringList>;

// Whether the catalog has the tables (has ever defined a field).
bool HasTables(TDAODatabase &db);

// The statements that make the tables, their indexes and the deletion of a
// disc's values with the disc.
QStringList CreateStatements();

// The catalog's fields in their order; none without the tables.
QList<TCustomField> Fields(TDAODatabase &db);

// Defines the fields after the catalog's last one, all or none, in one
// transaction that makes the tables first when there are none. Raises
// EAppError naming the field for a name NameRefusal refuses (the new names
// checked against each other too), for choices CleanChoices refuses, and
// when the catalog would hold more than MaxFields. The new fields' Ids.
QList<int> AddFields(TDAODatabase &db, const QList<TNewField> &fields);
int AddField(TDAODatabase &db, const TNewField &field);

// Renames the field. Raises EAppError as AddFields does, or when the field
// is gone.
void RenameField(TDAODatabase &db, int fieldId, const QString &name);

// Replaces a 选择 field's list. A choice a disc holds cannot leave the list:
// EAppError names it and how many discs hold it.
void SetChoices(TDAODatabase &db, int fieldId, const QStringList &choices);

// Renames the field and, for a 选择 field, replaces its list: one
// transaction, refused as RenameField and SetChoices refuse.
void ChangeField(TDAODatabase &db, int fieldId, const QString &name, const QStringList &choices);

// Deletes the field and every disc's value of it, in one transaction.
void DeleteField(TDAODatabase &db, int fieldId);

// Moves the field one place up (-1) or down (+1); nothing at either end.
void MoveField(TDAODatabase &db, int fieldId, int step);

// How many discs hold a value of the field.
int DiscsWithValue(TDAODatabase &db, int fieldId);

// Every value of one disc.
TDiscValues ReadDiscValues(TDAODatabase &db, int cdId);

// Replaces every value of the disc with these, inside the transaction the
// caller holds (so that a disc and its values are saved together); fields
// missing from values lose their value. Every value is checked before any is
// written: EAppError names the field and the fault (a field deleted since
// the values were read, a value too long, a number or a date that cannot be
// read, a 选择 value not in the list, too many values). With addChoices a
// 选择 value not in the list is added to it, as an import does.
void WriteDiscValues(TDAODatabase &db, int cdId, const TDiscValues &values, bool addChoices = false);

// Every disc's kept value of a single-value field by disc Id, as
// StoredValue makes it (numbers and day counts compare as numbers); a 多值
// field's values joined by "、". For sorting and grouping a list.
QHash<int, QVariant> FieldValues(TDAODatabase &db, int fieldId);

} // namespace CustomFields
