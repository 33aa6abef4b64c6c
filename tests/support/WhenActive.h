#pragma once

#include <QApplication>
#include <QDeadlineTimer>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

// Runs action on the dialog once the code under test shows it modally,
// however many turns of the event loop that takes: long work runs on the
// worker first, its own window (or none) in front meanwhile. The test
// fails when the dialog is not up within timeoutMs; the window in front
// then is closed.
template <typename Dialog>
void WhenActive(std::function<void(Dialog &)> action, const char *what = "the dialog", int timeoutMs = 30000)
{
    // Each turn's timer holds the poll; the poll knows itself only weakly.
    auto poll = std::make_shared<std::function<void()>>();
    const QDeadlineTimer deadline(timeoutMs);
    *poll = [self = std::weak_ptr(poll), action, what, deadline] {
        if (auto *dlg = qobject_cast<Dialog *>(QApplication::activeModalWidget())) {
            action(*dlg);
            return;
        }
        if (deadline.hasExpired()) {
            if (QWidget *other = QApplication::activeModalWidget())
                other->close();
            QFAIL(qPrintable(QStringLiteral("%1 is not shown").arg(QString::fromUtf8(what))));
        }
        QTimer::singleShot(10, [next = self.lock()] { (*next)(); });
    };
    QTimer::singleShot(0, [poll] { (*poll)(); });
}
