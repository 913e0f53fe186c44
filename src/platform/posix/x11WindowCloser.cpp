#include "platform/posix/x11WindowCloser.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#ifdef UPS_HAVE_XRES
#include <X11/extensions/XRes.h>
#include <dlfcn.h>
#endif

#include <algorithm>
#include <set>
#include <utility>

namespace ups {

namespace {

// A window may vanish between the listing and the questions about it; Xlib's default handler
// would end the monitor for that.
int ignoreXError(Display*, XErrorEvent*) {
    return 0;
}

class QuietXErrors {
public:
    QuietXErrors() : previous_(XSetErrorHandler(ignoreXError)) {}
    ~QuietXErrors() { XSetErrorHandler(previous_); }
    QuietXErrors(const QuietXErrors&) = delete;
    QuietXErrors& operator=(const QuietXErrors&) = delete;

private:
    XErrorHandler previous_;
};

enum AtomIndex {
    aNetClientList,
    aNetWmPid,
    aNetWmName,
    aUtf8String,
    aNetWmWindowType,
    aTypeDesktop,
    aTypeDock,
    aWmProtocols,
    aWmDeleteWindow,
    aNetCloseWindow,
    aWmState,
    atomCount
};

const char* kAtomNames[atomCount] = {
    "_NET_CLIENT_LIST",
    "_NET_WM_PID",
    "_NET_WM_NAME",
    "UTF8_STRING",
    "_NET_WM_WINDOW_TYPE",
    "_NET_WM_WINDOW_TYPE_DESKTOP",
    "_NET_WM_WINDOW_TYPE_DOCK",
    "WM_PROTOCOLS",
    "WM_DELETE_WINDOW",
    "_NET_CLOSE_WINDOW",
    "WM_STATE",
};

constexpr long kIconicState = 3;

struct Property {
    Atom type = None;
    int format = 0;
    std::vector<unsigned char> bytes;  // format 8
    std::vector<unsigned long> items;  // format 32, as Xlib hands them over
};

Property readProperty(Display* d, Window w, Atom name, Atom type) {
    Property p;
    Atom actualType = None;
    int actualFormat = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, w, name, 0, 1L << 16, False, type, &actualType, &actualFormat, &count,
                           &after, &data) != Success) {
        return p;
    }
    p.type = actualType;
    p.format = actualFormat;
    if (data != nullptr) {
        if (actualFormat == 8) {
            p.bytes.assign(data, data + count);
        } else if (actualFormat == 32) {
            auto* longs = reinterpret_cast<unsigned long*>(data);
            p.items.assign(longs, longs + count);
        }
        XFree(data);
    }
    return p;
}

#ifdef UPS_HAVE_XRES
// The X resource extension's client library, loaded when applications are first to be closed
// rather than with the monitor: it is needed once per outage at most, and loaded at the start it
// and the library it needs would stay in the idle monitor's memory (about 80 kB) all along.
struct XResLibrary {
    decltype(&XResQueryExtension) queryExtension = nullptr;
    decltype(&XResQueryVersion) queryVersion = nullptr;
    decltype(&XResQueryClientIds) queryClientIds = nullptr;
    decltype(&XResClientIdsDestroy) clientIdsDestroy = nullptr;
    decltype(&XResGetClientPid) getClientPid = nullptr;

    bool loaded() const {
        return queryExtension && queryVersion && queryClientIds && clientIdsDestroy && getClientPid;
    }
};

template <typename Function>
void bind(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(library, name));
}

// Loaded once, kept for the rest of the run; none of it when the library is missing.
const XResLibrary& xres() {
    static const XResLibrary library = [] {
        XResLibrary l;
        void* handle = dlopen("libXRes.so.1", RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) return l;
        bind(handle, "XResQueryExtension", l.queryExtension);
        bind(handle, "XResQueryVersion", l.queryVersion);
        bind(handle, "XResQueryClientIds", l.queryClientIds);
        bind(handle, "XResClientIdsDestroy", l.clientIdsDestroy);
        bind(handle, "XResGetClientPid", l.getClientPid);
        return l;
    }();
    return library;
}
#endif

