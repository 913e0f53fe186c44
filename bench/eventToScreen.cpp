// A power event to the screen, seen from outside the monitor: this program makes the event
// itself, at random moments of the monitor's tick, and timestamps the first X DAMAGE of the
// monitor's main window (found by its title) that follows. Nothing inside the monitor is hooked.
//   eventToScreen --mode snmp --events N [--trap-port P] [--sim-fifo PATH]
//   eventToScreen --mode serial --events N --lines-file PATH
// snmp: sends the UPS agent's status trap from 127.0.0.1 to 127.0.0.1:P (default 162), then tells
// the simulator (a command on its FIFO) the same state, so that its answers agree with the trap.
// serial: replaces the modem-lines file of the preloaded shim (write, then rename): CTS down is a
// line failure, CTS up its return; DCD stays up.
// Events alternate: a line failure, then its return. After a failure it waits for the line-failure
// notice (a window titled "Información" mapped), to check that the notice keeps its time.
// Prints one line per event and a summary:
//   screen link=<mode> n=<events> p50_ms= p90_ms= p99_ms= max_ms= notices=<seen>/<failures>
//   notice_min_ms= notice_max_ms=
// Exits 1 when the window is not found or an event never reaches the screen (5 s).
// clang-format off
// First: X11's macros (None, Success...) would break the project's headers.
#include "statusTrap.h"
// clang-format on

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr const char* kMainTitle = "Korvan Servicio UPS";
constexpr const char* kNoticeTitle = "Información";

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
    return title;
}

int ignoreErrors(Display*, XErrorEvent*) {
    return 0;
}

// The viewable top-level window whose title starts with kMainTitle.
Window findMainWindow(Display* display) {
    Window root, parent, *children = nullptr;
    unsigned int n = 0;
    Window found = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &n)) return 0;
    for (unsigned int i = 0; i < n && !found; ++i) {
        XWindowAttributes a;
        if (XGetWindowAttributes(display, children[i], &a) && a.map_state == IsViewable &&
            windowTitle(display, children[i]).rfind(kMainTitle, 0) == 0) {
            found = children[i];
        }
    }
    if (children) XFree(children);
    return found;
}

struct Options {
    std::string mode;
    int events = 30;
    int trapPort = 162;
    std::string simFifo;
    std::string linesFile;
};

class Probe {
public:
    Probe(Display* d, Window main, int damageBase) : d_(d), main_(main), damageBase_(damageBase) {}

    // Handles the X events that are in; notes the first damage and the notice's map after since.
    void drain(Clock::time_point since) {
        while (XPending(d_)) {
            XEvent e;
            XNextEvent(d_, &e);
            const auto now = Clock::now();
            if (e.type == damageBase_ + XDamageNotify) {
                const auto* de = reinterpret_cast<XDamageNotifyEvent*>(&e);
                XDamageSubtract(d_, de->damage, None, None);
                if (!damaged_) damageMs_ = ms(since, now);
                damaged_ = true;
            } else if (e.type == MapNotify && windowTitle(d_, e.xmap.window) == kNoticeTitle) {
                if (!noticed_) noticeMs_ = ms(since, now);
                noticed_ = true;
                noticeUp_ = true;
            } else if (e.type == UnmapNotify && windowTitle(d_, e.xunmap.window) == kNoticeTitle) {
                noticeUp_ = false;
            }
        }
    }
    void reset() { damaged_ = noticed_ = false; }
    // Waits up to LIMIT for PRED, handling X events.
    template <class Pred>
    bool waitFor(Clock::time_point since, std::chrono::milliseconds limit, Pred pred) {
        const int fd = ConnectionNumber(d_);
        const auto end = Clock::now() + limit;
        for (;;) {
            drain(since);
            if (pred()) return true;
            const auto left = end - Clock::now();
            if (left <= Clock::duration::zero()) return false;
            fd_set fds;
            FD_ZERO(&fds);
            FD_SET(fd, &fds);
            const auto us = std::chrono::duration_cast<std::chrono::microseconds>(left).count();
            timeval tv{static_cast<time_t>(us / 1000000), static_cast<suseconds_t>(us % 1000000)};
            select(fd + 1, &fds, nullptr, nullptr, &tv);
        }
    }
    bool damaged() const { return damaged_; }
    bool noticed() const { return noticed_; }
    bool noticeUp() const { return noticeUp_; }
    double damageMs() const { return damageMs_; }
    double noticeMs() const { return noticeMs_; }

private:
    static double ms(Clock::time_point a, Clock::time_point b) {
        return std::chrono::duration<double, std::milli>(b - a).count();
    }
    Display* d_;
    Window main_;
    int damageBase_;
    bool damaged_ = false, noticed_ = false, noticeUp_ = false;
    double damageMs_ = 0, noticeMs_ = 0;
};

void writeLines(const std::string& file, const char* lines) {
    const std::string tmp = file + ".new";
    FILE* f = std::fopen(tmp.c_str(), "w");
    if (!f) return;
    std::fputs(lines, f);
    std::fclose(f);
    std::rename(tmp.c_str(), file.c_str());
}

