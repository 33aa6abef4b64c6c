#include "app/OpenRequests.h"

#include "app/MainForm.h"
#include "dialogs/OpenDbForm.h"
#include "toolkit/CommandGuard.h"
#include "toolkit/CommandHold.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>

namespace {

// The newest request not yet opened; a later one replaces it.
QString pendingFile;
bool retryScheduled = false;

void BringToFront(QWidget &widget)
{
    if (widget.isMinimized())
        widget.setWindowState(widget.windowState() & ~Qt::WindowMinimized);
    widget.raise();
    widget.activateWindow();
}

void OpenPending(QPointer<TMainFm> window)
{
    retryScheduled = false;
    if (!window || pendingFile.isEmpty())
        return;
    // A command waiting in a loop of its own (a job on the worker, the
    // version check) finishes on the catalog it started on first.
    if (TCommandHold::Held()) {
        retryScheduled = true;
        QTimer::singleShot(200, window, [window] { OpenPending(window); });
        return;
    }
    if (QWidget *modal = QApplication::activeModalWidget()) {
        // The open dialog was asking for a catalog: the request answers it.
        if (auto *openDialog = qobject_cast<TOpenDbFm *>(modal)) {
            window->StartFile = std::exchange(pendingFile, QString());
            openDialog->reject();
            return;
        }
        retryScheduled = true;
        QTimer::singleShot(200, window, [window] { OpenPending(window); });
        return;
    }
    const QString file = std::exchange(pendingFile, QString());
    RunCommand([&] { window->OpenCatalogFile(file); });
}

} // namespace

void HandleOpenRequest(TMainFm &window, const QString &file)
{
    if (!window.isVisible()) {
        if (!file.isEmpty())
            window.StartFile = file;
        return;
    }
    BringToFront(window);
    if (QWidget *modal = QApplication::activeModalWidget())
        BringToFront(*modal);
    if (file.isEmpty())
        return;
    pendingFile = file;
    if (!retryScheduled) {
        retryScheduled = true;
        QPointer<TMainFm> guard(&window);
        QTimer::singleShot(0, &window, [guard] { OpenPending(guard); });
    }
}
