#pragma once

#include "DiscExport.h"

#include <QString>

#include <functional>

class QWidget;
class TDAODatabase;
class TDAODataset;
class TDataGrid;

// "导出光盘列表...": writes the discs a grid shows, or the whole catalog, as
// a table file, with the columns the grid shows plus folder path,
// description and cover.
namespace ExportDiscs {

struct TChoice
{
    QString Path; // empty: cancelled
    DiscExport::TFormat Format = DiscExport::TFormat::CsvUtf8;
    bool WholeCatalog = false;
};

// The dialog asking what to export and where; tests answer in its place.
extern std::function<TChoice(QWidget *parent)> ChooseExportHook;

// The grid's visible columns that have a heading, in the order shown,
// followed by the extra columns.
QList<DiscExport::TColumn> ColumnsOf(const TDataGrid &grid);

// Asks, writes and reports the number of discs written. The list is the
// grid's query; the database is the catalog it comes from.
void RunExport(QWidget *parent, const TDataGrid &grid, const TDAODataset &shown, TDAODatabase &database);

} // namespace ExportDiscs
