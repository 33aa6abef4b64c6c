#include "HelpWindow.h"

#include <QPointer>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

THelpWindow::THelpWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("帮助内容"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("HelpBrowser"));
    m_browser->setOpenExternalLinks(true);
    m_browser->setSource(QUrl(QStringLiteral("qrc:/help/guide.html")));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    resize(680, 640);
}

THelpWindow *THelpWindow::ShowGuide(QWidget *parent)
{
    static QPointer<THelpWindow> window;
    if (!window)
        window = new THelpWindow(parent);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}
