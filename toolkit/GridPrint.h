#pragma once

#include "toolkit/Printout.h"

#include <QFont>
#include <QList>
#include <QString>
#include <QStringList>

class QPrinter;
class QWidget;
class TDataGrid;

// Printing what a data grid shows: its visible columns in the order shown,
// its groups with their subtotals and its footers' totals, under a heading,
// on as many pages as the rows need, each numbered at its foot.
namespace GridPrint {

// What is printed, as text.
struct TTable
{
    QString Title;
    QStringList Lines; // under the title: catalog, folder or find conditions, date
    QStringList Headings;
    QList<bool> RightAligned; // per column: numbers
    struct TRow
    {
        QStringList Cells; // a group's row: its heading alone, across the page
        bool Group = false;
        int Level = 0; // of a group inside another
    };
    QList<TRow> Rows;
    QString Totals;   // the footers' totals, after the last row
    QFont ScreenFont; // the families to print in; its size is not taken
};

// The grid's visible columns with a heading, its rows as it shows them
// (grouped or not) and its footers' texts.
TTable TableOf(const TDataGrid &grid, const QString &title, const QStringList &lines);

// Where a table goes on a printer's pages, in the printer's pixels.
struct TPages
{
    QFont Body, Bold, Title;
    qreal PaddingX = 0, PaddingY = 0;
    qreal PageWidth = 0;  // of the printable area; the columns fill it
    qreal PageHeight = 0; // of the printable area above the page number
    QList<qreal> Widths;  // of the columns
    qreal HeadingHeight = 0, HeaderHeight = 0, TotalsHeight = 0;
    QList<qreal> RowHeights;
    struct TPage
    {
        int FirstRow = 0, RowCount = 0;
        bool Totals = false;
    };
    QList<TPage> Pages;
};

// The natural width of each column: its widest text, a very long one
// counted at most as a few centimetres, which it then wraps in.
QList<qreal> NaturalWidths(const TTable &table, const QPrinter &printer);

// The table laid out on the printer's paper as it is set up now.
TPages LayOut(const TTable &table, const QPrinter &printer);

class TGridPrintout : public TPrintout
{
public:
    explicit TGridPrintout(TTable table);

    const TTable &Table() const { return m_table; }

    // Across the paper (landscape) when the columns' natural widths need
    // more than its width upright.
    QPageLayout::Orientation BestOrientation(const QPrinter &printer) const override;
    bool Paint(QPrinter &printer) const override;
    QString PlainText() const override;

private:
    TTable m_table;
};

// "打印光盘列表...": the grid's table under the title, the lines and the
// date, in the print preview.
void PrintGrid(QWidget *parent, const TDataGrid &grid, const QString &title, QStringList lines);

} // namespace GridPrint
