#include "system/desktop.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <optional>

#if defined(ZAQ_HAVE_XCB)
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <vector>
#endif

namespace platform {

#if defined(ZAQ_HAVE_XCB)
namespace {

// The X server connection when the program runs on X11 (offscreen may offer
// the interface without a connection).
xcb_connection_t *x11Connection()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t internAtom(xcb_connection_t *connection, const char *name)
{
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection, 0, uint16_t(qstrlen(name)), name);
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return atom;
}

// Adds states to the _NET_WM_STATE of a window that is not mapped; Qt keeps
// states it does not know when it maps the window.
void addStates(xcb_connection_t *connection, xcb_window_t window, const std::vector<xcb_atom_t> &add)
{
    const xcb_atom_t property = internAtom(connection, "_NET_WM_STATE");
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(connection, 0, window, property, XCB_ATOM_ATOM, 0, 1024);
    xcb_get_property_reply_t *reply = xcb_get_property_reply(connection, cookie, nullptr);
    std::vector<xcb_atom_t> states;
    if (reply && reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
        const auto *values = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply));
        states.assign(values, values + xcb_get_property_value_length(reply) / 4);
    }
    free(reply);
    for (xcb_atom_t state : add) {
        if (state != XCB_ATOM_NONE && std::find(states.begin(), states.end(), state) == states.end())
            states.push_back(state);
    }
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, property, XCB_ATOM_ATOM, 32,
                        uint32_t(states.size()), states.data());
}

bool supported(xcb_connection_t *connection, xcb_window_t root, xcb_atom_t feature)
{
    const xcb_atom_t property = internAtom(connection, "_NET_SUPPORTED");
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(connection, 0, root, property, XCB_ATOM_ATOM, 0, 4096);
    xcb_get_property_reply_t *reply = xcb_get_property_reply(connection, cookie, nullptr);
    bool found = false;
    if (reply && reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
        const auto *values = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply));
        found = std::find(values, values + xcb_get_property_value_length(reply) / 4, feature)
                != values + xcb_get_property_value_length(reply) / 4;
    }
    free(reply);
    return found;
}

std::optional<QMargins> readExtents(xcb_connection_t *connection, xcb_window_t window, xcb_atom_t property)
{
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(connection, 0, window, property, XCB_ATOM_CARDINAL, 0, 4);
    xcb_get_property_reply_t *reply = xcb_get_property_reply(connection, cookie, nullptr);
    std::optional<QMargins> extents;
    if (reply && reply->format == 32 && xcb_get_property_value_length(reply) == 16) {
        const auto *v = static_cast<const uint32_t *>(xcb_get_property_value(reply));
        extents = QMargins(int(v[0]), int(v[2]), int(v[1]), int(v[3])); // left, right, top, bottom
    }
    free(reply);
    return extents;
}

} // namespace
#endif

void keepOutOfTaskBar(QWidget *window)
{
#if defined(ZAQ_HAVE_XCB)
    xcb_connection_t *connection = x11Connection();
    if (!connection || window->isVisible())
        return;
    addStates(connection, xcb_window_t(window->winId()),
              {internAtom(connection, "_NET_WM_STATE_SKIP_TASKBAR"),
               internAtom(connection, "_NET_WM_STATE_SKIP_PAGER")});
    xcb_flush(connection);
#else
    Q_UNUSED(window);
#endif
}

void setUrgencyHint(QWidget *window, bool urgent)
{
#if defined(ZAQ_HAVE_XCB)
    xcb_connection_t *connection = x11Connection();
    if (!connection || !window->testAttribute(Qt::WA_WState_Created))
        return;
    const auto id = xcb_window_t(window->winId());
    // WM_HINTS: nine 32-bit fields, the first one the flags; 256 is the urgency.
    constexpr uint32_t Urgency = 1u << 8;
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(connection, 0, id, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 0, 9);
    xcb_get_property_reply_t *reply = xcb_get_property_reply(connection, cookie, nullptr);
    uint32_t hints[9] = {};
    if (reply && reply->format == 32)
        std::copy_n(static_cast<const uint32_t *>(xcb_get_property_value(reply)),
                    std::min(9, xcb_get_property_value_length(reply) / 4), hints);
    free(reply);
    const uint32_t flags = urgent ? hints[0] | Urgency : hints[0] & ~Urgency;
    if (flags != hints[0]) {
        hints[0] = flags;
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 32, 9,
                            hints);
        xcb_flush(connection);
    }
#else
    Q_UNUSED(window);
    Q_UNUSED(urgent);
#endif
}

