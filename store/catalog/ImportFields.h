#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The disc fields a column of an imported table can fill, and the guess of
// which column fills which from the table's column names.
namespace ImportFields {

enum TDiscField { Name, Code, Serial, Date, Category, Quality, Price, Location, Memo, Cover, Folder, FieldCount };

// The columns of a table that can fill a field: a table of discs has a few
// dozen, and every column is offered in each field's box.
constexpr int MaxColumns = 256;

// The field's caption as the user reads it ("名称", "编号", ...).
QString Caption(int field);

// The field a column name stands for, in Chinese or English, letter case,
// blanks and underscores ignored; -1 for none.
int GuessField(const QString &columnName);

// For each field the column that fills it, -1 for none: the first column
// whose name guesses it.
QList<int> GuessMapping(const QStringList &columnNames);

// A first row of column names: at least one of its cells names a field.
bool IsHeaderRow(const QStringList &cells);

} // namespace ImportFields
