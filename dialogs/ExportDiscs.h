#pragma once

#include "store/catalog/DiscExport.h"

#include <QString>

#include <functional>

class QWidget;
class TDAODatabase;
class TDAODataset;
class TDataGrid;

// "导出光盘列表...": writes the discs a grid shows, or the whole catalog, as
// a table file holding every field of each disc, the grid's columns first.
namespace ExportDiscs {

struct TChoice
{
    QString Path; // empty: cancelled
    DiscExport::TFormat Format = DiscExport::TFormat::CsvUtf8;
    bool WholeCatalog = false;
};

// The dialog asking what to export and where; tests answer in its place.
extern std::function<TChoice(QWidget *parent)> ChooseExportHook;

// Every field of a disc, those of the grid's visible columns with a heading
// first, in the grid's order.
QList<DiscExport::TColumn> ColumnsOf(const TDataGrid &grid);

// Asks, writes and reports the number of discs written. The list is the
// grid's query; the database is the catalog it comes from.
void RunExport(QWidget *parent, const TDataGrid &grid, const TDAODataset &shown, TDAODatabase &database);

} // namespace ExportDiscs
