#include "tests/e2e/XServer.h"

#include <QDeadlineTimer>
#include <QTest>

#include <xcb/xcb.h>

#include <sys/prctl.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

template <typename Reply> using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

template <typename Reply> ReplyPtr<Reply> Owned(Reply *reply)
{
    return ReplyPtr<Reply>(reply, &std::free);
}

constexpr int ScreenWidth = 1280;
constexpr int ScreenHeight = 1024;

} // namespace

TXServer::~TXServer()
{
    if (m_connection)
        xcb_disconnect(m_connection);
    if (m_xvfb.state() != QProcess::NotRunning) {
        m_xvfb.terminate();
        if (!m_xvfb.waitForFinished(5000)) {
            m_xvfb.kill();
            m_xvfb.waitForFinished(5000);
        }
    }
}

bool TXServer::Start(QString *error)
{
    // Xvfb picks a free display itself and writes its number once it
    // accepts connections.
    m_xvfb.setProgram(QStringLiteral("Xvfb"));
    m_xvfb.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                         QStringLiteral("0"), QStringLiteral("%1x%2x24").arg(ScreenWidth).arg(ScreenHeight),
                         QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-noreset")});
    m_xvfb.setProcessChannelMode(QProcess::SeparateChannels);
    // The server ends with the test, also when the test is killed.
    m_xvfb.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_xvfb.start();
    if (!m_xvfb.waitForStarted(10000)) {
        *error = QStringLiteral("Xvfb does not start (%1); tools/ensure-deps.sh installs it").arg(m_xvfb.errorString());
        return false;
    }
    QByteArray number;
    const QDeadlineTimer deadline(20000);
    while (!number.contains('\n') && !deadline.hasExpired() && m_xvfb.state() == QProcess::Running) {
        m_xvfb.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        number += m_xvfb.readAllStandardOutput();
    }
    if (!number.contains('\n')) {
        *error = QStringLiteral("Xvfb names no display: %1").arg(QString::fromLocal8Bit(m_xvfb.readAllStandardError()));
        return false;
    }
    m_display = QLatin1Char(':') + QString::fromLatin1(number.trimmed());

    m_connection = xcb_connect(m_display.toLatin1().constData(), nullptr);
    if (xcb_connection_has_error(m_connection)) {
        *error = QStringLiteral("cannot connect to the X server on %1").arg(m_display);
        return false;
    }
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    return true;
}

quint32 TXServer::Atom(const char *name) const
{
    auto reply = Owned(xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : quint32(XCB_ATOM_NONE);
}

QList<TXServer::Window> TXServer::Windows() const
{
    QList<Window> windows;
    auto tree = Owned(xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, m_root), nullptr));
    if (!tree)
        return windows;
    const xcb_atom_t netName = Atom("_NET_WM_NAME");
    const xcb_atom_t utf8 = Atom("UTF8_STRING");

    const xcb_window_t *children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
        const xcb_window_t id = children[i];
        auto attributes =
            Owned(xcb_get_window_attributes_reply(m_connection, xcb_get_window_attributes(m_connection, id), nullptr));
        if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
            continue;
        auto geometry = Owned(xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, id), nullptr));
        if (!geometry)
            continue;
        Window window;
        window.id = id;
        window.rect = QRect(geometry->x, geometry->y, geometry->width, geometry->height);
        auto name = Owned(xcb_get_property_reply(
            m_connection, xcb_get_property(m_connection, 0, id, netName, utf8, 0, 1024), nullptr));
        if (name && xcb_get_property_value_length(name.get()) > 0)
            window.title = QString::fromUtf8(static_cast<const char *>(xcb_get_property_value(name.get())),
                                             xcb_get_property_value_length(name.get()));
        window.popup = attributes->override_redirect;
        windows << window;
    }
    return windows;
}

std::optional<TXServer::Window> TXServer::FindWindow(const QString &title) const
{
    for (const Window &window : Windows())
        if (!window.popup && window.title == title)
            return window;
    return std::nullopt;
}

std::optional<TXServer::Window> TXServer::FindPopup() const
{
    // A tool tip is one line high; a menu has room for a few.
    for (const Window &window : Windows())
        if (window.popup && window.rect.height() >= 40)
            return window;
    return std::nullopt;
}

