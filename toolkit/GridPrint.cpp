#include "GridPrint.h"

#include "DataGrid.h"
#include "Errors.h"
#include "GridModel.h"
#include "MessageBoxes.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTextDocument>
#include <QToolBar>
#include <QTreeView>

namespace GridPrint {

namespace {

QString Escaped(const QString &text)
{
    QString html = text.toHtmlEscaped();
    html.replace(QLatin1Char('\n'), QLatin1String("<br>"));
    return html;
}

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

void AppendRows(QString &html, const QAbstractItemModel &model, const QModelIndex &parent, const QList<int> &columns)
{
    const int rows = model.rowCount(parent);
    for (int row = 0; row < rows; ++row) {
        const QModelIndex first = model.index(row, 0, parent);
        if (model.data(first, TGridModel::GroupRowRole).toBool()) {
            QString text;
            for (int c = 0; c < model.columnCount(parent) && text.isEmpty(); ++c)
                text = model.data(model.index(row, c, parent), Qt::DisplayRole).toString();
            html += QStringLiteral("<tr><td class=\"group\" colspan=\"%1\">%2</td></tr>")
                        .arg(columns.size())
                        .arg(Escaped(text));
            AppendRows(html, model, first, columns);
            continue;
        }
        html += QLatin1String("<tr>");
        for (const int column : columns) {
            const QModelIndex index = model.index(row, column, parent);
            const int alignment = model.data(index, Qt::TextAlignmentRole).toInt();
            html += (alignment & Qt::AlignRight) ? QLatin1String("<td align=\"right\">") : QLatin1String("<td>");
            html += Escaped(model.data(index, Qt::DisplayRole).toString());
            html += QLatin1String("</td>");
        }
        html += QLatin1String("</tr>");
    }
}

void PreviewAndPrint(QWidget *parent, QTextDocument &document, const QString &proposedName)
{
    QPrinter printer(QPrinter::HighResolution);
    QPrintPreviewDialog preview(&printer, parent);
    preview.setWindowTitle(QStringLiteral("打印预览"));
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                     [&document](QPrinter *p) { PrintDocument(document, *p); });
    if (auto *bar = preview.findChild<QToolBar *>()) {
        QAction *pdf = bar->addAction(QStringLiteral("导出为PDF"));
        pdf->setObjectName(QStringLiteral("actExportPdf"));
        QObject::connect(pdf, &QAction::triggered, &preview, [&] {
            try {
                ExportPdf(&preview, document, proposedName);
            } catch (const EAppError &e) {
                Msg::Error(e.Message(), e.Details());
            }
        });
    }
    preview.resize(900, 700);
    preview.exec();
}

QString ChoosePdfFile(QWidget *parent, const QString &proposedName)
{
    QFileDialog dlg(parent, QStringLiteral("导出为PDF"), QDir::homePath(), QStringLiteral("PDF 文件 (*.pdf)"));
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setDefaultSuffix(QStringLiteral("pdf"));
    dlg.selectFile(proposedName);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return {};
    return dlg.selectedFiles().constFirst();
}

} // namespace

std::function<QString(QWidget *, const QString &)> ChoosePdfFileHook = ChoosePdfFile;
std::function<void(QWidget *, QTextDocument &, const QString &)> PreviewHook = PreviewAndPrint;

std::unique_ptr<QTextDocument> GridDocument(const TDataGrid &grid, const QString &title, const QStringList &lines)
{
    const QTreeView &view = *grid.View();
    const QAbstractItemModel &model = *view.model();
    const QList<int> columns = PrintedColumns(view);

    QString html = QStringLiteral("<html><head><style>"
                                  "h2 { margin-bottom: 4px; } p.line { margin: 0; color: #333; }"
                                  "table { border-collapse: collapse; margin-top: 8px; }"
                                  "th { background: #e8e8e8; border: 1px solid #999; padding: 2px 4px; }"
                                  "td { border: 1px solid #bbb; padding: 2px 4px; }"
                                  "td.group { background: #f2f2f2; font-weight: bold; }"
                                  "p.totals { margin-top: 6px; font-weight: bold; }"
                                  "</style></head><body>");
    html += QStringLiteral("<h2>%1</h2>").arg(Escaped(title));
    for (const QString &line : lines)
        html += QStringLiteral("<p class=\"line\">%1</p>").arg(Escaped(line));
    html += QLatin1String("<table width=\"100%\" cellspacing=\"0\"><thead><tr>");
    for (const int column : columns)
        html += QStringLiteral("<th>%1</th>")
                    .arg(Escaped(model.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString()));
    html += QLatin1String("</tr></thead>");
    AppendRows(html, model, QModelIndex(), columns);
    html += QLatin1String("</table>");

    QStringList totals;
    for (const TGridColumn &column : grid.Columns()) {
        if (column.Footer == TGridColumn::Summary::None)
            continue;
        const QString text = grid.FooterText(column.FieldName);
        if (!text.isEmpty())
            totals << text;
    }
    if (!totals.isEmpty())
        html += QStringLiteral("<p class=\"totals\">%1</p>").arg(Escaped(totals.join(QStringLiteral("　　"))));
    html += QLatin1String("</body></html>");

    auto document = std::make_unique<QTextDocument>();
    document->setDefaultFont(grid.font());
    document->setHtml(html);
    return document;
}

void PrintDocument(QTextDocument &document, QPrinter &printer)
{
    // Without a page size of its own the document is laid out on the
    // printer's pages and numbered at their foot.
    document.setPageSize(QSizeF());
    document.print(&printer);
}

void WritePdf(QTextDocument &document, const QString &path)
{
    QFile probe(path);
    const bool existed = probe.exists();
    if (!probe.open(QIODevice::WriteOnly | QIODevice::Append))
        throw EFileError(
            QStringLiteral("无法写入PDF文件“%1”（%2）。").arg(QDir::toNativeSeparators(path), probe.errorString()));
    probe.close();
    if (!existed)
        probe.remove();
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setPageSize(QPageSize(QPageSize::A4));
    PrintDocument(document, printer);
    if (!QFileInfo(path).isFile() || QFileInfo(path).size() == 0)
        throw EFileError(QStringLiteral("无法写入PDF文件“%1”。").arg(QDir::toNativeSeparators(path)));
}

void ExportPdf(QWidget *parent, QTextDocument &document, const QString &proposedName)
{
    const QString path = ChoosePdfFileHook(parent, proposedName);
    if (path.isEmpty())
        return;
    WritePdf(document, path);
    Msg::Information(QStringLiteral("已导出PDF文件“%1”。").arg(QDir::toNativeSeparators(path)));
}

void PrintGrid(QWidget *parent, const TDataGrid &grid, const QString &title, QStringList lines)
{
    lines << QStringLiteral("打印日期：%1").arg(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
    const auto document = GridDocument(grid, title, lines);
    PreviewHook(parent, *document, title + QStringLiteral(".pdf"));
}

} // namespace GridPrint
