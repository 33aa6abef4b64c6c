#pragma once

#include "browser/PageService.h"

#include <QTextBrowser>

#include <exception>
#include <functional>
#include <memory>
#include <utility>

// The detail view below the disc list: shows the detail page of the current
// disc. It loads nothing but what the page service answers under
// http://vorlix/: no file, no other host, no network.
//
// A click on the cover opens the picture in the desktop's picture viewer, a
// web address in the memo opens in the user's web browser; the view itself
// never leaves the page.
class TDetailView : public QTextBrowser
{
    Q_OBJECT

public:
    explicit TDetailView(QWidget *parent = nullptr);
    ~TDetailView() override;

    // From now on the view serves the pseudo host, with the pictures of
    // pictureFolder; until then, and after UnregisterPageHandler, it loads
    // nothing.
    void RegisterPageHandler(const QString &pictureFolder);
    void UnregisterPageHandler();
    TOurNSHandler *PageHandler() const { return m_handler.get(); }

    // Navigates to http://vorlix/cd.htm?<id>; the page is built afresh and
    // the cover read from disk again, also for the page already shown. An
    // error reading the disc reaches the caller.
    void ShowCdPage(int id);

    // Hands a URL to the desktop; tests record it instead.
    std::function<void(const QUrl &)> OpenUrlHook;

    QVariant loadResource(int type, const QUrl &name) override;

    // The page as it would be printed, with its cover; empty when no disc is
    // shown. For "打印本页..." and "保存为PDF..." of the context menu.
    std::unique_ptr<QTextDocument> PrintedPage() const;

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void WebBrowserAnchorClicked(const QUrl &url);
    void FillTheWidth();

    std::unique_ptr<TOurNSHandler> m_handler;
    std::exception_ptr m_pageError;
};