quint32 TXServer::FocusWindow() const
{
    auto focus = Owned(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    return focus ? focus->focus : 0;
}

QImage TXServer::Screenshot() const
{
    auto image = Owned(xcb_get_image_reply(
        m_connection,
        xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, m_root, 0, 0, ScreenWidth, ScreenHeight, ~0u), nullptr));
    if (!image)
        return {};
    // 24 bits deep, 32 bits a pixel: the layout of QImage::Format_RGB32.
    const int length = xcb_get_image_data_length(image.get());
    const int stride = length / ScreenHeight;
    QImage screen(ScreenWidth, ScreenHeight, QImage::Format_RGB32);
    const uint8_t *data = xcb_get_image_data(image.get());
    for (int y = 0; y < ScreenHeight; ++y)
        std::memcpy(screen.scanLine(y), data + y * stride, size_t(ScreenWidth) * 4);
    return screen;
}

bool TXServer::SettledScreenshot(QImage *screen, int milliseconds) const
{
    const auto painted = [](const QImage &image, const QRect &area) {
        const QRect clipped = area.intersected(image.rect());
        if (clipped.isEmpty())
            return true;
        const QRgb first = image.pixel(clipped.topLeft());
        for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
            const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
            for (int x = clipped.left(); x <= clipped.right(); ++x)
                if (line[x] != first)
                    return true;
        }
        return false;
    };
    *screen = Screenshot();
    return WaitWhileRunning(
        nullptr,
        [&] {
            const QImage next = Screenshot();
            const bool settled = next == *screen;
            *screen = next;
            if (!settled)
                return false;
            const QList<Window> windows = Windows();
            return std::all_of(windows.begin(), windows.end(),
                               [&](const Window &window) { return painted(*screen, window.rect); });
        },
        milliseconds);
}

bool TXServer::Close(quint32 window) const
{
    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = Atom("WM_PROTOCOLS");
    event.data.data32[0] = Atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    auto error =
        Owned(xcb_request_check(m_connection, xcb_send_event_checked(m_connection, 0, window, XCB_EVENT_MASK_NO_EVENT,
                                                                     reinterpret_cast<const char *>(&event))));
    return !error;
}

bool TXServer::MapCharacters(const QString &text)
{
    const xcb_setup_t *setup = xcb_get_setup(m_connection);
    const int first = setup->min_keycode;
    const int count = setup->max_keycode - setup->min_keycode + 1;
    auto mapping = Owned(xcb_get_keyboard_mapping_reply(
        m_connection, xcb_get_keyboard_mapping(m_connection, xcb_keycode_t(first), uint8_t(count)), nullptr));
    if (!mapping)
        return false;
    const int perKey = mapping->keysyms_per_keycode;
    const xcb_keysym_t *keysyms = xcb_get_keyboard_mapping_keysyms(mapping.get());
    auto isFree = [&](int index) {
        for (int level = 0; level < perKey; ++level)
            if (keysyms[index * perKey + level] != 0)
                return false;
        return true;
    };

    int index = 1; // the lowest keycode is left alone
    for (const uint character : text.toUcs4()) {
        if (character < 0x80 || m_mapped.contains(character))
            continue;
        while (index < count && !isFree(index))
            ++index;
        if (index >= count)
            return false;
        // A key with the character's Unicode keysym, as a keyboard layout has.
        const xcb_keysym_t keysym = 0x1000000 + character;
        auto error =
            Owned(xcb_request_check(m_connection, xcb_change_keyboard_mapping_checked(
                                                      m_connection, 1, xcb_keycode_t(first + index), 1, &keysym)));
        if (error)
            return false;
        m_mapped << character;
        ++index;
    }
    return true;
}

bool TXServer::Xdotool(const QStringList &arguments) const
{
    QProcess xdotool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    xdotool.setProcessEnvironment(environment);
    xdotool.start(QStringLiteral("xdotool"), arguments);
    return xdotool.waitForFinished(30000) && xdotool.exitStatus() == QProcess::NormalExit && xdotool.exitCode() == 0;
}

bool WaitWhileRunning(const QProcess *program, const std::function<bool()> &condition, int milliseconds)
{
    const QDeadlineTimer deadline(milliseconds);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        if (program && program->state() == QProcess::NotRunning)
            return condition();
        QTest::qWait(50);
    }
    return true;
}
