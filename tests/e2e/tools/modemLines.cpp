// Modem lines for a pseudo-terminal, which has none: preloaded into the real monitor
// (LD_PRELOAD), it answers the modem-status requests made on a pseudo-terminal with the lines
// named in UPS_FAKE_MODEM_LINES ("cts", "dcd", "cts,dcd" or empty) and keeps the RTS the monitor
// sets, so that a COM port mapped to a pseudo-terminal reads like a UPS cable. Every other request,
// and every request on anything but a pseudo-terminal, goes to the system unchanged.
#include <dlfcn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace {

using IoctlFn = int (*)(int, unsigned long, ...);

IoctlFn systemIoctl() {
    static const auto next = reinterpret_cast<IoctlFn>(dlsym(RTLD_NEXT, "ioctl"));
    return next;
}

// Unix 98 pseudo-terminal slaves have majors 136 to 143.
bool isPseudoTerminal(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return false;
    const unsigned int m = major(st.st_rdev);
    return m >= 136 && m <= 143;
}

int fixedLines() {
    const char* named = std::getenv("UPS_FAKE_MODEM_LINES");
    if (named == nullptr) return 0;
    int bits = 0;
    if (std::strstr(named, "cts")) bits |= TIOCM_CTS;
    if (std::strstr(named, "dcd")) bits |= TIOCM_CAR;
    return bits;
}

std::atomic<int> heldBits{0};  // RTS and DTR as last set

}  // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) {
    va_list args;
    va_start(args, request);
    void* argument = va_arg(args, void*);
    va_end(args);
    const bool modemRequest =
        request == TIOCMGET || request == TIOCMBIS || request == TIOCMBIC || request == TIOCMSET;
    IoctlFn next = systemIoctl();
    if (!modemRequest || !isPseudoTerminal(fd)) {
        if (next == nullptr) {
            errno = ENOSYS;
            return -1;
        }
        return next(fd, request, argument);
    }
    int* bits = static_cast<int*>(argument);
    if (bits == nullptr) {
        errno = EFAULT;
        return -1;
    }
    constexpr int kOutputs = TIOCM_RTS | TIOCM_DTR;
    switch (request) {
        case TIOCMGET:
            *bits = fixedLines() | heldBits.load();
            break;
        case TIOCMBIS:
            heldBits.fetch_or(*bits & kOutputs);
            break;
        case TIOCMBIC:
            heldBits.fetch_and(~(*bits & kOutputs));
            break;
        default:  // TIOCMSET
            heldBits.store(*bits & kOutputs);
            break;
    }
    return 0;
}
