#include "native_position.h"

#include <QGuiApplication>
#include <QWindow>

#ifdef SOMNARA_HAVE_XCB
#include <xcb/xcb.h>

#include <cstdlib>
#endif

namespace somnara {

std::optional<QPoint> nativeWindowPosition(QWindow *window)
{
#ifdef SOMNARA_HAVE_XCB
    // Other platforms may answer as X11 too (offscreen does, for its GL) without a server.
    if (!qGuiApp || QGuiApplication::platformName() != QLatin1StringView("xcb") || !window
        || !window->handle())
        return std::nullopt;
    const auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection || xcb_connection_has_error(connection))
        return std::nullopt;
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (!screen)
        return std::nullopt;
    const auto cookie = xcb_translate_coordinates(connection, xcb_window_t(window->winId()),
                                                  screen->root, 0, 0);
    xcb_translate_coordinates_reply_t *reply = xcb_translate_coordinates_reply(connection, cookie, nullptr);
    if (!reply)
        return std::nullopt;
    // The server counts device pixels; Qt places windows in scaled ones (one screen assumed).
    const QPointF position = QPointF(reply->dst_x, reply->dst_y) / window->devicePixelRatio();
    std::free(reply);
    return position.toPoint();
#else
    Q_UNUSED(window);
    return std::nullopt;
#endif
}

} // namespace somnara
