#pragma once

#include <QList>
#include <QRect>
#include <QString>

#include <optional>

// Where the main window was when the program last closed: its frame when
// not maximized (for a maximized window, the frame it goes back to), and
// whether it was maximized.
struct TWindowPlace
{
    QRect Normal; // may be empty for a window that was never anything but maximized
    bool Maximized = false;

    bool operator==(const TWindowPlace &) const = default;

    // Stored as "x,y,width,height,maximized": "120,80,1024,700,0".
    QString ToText() const;
    // Nothing for a text that is not such a place.
    static std::optional<TWindowPlace> FromText(const QString &text);
};

// Whether a window with this frame can be seen on screens with these
// available areas: the middle of its top edge and its centre both lie on a
// screen, so the title bar can be grabbed.
bool OnScreens(const QRect &frame, const QList<QRect> &screens);
