#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QPrinter;
class QTextDocument;
class QWidget;
class TDataGrid;

// Printing what a data grid shows: its visible columns in the order shown,
// its groups with their subtotals and its footers, under a heading, with
// page numbers. Through the print preview and print dialog, or straight
// into a PDF file.
namespace GridPrint {

// The page as a document: the title, the lines under it (catalog, folder
// or find conditions, date), the table and the footers' totals.
std::unique_ptr<QTextDocument> GridDocument(const TDataGrid &grid, const QString &title, const QStringList &lines);

// Prints a document, numbering the pages.
void PrintDocument(QTextDocument &document, QPrinter &printer);

// Writes a document as a PDF file; EFileError naming the file when it
// cannot be written.
void WritePdf(QTextDocument &document, const QString &path);

// The file dialog for "导出为PDF"; tests answer in its place. Empty cancels.
extern std::function<QString(QWidget *parent, const QString &proposedName)> ChoosePdfFileHook;

// Asks for a file and writes the document there, then says where.
void ExportPdf(QWidget *parent, QTextDocument &document, const QString &proposedName);

// The print preview, with its print button (Qt's print dialog) and
// "导出为PDF". Tests replace it.
extern std::function<void(QWidget *parent, QTextDocument &document, const QString &proposedName)> PreviewHook;

// "打印光盘列表...": the grid's document under "光盘列表", the lines, and the
// date, in the print preview.
void PrintGrid(QWidget *parent, const TDataGrid &grid, const QString &title, QStringList lines);

} // namespace GridPrint
