#pragma once
// The program's pictures, drawn as SVG and compiled in, rendered at the
// sizes the windows use them.

#include <QIcon>
#include <QPixmap>
#include <string_view>

// A picture resource by its name (see DialogTemplates.h) at its own size.
QPixmap Picture(std::string_view name);
// The application icon at the sizes a window manager asks for.
QIcon ApplicationIcon();
