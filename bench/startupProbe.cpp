// Start-up time seen from outside the program: from the fork that starts it to the X server's
// MapNotify of its first top-level window whose title starts with a given text. Nothing inside
// the program is hooked. The program is ended (SIGTERM) once its window is seen.
//   startupProbe TITLE-PREFIX -- COMMAND [ARGS...]
// Prints "startup_ms=<milliseconds>"; exits 1 when no such window is mapped within 30 s.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/select.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

std::string windowTitle(Display* display, Window window) {
    const Atom netWmName = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type;
    int format;
    unsigned long items, after;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(display, window, netWmName, 0, 1024, False, utf8, &type, &format, &items,
                           &after, &data) == Success &&
        data) {
        title.assign(reinterpret_cast<char*>(data), items);
        XFree(data);
    }
    if (title.empty()) {
        char* name = nullptr;
        if (XFetchName(display, window, &name) && name) {
            title = name;
            XFree(name);
        }
    }
    return title;
}

int ignoreErrors(Display*, XErrorEvent*) {
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4 || std::strcmp(argv[2], "--") != 0) {
        std::fprintf(stderr, "usage: %s TITLE-PREFIX -- COMMAND [ARGS...]\n", argv[0]);
        return 2;
    }
    const std::string prefix = argv[1];
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "no X display\n");
        return 2;
    }
    XSetErrorHandler(ignoreErrors);
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);

    const auto start = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[3], argv + 3);
        _exit(127);
    }
    const int fd = ConnectionNumber(display);
    bool seen = false;
    while (!seen && Clock::now() - start < std::chrono::seconds(30)) {
        while (!seen && XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify &&
                windowTitle(display, event.xmap.window).rfind(prefix, 0) == 0) {
                seen = true;
            }
        }
        if (seen) break;
        fd_set fds;
        FD_ZERO(&fds);
        FD_SET(fd, &fds);
        timeval wait{0, 100000};
        select(fd + 1, &fds, nullptr, nullptr, &wait);
    }
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    kill(child, SIGTERM);
    int status = 0;
    waitpid(child, &status, 0);
    XCloseDisplay(display);
    if (!seen) {
        std::fprintf(stderr, "no window titled \"%s...\" within 30 s\n", prefix.c_str());
        return 1;
    }
    std::printf("startup_ms=%.1f\n", ms);
    return 0;
}