class Session {
public:
    explicit Session(Display* d) : d_(d), root_(DefaultRootWindow(d)) {
        XInternAtoms(d_, const_cast<char**>(kAtomNames), atomCount, False, atoms_);
        hasXRes_ = queryXRes();
    }

    // The window manager's client list in mapping order, else the root's children.
    std::vector<Window> topLevelWindows() const {
        Property list = readProperty(d_, root_, atoms_[aNetClientList], XA_WINDOW);
        if (list.format == 32 && !list.items.empty()) {
            return {list.items.begin(), list.items.end()};
        }
        std::vector<Window> windows;
        Window rootReturn = 0, parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (XQueryTree(d_, root_, &rootReturn, &parent, &children, &count) && children) {
            windows.assign(children, children + count);
            XFree(children);
        }
        return windows;
    }

    long ownerPid(Window w) const {
        long pid = xresPid(w);
        if (pid > 0) return pid;
        Property p = readProperty(d_, w, atoms_[aNetWmPid], XA_CARDINAL);
        if (p.format == 32 && !p.items.empty()) return static_cast<long>(p.items[0]);
        return -1;
    }

    bool hasOwner(Window w) const {
        Window owner = None;
        return XGetTransientForHint(d_, w, &owner) && owner != None;
    }

    // Mapped, or minimised by the window manager: a window a user could bring up.
    bool isShown(Window w) const {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(d_, w, &attributes)) return false;
        if (attributes.override_redirect) return false;
        if (attributes.map_state != IsUnmapped) return true;
        Property state = readProperty(d_, w, atoms_[aWmState], atoms_[aWmState]);
        return state.format == 32 && !state.items.empty() && state.items[0] == kIconicState;
    }

    std::string title(Window w) const {
        Property name = readProperty(d_, w, atoms_[aNetWmName], atoms_[aUtf8String]);
        if (name.format == 8 && !name.bytes.empty()) {
            return {name.bytes.begin(), name.bytes.end()};
        }
        char* legacy = nullptr;
        std::string text;
        if (XFetchName(d_, w, &legacy) && legacy) {
            // WM_NAME is Latin-1; the titles leave here as UTF-8.
            for (const char* c = legacy; *c != '\0'; ++c) {
                const auto byte = static_cast<unsigned char>(*c);
                if (byte < 0x80) {
                    text += *c;
                } else {
                    text += static_cast<char>(0xC0 | (byte >> 6));
                    text += static_cast<char>(0x80 | (byte & 0x3F));
                }
            }
            XFree(legacy);
        }
        return text;
    }

    // The desktop and the panels are part of the session, not applications.
    bool isDesktopOrDock(Window w) const {
        Property types = readProperty(d_, w, atoms_[aNetWmWindowType], XA_ATOM);
        return std::any_of(types.items.begin(), types.items.end(), [&](unsigned long t) {
            return t == atoms_[aTypeDesktop] || t == atoms_[aTypeDock];
        });
    }

    bool takesDeleteWindow(Window w) const {
        Atom* protocols = nullptr;
        int count = 0;
        bool takes = false;
        if (XGetWMProtocols(d_, w, &protocols, &count) && protocols) {
            takes = std::find(protocols, protocols + count, atoms_[aWmDeleteWindow]) !=
                    protocols + count;
            XFree(protocols);
        }
        return takes;
    }

    void sendDeleteWindow(Window w) const {
        XEvent e = clientMessage(w, atoms_[aWmProtocols]);
        e.xclient.data.l[0] = static_cast<long>(atoms_[aWmDeleteWindow]);
        e.xclient.data.l[1] = CurrentTime;
        XSendEvent(d_, w, False, NoEventMask, &e);
    }

    void sendNetCloseWindow(Window w) const {
        constexpr long kSourceOther = 2;
        XEvent e = clientMessage(w, atoms_[aNetCloseWindow]);
        e.xclient.data.l[0] = CurrentTime;
        e.xclient.data.l[1] = kSourceOther;
        XSendEvent(d_, root_, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    }

    // The X connection that created the window: stands for the process when no PID is known.
    unsigned long clientOf(Window w) const {
#ifdef UPS_HAVE_XRES
        if (hasXRes_) {
            XResClientIdSpec clientSpec{w, XRES_CLIENT_ID_XID_MASK};
            long count = 0;
            XResClientIdValue* values = nullptr;
            if (xres().queryClientIds(d_, 1, &clientSpec, &count, &values) == Success) {
                unsigned long client = w;
                if (count > 0) {
                    const auto& [query, length, value] = values[0];
                    client = query.client;
                }
                xres().clientIdsDestroy(count, values);
                return client;
            }
        }
#endif
        return w;
    }

private:
    XEvent clientMessage(Window w, Atom type) const {
        XEvent e{};
        e.xclient.type = ClientMessage;
        e.xclient.display = d_;
        e.xclient.window = w;
        e.xclient.message_type = type;
        e.xclient.format = 32;
        return e;
    }

    bool queryXRes() const {
#ifdef UPS_HAVE_XRES
        const XResLibrary& library = xres();
        if (!library.loaded()) return false;
        int eventBase = 0, errorBase = 0, major = 0, minor = 0;
        if (!library.queryExtension(d_, &eventBase, &errorBase)) return false;
        if (!library.queryVersion(d_, &major, &minor)) return false;
        return major > 1 || (major == 1 && minor >= 2);
#else
        return false;
#endif
    }

    // The server knows the process of every local client, whatever the client set.
    long xresPid(Window w) const {
#ifdef UPS_HAVE_XRES
        if (!hasXRes_) return -1;
        XResClientIdSpec clientSpec{w, XRES_CLIENT_ID_PID_MASK};
        long count = 0;
        XResClientIdValue* values = nullptr;
        if (xres().queryClientIds(d_, 1, &clientSpec, &count, &values) != Success) return -1;
        long pid = -1;
        for (long i = 0; i < count; ++i) {
            const auto& [query, length, value] = values[i];
            if (query.mask & XRES_CLIENT_ID_PID_MASK) pid = xres().getClientPid(&values[i]);
        }
        xres().clientIdsDestroy(count, values);
        return pid;
#else
        (void)w;
        return -1;
#endif
    }

    Display* d_;
    Window root_;
    Atom atoms_[atomCount]{};
    bool hasXRes_ = false;
};

}  // namespace

