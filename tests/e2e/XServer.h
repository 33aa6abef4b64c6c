#pragma once

#include <QImage>
#include <QList>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

struct xcb_connection_t;

// A private X server for one test, and what the test does on it in place of
// the user and the window manager: finding windows by their titles, the
// keyboard focus, screenshots, closing a window as a title bar's close
// button does, and the keyboard and mouse through xdotool.
class TXServer
{
public:
    TXServer() = default;
    ~TXServer();
    TXServer(const TXServer &) = delete;
    TXServer &operator=(const TXServer &) = delete;

    // Starts Xvfb on the first free display number and connects to it.
    // False with the reason when it cannot.
    bool Start(QString *error);
    // ":<number>", for the DISPLAY of the programs started on it.
    QString Display() const { return m_display; }

    struct Window
    {
        quint32 id = 0;
        QString title;
        QRect rect;         // on the screen
        bool popup = false; // a menu or a tool tip: no title bar, no focus
    };
    // The windows on the screen, bottom to top.
    QList<Window> Windows() const;
    // A window with a title bar, by its title.
    std::optional<Window> FindWindow(const QString &title) const;
    // A menu that popped up.
    std::optional<Window> FindPopup() const;
    quint32 FocusWindow() const;

    QImage Screenshot() const;
    // The screen once every window on it is painted (holds more than one
    // colour) and nothing changes between two looks; false, with the last
    // look, when that does not come within the time.
    bool SettledScreenshot(QImage *screen, int milliseconds = 5000) const;

    // Sends WM_DELETE_WINDOW, as a window manager does when the user clicks
    // the close button of the title bar.
    bool Close(quint32 window) const;

    // Gives each character of text outside ASCII a key of its own on the
    // keyboard, so that xdotool types it without remapping keys as it goes
    // (which a busy program reads wrongly). Before the program starts.
    bool MapCharacters(const QString &text);

    // xdotool with the arguments, on this display.
    bool Xdotool(const QStringList &arguments) const;

private:
    quint32 Atom(const char *name) const;

    QProcess m_xvfb;
    QString m_display;
    xcb_connection_t *m_connection = nullptr;
    quint32 m_root = 0;
    QList<uint> m_mapped; // characters already on a key
};

// Waits until the condition holds, letting events run every 50 ms. False
// when the time runs out, or when the program (if any) has ended and the
// condition still does not hold.
bool WaitWhileRunning(const QProcess *program, const std::function<bool()> &condition, int milliseconds);
