#include "toolkit/GridPrint.h"

#include "toolkit/DataGrid.h"
#include "toolkit/GridModel.h"

#include <QAbstractItemModel>
#include <QDate>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QPainter>
#include <QPrinter>
#include <QTextLayout>
#include <QTreeView>

#include <numeric>

namespace GridPrint {

namespace {

constexpr qreal BodyPoints = 9;
constexpr qreal TitlePoints = 14;
// A column's natural width counts a long text at most this wide; the text
// then wraps.
constexpr qreal LongestColumnMm = 60;

// The view's visible columns with a heading, in the order shown.
QList<int> PrintedColumns(const QTreeView &view)
{
    QList<int> columns;
    const QHeaderView *header = view.header();
    const QAbstractItemModel *model = view.model();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (header->isSectionHidden(logical))
            continue;
        if (model->headerData(logical, Qt::Horizontal, Qt::DisplayRole).toString().isEmpty())
            continue;
        columns << logical;
    }
    return columns;
}

void AppendRows(TTable &table, const QAbstractItemModel &model, const QModelIndex &parent, const QList<int> &columns,
                int level)
{
    const int rows = model.rowCount(parent);
    for (int row = 0; row < rows; ++row) {
        const QModelIndex first = model.index(row, 0, parent);
        if (model.data(first, TGridModel::GroupRowRole).toBool()) {
            QString text;
            for (int c = 0; c < model.columnCount(parent) && text.isEmpty(); ++c)
                text = model.data(model.index(row, c, parent), Qt::DisplayRole).toString();
            table.Rows.append({{text}, true, level});
            AppendRows(table, model, first, columns, level + 1);
            continue;
        }
        TTable::TRow printed;
        for (qsizetype c = 0; c < columns.size(); ++c) {
            const QModelIndex index = model.index(row, columns[c], parent);
            printed.Cells << model.data(index, Qt::DisplayRole).toString();
            if (table.Rows.isEmpty() || table.Rows.constLast().Group)
                table.RightAligned[c] = model.data(index, Qt::TextAlignmentRole).toInt() & Qt::AlignRight;
        }
        table.Rows.append(printed);
    }
}

// A text laid out in lines no wider than the width given: broken between
// words, a word longer than the line anywhere; line breaks kept.
class TLines
{
public:
    TLines(const QString &text, const QFont &font, const QPaintDevice *device, qreal width,
           Qt::Alignment alignment = Qt::AlignLeft)
        : m_layout(QString(text).remove(QLatin1Char('\r')).replace(QLatin1Char('\n'), QChar::LineSeparator), font,
                   device)
    {
        QTextOption option(alignment);
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        m_layout.setTextOption(option);
        m_layout.beginLayout();
        for (QTextLine line = m_layout.createLine(); line.isValid(); line = m_layout.createLine()) {
            line.setLineWidth(width);
            line.setPosition(QPointF(0, m_height));
            m_height += line.height();
        }
        m_layout.endLayout();
    }

