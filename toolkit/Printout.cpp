#include "toolkit/Printout.h"

#include "store/engine/Errors.h"
#include "toolkit/MessageBoxes.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScreen>
#include <QTextDocument>
#include <QTextFrame>
#include <QToolBar>

namespace {

// The resolution a document without a paint device of its own is laid out
// at: the screen's, as the text layout takes it.
qreal ScreenDpi()
{
    if (QCoreApplication::testAttribute(Qt::AA_Use96Dpi))
        return 96;
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        return qRound(screen->logicalDotsPerInchY());
    return 96;
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

void PreviewAndPrint(QWidget *parent, const TPrintout &printout, const QString &proposedName)
{
    QPrinter printer(QPrinter::HighResolution);
    Printout::SetUpPrinter(printer, printout);
    QPrintPreviewDialog preview(&printer, parent);
    preview.setWindowTitle(QStringLiteral("打印预览"));
    // The preview paints inside Qt's event handling: nothing may be thrown.
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                     [&printout](QPrinter *p) { printout.Paint(*p); });
    if (auto *bar = preview.findChild<QToolBar *>()) {
        QAction *pdf = bar->addAction(QStringLiteral("导出为PDF"));
        pdf->setObjectName(QStringLiteral("actExportPdf"));
        QObject::connect(pdf, &QAction::triggered, &preview, [&] {
            try {
                Printout::ExportPdf(&preview, printout, proposedName);
            } catch (const EAppError &e) {
                Msg::Error(e.Message(), e.Details());
            }
        });
    }
    preview.resize(900, 700);
    preview.exec();
}

} // namespace

QPageLayout::Orientation TPrintout::BestOrientation(const QPrinter &) const
{
    return QPageLayout::Portrait;
}

TDocumentPrintout::TDocumentPrintout(QTextDocument &document)
    : m_document(document)
{
}

bool TDocumentPrintout::Paint(QPrinter &printer) const
{
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    // The page's sizes in pixels and points mean what they mean on screen:
    // laid out at the screen's resolution, drawn to the paper's.
    const qreal scale = printer.logicalDpiY() / ScreenDpi();
    const QFont like = m_document.defaultFont();
    const qreal footer = Printout::FooterHeight(printer, like);
    const QSizeF page(printer.width() / scale, (printer.height() - footer) / scale);
    m_document.setPageSize(page);
    // The screen's page colour stays on the screen; paper is white.
    QTextFrameFormat paper = m_document.rootFrame()->frameFormat();
    paper.clearBackground();
    m_document.rootFrame()->setFrameFormat(paper);
    const int count = m_document.pageCount();
    QAbstractTextDocumentLayout *layout = m_document.documentLayout();
    for (int index = 0; index < count; ++index) {
        if (index > 0)
            printer.newPage();
        painter.save();
        painter.scale(scale, scale);
        const QRectF shown(0, index * page.height(), page.width(), page.height());
        painter.translate(0, -shown.top());
        painter.setClipRect(shown);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = shown;
        context.palette.setColor(QPalette::Text, Qt::black);
        layout->draw(&painter, context);
        painter.restore();
        Printout::PaintPageNumber(painter, printer, like, index + 1, count);
    }
    return true;
}

QString TDocumentPrintout::PlainText() const
{
    return m_document.toPlainText();
}

namespace Printout {

std::function<QString(QWidget *, const QString &)> ChoosePdfFileHook = ChoosePdfFile;
std::function<void(QWidget *, const TPrintout &, const QString &)> PreviewHook = PreviewAndPrint;

void SetUpPrinter(QPrinter &printer, const TPrintout &printout)
{
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageMargins(QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter);
    printer.setPageOrientation(printout.BestOrientation(printer));
}

QFont PrintFont(const QFont &like, qreal points, bool bold)
{
    QFont font(like.families());
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

qreal Millimetres(const QPrinter &printer, qreal mm)
{
    return mm * printer.logicalDpiY() / 25.4;
}

namespace {

QFont FooterFont(const QFont &like)
{
    return PrintFont(like, 8);
}

} // namespace

qreal FooterHeight(const QPrinter &printer, const QFont &like)
{
    return QFontMetricsF(FooterFont(like), &printer).lineSpacing() + Millimetres(printer, 3);
}

void PaintPageNumber(QPainter &painter, const QPrinter &printer, const QFont &like, int number, int count)
{
    const QFont font = FooterFont(like);
    const qreal line = QFontMetricsF(font, &printer).lineSpacing();
    painter.save();
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRectF(0, printer.height() - line, printer.width(), line), Qt::AlignCenter,
                     QStringLiteral("第 %1 页，共 %2 页").arg(number).arg(count));
    painter.restore();
}

void WritePdf(const TPrintout &printout, const QString &path)
{
    // The PDF writer says nothing when it cannot open its file: try first.
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
    SetUpPrinter(printer, printout);
    if (!printout.Paint(printer) || !QFileInfo(path).isFile() || QFileInfo(path).size() == 0)
        throw EFileError(QStringLiteral("无法写入PDF文件“%1”。").arg(QDir::toNativeSeparators(path)));
}

void ExportPdf(QWidget *parent, const TPrintout &printout, const QString &proposedName)
{
    const QString path = ChoosePdfFileHook(parent, proposedName);
    if (path.isEmpty())
        return;
    WritePdf(printout, path);
    Msg::Information(QStringLiteral("已导出PDF文件“%1”。").arg(QDir::toNativeSeparators(path)));
}

} // namespace Printout
