// Modem lines for a pseudo-terminal, which has none: preloaded into the real monitor
// (LD_PRELOAD), it answers the modem-status requests made on a pseudo-terminal as a UPS cable
// would, so that a COM port mapped to a pseudo-terminal reads like one:
// - CTS and DCD come from UPS_FAKE_MODEM_LINES_FILE when it is set: a file holding "cts", "dcd",
//   "cts,dcd" or nothing, read again at every request, so that a test or a benchmark can flip the
//   lines while the monitor runs. Replace the file whole (write another one in the same folder
//   and rename it over this one): a request may otherwise read it half written. A missing file
//   means neither line. Without that variable, UPS_FAKE_MODEM_LINES holds them for the whole run.
// - RTS and DTR keep what the monitor sets.
// - TIOCMIWAIT (wait until one of the lines asked for changes) blocks until the file's lines
//   differ in one of those lines from what the last TIOCMGET on the same descriptor gave (from
//   what they were at the call when there was none): a change between a read and the wait that
//   follows it is not lost, as it is not on a serial driver that counts changes (TIOCGICOUNT,
//   which is not emulated: the watcher falls back on this). It ends with EINTR when a
//   signal arrives, as the system's wait does, with EIO when the pseudo-terminal hangs up (its
//   other side closed, as an adapter pulled out), and with EBADF when the descriptor is not open
//   at the call.
//   It watches the file's folder with inotify, so it wakes the process only when a file there
//   changes (every 5 ms if inotify cannot watch it).
// - TIOCMGET and the others fail with EIO once the pseudo-terminal has hung up, as the system's
//   own request on it does.
// Every other request, and every request on anything but a pseudo-terminal, goes to the system
// unchanged.
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using IoctlFn = int (*)(int, unsigned long, ...);

// A real port's status request is the program's call into the C library and one system call.
// What this library does for it instead should touch no more of the idle monitor's memory than
// that: one page of this library's code (in place of the C library's) and one of its data, this
// table. So everything a request reads or writes is in it, set once when the library is loaded,
// and the request on a pseudo-terminal goes to the system without the C library (which would
// touch the C library's page and errno's).
// - kind: 0 not looked at (or closed since), 1 a pseudo-terminal, 2 something else; looked up
//   once per descriptor, not at every request;
// - lastRead: one more than the input lines the last TIOCMGET on it gave; 0 when none.
// The table starts a page, so that the descriptors a process opens first share the page with the
// rest of it.
constexpr int kKnownDescriptors = 480;
struct Descriptor {
    std::atomic<int> kind;
    std::atomic<int> lastRead;
};
struct alignas(4096) Shared {
    IoctlFn systemIoctl;
    const char* linesFile;      // UPS_FAKE_MODEM_LINES_FILE, or null
    int namedLines;             // UPS_FAKE_MODEM_LINES
    std::atomic<int> heldBits;  // RTS and DTR as last set
    Descriptor descriptors[kKnownDescriptors];
};
Shared shared;

int linesNamed(const char* named);

// Before the program's own code runs, and so before its first request; a request made by another
// library's start-up, before this, finds it done there.
void load() {
    if (shared.systemIoctl != nullptr) return;
    shared.linesFile = std::getenv("UPS_FAKE_MODEM_LINES_FILE");
    const char* named = std::getenv("UPS_FAKE_MODEM_LINES");
    shared.namedLines = named != nullptr ? linesNamed(named) : 0;
    shared.systemIoctl = reinterpret_cast<IoctlFn>(dlsym(RTLD_NEXT, "ioctl"));
}
[[gnu::constructor]] void loadAtStart() {
    load();
}

IoctlFn systemIoctl() {
    if (shared.systemIoctl == nullptr) load();
    return shared.systemIoctl;
}

// Unix 98 pseudo-terminal slaves have majors 136 to 143.
bool isPseudoTerminal(int fd) {
    const bool remembered = fd >= 0 && fd < kKnownDescriptors;
    if (remembered) {
        const int kind = shared.descriptors[fd].kind.load(std::memory_order_relaxed);
        if (kind != 0) return kind == 1;
    }
    struct stat st {};
    const bool terminal = fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && major(st.st_rdev) >= 136 &&
                          major(st.st_rdev) <= 143;
    if (remembered) shared.descriptors[fd].kind.store(terminal ? 1 : 2);
    return terminal;
}

int linesNamed(const char* named) {
    int bits = 0;
    if (std::strstr(named, "cts")) bits |= TIOCM_CTS;
    if (std::strstr(named, "dcd")) bits |= TIOCM_CAR;
    return bits;
}

int inputLines() {
    if (const char* path = shared.linesFile) {
        char text[64] = {};
        const int fd = open(path, O_RDONLY | O_CLOEXEC);
        if (fd < 0) return 0;
        const ssize_t got = read(fd, text, sizeof text - 1);
        close(fd);
        return got > 0 ? linesNamed(text) : 0;
    }
    return shared.namedLines;
}

// Whether the pseudo-terminal has hung up, asked the way a real port's request is made: one
// modem-status request to the system, which a pseudo-terminal refuses (ENOTTY) while it is up and
// fails with EIO once it has hung up. (A poll would tell too, but that is a call a real port's
// request never makes, and after a second's sleep it costs the idle monitor more than this one.)
bool hungUp(int fd) {
    int probe = 0;
#if defined(__x86_64__)
    long result = SYS_ioctl;
    asm volatile("syscall"
                 : "+a"(result)
                 : "D"(static_cast<long>(fd)), "S"(static_cast<unsigned long>(TIOCMGET)),
                   "d"(&probe)
                 : "rcx", "r11", "memory");
    return result == -EIO;
#else
    IoctlFn next = systemIoctl();
    if (next == nullptr) return false;
    const int saved = errno;
    const bool gone = next(fd, TIOCMGET, &probe) != 0 && errno == EIO;
    errno = saved;
    return gone;
#endif
}

