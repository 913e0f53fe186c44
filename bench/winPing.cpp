// Does a window answer? Exposes a few pixels of the first window on the screen whose title starts
// with a given text, after painting them over, and times how long the program takes to paint
// them back; one probe at a time. (Qt does not answer the EWMH _NET_WM_PING here, and a repaint
// needs its GUI thread just the same.)
//   winPing TITLE-PREFIX SECONDS [INTERVAL-MS]
// Prints "stall at_s=.. ms=.." for each answer later than 500 ms, then
//   answer n=.. p50_ms=.. p99_ms=.. max_ms=.. unanswered=..
// An answer that does not come within 30 s counts as unanswered and ends the run (exit 1).
#include <X11/Xlib.h>
#include <X11/Xutil.h>

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

int ignoreErrors(Display*, XErrorEvent*) {
    return 0;
}

Window findWindow(Display* display, const std::string& prefix) {
    Window root, parent, *children = nullptr;
    unsigned int count = 0;
    Window found = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
        return 0;
    for (unsigned int i = 0; i < count && !found; ++i) {
        // Qt also names its unmapped client-leader window after the program: only a window on
        // the screen counts.
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display, children[i], &attributes) ||
            attributes.map_state != IsViewable || attributes.width < 8) {
            continue;
        }
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
    // The probe: a few pixels of the window painted over in a colour of our own, then an Expose
    // for them; the window answers when it has painted them back (Qt repaints from the GUI
    // thread, so a busy or blocked GUI thread shows as a late answer).
    const unsigned long marker = 0xff00ff;
    XGCValues values;
    values.foreground = marker;
    GC gc = XCreateGC(display, window, GCForeground, &values);
    auto pixel = [&] {
        XImage* image = XGetImage(display, window, 1, 1, 1, 1, AllPlanes, ZPixmap);
        if (!image) return marker;  // not readable now: counts as not answered yet
        const unsigned long value = XGetPixel(image, 0, 0) & 0xffffff;
        XDestroyImage(image);
        return value;
    };

    const auto start = Clock::now();
    std::vector<double> latencies;
    int unanswered = 0;
    while (Clock::now() - start < std::chrono::duration<double>(seconds)) {
        XFillRectangle(display, window, gc, 0, 0, 4, 4);
        XSync(display, False);
        if (pixel() != marker) {  // painted over by the window meanwhile; try again
            std::this_thread::sleep_for(std::chrono::milliseconds(intervalMs));
            continue;
        }
        const auto sent = Clock::now();
        XClearArea(display, window, 0, 0, 4, 4, True);
        XFlush(display);
        bool answered = false;
        while (!answered && Clock::now() - sent < std::chrono::seconds(30)) {
            answered = pixel() != marker;
            if (!answered) std::this_thread::sleep_for(std::chrono::milliseconds(5));
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
        std::this_thread::sleep_for(std::chrono::milliseconds(intervalMs));
    }
    XFreeGC(display, gc);
    std::printf("answer n=%zu p50_ms=%.1f p99_ms=%.1f max_ms=%.1f unanswered=%d\n",
                latencies.size(), percentile(latencies, 0.5), percentile(latencies, 0.99),
                latencies.empty() ? 0.0 : *std::max_element(latencies.begin(), latencies.end()),
                unanswered);
    XCloseDisplay(display);
    return unanswered || latencies.empty() ? 1 : 0;
}