    qreal Height() const { return m_height; }
    void Draw(QPainter &painter, const QPointF &at) const { m_layout.draw(&painter, at); }

private:
    QTextLayout m_layout;
    qreal m_height = 0;
};

// The height of a text in lines of this width; one line needs no layout.
qreal TextHeight(const QString &text, const QFont &font, const QFontMetricsF &metrics, const QPaintDevice *device,
                 qreal width)
{
    if (!text.contains(QLatin1Char('\n')) && metrics.horizontalAdvance(text) <= width)
        return metrics.height();
    return TLines(text, font, device, width).Height();
}

// The columns' widths filling the page: natural widths that fit are spread
// over the page's width; those that do not fit keep the narrow columns
// whole and share the rest among the wide ones.
QList<qreal> FittedWidths(const QList<qreal> &natural, qreal pageWidth)
{
    const qreal total = std::accumulate(natural.cbegin(), natural.cend(), qreal(0));
    QList<qreal> widths = natural;
    if (natural.isEmpty() || total <= 0)
        return widths;
    if (total <= pageWidth) {
        for (qreal &width : widths)
            width *= pageWidth / total;
        return widths;
    }
    QList<int> wide(natural.size());
    std::iota(wide.begin(), wide.end(), 0);
    qreal left = pageWidth;
    for (bool settled = true; settled && !wide.isEmpty();) {
        settled = false;
        const qreal share = left / wide.size();
        for (qsizetype i = 0; i < wide.size(); ++i) {
            if (natural[wide[i]] <= share) {
                left -= natural[wide[i]];
                wide.removeAt(i--);
                settled = true;
            }
        }
    }
    qreal wideTotal = 0;
    for (const int c : wide)
        wideTotal += natural[c];
    for (const int c : wide)
        widths[c] = left * natural[c] / wideTotal;
    return widths;
}

QString Heading(const TTable &table)
{
    return (QStringList{table.Title} + table.Lines).join(QLatin1Char('\n'));
}

qreal HeadingHeight(const TTable &table, const TPages &pages, const QPrinter &printer)
{
    const qreal gap = Printout::Millimetres(printer, 3);
    return TLines(table.Title, pages.Title, &printer, pages.PageWidth).Height() +
           TLines(table.Lines.join(QLatin1Char('\n')), pages.Body, &printer, pages.PageWidth).Height() + gap;
}

// The pen of the table's lines: a fifth of a millimetre, grey.
QPen RulePen(const QPrinter &printer)
{
    return QPen(QColor(0x80, 0x80, 0x80), Printout::Millimetres(printer, 0.2));
}

} // namespace

TTable TableOf(const TDataGrid &grid, const QString &title, const QStringList &lines)
{
    const QTreeView &view = *grid.View();
    const QAbstractItemModel &model = *view.model();
    const QList<int> columns = PrintedColumns(view);

    TTable table;
    table.Title = title;
    table.Lines = lines;
    table.ScreenFont = grid.font();
    for (const int column : columns)
        table.Headings << model.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    table.RightAligned = QList<bool>(columns.size(), false);
    AppendRows(table, model, QModelIndex(), columns, 0);

    QStringList totals;
    for (const TGridColumn &column : grid.Columns()) {
        if (column.Footer == TGridColumn::Summary::None)
            continue;
        const QString text = grid.FooterText(column.FieldName);
        if (!text.isEmpty())
            totals << text;
    }
    table.Totals = totals.join(QStringLiteral("　　"));
    return table;
}

QList<qreal> NaturalWidths(const TTable &table, const QPrinter &printer)
{
    const QFont body = Printout::PrintFont(table.ScreenFont, BodyPoints);
    const QFont bold = Printout::PrintFont(table.ScreenFont, BodyPoints, true);
    const QFontMetricsF bodyMetrics(body, &printer), boldMetrics(bold, &printer);
    const qreal padding = 2 * Printout::Millimetres(printer, 1.2);
    const qreal longest = Printout::Millimetres(printer, LongestColumnMm);
    QList<qreal> widths;
    for (const QString &heading : table.Headings)
        widths << boldMetrics.horizontalAdvance(heading);
    for (const TTable::TRow &row : table.Rows) {
        if (row.Group)
            continue;
        for (qsizetype c = 0; c < row.Cells.size() && c < widths.size(); ++c) {
            if (widths[c] >= longest)
                continue;
            for (const QString &line : row.Cells[c].split(QLatin1Char('\n')))
                widths[c] = std::max(widths[c], bodyMetrics.horizontalAdvance(line));
        }
    }
    for (qreal &width : widths)
        width = std::min(width, longest) + padding;
    return widths;
}

