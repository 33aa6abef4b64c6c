#include "app/WindowPlacing.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

void ShowMainWindow(QWidget &window, const std::optional<TWindowPlace> &place)
{
    QList<QRect> screens;
    for (const QScreen *screen : QGuiApplication::screens())
        screens << screen->availableGeometry();
    // A place on a screen that is gone (a monitor unplugged, another
    // resolution) would put the window out of sight.
    const bool fits = place && OnScreens(place->Normal, screens);
    if (fits)
        window.setGeometry(place->Normal);
    if (fits && !place->Maximized)
        window.show();
    else
        window.showMaximized();
}

TWindowPlace WindowPlaceOf(const QWidget &window)
{
    if (window.isMaximized())
        return {window.normalGeometry(), true};
    return {window.geometry(), false};
}
