// An X client with the windows a test asks for, one per argument:
//   titled:NAME     mapped, titled, takes WM_DELETE_WINDOW
//   noproto:NAME    mapped, titled, no WM_PROTOCOLS (closing is left to the window manager)
//   untitled        mapped, no title
//   hidden:NAME     titled, never mapped
//   transient:NAME  mapped, titled, transient for the first window
//   dock:NAME       mapped, titled, a dock window
//   iconic:NAME     titled, unmapped, WM_STATE iconic: what a window manager leaves of a
//                   minimised window (for sessions without one)
// It sets no _NET_WM_PID, so only the X-Resource extension tells its process. It prints
// "ready <id>..." once its windows are mapped, "delete <id>" when asked to close a window (and
// then exits), and gives up after a minute so a broken test leaves nothing behind.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

Window makeWindow(Display* d, const std::string& request, Window first) {
    const std::string kind = request.substr(0, request.find(':'));
    const std::string name =
        request.find(':') == std::string::npos ? "" : request.substr(request.find(':') + 1);
    Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 10, 10, 120, 60, 1, 0, 0xFFFFFF);
    if (!name.empty()) XStoreName(d, w, name.c_str());
    if (kind != "noproto") {
        Atom deleteWindow = XInternAtom(d, "WM_DELETE_WINDOW", False);
        XSetWMProtocols(d, w, &deleteWindow, 1);
    }
    if (kind == "transient" && first != None) XSetTransientForHint(d, w, first);
    if (kind == "dock") {
        Atom type = XInternAtom(d, "_NET_WM_WINDOW_TYPE", False);
        Atom dock = XInternAtom(d, "_NET_WM_WINDOW_TYPE_DOCK", False);
        XChangeProperty(d, w, type, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&dock), 1);
    }
    if (kind == "iconic") {
        Atom wmState = XInternAtom(d, "WM_STATE", False);
        long state[2] = {IconicState, None};
        XChangeProperty(d, w, wmState, wmState, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(state), 2);
    }
    if (kind != "hidden" && kind != "iconic") XMapWindow(d, w);
    return w;
}

}  // namespace

int main(int argc, char** argv) {
    Display* d = XOpenDisplay(nullptr);
    if (d == nullptr) return 2;
    std::vector<Window> windows;
    for (int i = 1; i < argc; ++i) {
        windows.push_back(makeWindow(d, argv[i], windows.empty() ? None : windows.front()));
    }
    XSync(d, False);
    std::printf("ready");
    for (Window w : windows) std::printf(" %lu", w);
    std::printf("\n");
    std::fflush(stdout);

    const Atom protocols = XInternAtom(d, "WM_PROTOCOLS", False);
    const std::time_t giveUp = std::time(nullptr) + 60;
    while (std::time(nullptr) < giveUp) {
        while (XPending(d)) {
            XEvent e;
            XNextEvent(d, &e);
            if (e.type == ClientMessage && e.xclient.message_type == protocols) {
                std::printf("delete %lu\n", e.xclient.window);
                std::fflush(stdout);
                XCloseDisplay(d);
                return 0;
            }
        }
        pollfd p{ConnectionNumber(d), POLLIN, 0};
        poll(&p, 1, 200);
    }
    return 1;
}