int fail(int error) {
    errno = error;
    return -1;
}

int readBefore(int fd) {
    return fd >= 0 && fd < kKnownDescriptors
               ? shared.descriptors[fd].lastRead.load(std::memory_order_acquire) - 1
               : -1;
}
void rememberRead(int fd, int bits) {
    if (fd >= 0 && fd < kKnownDescriptors)
        shared.descriptors[fd].lastRead.store(bits + 1, std::memory_order_release);
}

// An inotify descriptor watching the lines file's folder, or -1.
int watchFolder() {
    const char* path = shared.linesFile;
    if (path == nullptr) return -1;
    std::string folder(path);
    const std::size_t slash = folder.rfind('/');
    folder = slash == std::string::npos ? std::string(".") : folder.substr(0, slash + 1);
    const int watch = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (watch < 0) return -1;
    if (inotify_add_watch(watch, folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO | IN_DELETE) < 0) {
        close(watch);
        return -1;
    }
    return watch;
}

int waitForChange(int fd, int mask) {
    // Watching first: a change between the two would otherwise go unseen.
    const int watch = watchFolder();
    const int known = readBefore(fd);
    const int before = (known >= 0 ? known : inputLines()) & mask;
    // Without a file the lines never change: only a hang-up or a signal ends the wait.
    const int timeoutMs = watch < 0 && shared.linesFile != nullptr ? 5 : -1;
    int result = 0;
    while ((inputLines() & mask) == before) {
        pollfd waits[2] = {{fd, 0, 0}, {watch, POLLIN, 0}};
        const int ready = poll(waits, watch < 0 ? 1 : 2, timeoutMs);
        if (ready < 0) {
            result = fail(errno);
            break;
        }
        if (waits[0].revents & POLLNVAL) {
            result = fail(EBADF);
            break;
        }
        if (waits[0].revents & (POLLHUP | POLLERR)) {
            result = fail(EIO);
            break;
        }
        if (waits[1].revents & POLLIN) {
            char events[4096];
            while (read(watch, events, sizeof events) > 0) {
            }
        }
    }
    if (watch >= 0) close(watch);
    return result;
}

// Every request but a status read on a pseudo-terminal already known as one: out of the way of
// that read, which the monitor makes every second.
[[gnu::cold, gnu::noinline]] int otherRequest(int fd, unsigned long request, void* argument) {
    const bool modemRequest = request == TIOCMGET || request == TIOCMBIS || request == TIOCMBIC ||
                              request == TIOCMSET || request == TIOCMIWAIT;
    IoctlFn next = systemIoctl();
    if (!modemRequest || !isPseudoTerminal(fd)) {
        if (next == nullptr) return fail(ENOSYS);
        return next(fd, request, argument);
    }
    if (hungUp(fd)) return fail(EIO);
    if (request == TIOCMIWAIT) {
        // The argument is the mask itself, not a pointer to it.
        const auto mask = static_cast<int>(reinterpret_cast<std::uintptr_t>(argument));
        return waitForChange(fd, mask & (TIOCM_CTS | TIOCM_CAR));
    }
    int* bits = static_cast<int*>(argument);
    if (bits == nullptr) return fail(EFAULT);
    constexpr int kOutputs = TIOCM_RTS | TIOCM_DTR;
    switch (request) {
        case TIOCMGET: {
            const int inputs = inputLines();
            rememberRead(fd, inputs);
            *bits = inputs | shared.heldBits.load();
            break;
        }
        case TIOCMBIS:
            shared.heldBits.fetch_or(*bits & kOutputs);
            break;
        case TIOCMBIC:
            shared.heldBits.fetch_and(~(*bits & kOutputs));
            break;
        default:  // TIOCMSET
            shared.heldBits.store(*bits & kOutputs);
            break;
    }
    return 0;
}

}  // namespace

// The status read of a descriptor already known as a pseudo-terminal, with the lines named for
// the whole run, is the few instructions of the C library's request and its one system call;
// every other case takes the longer way.
extern "C" int ioctl(int fd, unsigned long request, ...) {
    va_list args;
    va_start(args, request);
    void* argument = va_arg(args, void*);
    va_end(args);
    const bool known = request == TIOCMGET && fd >= 0 && fd < kKnownDescriptors &&
                       shared.linesFile == nullptr && argument != nullptr &&
                       shared.descriptors[fd].kind.load(std::memory_order_relaxed) == 1;
    if (!known || hungUp(fd)) [[unlikely]]
        return otherRequest(fd, request, argument);
    rememberRead(fd, shared.namedLines);
    *static_cast<int*>(argument) = shared.namedLines | shared.heldBits.load();
    return 0;
}

// A closed descriptor's number may be given to anything next: what was known of it goes.
extern "C" int close(int fd) {
    using CloseFn = int (*)(int);
    static const auto next = reinterpret_cast<CloseFn>(dlsym(RTLD_NEXT, "close"));
    if (fd >= 0 && fd < kKnownDescriptors) {
        shared.descriptors[fd].kind.store(0);
        shared.descriptors[fd].lastRead.store(0);
    }
    return next != nullptr ? next(fd) : fail(ENOSYS);
}