TPages LayOut(const TTable &table, const QPrinter &printer)
{
    TPages pages;
    pages.Body = Printout::PrintFont(table.ScreenFont, BodyPoints);
    pages.Bold = Printout::PrintFont(table.ScreenFont, BodyPoints, true);
    pages.Title = Printout::PrintFont(table.ScreenFont, TitlePoints, true);
    pages.PaddingX = Printout::Millimetres(printer, 1.2);
    pages.PaddingY = Printout::Millimetres(printer, 0.6);
    pages.PageWidth = printer.width();
    pages.PageHeight = printer.height() - Printout::FooterHeight(printer, table.ScreenFont);
    pages.Widths = FittedWidths(NaturalWidths(table, printer), pages.PageWidth);
    pages.HeadingHeight = HeadingHeight(table, pages, printer);

    const QFontMetricsF body(pages.Body, &printer), bold(pages.Bold, &printer);
    pages.HeaderHeight = 0;
    for (qsizetype c = 0; c < table.Headings.size(); ++c)
        pages.HeaderHeight = std::max(pages.HeaderHeight, TextHeight(table.Headings[c], pages.Bold, bold, &printer,
                                                                     pages.Widths[c] - 2 * pages.PaddingX));
    pages.HeaderHeight += 2 * pages.PaddingY;
    pages.RowHeights.reserve(table.Rows.size());
    for (const TTable::TRow &row : table.Rows) {
        qreal height = 0;
        if (row.Group) {
            height = TextHeight(row.Cells.value(0), pages.Bold, bold, &printer, pages.PageWidth - 2 * pages.PaddingX);
        } else {
            for (qsizetype c = 0; c < row.Cells.size() && c < pages.Widths.size(); ++c)
                height = std::max(
                    height, TextHeight(row.Cells[c], pages.Body, body, &printer, pages.Widths[c] - 2 * pages.PaddingX));
        }
        pages.RowHeights << height + 2 * pages.PaddingY;
    }
    if (!table.Totals.isEmpty())
        pages.TotalsHeight =
            Printout::Millimetres(printer, 2) + TLines(table.Totals, pages.Bold, &printer, pages.PageWidth).Height();

    // Each page: the column headings, then as many rows as fit; a group's
    // heading goes with its first row; the totals after the last row.
    TPages::TPage page;
    qreal y = pages.HeadingHeight + pages.HeaderHeight;
    const int rows = int(table.Rows.size());
    for (int row = 0; row < rows; ++row) {
        qreal needed = pages.RowHeights[row];
        if (table.Rows[row].Group && row + 1 < rows)
            needed += pages.RowHeights[row + 1];
        if (page.RowCount > 0 && y + needed > pages.PageHeight) {
            pages.Pages << page;
            page = {row, 0, false};
            y = pages.HeaderHeight;
        }
        ++page.RowCount;
        y += pages.RowHeights[row];
    }
    if (pages.TotalsHeight > 0 && y + pages.TotalsHeight > pages.PageHeight && page.RowCount > 0) {
        pages.Pages << page;
        page = {rows, 0, false};
    }
    page.Totals = pages.TotalsHeight > 0;
    pages.Pages << page;
    return pages;
}

TGridPrintout::TGridPrintout(TTable table)
    : m_table(std::move(table))
{
}

QPageLayout::Orientation TGridPrintout::BestOrientation(const QPrinter &printer) const
{
    QPageLayout upright = printer.pageLayout();
    upright.setOrientation(QPageLayout::Portrait);
    const QList<qreal> natural = NaturalWidths(m_table, printer);
    const qreal needed = std::accumulate(natural.cbegin(), natural.cend(), qreal(0));
    return needed > upright.paintRectPixels(printer.resolution()).width() ? QPageLayout::Landscape
                                                                          : QPageLayout::Portrait;
}

