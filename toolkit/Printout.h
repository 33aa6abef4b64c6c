#pragma once

#include <QPageLayout>
#include <QString>

#include <functional>

class QFont;
class QPainter;
class QPrinter;
class QTextDocument;
class QWidget;

// Something the program prints: it paints its pages on a printer, in the
// print preview, on paper or into a PDF file. Each paints at the printer's
// own resolution, so its text has the same size on every one of them.
class TPrintout
{
public:
    virtual ~TPrintout() = default;

    // The paper's turn that suits the printout on this printer's paper.
    virtual QPageLayout::Orientation BestOrientation(const QPrinter &printer) const;

    // Paints every page on the printer as it is set up now (its paper, turn
    // and margins). The printer is not yet painted on. False when it cannot
    // be painted on (its file cannot be written).
    virtual bool Paint(QPrinter &printer) const = 0;

    // The printed words, for a look at what goes out without a printer.
    virtual QString PlainText() const = 0;
};

// A rich-text page (the detail page) printed as the screen shows it: laid
// out at the screen's resolution on a page as wide as the paper's, then
// drawn to the paper's scale, with page numbers at the foot.
class TDocumentPrintout : public TPrintout
{
public:
    // The document is laid out again for the paper; it must outlive this.
    explicit TDocumentPrintout(QTextDocument &document);

    bool Paint(QPrinter &printer) const override;
    QString PlainText() const override;

private:
    QTextDocument &m_document;
};

namespace Printout {

// The paper every printout starts on: A4, 12 mm margins, turned the way
// the printout suits best.
void SetUpPrinter(QPrinter &printer, const TPrintout &printout);

// A font of this many points in the families of `like`. The screen's
// fonts are given in pixels, which on a printer of 1200 dots an inch make
// text less than a point high; a printout never takes their size.
QFont PrintFont(const QFont &like, qreal points, bool bold = false);

// Millimetres in the printer's pixels.
qreal Millimetres(const QPrinter &printer, qreal mm);

// The band at the foot of each page that holds its number, in the
// printer's pixels, and the number painted in it: "第 1 页，共 3 页",
// centred at the foot of the page's printable area.
qreal FooterHeight(const QPrinter &printer, const QFont &like);
void PaintPageNumber(QPainter &painter, const QPrinter &printer, const QFont &like, int number, int count);

// Writes a printout as a PDF file; EFileError naming the file when it
// cannot be written.
void WritePdf(const TPrintout &printout, const QString &path);

// The file dialog for "导出为PDF"; tests answer in its place. Empty cancels.
extern std::function<QString(QWidget *parent, const QString &proposedName)> ChoosePdfFileHook;

// Asks for a file and writes the printout there, then says where.
void ExportPdf(QWidget *parent, const TPrintout &printout, const QString &proposedName);

// The print preview, with its print button (Qt's print dialog) and
// "导出为PDF". Tests replace it.
extern std::function<void(QWidget *parent, const TPrintout &printout, const QString &proposedName)> PreviewHook;

} // namespace Printout
