#pragma once

namespace bryndle {

// Whether an X display answers; kept apart so that Xlib's macros stay out of Qt code.
struct NodeDisplay {
    static bool available();
};

} // namespace bryndle
