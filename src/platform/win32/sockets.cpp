// The socket calls of net/sockets.h over Winsock 2. Winsock's own error numbers are the ones the
// core knows, so they mostly pass through; only the few that Windows and Wine spell differently
// for the same event are brought to one number.
#include "net/sockets.h"

// inet_pton and getaddrinfo came with Vista; this library is built outside the backend's flags.
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0601
#endif
// The server waits on many connections at once in one select; Winsock's sets are arrays of this
// size (64 unless told).
#define FD_SETSIZE 1024
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <vector>

#include "base/ipv4Text.h"

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

SocketHandle openTcpSocket(int& error) {
    const SOCKET s =
        ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    error = s == INVALID_SOCKET ? lastError() : 0;
    return s == INVALID_SOCKET ? kNoSocket : static_cast<SocketHandle>(s);
}

int setNonBlocking(SocketHandle socket, bool on) {
    u_long value = on ? 1 : 0;
    return ::ioctlsocket(sock(socket), FIONBIO, &value) ? lastError() : 0;
}

// Windows' SO_REUSEADDR would let another program bind the same port beside us; a port left by
// closed connections can be bound again there anyway. bindSocket makes the port exclusive.
int setReuseAddress(SocketHandle) {
    return 0;
}

int listenOn(SocketHandle socket, int backlog) {
    return ::listen(sock(socket), backlog) ? lastError() : 0;
}

SocketHandle acceptConnection(SocketHandle listener, Endpoint& peer, int& error) {
    sockaddr_in sa{};
    int len = sizeof sa;
    const SOCKET s = ::accept(sock(listener), reinterpret_cast<sockaddr*>(&sa), &len);
    if (s == INVALID_SOCKET) {
        const int code = WSAGetLastError();
        error = code == WSAECONNRESET ? kErrWouldBlock : winsockCode(code);
        return kNoSocket;
    }
    // The accepted socket takes the listener's mode; make sure, whatever the listener's.
    u_long nonBlocking = 1;
    ::ioctlsocket(s, FIONBIO, &nonBlocking);
    peer = fromSockaddr(sa);
    error = 0;
    return static_cast<SocketHandle>(s);
}

namespace {

// A stream's refusal is its own error, unlike a datagram's unreachable port.
int connectCode(int err) {
    return err == WSAECONNREFUSED ? kErrConnectionRefused : winsockCode(err);
}

}  // namespace

int startConnect(SocketHandle socket, const Endpoint& remote) {
    const sockaddr_in sa = toSockaddr(remote);
    if (::connect(sock(socket), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0) return 0;
    const int code = WSAGetLastError();
    return code == WSAEWOULDBLOCK || code == WSAEINPROGRESS ? kErrWouldBlock : connectCode(code);
}

int connectResult(SocketHandle socket) {
    int error = 0;
    int len = sizeof error;
    if (::getsockopt(sock(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &len))
        return lastError();
    return connectCode(error);
}

int sendSome(SocketHandle socket, std::string_view data, std::size_t& sent) {
    sent = 0;
    const int size = static_cast<int>(std::min<std::size_t>(data.size(), INT_MAX));
    const int n = ::send(sock(socket), data.data(), size, 0);
    if (n >= 0) {
        sent = static_cast<std::size_t>(n);
        return 0;
    }
    return WSAGetLastError() == WSAEWOULDBLOCK ? 0 : lastError();
}

StreamRead readSome(SocketHandle socket, std::size_t maxSize, std::string& data, int& error) {
    data.resize(std::min<std::size_t>(maxSize, INT_MAX));
    const int n = ::recv(sock(socket), data.data(), static_cast<int>(data.size()), 0);
    error = 0;
    if (n > 0) {
        data.resize(static_cast<std::size_t>(n));
        return StreamRead::Data;
    }
    data.clear();
    if (n == 0) return StreamRead::Closed;
    const int code = WSAGetLastError();
    if (code == WSAEWOULDBLOCK) return StreamRead::Nothing;
    error = winsockCode(code);
    return StreamRead::Failed;
}

int waitSockets(PollEntry* entries, std::size_t count, int timeoutMs) {
    if (count > FD_SETSIZE) return kErrInvalid;
    // select refuses three empty sets; with nothing to wait on, only the time passes.
    if (count == 0) {
        if (timeoutMs > 0) ::Sleep(static_cast<DWORD>(timeoutMs));
        return 0;
    }
    fd_set reads;
    fd_set writes;
    fd_set faults;
    FD_ZERO(&reads);
    FD_ZERO(&writes);
    FD_ZERO(&faults);
    for (std::size_t i = 0; i < count; ++i) {
        PollEntry& entry = entries[i];
        entry.readable = entry.writable = false;
        // Always asked for reading too: a hang-up or an error shows there.
        FD_SET(sock(entry.socket), &reads);
        if (entry.wantWrite) FD_SET(sock(entry.socket), &writes);
        // A failed connect shows in the third set only.
        FD_SET(sock(entry.socket), &faults);
    }
    timeval tv{};
    tv.tv_sec = timeoutMs > 0 ? timeoutMs / 1000 : 0;
    tv.tv_usec = timeoutMs > 0 ? (timeoutMs % 1000) * 1000 : 0;
    const int n = ::select(0, &reads, &writes, &faults, timeoutMs < 0 ? nullptr : &tv);
    if (n < 0) return WSAGetLastError() == WSAEINTR ? 0 : lastError();
    for (std::size_t i = 0; i < count; ++i) {
        PollEntry& entry = entries[i];
        const bool fault = FD_ISSET(sock(entry.socket), &faults) != 0;
        entry.readable = (entry.wantRead && FD_ISSET(sock(entry.socket), &reads)) || fault;
        entry.writable = (entry.wantWrite && FD_ISSET(sock(entry.socket), &writes)) || fault;
    }
    return 0;
}

void yieldProcessor() {
    ::Sleep(0);
}

std::string formatIpv4(std::uint32_t address) {
    return inetNtoa(address);
}

}  // namespace ups::sys
