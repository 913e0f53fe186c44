#include "platform/posix/termiosSerialDriver.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace ups {

namespace {
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
    : devices_(std::move(devices)) {}

TermiosSerialDriver::~TermiosSerialDriver() {
    for (int port = 0; port < 4; ++port) close(port);
}

std::array<std::string, 4> TermiosSerialDriver::defaultDevices() {
    return {UPS_COM_DEVICES_INIT};
}

int TermiosSerialDriver::fdFor(int port) const {
    return port >= 0 && port < 4 ? fds_[port] : -1;
}

int TermiosSerialDriver::systemError() {
    lastError_ = errno;
    return kSioSystemError;
}

int TermiosSerialDriver::open(int port, int /*rxQueue*/, int /*txQueue*/) {
    if (port < 0 || port >= 4) return kSioBadPort;
    close(port);
    // O_NONBLOCK so a port waiting for carrier does not hang the open; the settings are left as
    // they are until the baud rate and flow control are set.
    int fd = ::open(devices_[port].c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
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
    int fd = fdFor(port);
    if (fd < 0) return;
    ::close(fd);
    fds_[port] = -1;
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

}  // namespace ups
