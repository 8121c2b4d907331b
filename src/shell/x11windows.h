#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace bryndle {

// Other processes' X11 windows, through a connection of its own to $DISPLAY. Without X11
// support or without a display, lookups find nothing and changes do nothing.
class X11Windows {
public:
    using Window = unsigned long;

    X11Windows();
    ~X11Windows();
    X11Windows(const X11Windows&) = delete;
    X11Windows& operator=(const X11Windows&) = delete;

    bool isConnected() const { return display_ != nullptr; }
    // The first window of the process (by _NET_WM_PID) among the top-level windows and the
    // window manager's client windows, mapped or not; 0 when there is none.
    Window findByProcess(pid_t pid);
    // Maps (and raises) or withdraws a top-level window.
    void setVisible(Window window, bool visible);
    // Whether the window is mapped and all its ancestors are.
    bool isViewable(Window window);
    // Every window below the parent, depth first, in stacking order.
    std::vector<Window> descendants(Window parent);
    // The window's title (_NET_WM_NAME, else WM_NAME).
    std::string text(Window window);
    void setText(Window window, const std::string& text);
    // The class part of WM_CLASS.
    std::string className(Window window);

private:
    void* display_ = nullptr;
};

} // namespace bryndle
