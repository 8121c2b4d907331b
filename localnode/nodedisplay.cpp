#include "nodedisplay.h"

#include <X11/Xlib.h>

#include <cstdlib>

namespace bryndle {

bool NodeDisplay::available() {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        return false;
    }
    Display* connection = XOpenDisplay(nullptr);
    if (!connection) {
        return false;
    }
    XCloseDisplay(connection);
    return true;
}

} // namespace bryndle
