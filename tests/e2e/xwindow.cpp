// SPDX-License-Identifier: GPL-3.0-or-later
// Looks at and closes the top-level windows of an X display, as a window
// manager would: the end-to-end test needs to see the real program's window
// and close it the way a user does.
//
//   xwindow list                      id, size and title of every mapped window
//   xwindow wait TITLE SECONDS [WxH]  exit 0 once such a window is mapped (!WxH: of another size)
//   xwindow gone TITLE SECONDS [WxH]  exit 0 once no such window is mapped
//   xwindow close TITLE               ask every mapped window titled TITLE to close
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <chrono>
#include <poll.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {
struct Window_ {
    Window id;
    int width, height;
    std::string title;
};

std::string titleOf(Display* display, Window window) {
    const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(display, window, netName, 0, 1024, False, utf8, &type, &format, &count,
                           &after, &data) == Success &&
        data) {
        title.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
        return title;
    }
    char* name = nullptr;
    if (XFetchName(display, window, &name) && name) {
        title = name;
        XFree(name);
    }
    return title;
}

// Every window mapped, and each title set or changed, reaches the display's connection as an event.
std::vector<Window_> mappedWindows(Display* display) {
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    std::vector<Window_> found;
    Window root, parent, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
        return found;
    for (unsigned int i = 0; i < count; ++i) {
        XSelectInput(display, children[i], PropertyChangeMask);
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display, children[i], &attributes) ||
            attributes.map_state != IsViewable)
            continue;
        found.push_back(
            {children[i], attributes.width, attributes.height, titleOf(display, children[i])});
    }
    if (children)
        XFree(children);
    return found;
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "xwindow: cannot open display\n");
        return 2;
    }
    // A window may go between listing it and asking about it; it is simply not there.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    // Every way out of main closes the connection, so a leak checker sees none.
    const std::unique_ptr<Display, decltype(&XCloseDisplay)> connection(display, XCloseDisplay);
    const std::string command = argv[1];
    if (command == "list") {
        for (const auto& w : mappedWindows(display))
            std::printf("0x%lx %dx%d %s\n", w.id, w.width, w.height, w.title.c_str());
        return 0;
    }
    if ((command == "wait" || command == "gone") && argc >= 4) {
        const std::string title = argv[2];
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::seconds(std::atoi(argv[3]));
        const bool otherSize = argc >= 5 && argv[4][0] == '!';
        int width = 0, height = 0;
        if (argc >= 5)
            std::sscanf(argv[4] + otherSize, "%dx%d", &width, &height);
        for (;;) {
            const Window_* found = nullptr;
            const auto windows = mappedWindows(display);
            for (const auto& w : windows)
                if (w.title == title &&
                    (!width || (w.width == width && w.height == height) != otherSize))
                    found = &w;
            if (found && command == "wait")
                std::printf("0x%lx %dx%d %s\n", found->id, found->width, found->height,
                            found->title.c_str());
            if (!found == (command == "gone"))
                return 0;
            // Nothing to do until the display tells of a change, or the time is up.
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd connectionFd{ConnectionNumber(display), POLLIN, 0};
            if (XPending(display) == 0 && (left.count() <= 0 || poll(&connectionFd, 1, int(left.count())) <= 0))
                return 1;
            for (XEvent event; XPending(display);)
                XNextEvent(display, &event);
        }
    }
    if (command == "close" && argc >= 3) {
        const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
        const Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
        int closed = 0;
        for (const auto& w : mappedWindows(display)) {
            if (w.title != argv[2])
                continue;
            XEvent event;
            std::memset(&event, 0, sizeof event);
            event.xclient.type = ClientMessage;
            event.xclient.window = w.id;
            event.xclient.message_type = protocols;
            event.xclient.format = 32;
            event.xclient.data.l[0] = long(deleteWindow);
            event.xclient.data.l[1] = CurrentTime;
            XSendEvent(display, w.id, False, NoEventMask, &event);
            ++closed;
        }
        XFlush(display);
        return closed ? 0 : 1;
    }
    return 2;
}
