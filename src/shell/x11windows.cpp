#include "shell/x11windows.h"

#ifdef BRYNDLE_HAVE_X11

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstring>
#include <functional>

namespace bryndle {

namespace {

Display* dpy(void* display) {
    return static_cast<Display*>(display);
}

int ignoreErrors(Display*, XErrorEvent*) {
    return 0;
}

// Windows of other clients may vanish while we look at them: their errors are expected.
class ErrorTrap {
public:
    explicit ErrorTrap(Display* display) : display_(display) {
        XSync(display_, False);
        previous_ = XSetErrorHandler(ignoreErrors);
    }
    ~ErrorTrap() {
        XSync(display_, False);
        XSetErrorHandler(previous_);
    }

private:
    Display* display_;
    int (*previous_)(Display*, XErrorEvent*);
};

bool cardinalProperty(Display* display, Window window, Atom property, unsigned long* value) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(display, window, property, 0, 1, False, XA_CARDINAL,
                                          &type, &format, &count, &after, &data);
    bool found = false;
    if (status == Success && data && type == XA_CARDINAL && format == 32 && count == 1) {
        *value = *reinterpret_cast<unsigned long*>(data);
        found = true;
    }
    if (data)
        XFree(data);
    return found;
}

std::vector<Window> children(Display* display, Window parent) {
    Window root = 0, up = 0;
    Window* list = nullptr;
    unsigned int count = 0;
    std::vector<Window> result;
    if (XQueryTree(display, parent, &root, &up, &list, &count) && list) {
        result.assign(list, list + count);
        XFree(list);
    }
    return result;
}

} // namespace

X11Windows::X11Windows() {
    display_ = XOpenDisplay(nullptr);
}

X11Windows::~X11Windows() {
    if (display_)
        XCloseDisplay(dpy(display_));
}

X11Windows::Window X11Windows::findByProcess(pid_t pid) {
    if (!display_ || pid <= 0)
        return 0;
    Display* d = dpy(display_);
    ErrorTrap trap(d);
    const Atom pidAtom = XInternAtom(d, "_NET_WM_PID", False);
    // Top-level windows first (an unmapped window is one), then, two levels down, the client
    // windows that a window manager has put into its frames.
    std::vector<Window> level = children(d, DefaultRootWindow(d));
    for (int depth = 0; depth < 3 && !level.empty(); ++depth) {
        std::vector<Window> next;
        for (Window w : level) {
            unsigned long value = 0;
            if (cardinalProperty(d, w, pidAtom, &value) && value == static_cast<unsigned long>(pid))
                return w;
            auto below = children(d, w);
            next.insert(next.end(), below.begin(), below.end());
        }
        level = std::move(next);
    }
    return 0;
}

void X11Windows::setVisible(Window window, bool visible) {
    if (!display_ || !window)
        return;
    Display* d = dpy(display_);
    ErrorTrap trap(d);
    if (visible) {
        XMapRaised(d, window);
    } else {
        // Withdrawing (unmap plus the synthetic notice) also makes a window manager drop its frame.
        XWithdrawWindow(d, window, DefaultScreen(d));
    }
    XFlush(d);
}

bool X11Windows::isViewable(Window window) {
    if (!display_ || !window)
        return false;
    Display* d = dpy(display_);
    ErrorTrap trap(d);
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(d, window, &attributes))
        return false;
    return attributes.map_state == IsViewable;
}

std::vector<X11Windows::Window> X11Windows::descendants(Window parent) {
    std::vector<Window> result;
    if (!display_ || !parent)
        return result;
    Display* d = dpy(display_);
    ErrorTrap trap(d);
    std::function<void(Window)> walk = [&](Window w) {
        for (Window child : children(d, w)) {
            result.push_back(child);
            walk(child);
        }
    };
    walk(parent);
    return result;
}

std::string X11Windows::text(Window window) {
    if (!display_ || !window)
        return {};
    Display* d = dpy(display_);
    ErrorTrap trap(d);
    const Atom netName = XInternAtom(d, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string result;
    if (XGetWindowProperty(d, window, netName, 0, 1024, False, utf8, &type, &format, &count, &after,
                           &data) == Success &&
        data && type == utf8 && format == 8) {
        result.assign(reinterpret_cast<char*>(data), count);
    } else {
        char* name = nullptr;
        if (XFetchName(d, window, &name) && name) {
            result = name;
            XFree(name);
        }
    }
    if (data)
        XFree(data);
    return result;
}

void X11Windows::setText(Window window, const std::string& text) {
    if (!display_ || !window)
        return;
    Display* d = dpy(display_);
    ErrorTrap trap(d);
    const Atom netName = XInternAtom(d, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
    XChangeProperty(d, window, netName, utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(text.data()),
                    static_cast<int>(text.size()));
    XStoreName(d, window, text.c_str());
    XFlush(d);
}

std::string X11Windows::className(Window window) {
    if (!display_ || !window)
        return {};
    Display* d = dpy(display_);
    ErrorTrap trap(d);
    XClassHint hint{nullptr, nullptr};
    std::string result;
    if (XGetClassHint(d, window, &hint)) {
        if (hint.res_class)
            result = hint.res_class;
        if (hint.res_name)
            XFree(hint.res_name);
        if (hint.res_class)
            XFree(hint.res_class);
    }
    return result;
}

} // namespace bryndle

#else // without X11: nothing to find, nothing to change

namespace bryndle {

X11Windows::X11Windows() = default;
X11Windows::~X11Windows() = default;
X11Windows::Window X11Windows::findByProcess(pid_t) {
    return 0;
}
void X11Windows::setVisible(Window, bool) {}
bool X11Windows::isViewable(Window) {
    return false;
}
std::vector<X11Windows::Window> X11Windows::descendants(Window) {
    return {};
}
std::string X11Windows::text(Window) {
    return {};
}
void X11Windows::setText(Window, const std::string&) {}
std::string X11Windows::className(Window) {
    return {};
}

} // namespace bryndle

#endif
