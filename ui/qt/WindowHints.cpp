#include "ui/qt/WindowHints.h"

#include <QGuiApplication>
#include <QWidget>

#ifdef FL_HAVE_XCB
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>
#endif

void AskForCaptionWithoutButtons(QWidget* window)
{
#ifdef FL_HAVE_XCB
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 == nullptr || x11->connection() == nullptr || window == nullptr)
        return;
    xcb_connection_t* connection = x11->connection();
    static const char kName[] = "_MOTIF_WM_HINTS";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(kName)), kName), nullptr);
    if (atom == nullptr)
        return;
    // flags, functions, decorations, input mode, status.
    enum : std::uint32_t { kFunctions = 1, kDecorations = 2, kFuncMove = 4, kDecorBorder = 2, kDecorTitle = 8 };
    const std::uint32_t hints[5] = {kFunctions | kDecorations, kFuncMove, kDecorBorder | kDecorTitle, 0, 0};
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(window->winId()), atom->atom,
                        atom->atom, 32, 5, hints);
    xcb_flush(connection);
    std::free(atom);
#else
    (void)window;
#endif
}