namespace {

// What the window manager puts around a window: asked for (and waited on)
// before the window is mapped when `request` is set, else only read.
std::optional<QMargins> askWindowManager(QWidget *window, bool request = true)
{
#if defined(ZAQ_HAVE_XCB)
    xcb_connection_t *connection = x11Connection();
    if (!connection)
        return std::nullopt;
    const auto id = xcb_window_t(window->winId());
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const xcb_atom_t property = internAtom(connection, "_NET_FRAME_EXTENTS");
    const xcb_atom_t requestAtom = internAtom(connection, "_NET_REQUEST_FRAME_EXTENTS");
    std::optional<QMargins> extents = readExtents(connection, id, property);
    if (!extents && request && supported(connection, root, requestAtom)) {
        // The window manager answers by setting the property on the window.
        xcb_client_message_event_t message = {};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = id;
        message.type = requestAtom;
        xcb_send_event(connection, 0, root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char *>(&message));
        xcb_flush(connection);
        QDeadlineTimer deadline(250);
        while (!(extents = readExtents(connection, id, property)) && !deadline.hasExpired())
            QThread::msleep(2);
    }
    if (!extents)
        return std::nullopt;
    // The window manager counts device pixels.
    const qreal ratio = window->devicePixelRatioF();
    return QMargins(qRound(extents->left() / ratio), qRound(extents->top() / ratio),
                    qRound(extents->right() / ratio), qRound(extents->bottom() / ratio));
#else
    Q_UNUSED(window);
    Q_UNUSED(request);
    return std::nullopt;
#endif
}

QMargins marginsOf(const QWidget *window)
{
    const QRect frame = window->frameGeometry();
    const QRect inner = window->geometry();
    return {inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
            frame.bottom() - inner.bottom()};
}

// The frame and whether the window manager itself told it; asked of the
// window manager only when `ask` is set (it answers for the window's hints
// as they stand, so only a window about to be mapped asks).
std::pair<QMargins, bool> likelyFrame(QWidget *window, bool ask = true)
{
    if (std::optional<QMargins> asked = askWindowManager(window, ask))
        return {*asked, true};
    window->winId();
    if (const QMargins own = window->windowHandle()->frameMargins(); !own.isNull())
        return {own, true};
    // Another framed window on the screen, one of the same type first.
    QMargins guess;
    for (QWidget *other : QApplication::topLevelWidgets()) {
        if (other == window || !other->isVisible() || other->frameGeometry() == other->geometry())
            continue;
        if (other->windowType() == window->windowType())
            return {marginsOf(other), false};
        guess = marginsOf(other);
    }
    return {guess, false};
}

void placeFrame(QWidget *window, const QRect &area, const QMargins &frame)
{
    const QSize outer = window->size().grownBy(frame);
    const QPoint corner = area.topLeft()
                          + QPoint((area.width() - outer.width()) / 2, (area.height() - outer.height()) / 2);
    // The client area's place, not move(): Qt knows the frame of a window it
    // has not mapped only on some desktops, and move() would use a wrong one.
    window->setGeometry(QRect(corner + QPoint(frame.left(), frame.top()), window->size()));
}

// A window placed by a guessed frame (window managers that do not tell the
// frame before mapping, kwin among them) is placed again, once, as soon as
// the window manager has framed it (X11; elsewhere the place is the
// compositor's).
void placeAgainWhenFramed(QWidget *window, const QRect &area, const QMargins &guess)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    auto *timer = new QTimer(window);
    timer->setInterval(10);
    const QDeadlineTimer deadline(2000);
    QObject::connect(timer, &QTimer::timeout, window, [window, timer, area, guess, deadline] {
        const std::optional<QMargins> frame =
            window->isVisible() ? askWindowManager(window, false) : std::nullopt;
        if (!frame && !deadline.hasExpired())
            return;
        if (frame && *frame != guess)
            placeFrame(window, area, *frame);
        timer->deleteLater();
    });
    timer->start();
}

} // namespace

void centreFrame(QWidget *window, const QRect &area)
{
    const auto [frame, told] = likelyFrame(window);
    placeFrame(window, area, frame);
    if (!told)
        placeAgainWhenFramed(window, area, frame);
}

int captionWidth(QWidget *window)
{
    // The title-bar buttons are about as wide as the title bar is high: room
    // for four (menu, minimise, maximise, close) beside the caption.
    const QMargins frame = likelyFrame(window, false).first;
    const int bar = frame.top() - frame.bottom();
    if (bar <= 0)
        return 0;
    const QFontMetrics title(QFontDatabase::systemFont(QFontDatabase::TitleFont));
    return title.horizontalAdvance(window->windowTitle()) + 4 * bar - frame.left() - frame.right();
}

} // namespace platform
