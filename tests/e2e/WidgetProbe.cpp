// Loaded into the program under test by the end-to-end tests (LD_PRELOAD),
// never shipped: it answers, on the local socket named by
// VORLIX_WIDGET_PROBE, where the program's widgets are on the screen, found by
// their object names, and which one holds the keyboard focus. The tests then
// click and type there as a user does; the probe itself touches nothing.
//
// One request a line, one answer a line ("-" when there is nothing to say):
//   window <name>  a shown top-level window: "<X window> <x> <y> <w> <h>"
//   widget <name>  a shown widget of the window in front (the modal dialog,
//                  else the active window, else any window): the same
//   item <name>    a menu entry shown in a menu bar or an open menu, by the
//                  name of its action or of the menu it opens: the same, of
//                  the menu's window
//   modal          the dialog in front: "<class> <X window>"
//   focus          the names from the focus widget up to its window, joined
//                  by '/'
//   view <name>    the list or tree that is (or is in) the widget: "<rows>
//                  <current row>"
#include <QAbstractItemView>
#include <QApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>
#include <QWindow>

namespace {

quint64 XWindow(const QWidget *widget)
{
    const QWindow *handle = widget->window()->windowHandle();
    return handle ? handle->winId() : 0;
}

// In the screen's pixels, which are the widgets' own times the scale Qt
// draws them at.
QString Place(const QWidget *widget, const QRect &local)
{
    const qreal scale = widget->devicePixelRatioF();
    const QRectF rect(QPointF(widget->mapToGlobal(local.topLeft())) * scale, QSizeF(local.size()) * scale);
    const QRect pixels = rect.toAlignedRect();
    return QStringLiteral("%1 %2 %3 %4 %5")
        .arg(XWindow(widget))
        .arg(pixels.x())
        .arg(pixels.y())
        .arg(pixels.width())
        .arg(pixels.height());
}

bool Shown(const QWidget *widget)
{
    return widget->isVisible() && widget->window()->windowHandle() && widget->window()->windowHandle()->isExposed();
}

// The windows to look in, the one in front first.
QList<QWidget *> Windows()
{
    QList<QWidget *> windows;
    if (QWidget *modal = QApplication::activeModalWidget())
        windows << modal;
    else if (QWidget *active = QApplication::activeWindow())
        windows << active;
    for (QWidget *top : QApplication::topLevelWidgets())
        if (!windows.contains(top) && Shown(top))
            windows << top;
    return windows;
}

QWidget *FindWidget(const QString &name)
{
    for (QWidget *window : Windows()) {
        if (window->objectName() == name && Shown(window))
            return window;
        for (QWidget *child : window->findChildren<QWidget *>(name))
            if (Shown(child))
                return child;
    }
    return nullptr;
}

QString Item(const QString &name)
{
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (!Shown(top))
            continue;
        QList<QWidget *> holders{top};
        holders += top->findChildren<QWidget *>();
        for (QWidget *holder : holders) {
            auto *bar = qobject_cast<QMenuBar *>(holder);
            auto *menu = qobject_cast<QMenu *>(holder);
            if ((!bar && !menu) || !Shown(holder))
                continue;
            for (QAction *action : holder->actions()) {
                const bool named =
                    action->objectName() == name || (action->menu() && action->menu()->objectName() == name);
                if (!named || !action->isVisible())
                    continue;
                const QRect rect = bar ? bar->actionGeometry(action) : menu->actionGeometry(action);
                if (rect.isValid())
                    return Place(holder, rect);
            }
        }
    }
    return QStringLiteral("-");
}

QString Answer(const QString &request)
{
    const QString verb = request.section(QLatin1Char(' '), 0, 0);
    const QString name = request.section(QLatin1Char(' '), 1);
    if (verb == QLatin1String("window")) {
        for (QWidget *top : QApplication::topLevelWidgets())
            if (top->objectName() == name && Shown(top))
                return Place(top, top->rect());
    } else if (verb == QLatin1String("widget")) {
        if (const QWidget *widget = FindWidget(name))
            return Place(widget, widget->rect());
    } else if (verb == QLatin1String("item")) {
        return Item(name);
    } else if (verb == QLatin1String("modal")) {
        if (const QWidget *modal = QApplication::activeModalWidget())
            return QStringLiteral("%1 %2").arg(QLatin1String(modal->metaObject()->className())).arg(XWindow(modal));
    } else if (verb == QLatin1String("focus")) {
        QStringList names;
        for (const QWidget *w = QApplication::focusWidget(); w; w = w->isWindow() ? nullptr : w->parentWidget())
            if (!w->objectName().isEmpty())
                names << w->objectName();
        if (!names.isEmpty())
            return names.join(QLatin1Char('/'));
    } else if (verb == QLatin1String("view")) {
        if (QWidget *widget = FindWidget(name)) {
            auto *view = qobject_cast<QAbstractItemView *>(widget);
            if (!view)
                view = widget->findChild<QAbstractItemView *>();
            if (view && view->model())
                return QStringLiteral("%1 %2")
                    .arg(view->model()->rowCount(view->rootIndex()))
                    .arg(view->currentIndex().isValid() ? view->currentIndex().row() : -1);
        }
    }
    return QStringLiteral("-");
}

void Listen()
{
    const QString name = qEnvironmentVariable("VORLIX_WIDGET_PROBE");
    if (name.isEmpty() || !qobject_cast<QApplication *>(QCoreApplication::instance()))
        return;
    auto *server = new QLocalServer(QCoreApplication::instance());
    QLocalServer::removeServer(name);
    if (!server->listen(name)) {
        qWarning("widget probe: cannot listen on %s", qPrintable(name));
        return;
    }
    QObject::connect(server, &QLocalServer::newConnection, server, [server] {
        while (QLocalSocket *socket = server->nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket] {
                while (socket->canReadLine()) {
                    const QString request = QString::fromUtf8(socket->readLine()).trimmed();
                    socket->write(Answer(request).toUtf8() + '\n');
                }
            });
        }
    });
}

// Runs while the application object is being made: the listening starts
// with its event loop, once it is a whole QApplication.
void Start()
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), &Listen, Qt::QueuedConnection);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(Start)
