// The socket calls of net/sockets.h over POSIX sockets (Linux).
#include "net/sockets.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <vector>

#include "platform/posix/posixSockets.h"

namespace ups {

// The system's socket library needs no loading or start here.
bool SocketInterfaceStartup() {
    return true;
}
void SocketInterfaceCleanup() {}

}  // namespace ups

namespace ups::sys {

int winsockCode(int err) {
    switch (err) {
        case 0:
            return 0;
        case EINTR:
            return kErrInterrupted;
        case EACCES:
        case EPERM:
            return kErrAccess;
        case EINVAL:
            return kErrInvalid;
        case EAGAIN:
            return kErrWouldBlock;
        case EMSGSIZE:
            return kErrMessageSize;
        case EPROTONOSUPPORT:
            return kErrProtocolNotSupported;
        case EAFNOSUPPORT:
            return kErrFamilyNotSupported;
        case EADDRINUSE:
            return kErrAddressInUse;
        case EADDRNOTAVAIL:
            return kErrAddressNotAvailable;
        case ENETUNREACH:
            return kErrNetworkUnreachable;
        // An unreachable port reported on a datagram socket: Winsock calls it a reset.
        case ECONNREFUSED:
        case ECONNRESET:
            return kErrConnectionReset;
        case ENOBUFS:
        case ENOMEM:
            return kErrNoBuffers;
        case ETIMEDOUT:
            return kErrTimedOut;
        case EHOSTUNREACH:
            return kErrHostUnreachable;
        default:
            return err;
    }
}

Endpoint fromSockaddr(const sockaddr_in& sa) {
    return {ntohl(sa.sin_addr.s_addr), ntohs(sa.sin_port)};
}

namespace {

int lastError() {
    return winsockCode(errno);
}

int fd(SocketHandle socket) {
    return static_cast<int>(socket);
}

sockaddr_in toSockaddr(const Endpoint& endpoint) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(endpoint.address);
    sa.sin_port = htons(endpoint.port);
    return sa;
}

}  // namespace

SocketHandle openUdpSocket(int& error) {
    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    error = s < 0 ? lastError() : 0;
    return s < 0 ? kNoSocket : s;
}

void closeSocket(SocketHandle socket) {
    if (socket != kNoSocket) ::close(fd(socket));
}

int bindSocket(SocketHandle socket, const Endpoint& local) {
    const sockaddr_in sa = toSockaddr(local);
    return ::bind(fd(socket), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) ? lastError() : 0;
}

int connectSocket(SocketHandle socket, const Endpoint& remote) {
    const sockaddr_in sa = toSockaddr(remote);
    return ::connect(fd(socket), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) ? lastError()
                                                                                    : 0;
}

int sendDatagram(SocketHandle socket, std::string_view data, const Endpoint* to) {
    ssize_t sent;
    if (to) {
        const sockaddr_in sa = toSockaddr(*to);
        sent = ::sendto(fd(socket), data.data(), data.size(), MSG_NOSIGNAL,
                        reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    } else {
        sent = ::send(fd(socket), data.data(), data.size(), MSG_NOSIGNAL);
    }
    if (sent < 0) return lastError();
    return static_cast<std::size_t>(sent) == data.size() ? 0 : kErrMessageSize;
}

int setReceiveBufferSize(SocketHandle socket, int size) {
    return ::setsockopt(fd(socket), SOL_SOCKET, SO_RCVBUF, &size, sizeof size) ? lastError() : 0;
}

int localEndpoint(SocketHandle socket, Endpoint& local) {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    if (::getsockname(fd(socket), reinterpret_cast<sockaddr*>(&sa), &len)) return lastError();
    local = fromSockaddr(sa);
    return 0;
}

int waitReadable(SocketHandle socket, int timeoutMs, bool& readable) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0);
    readable = false;
    while (true) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd p{fd(socket), POLLIN, 0};
        const int n = ::poll(&p, 1, left > 0 ? static_cast<int>(left) : 0);
        if (n > 0) {
            readable = true;
            return 0;
        }
        if (n == 0) return 0;
        if (errno != EINTR) return lastError();
    }
}

ReadOutcome readDatagram(SocketHandle socket, std::size_t maxSize, std::string& data,
                         Endpoint& from, int& error) {
    data.resize(maxSize);
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    ssize_t n;
    do {
        n = ::recvfrom(fd(socket), data.data(), data.size(), MSG_DONTWAIT,
                       reinterpret_cast<sockaddr*>(&sa), &len);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        data.clear();
        if (errno == EAGAIN || errno == EWOULDBLOCK) return ReadOutcome::Nothing;
        error = lastError();
        return ReadOutcome::Failed;
    }
    data.resize(static_cast<std::size_t>(n));
    from = fromSockaddr(sa);
    error = 0;
    return ReadOutcome::Datagram;
}

