// The socket calls of net/sockets.h over Winsock 2. Winsock's own error numbers are the ones the
// core knows, so they mostly pass through; only the few that Windows and Wine spell differently
// for the same event are brought to one number.
#include "net/sockets.h"

// inet_pton and getaddrinfo came with Vista; this library is built outside the backend's flags.
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0601
#endif
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>
#include <climits>

namespace ups {

bool SocketInterfaceStartup() {
    WSADATA data{};
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
    // An older library would accept the call and give us another version's behaviour.
    if (LOBYTE(data.wVersion) != 2 || HIBYTE(data.wVersion) != 2) {
        WSACleanup();
        return false;
    }
    return true;
}

void SocketInterfaceCleanup() {
    WSACleanup();
}

}  // namespace ups

namespace ups::sys {

namespace {

int winsockCode(int err) {
    switch (err) {
        // Windows says reset when a datagram socket hears its peer's port is unreachable; Wine
        // passes the host's refusal through. Both mean the same to the core.
        case WSAECONNREFUSED:
            return kErrConnectionReset;
        case WSA_NOT_ENOUGH_MEMORY:
            return kErrNoBuffers;
        default:
            return err;
    }
}

int lastError() {
    return winsockCode(WSAGetLastError());
}

SOCKET sock(SocketHandle socket) {
    return static_cast<SOCKET>(socket);
}

sockaddr_in toSockaddr(const Endpoint& endpoint) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(endpoint.address);
    sa.sin_port = htons(endpoint.port);
    return sa;
}

Endpoint fromSockaddr(const sockaddr_in& sa) {
    return {ntohl(sa.sin_addr.s_addr), ntohs(sa.sin_port)};
}

// The error the system holds for the socket, 0 when none. Windows hands a peer's unreachable
// port to the next read and wakes select for it; Wine keeps it here alone, where neither a read
// nor select sees it, so the reads look here too.
int pendingError(SocketHandle socket) {
    int error = 0;
    int len = sizeof error;
    if (::getsockopt(sock(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &len))
        return 0;
    return winsockCode(error);
}

// Waits for one of select's sets; a negative timeout waits as long as it takes. A wait for reading
// also ends when the socket holds an error.
int waitFor(SocketHandle socket, bool forWriting, int timeoutMs, bool& ready) {
    using Clock = std::chrono::steady_clock;
    // Short enough that an error select does not report still ends the wait about at once.
    constexpr long long kErrorCheckMs = 50;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0);
    ready = false;
    while (true) {
        if (!forWriting && pendingError(socket)) {
            ready = true;
            return 0;
        }
        fd_set set;
        FD_ZERO(&set);
        FD_SET(sock(socket), &set);
        long long slice = forWriting ? -1 : kErrorCheckMs;
        if (timeoutMs >= 0) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                    .count();
            slice = slice < 0 ? std::max(left, 0LL) : std::clamp(left, 0LL, slice);
        }
        timeval tv{};
        tv.tv_sec = static_cast<long>(slice / 1000);
        tv.tv_usec = static_cast<long>((slice % 1000) * 1000);
        const int n = ::select(0, forWriting ? nullptr : &set, forWriting ? &set : nullptr, nullptr,
                               slice < 0 ? nullptr : &tv);
        if (n > 0) {
            ready = true;
            return 0;
        }
        if (n < 0 && WSAGetLastError() != WSAEINTR) return lastError();
        if (n == 0 && timeoutMs >= 0 && Clock::now() >= deadline) return 0;
    }
}

}  // namespace

SocketHandle openUdpSocket(int& error) {
    const SOCKET s =
        ::WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET) {
        error = lastError();
        return kNoSocket;
    }
    // Reads never block: RecvPacket waits in select and then takes what is there, as on POSIX.
    u_long nonBlocking = 1;
    if (::ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
        error = lastError();
        ::closesocket(s);
        return kNoSocket;
    }
    error = 0;
    return static_cast<SocketHandle>(s);
}

void closeSocket(SocketHandle socket) {
    if (socket != kNoSocket) ::closesocket(sock(socket));
}

int bindSocket(SocketHandle socket, const Endpoint& local) {
    // Without this any later program asking for address reuse could take the port from under
    // us; POSIX systems refuse that by default.
    const BOOL exclusive = TRUE;
    ::setsockopt(sock(socket), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                 reinterpret_cast<const char*>(&exclusive), sizeof exclusive);
    const sockaddr_in sa = toSockaddr(local);
    return ::bind(sock(socket), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) ? lastError()
                                                                                   : 0;
}

int connectSocket(SocketHandle socket, const Endpoint& remote) {
    const sockaddr_in sa = toSockaddr(remote);
    return ::connect(sock(socket), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) ? lastError()
                                                                                      : 0;
}

int sendDatagram(SocketHandle socket, std::string_view data, const Endpoint* to) {
    if (data.size() > static_cast<std::size_t>(INT_MAX)) return kErrMessageSize;
    const sockaddr_in sa = to ? toSockaddr(*to) : sockaddr_in{};
    while (true) {
        const int sent = to ? ::sendto(sock(socket), data.data(), static_cast<int>(data.size()), 0,
                                       reinterpret_cast<const sockaddr*>(&sa), sizeof sa)
                            : ::send(sock(socket), data.data(), static_cast<int>(data.size()), 0);
        if (sent >= 0) return static_cast<std::size_t>(sent) == data.size() ? 0 : kErrMessageSize;
        // The socket is non-blocking for the reads' sake; a send still waits, as a blocking one
        // would, until the system has room for the datagram.
        if (WSAGetLastError() != WSAEWOULDBLOCK) return lastError();
        bool writable = false;
        if (const int error = waitFor(socket, true, -1, writable)) return error;
    }
}

int setReceiveBufferSize(SocketHandle socket, int size) {
    return ::setsockopt(sock(socket), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&size),
                        sizeof size)
               ? lastError()
               : 0;
}

int localEndpoint(SocketHandle socket, Endpoint& local) {
    sockaddr_in sa{};
    int len = sizeof sa;
    if (::getsockname(sock(socket), reinterpret_cast<sockaddr*>(&sa), &len)) return lastError();
    local = fromSockaddr(sa);
    return 0;
}

int waitReadable(SocketHandle socket, int timeoutMs, bool& readable) {
    return waitFor(socket, false, timeoutMs > 0 ? timeoutMs : 0, readable);
}

ReadOutcome readDatagram(SocketHandle socket, std::size_t maxSize, std::string& data,
                         Endpoint& from, int& error) {
    data.resize(maxSize);
    sockaddr_in sa{};
    int len = sizeof sa;
    const int n = ::recvfrom(sock(socket), data.data(), static_cast<int>(data.size()), 0,
                             reinterpret_cast<sockaddr*>(&sa), &len);
    if (n < 0) {
        const int code = WSAGetLastError();
        // POSIX hands over the first maxSize octets of a longer datagram; so do we.
        if (code == WSAEMSGSIZE) {
            from = fromSockaddr(sa);
            error = 0;
            return ReadOutcome::Datagram;
        }
        data.clear();
        error = code == WSAEWOULDBLOCK ? pendingError(socket) : winsockCode(code);
        return error ? ReadOutcome::Failed : ReadOutcome::Nothing;
    }
    data.resize(static_cast<std::size_t>(n));
    from = fromSockaddr(sa);
    error = 0;
    return ReadOutcome::Datagram;
}

void yieldProcessor() {
    ::Sleep(0);
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
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        if (!text.empty()) text += '.';
        text += std::to_string((address >> shift) & 0xFF);
    }
    return text;
}

}  // namespace ups::sys
