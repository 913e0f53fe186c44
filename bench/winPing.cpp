// Does a window answer? Sends the EWMH _NET_WM_PING to the first top-level window whose title
// starts with a given text, one at a time, and times each answer (Qt answers from the GUI thread,
// so a busy or blocked GUI thread shows as a late answer).
//   winPing TITLE-PREFIX SECONDS [INTERVAL-MS]
// Prints "stall at_s=.. ms=.." for each answer later than 500 ms, then
//   ping n=.. p50_ms=.. p99_ms=.. max_ms=.. unanswered=..
// An answer that does not come within 30 s counts as unanswered and ends the run (exit 1).
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <sys/select.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

int ignoreErrors(Display*, XErrorEvent*) { return 0; }

Window findWindow(Display* display, const std::string& prefix) {
    Window root, parent, *children = nullptr;
    unsigned int count = 0;
    Window found = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) return 0;
    for (unsigned int i = 0; i < count && !found; ++i) {
        char* name = nullptr;
        if (XFetchName(display, children[i], &name) && name) {
            if (std::string(name).rfind(prefix, 0) == 0) found = children[i];
            XFree(name);
        }
    }
    if (children) XFree(children);
    return found;
}

double percentile(std::vector<double> v, double q) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(q * v.size()))];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s TITLE-PREFIX SECONDS [INTERVAL-MS]\n", argv[0]);
        return 2;
    }
    const std::string prefix = argv[1];
    const double seconds = std::atof(argv[2]);
    const int intervalMs = argc > 3 ? std::atoi(argv[3]) : 200;
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 2;
    XSetErrorHandler(ignoreErrors);
    Window window = 0;
    for (int i = 0; i < 100 && !window; ++i) {
        window = findWindow(display, prefix);
        if (!window) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (!window) {
        std::fprintf(stderr, "no window titled \"%s...\"\n", prefix.c_str());
        return 2;
    }
    const Window rootWindow = DefaultRootWindow(display);
    XSelectInput(display, rootWindow, SubstructureNotifyMask);
    const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom ping = XInternAtom(display, "_NET_WM_PING", False);
    const int fd = ConnectionNumber(display);

    const auto start = Clock::now();
    std::vector<double> latencies;
    int unanswered = 0;
    long id = 1;
    while (Clock::now() - start < std::chrono::duration<double>(seconds)) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = protocols;
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(ping);
        event.xclient.data.l[1] = id;
        event.xclient.data.l[2] = static_cast<long>(window);
        const auto sent = Clock::now();
        XSendEvent(display, window, False, NoEventMask, &event);
        XFlush(display);
        bool answered = false;
        while (!answered && Clock::now() - sent < std::chrono::seconds(30)) {
            while (!answered && XPending(display)) {
                XEvent reply;
                XNextEvent(display, &reply);
                answered = reply.type == ClientMessage && reply.xclient.message_type == protocols &&
                           static_cast<Atom>(reply.xclient.data.l[0]) == ping &&
                           reply.xclient.data.l[1] == id;
            }
            if (answered) break;
            fd_set fds;
            FD_ZERO(&fds);
            FD_SET(fd, &fds);
            timeval wait{0, 20000};
            select(fd + 1, &fds, nullptr, nullptr, &wait);
        }
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - sent).count();
        if (!answered) {
            ++unanswered;
            break;
        }
        latencies.push_back(ms);
        if (ms > 500) {
            std::printf("stall at_s=%.1f ms=%.0f\n",
                        std::chrono::duration<double>(sent - start).count(), ms);
            std::fflush(stdout);
        }
        ++id;
        std::this_thread::sleep_for(std::chrono::milliseconds(intervalMs));
    }
    std::printf("ping n=%zu p50_ms=%.1f p99_ms=%.1f max_ms=%.1f unanswered=%d\n", latencies.size(),
                percentile(latencies, 0.5), percentile(latencies, 0.99),
                latencies.empty() ? 0.0 : *std::max_element(latencies.begin(), latencies.end()),
                unanswered);
    XCloseDisplay(display);
    return unanswered || latencies.empty() ? 1 : 0;
}
