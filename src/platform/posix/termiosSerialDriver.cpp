#include "platform/posix/termiosSerialDriver.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <filesystem>

#include "base/tickPath.h"
#include "platform/posix/termiosLineWaiter.h"

namespace ups {

namespace {

struct AdapterKind {
    std::string_view prefix;
    int firstNumber;
};
// Up to a hundred of each kind.
constexpr AdapterKind kAdapterKinds[] = {{"ttyUSB", 100}, {"ttyACM", 200}};
constexpr int kAdaptersPerKind = 100;

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? std::string("/dev") : path.substr(0, slash);
}

speed_t speedFor(int baud) {
    switch (baud) {
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        default:
            return B9600;
    }
}
}  // namespace

TermiosSerialDriver::TermiosSerialDriver() : TermiosSerialDriver(defaultDevices()) {}

TermiosSerialDriver::TermiosSerialDriver(std::array<std::string, 4> devices)
    : TermiosSerialDriver(devices, folderOf(devices[0])) {}

TermiosSerialDriver::TermiosSerialDriver(std::array<std::string, 4> devices,
                                         std::string otherPortsFolder)
    : devices_(std::move(devices)), otherPortsFolder_(std::move(otherPortsFolder)) {}

TermiosSerialDriver::~TermiosSerialDriver() {
    while (!fds_.empty()) close(fds_.begin()->first);
}

std::string TermiosSerialDriver::portName(int port) const {
    for (const AdapterKind& kind : kAdapterKinds) {
        if (port >= kind.firstNumber && port < kind.firstNumber + kAdaptersPerKind) {
            return otherPortsFolder_ + "/" + std::string(kind.prefix) +
                   std::to_string(port - kind.firstNumber);
        }
    }
    return {};
}

int TermiosSerialDriver::portNumber(std::string_view name) const {
    const std::size_t slash = name.rfind('/');
    if (slash != std::string_view::npos) {
        if (name.substr(0, slash) != otherPortsFolder_) return -1;
        name.remove_prefix(slash + 1);
    }
    for (const AdapterKind& kind : kAdapterKinds) {
        if (!name.starts_with(kind.prefix)) continue;
        const std::string_view digits = name.substr(kind.prefix.size());
        int n = -1;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
        if (digits.empty() || digits.size() > 2 || error != std::errc() ||
            end != digits.data() + digits.size()) {
            return -1;
        }
        return kind.firstNumber + n;
    }
    return -1;
}

std::vector<SerialPortName> TermiosSerialDriver::otherPorts() {
    std::vector<SerialPortName> ports;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(otherPortsFolder_, error)) {
        const int port = portNumber(entry.path().filename().string());
        if (port >= 0) ports.push_back({port, portName(port)});
    }
    std::sort(ports.begin(), ports.end(),
              [](const auto& a, const auto& b) { return a.port < b.port; });
    return ports;
}

std::string TermiosSerialDriver::devicePath(int port) const {
    return port >= 0 && port < 4 ? devices_[static_cast<std::size_t>(port)] : portName(port);
}

std::array<std::string, 4> TermiosSerialDriver::defaultDevices() {
    return {UPS_COM_DEVICES_INIT};
}

UPS_TICK_PATH int TermiosSerialDriver::fdFor(int port) const {
    const auto found = fds_.find(port);
    return found != fds_.end() ? found->second : -1;
}

int TermiosSerialDriver::systemError() {
    lastError_ = errno;
    return kSioSystemError;
}

int TermiosSerialDriver::open(int port, int /*rxQueue*/, int /*txQueue*/) {
    const std::string path = devicePath(port);
    if (path.empty()) return kSioBadPort;
    close(port);
    // O_NONBLOCK so a port waiting for carrier does not hang the open; the settings are left as
    // they are until the baud rate and flow control are set.
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return systemError();
    if (!isatty(fd)) {
        errno = ENOTTY;
        int result = systemError();
        ::close(fd);
        return result;
    }
    fds_[port] = fd;
    return 0;
}

void TermiosSerialDriver::close(int port) {
    const auto [first, last] = waiters_.equal_range(port);
    for (auto at = first; at != last; ++at) {
        if (const auto waiter = at->second.lock()) waiter->cancel();
    }
    waiters_.erase(first, last);
    int fd = fdFor(port);
    if (fd < 0) return;
    ::close(fd);
    fds_.erase(port);
}

std::shared_ptr<SerialLineWaiter> TermiosSerialDriver::lineWaiter(int port) {
    const int fd = fdFor(port);
    if (fd < 0) return nullptr;
    auto waiter = std::make_shared<TermiosLineWaiter>(fd);
    if (!waiter->valid()) return nullptr;
    std::erase_if(waiters_, [](const auto& entry) { return entry.second.expired(); });
    waiters_.emplace(port, waiter);
    return waiter;
}

void TermiosSerialDriver::setBaud(int port, int baud) {
    int fd = fdFor(port);
    termios tio{};
    if (fd < 0 || tcgetattr(fd, &tio) != 0) return;
    speed_t speed = speedFor(baud);
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    tcsetattr(fd, TCSANOW, &tio);
}

void TermiosSerialDriver::setNoFlowControl(int port) {
    int fd = fdFor(port);
    termios tio{};
    if (fd < 0 || tcgetattr(fd, &tio) != 0) return;
    tio.c_cflag &= ~CRTSCTS;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tcsetattr(fd, TCSANOW, &tio);
}

void TermiosSerialDriver::setModemBit(int port, int bit, bool on) {
    int fd = fdFor(port);
    if (fd < 0) return;
    ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bit);
}

int TermiosSerialDriver::readModemBit(int port, int bit) {
    int fd = fdFor(port);
    if (fd < 0) {
        errno = EBADF;
        return systemError();
    }
    int status = 0;
    if (ioctl(fd, TIOCMGET, &status) != 0) return systemError();
    return (status & bit) ? 1 : 0;
}

void TermiosSerialDriver::setRts(int port, bool asserted) {
    setModemBit(port, TIOCM_RTS, asserted);
}

void TermiosSerialDriver::setBreak(int port, bool asserted) {
    int fd = fdFor(port);
    if (fd < 0) return;
    ioctl(fd, asserted ? TIOCSBRK : TIOCCBRK);
}

int TermiosSerialDriver::readRts(int port) {
    return readModemBit(port, TIOCM_RTS);
}
int TermiosSerialDriver::readCts(int port) {
    return readModemBit(port, TIOCM_CTS);
}
int TermiosSerialDriver::readDcd(int port) {
    return readModemBit(port, TIOCM_CAR);
}

UPS_TICK_PATH ModemLines TermiosSerialDriver::readLines(int port) {
    int fd = fdFor(port);
    int status = 0;
    if (fd < 0) errno = EBADF;
    if (fd < 0 || ioctl(fd, TIOCMGET, &status) != 0) {
        const int error = systemError();
        return {error, error, error};
    }
    const auto line = [status](int bit) { return (status & bit) ? 1 : 0; };
    return {line(TIOCM_RTS), line(TIOCM_CTS), line(TIOCM_CAR)};
}

}  // namespace ups
