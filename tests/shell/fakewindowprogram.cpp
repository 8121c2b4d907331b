// Stands in for a node program's window in the window tests: makes an unmapped top-level
// window marked with its process id, with one child window, and waits to be ended.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

int main() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        fprintf(stderr, "fakewindow: cannot open display %s\n", getenv("DISPLAY"));
        return 2;
    }
    const Window root = DefaultRootWindow(display);
    const Window window = XCreateSimpleWindow(display, root, 10, 10, 240, 120, 1, 0, 0xffffff);
    XStoreName(display, window, "fake node");
    XClassHint hint{const_cast<char*>("fakenode"), const_cast<char*>("FakeNode")};
    XSetClassHint(display, window, &hint);
    const unsigned long pid = static_cast<unsigned long>(getpid());
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&pid), 1);
    const Window child = XCreateSimpleWindow(display, window, 5, 5, 50, 20, 0, 0, 0xcccccc);
    XStoreName(display, child, "status");
    XClassHint childHint{const_cast<char*>("label"), const_cast<char*>("Label")};
    XSetClassHint(display, child, &childHint);
    XMapWindow(display, child);
    XSync(display, False);
    for (;;)
        pause();
}