SocketHandle openTcpSocket(int& error) {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    error = s < 0 ? lastError() : 0;
    return s < 0 ? kNoSocket : s;
}

int setNonBlocking(SocketHandle socket, bool on) {
    const int flags = ::fcntl(fd(socket), F_GETFL);
    if (flags < 0) return lastError();
    const int wanted = on ? flags | O_NONBLOCK : flags & ~O_NONBLOCK;
    return ::fcntl(fd(socket), F_SETFL, wanted) ? lastError() : 0;
}

int setReuseAddress(SocketHandle socket) {
    const int on = 1;
    return ::setsockopt(fd(socket), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) ? lastError() : 0;
}

int listenOn(SocketHandle socket, int backlog) {
    return ::listen(fd(socket), backlog) ? lastError() : 0;
}

SocketHandle acceptConnection(SocketHandle listener, Endpoint& peer, int& error) {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    int s;
    do {
        s = ::accept4(fd(listener), reinterpret_cast<sockaddr*>(&sa), &len,
                      SOCK_NONBLOCK | SOCK_CLOEXEC);
    } while (s < 0 && errno == EINTR);
    if (s < 0) {
        // A connection reset before it was taken is gone; the caller just tries again later.
        error = errno == ECONNABORTED || errno == EWOULDBLOCK ? kErrWouldBlock : lastError();
        return kNoSocket;
    }
    peer = fromSockaddr(sa);
    error = 0;
    return s;
}

namespace {

// A stream's refusal is its own error, unlike a datagram's unreachable port.
int connectCode(int err) {
    return err == ECONNREFUSED ? kErrConnectionRefused : winsockCode(err);
}

}  // namespace

int startConnect(SocketHandle socket, const Endpoint& remote) {
    const sockaddr_in sa = toSockaddr(remote);
    if (::connect(fd(socket), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0) return 0;
    return errno == EINPROGRESS || errno == EINTR ? kErrWouldBlock : connectCode(errno);
}

int connectResult(SocketHandle socket) {
    int error = 0;
    socklen_t len = sizeof error;
    if (::getsockopt(fd(socket), SOL_SOCKET, SO_ERROR, &error, &len)) return lastError();
    return connectCode(error);
}

int sendSome(SocketHandle socket, std::string_view data, std::size_t& sent) {
    sent = 0;
    ssize_t n;
    do {
        n = ::send(fd(socket), data.data(), data.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    if (n >= 0) {
        sent = static_cast<std::size_t>(n);
        return 0;
    }
    return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : lastError();
}

StreamRead readSome(SocketHandle socket, std::size_t maxSize, std::string& data, int& error) {
    data.resize(maxSize);
    ssize_t n;
    do {
        n = ::recv(fd(socket), data.data(), data.size(), MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    error = 0;
    if (n > 0) {
        data.resize(static_cast<std::size_t>(n));
        return StreamRead::Data;
    }
    data.clear();
    if (n == 0) return StreamRead::Closed;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return StreamRead::Nothing;
    error = lastError();
    return StreamRead::Failed;
}

int waitSockets(PollEntry* entries, std::size_t count, int timeoutMs) {
    std::vector<pollfd> polled(count);
    for (std::size_t i = 0; i < count; ++i) {
        short events = 0;
        if (entries[i].wantRead) events |= POLLIN;
        if (entries[i].wantWrite) events |= POLLOUT;
        polled[i] = {fd(entries[i].socket), events, 0};
        entries[i].readable = entries[i].writable = false;
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0);
    while (true) {
        int wait = timeoutMs;
        if (timeoutMs > 0) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                    .count();
            wait = left > 0 ? static_cast<int>(left) : 0;
        }
        const int n = ::poll(polled.data(), polled.size(), wait);
        if (n >= 0) break;
        if (errno != EINTR) return lastError();
    }
    for (std::size_t i = 0; i < count; ++i) {
        const short got = polled[i].revents;
        entries[i].readable = (got & (POLLIN | POLLERR | POLLHUP | POLLNVAL)) != 0;
        entries[i].writable = (got & POLLOUT) != 0;
    }
    return 0;
}

void yieldProcessor() {
    ::sched_yield();
}

std::string formatIpv4(std::uint32_t address) {
    char text[INET_ADDRSTRLEN];
    const in_addr in{htonl(address)};
    ::inet_ntop(AF_INET, &in, text, sizeof text);
    return text;
}

}  // namespace ups::sys
