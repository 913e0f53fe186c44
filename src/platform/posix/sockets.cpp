// The socket calls of net/sockets.h over POSIX sockets (Linux).
#include "net/sockets.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

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

void yieldProcessor() {
    ::sched_yield();
}

bool resolveIpv4(const std::string& host, std::uint32_t& address) {
    in_addr in{};
    if (::inet_pton(AF_INET, host.c_str(), &in) == 1) {
        address = ntohl(in.s_addr);
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (host.empty() || ::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found)
        return false;
    address = ntohl(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
    ::freeaddrinfo(found);
    return true;
}

std::string formatIpv4(std::uint32_t address) {
    char text[INET_ADDRSTRLEN];
    const in_addr in{htonl(address)};
    ::inet_ntop(AF_INET, &in, text, sizeof text);
    return text;
}

}  // namespace ups::sys