bool TGridPrintout::Paint(QPrinter &printer) const
{
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const TPages pages = LayOut(m_table, printer);
    const QPen rule = RulePen(printer);
    const qreal width = pages.PageWidth;

    const auto cell = [&](const QRectF &box, const QString &text, const QFont &font, Qt::Alignment alignment) {
        const TLines lines(text, font, &printer, box.width() - 2 * pages.PaddingX, alignment);
        painter.setPen(Qt::black);
        lines.Draw(painter, box.topLeft() + QPointF(pages.PaddingX, pages.PaddingY));
    };
    const auto header = [&](qreal y) {
        const QRectF band(0, y, width, pages.HeaderHeight);
        painter.fillRect(band, QColor(0xE8, 0xE8, 0xE8));
        qreal x = 0;
        for (qsizetype c = 0; c < m_table.Headings.size(); ++c) {
            const QRectF box(x, y, pages.Widths[c], pages.HeaderHeight);
            cell(box, m_table.Headings[c], pages.Bold, Qt::AlignHCenter);
            painter.setPen(rule);
            painter.drawRect(box);
            x += pages.Widths[c];
        }
    };

    const int count = int(pages.Pages.size());
    for (int index = 0; index < count; ++index) {
        const TPages::TPage &page = pages.Pages[index];
        if (index > 0)
            printer.newPage();
        painter.setPen(Qt::black);
        qreal y = 0;
        if (index == 0) {
            const TLines title(m_table.Title, pages.Title, &printer, width);
            title.Draw(painter, QPointF(0, 0));
            TLines(m_table.Lines.join(QLatin1Char('\n')), pages.Body, &printer, width)
                .Draw(painter, QPointF(0, title.Height()));
            y = pages.HeadingHeight;
        }
        if (page.RowCount > 0 || index == 0) {
            header(y);
            y += pages.HeaderHeight;
        }
        for (int row = page.FirstRow; row < page.FirstRow + page.RowCount; ++row) {
            const TTable::TRow &printed = m_table.Rows[row];
            const qreal height = pages.RowHeights[row];
            painter.setPen(rule);
            if (printed.Group) {
                const QRectF band(0, y, width, height);
                painter.fillRect(band, QColor(0xF2, 0xF2, 0xF2));
                painter.drawRect(band);
                const qreal indent = printed.Level * Printout::Millimetres(printer, 4);
                cell(band.adjusted(indent, 0, 0, 0), printed.Cells.value(0), pages.Bold, Qt::AlignLeft);
            } else {
                qreal x = 0;
                for (qsizetype c = 0; c < printed.Cells.size() && c < pages.Widths.size(); ++c) {
                    const QRectF box(x, y, pages.Widths[c], height);
                    painter.setPen(rule);
                    painter.drawRect(box);
                    cell(box, printed.Cells[c], pages.Body,
                         m_table.RightAligned.value(c) ? Qt::AlignRight : Qt::AlignLeft);
                    x += pages.Widths[c];
                }
            }
            y += height;
        }
        if (page.Totals) {
            painter.setPen(Qt::black);
            TLines(m_table.Totals, pages.Bold, &printer, width)
                .Draw(painter, QPointF(0, y + Printout::Millimetres(printer, 2)));
        }
        Printout::PaintPageNumber(painter, printer, m_table.ScreenFont, index + 1, count);
    }
    return true;
}

QString TGridPrintout::PlainText() const
{
    QStringList lines{Heading(m_table), m_table.Headings.join(QLatin1Char('\t'))};
    for (const TTable::TRow &row : m_table.Rows)
        lines << row.Cells.join(QLatin1Char('\t'));
    if (!m_table.Totals.isEmpty())
        lines << m_table.Totals;
    return lines.join(QLatin1Char('\n'));
}

void PrintGrid(QWidget *parent, const TDataGrid &grid, const QString &title, QStringList lines)
{
    lines << QStringLiteral("打印日期：%1").arg(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
    const TGridPrintout printout(TableOf(grid, title, lines));
    Printout::PreviewHook(parent, printout, title + QStringLiteral(".pdf"));
}

} // namespace GridPrint
