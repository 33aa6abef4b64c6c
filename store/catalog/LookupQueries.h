#pragma once

#include <QString>

// The statements over the two lists of names a disc refers to, categories
// (TbCategory, the disc's CId) and grades (TbQuality, the disc's QId), and
// over the catalog's settings row.
enum class TNameTable { Category, Quality };

namespace LookupQueries {

// Every row of the list (Id, Name), editable.
QString AllNames(TNameTable table);
// The row of this Id, for writing it (none for an Id no row has; a new row
// is appended to the result of 0).
QString OneName(TNameTable table, int id);
// Id and Name of every row, for a choice box.
QString NameChoices(TNameTable table);
// The same with a first row "-不选-" of Id 0 (the union orders by Id).
QString NameChoicesWithNone(TNameTable table);
// Id and Name of the rows of this name (the row can be appended to).
QString NamedRows(TNameTable table, const QString &name);
// The Id of the rows of this name.
QString NameIds(TNameTable table, const QString &name);
// The discs that refer to this row of the list.
QString DiscsUsingName(TNameTable table, int id);

// The catalog's layout version, as field "Version".
QString CatalogVersion();

} // namespace LookupQueries
