#pragma once

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>

// Runs action on the dialog once the code under test shows it modally (the
// next turn of the event loop). Another window shown instead is closed and
// the test fails, naming what was expected.
template <typename Dialog> void WhenShown(std::function<void(Dialog &)> action, const char *what = "the dialog")
{
    QTimer::singleShot(0, [action, what] {
        auto *dlg = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        if (!dlg) {
            if (QWidget *other = QApplication::activeModalWidget())
                other->close();
            QFAIL(qPrintable(QStringLiteral("%1 is not shown").arg(QString::fromUtf8(what))));
        }
        action(*dlg);
    });
}
