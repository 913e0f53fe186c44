#include "platform/posix/singleInstance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace ups {

namespace {

// An abstract socket name: nothing to clean up after a crash, and it goes with the process.
socklen_t abstractAddress(const std::string& name, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    const std::size_t length = std::min(name.size(), sizeof address.sun_path - 1);
    std::memcpy(address.sun_path + 1, name.data(), length);
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
}

// Opened for reading, which is enough for a lock. A file another user made in a sticky folder
// cannot be opened with O_CREAT where the system protects such files, hence the two steps; a
// new file is made readable by every user, whatever the umask.
int openLockFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0 || errno != ENOENT) return fd;
    fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0) {
        ::fchmod(fd, 0644);
        return fd;
    }
    return errno == EEXIST ? ::open(path.c_str(), O_RDONLY | O_CLOEXEC) : -1;
}

}  // namespace

PosixSingleInstance::PosixSingleInstance(std::string lockPath, std::string session)
    : lockPath_(std::move(lockPath)), socketName_("korvan-ups/" + std::move(session)) {}

PosixSingleInstance::~PosixSingleInstance() {
    if (listener_.joinable()) {
        const char stop = 's';
        [[maybe_unused]] const ssize_t written = ::write(stopPipe_[1], &stop, 1);
        listener_.join();
    }
    for (int fd : {listenFd_, stopPipe_[0], stopPipe_[1], lockFd_}) {
        if (fd >= 0) ::close(fd);
    }
}

std::string PosixSingleInstance::currentSession() {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') display = std::getenv("WAYLAND_DISPLAY");
    return std::to_string(::getuid()) + "/" + (display != nullptr ? display : "");
}

InstanceClaim PosixSingleInstance::claim(std::function<void()> showWindow) {
    lockFd_ = openLockFile(lockPath_);
    // A lock file that cannot be had at all must not keep the monitor from running.
    if (lockFd_ < 0) return InstanceClaim::First;
    if (::flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
        ::close(lockFd_);
        lockFd_ = -1;
        return askRunningToShow() ? InstanceClaim::ShownRunning : InstanceClaim::RunningElsewhere;
    }
    showWindow_ = std::move(showWindow);
    sockaddr_un address;
    const socklen_t length = abstractAddress(socketName_, address);
    listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ >= 0 && ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
        ::listen(listenFd_, 4) == 0 && ::pipe2(stopPipe_, O_CLOEXEC) == 0) {
        listener_ = std::thread([this] { listen(); });
    }
    return InstanceClaim::First;
}

bool PosixSingleInstance::askRunningToShow() const {
    sockaddr_un address;
    const socklen_t length = abstractAddress(socketName_, address);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool reached = ::connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0;
    ::close(fd);
    return reached;
}

void PosixSingleInstance::listen() {
    while (true) {
        pollfd watched[2] = {{stopPipe_[0], POLLIN, 0}, {listenFd_, POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (watched[0].revents != 0) return;
        if ((watched[1].revents & POLLIN) == 0) continue;
        const int peer = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (peer < 0) continue;
        ::close(peer);
        if (showWindow_) showWindow_();
    }
}

}  // namespace ups
