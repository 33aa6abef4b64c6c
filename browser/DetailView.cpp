#include "browser/DetailView.h"

#include "pinyin/GbkText.h"
#include "toolkit/CommandGuard.h"
#include "toolkit/Printout.h"

#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QMenu>
#include <QTextFrame>
#include <QTextTable>

namespace {

// The document is not laid out while this lives: on an empty page its
// layout only forgets the old lines. The size given back lays out the page
// once.
class TLayoutHeldBack
{
public:
    explicit TLayoutHeldBack(QTextDocument &document)
        : m_document(document)
        , m_pageSize(document.pageSize())
    {
        m_document.setPageSize(QSizeF(0, 0));
    }
    ~TLayoutHeldBack() { m_document.setPageSize(m_pageSize); }
    TLayoutHeldBack(const TLayoutHeldBack &) = delete;
    TLayoutHeldBack &operator=(const TLayoutHeldBack &) = delete;

private:
    QTextDocument &m_document;
    const QSizeF m_pageSize;
};

} // namespace

TDetailView::TDetailView(QWidget *parent)
    : QTextBrowser(parent)
{
    setObjectName(QStringLiteral("WebBrowser"));
    setOpenLinks(false);
    setOpenExternalLinks(false);
    OpenUrlHook = [](const QUrl &url) { QDesktopServices::openUrl(url); };
    connect(this, &QTextBrowser::anchorClicked, this, &TDetailView::WebBrowserAnchorClicked);
}

TDetailView::~TDetailView() = default;

void TDetailView::RegisterPageHandler(const QString &pictureFolder)
{
    m_handler = std::make_unique<TOurNSHandler>(pictureFolder);
}

void TDetailView::UnregisterPageHandler()
{
    m_handler.reset();
}

void TDetailView::ShowCdPage(int id)
{
    const QUrl url = TOurNSHandler::PageUrl(id);
    m_pageError = nullptr;
    {
        // The new page, its base address and the widened column would each
        // lay out the whole page again; it is laid out once, at the end.
        const TLayoutHeldBack heldBack(*document());
        // The browser skips a source it already shows; reloading also drops
        // the pictures it keeps, so the cover is read again.
        if (source() == url)
            reload();
        else
            setSource(url, QTextDocument::HtmlResource);
        // There is no going back and forth between pages.
        clearHistory();
        FillTheWidth();
    }
    if (m_pageError)
        std::rethrow_exception(std::exchange(m_pageError, nullptr));
}

// The page's outer table is "100%" wide, its first column "100%" and the cover
// column 150 pixels. A web browser gives the first column what the cover
// leaves; the text layout takes 100% for it first and then shrinks the whole
// table, which leaves a blank strip at the right. A column that asks for all
// of the width while others ask for some of it takes the rest instead.
void TDetailView::FillTheWidth()
{
    const QList<QTextFrame *> frames = document()->rootFrame()->childFrames();
    for (QTextFrame *frame : frames) {
        auto *table = qobject_cast<QTextTable *>(frame);
        if (!table || table->columns() < 2)
            continue;
        QTextTableFormat format = table->format();
        QList<QTextLength> widths = format.columnWidthConstraints();
        bool changed = false;
        for (QTextLength &width : widths)
            if (width.type() == QTextLength::PercentageLength && width.rawValue() >= 100) {
                width = QTextLength();
                changed = true;
            }
        if (changed) {
            format.setColumnWidthConstraints(widths);
            table->setFormat(format);
        }
    }
}

QVariant TDetailView::loadResource(int type, const QUrl &name)
{
    Q_UNUSED(type);
    if (!m_handler)
        return {};
    // Errors must not unwind through the text browser; ShowCdPage passes
    // them on once the browser is done.
    try {
        const std::optional<TPageResponse> response = m_handler->Respond(name);
        if (!response)
            return {};
        if (response->MimeType.startsWith(QLatin1String("text/html")))
            return GbkText::Decode(response->Body);
        return response->Body;
    } catch (...) {
        m_pageError = std::current_exception();
        return {};
    }
}

void TDetailView::WebBrowserAnchorClicked(const QUrl &url)
{
    if (url.isLocalFile()) {
        // Only the cover link of the page, or the picture folder itself.
        if (m_handler) {
            const QString path = m_handler->PictureLinkTarget(url);
            if (!path.isEmpty())
                OpenUrlHook(QUrl::fromLocalFile(path));
        }
        return;
    }
    if (TOurNSHandler::IsOurs(url))
        return;
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("ftp") ||
        scheme == QLatin1String("mailto"))
        OpenUrlHook(url);
}

std::unique_ptr<QTextDocument> TDetailView::PrintedPage() const
{
    if (toPlainText().trimmed().isEmpty())
        return {};
    // The copy asks this view for its pictures, as the page itself does.
    std::unique_ptr<QTextDocument> page(document()->clone(const_cast<TDetailView *>(this)));
    page->setParent(nullptr);
    return page;
}

void TDetailView::contextMenuEvent(QContextMenuEvent *event)
{
    std::unique_ptr<QMenu> menu(createStandardContextMenu(event->pos()));
    menu->addSeparator();
    QAction *print = menu->addAction(QStringLiteral("打印本页..."));
    print->setObjectName(QStringLiteral("actPrintPage"));
    QAction *pdf = menu->addAction(QStringLiteral("保存为PDF..."));
    pdf->setObjectName(QStringLiteral("actPagePdf"));
    const bool shown = !toPlainText().trimmed().isEmpty();
    print->setEnabled(shown);
    pdf->setEnabled(shown);
    connect(print, &QAction::triggered, this, Guarded([this] {
                if (auto page = PrintedPage())
                    Printout::PreviewHook(this, TDocumentPrintout(*page), QStringLiteral("光盘详情.pdf"));
            }));
    connect(pdf, &QAction::triggered, this, Guarded([this] {
                if (auto page = PrintedPage())
                    Printout::ExportPdf(this, TDocumentPrintout(*page), QStringLiteral("光盘详情.pdf"));
            }));
    menu->exec(event->globalPos());
}