double at(std::vector<double> v, double q) {
    std::sort(v.begin(), v.end());
    const auto i = static_cast<std::size_t>(q * static_cast<double>(v.size()));
    return v[std::min(v.size() - 1, i)];
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string k = argv[i], v = argv[i + 1];
        if (k == "--mode") o.mode = v;
        if (k == "--events") o.events = std::atoi(v.c_str());
        if (k == "--trap-port") o.trapPort = std::atoi(v.c_str());
        if (k == "--sim-fifo") o.simFifo = v;
        if (k == "--lines-file") o.linesFile = v;
    }
    if (o.mode != "snmp" && o.mode != "serial") {
        std::fprintf(stderr, "usage: %s --mode snmp|serial --events N ...\n", argv[0]);
        return 2;
    }
    Display* d = XOpenDisplay(nullptr);
    if (!d) {
        std::fprintf(stderr, "no X display\n");
        return 2;
    }
    XSetErrorHandler(ignoreErrors);
    int damageBase = 0, damageError = 0;
    if (!XDamageQueryExtension(d, &damageBase, &damageError)) {
        std::fprintf(stderr, "no DAMAGE extension\n");
        return 2;
    }
    Window main = 0;
    for (int i = 0; i < 300 && !main; ++i) {
        main = findMainWindow(d);
        if (!main) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (!main) {
        std::fprintf(stderr, "no window titled \"%s...\"\n", kMainTitle);
        return 1;
    }
    XSelectInput(d, DefaultRootWindow(d), SubstructureNotifyMask);
    XDamageCreate(d, main, XDamageReportNonEmpty);
    XSync(d, False);

    int sock = -1;
    int fifo = -1;
    sockaddr_in to{};
    if (o.mode == "snmp") {
        sock = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in from{};
        from.sin_family = AF_INET;
        from.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(sock, reinterpret_cast<sockaddr*>(&from), sizeof from);
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<uint16_t>(o.trapPort));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (!o.simFifo.empty()) fifo = open(o.simFifo.c_str(), O_WRONLY);
    } else {
        writeLines(o.linesFile, "cts,dcd");
    }
    const std::string failTrap = ups::bench::statusTrap(2), okTrap = ups::bench::statusTrap(1);

    Probe probe(d, main, damageBase);
    std::mt19937 rng(std::random_device{}());
    std::uniform_int_distribution<int> phase(0, 999);  // a random moment of a 1000 ms tick
    // Settle: the window's first paints and any earlier notice.
    probe.waitFor(Clock::now(), std::chrono::milliseconds(3000), [] { return false; });

    std::vector<double> latencies, notices;
    int failures = 0, lost = 0;
    for (int i = 0; i < o.events; ++i) {
        const bool failure = i % 2 == 0;
        // Each failure's notice is timed: the last one (shown 3 s) must be gone first.
        if (failure) {
            probe.waitFor(Clock::now(), std::chrono::milliseconds(6000),
                          [&] { return !probe.noticeUp(); });
        }
        probe.waitFor(Clock::now(), std::chrono::milliseconds(1000 + phase(rng)),
                      [] { return false; });
        const bool noticeWasUp = probe.noticeUp();
        probe.reset();
        const auto t0 = Clock::now();
        if (o.mode == "snmp") {
            const std::string& trap = failure ? failTrap : okTrap;
            sendto(sock, trap.data(), trap.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
            if (fifo >= 0) {
                const char* cmd = failure ? "mains off\n" : "mains on\n";
                (void)!write(fifo, cmd, std::strlen(cmd));
            }
        } else {
            writeLines(o.linesFile, failure ? "dcd" : "cts,dcd");
        }
        if (!probe.waitFor(t0, std::chrono::milliseconds(5000), [&] { return probe.damaged(); })) {
            std::fprintf(stderr, "event %d (%s) did not reach the window in 5 s\n", i,
                         failure ? "failure" : "return");
            ++lost;
            continue;
        }
        latencies.push_back(probe.damageMs());
        double notice = -1;
        if (failure && !noticeWasUp) {
            ++failures;
            if (probe.waitFor(t0, std::chrono::milliseconds(4000),
                              [&] { return probe.noticed(); })) {
                notice = probe.noticeMs();
                notices.push_back(notice);
            }
        }
        std::printf("event %d kind=%s screen_ms=%.2f notice_ms=%.0f%s\n", i,
                    failure ? "failure" : "return", probe.damageMs(), notice,
                    noticeWasUp ? " (the last notice was still up)" : "");
        std::fflush(stdout);
    }
    if (o.mode == "serial") writeLines(o.linesFile, "cts,dcd");
    if (latencies.empty()) return 1;
    std::printf(
        "screen link=%s n=%zu lost=%d p50_ms=%.2f p90_ms=%.2f p99_ms=%.2f max_ms=%.2f "
        "notices=%zu/%d notice_min_ms=%.0f notice_max_ms=%.0f\n",
        o.mode.c_str(), latencies.size(), lost, at(latencies, 0.5), at(latencies, 0.9),
        at(latencies, 0.99), at(latencies, 1.0), notices.size(), failures,
        notices.empty() ? -1.0 : at(notices, 0.0), notices.empty() ? -1.0 : at(notices, 1.0));
    XCloseDisplay(d);
    return lost ? 1 : 0;
}
