#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// The program needs a display for its windows. Without one, Qt would end it
// with an English message (or an abort); the user gets a Chinese one first.
namespace DisplayCheck {

// The message for a start that has no display to show windows on, or empty.
// Checked before the application object exists: a platform named with
// -platform or QT_QPA_PLATFORM is left to Qt; otherwise DISPLAY or
// WAYLAND_DISPLAY must name one. arguments start with the program's name.
QString Problem(const QStringList &arguments, const QProcessEnvironment &environment);

// While it lives (around the making of the application object), a display
// that cannot be reached is told in Chinese, followed by Qt's own words, and
// the program ends with exit code 1 instead of Qt's abort. Qt's other
// messages meanwhile are passed on when it ends.
class TStartGuard
{
public:
    TStartGuard();
    ~TStartGuard();
    TStartGuard(const TStartGuard &) = delete;
    TStartGuard &operator=(const TStartGuard &) = delete;
};

} // namespace DisplayCheck
