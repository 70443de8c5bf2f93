#include "gui/ScreenColormap.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>

namespace tagsmith {
namespace {

xcb_connection_t *x11Connection()
{
    const auto *x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

// A window of the default visual goes to the default colormap; one of another visual (a translucent
// one) keeps the colormap it needs.
void useDefaultColormap(xcb_connection_t *connection, xcb_window_t window)
{
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    xcb_get_window_attributes_reply_t *attributes =
        xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, window), nullptr);
    if (attributes && screen && attributes->visual == screen->root_visual &&
        attributes->colormap != screen->default_colormap) {
        const std::uint32_t colormap = screen->default_colormap;
        xcb_change_window_attributes(connection, window, XCB_CW_COLORMAP, &colormap);
        xcb_flush(connection);
    }
    std::free(attributes);
}

} // namespace

void ScreenColormap::install()
{
    static ScreenColormap *filter = nullptr;
    if (filter || !x11Connection())
        return;
    filter = new ScreenColormap;
    filter->setParent(qApp);
    qApp->installEventFilter(filter);
}

bool ScreenColormap::eventFilter(QObject *watched, QEvent *event)
{
    // A window gets its Show event after its native window is made and before it is mapped.
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        auto *widget = static_cast<QWidget *>(watched);
        if (widget->isWindow() && widget->windowHandle()) {
            if (xcb_connection_t *connection = x11Connection())
                useDefaultColormap(connection, static_cast<xcb_window_t>(widget->winId()));
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace tagsmith