X11WindowCloser::X11WindowCloser(long ownPid, std::string displayName)
    : ownPid_(ownPid), displayName_(std::move(displayName)) {}

std::vector<CloseRequestSent> X11WindowCloser::closeOtherApplications() const {
    return pass(true);
}

std::vector<CloseRequestSent> X11WindowCloser::listOtherApplications() const {
    return pass(false);
}

std::vector<CloseRequestSent> X11WindowCloser::pass(bool send) const {
    std::vector<CloseRequestSent> sent;
    QuietXErrors quiet;
    Display* d = XOpenDisplay(displayName_.empty() ? nullptr : displayName_.c_str());
    if (d == nullptr) return sent;
    Session session(d);

    // Processes already asked in this pass; unknown owners are told apart by connection.
    std::set<std::pair<bool, unsigned long>> asked;
    for (Window w : session.topLevelWindows()) {
        const long pid = session.ownerPid(w);
        if (pid == ownPid_ || session.hasOwner(w)) continue;
        const auto key = pid > 0 ? std::make_pair(true, static_cast<unsigned long>(pid))
                                 : std::make_pair(false, session.clientOf(w));
        if (asked.count(key)) continue;
        std::string title = session.title(w);
        if (title.empty() || !session.isShown(w) || session.isDesktopOrDock(w)) continue;

        asked.insert(key);
        const bool viaDelete = session.takesDeleteWindow(w);
        if (send && viaDelete) {
            session.sendDeleteWindow(w);
        } else if (send) {
            session.sendNetCloseWindow(w);
        }
        sent.push_back({w, pid, std::move(title), viaDelete});
    }
    XCloseDisplay(d);  // flushes the requests; nothing waits for the targets
    return sent;
}

}  // namespace ups
