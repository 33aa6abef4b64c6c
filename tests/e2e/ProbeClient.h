#pragma once

#include <QLocalSocket>
#include <QRect>
#include <QString>
#include <QStringList>

// The test's end of the widget probe loaded into the program under test
// (WidgetProbe.cpp): where a widget, window or menu entry named so is on the
// screen, and where the keyboard focus is. Every answer is read afresh; an
// empty one while the program does not answer (not started yet, busy, or
// gone).
class TProbeClient
{
public:
    // The socket's name, for the program's VORLIX_WIDGET_PROBE.
    explicit TProbeClient(QString name)
        : m_name(std::move(name))
    {
    }

    struct Place
    {
        quint32 window = 0; // the X window the thing is in
        QRect rect;         // on the screen
        explicit operator bool() const { return window != 0; }
    };
    Place Window(const QString &name) { return ToPlace(Ask(QStringLiteral("window ") + name)); }
    Place Widget(const QString &name) { return ToPlace(Ask(QStringLiteral("widget ") + name)); }
    Place Item(const QString &name) { return ToPlace(Ask(QStringLiteral("item ") + name)); }
    // The dialog in front: its class, and its X window.
    QString ModalClass() { return Ask(QStringLiteral("modal")).section(QLatin1Char(' '), 0, 0); }
    quint32 ModalWindow() { return Ask(QStringLiteral("modal")).section(QLatin1Char(' '), 1, 1).toUInt(); }
    // The names from the focus widget up to its window.
    QStringList FocusChain() { return Ask(QStringLiteral("focus")).split(QLatin1Char('/'), Qt::SkipEmptyParts); }
    // The rows of the list or tree named so, and its current row (-1 for
    // none); -1 and -1 when it is not shown.
    std::pair<int, int> View(const QString &name);

    const QString &Name() const { return m_name; }

private:
    QString Ask(const QString &request);
    static Place ToPlace(const QString &answer);

    QString m_name;
    QLocalSocket m_socket;
};
