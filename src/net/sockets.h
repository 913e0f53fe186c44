#pragma once
// The operating system's socket calls, behind one small interface so that a Winsock version can sit
// beside the POSIX one. Only blcksock uses it. Errors are reported in Winsock numbering, which the
// rest of the program knows (10054 for an unreachable port, 10060 for a wait that ran out); errors
// without a Winsock counterpart keep the system's own number.
#include <cstdint>
#include <string>
#include <string_view>

namespace ups::sys {

using SocketHandle = std::intptr_t;
inline constexpr SocketHandle kNoSocket = -1;

inline constexpr int kErrInterrupted = 10004;
inline constexpr int kErrAccess = 10013;
inline constexpr int kErrInvalid = 10022;
inline constexpr int kErrWouldBlock = 10035;
inline constexpr int kErrMessageSize = 10040;
inline constexpr int kErrProtocolNotSupported = 10043;
inline constexpr int kErrFamilyNotSupported = 10047;
inline constexpr int kErrAddressInUse = 10048;
inline constexpr int kErrAddressNotAvailable = 10049;
inline constexpr int kErrNetworkUnreachable = 10051;
inline constexpr int kErrConnectionReset = 10054;
inline constexpr int kErrNoBuffers = 10055;
inline constexpr int kErrTimedOut = 10060;
inline constexpr int kErrConnectionRefused = 10061;
inline constexpr int kErrHostUnreachable = 10065;

enum class SocketKind {
    Udp,
    IcmpRaw,       // sees whole IPv4 datagrams, needs privilege
    IcmpDatagram,  // unprivileged echo socket: no IP header, the system owns the identifier
};

// IPv4 address and port in host byte order.
struct Endpoint {
    std::uint32_t address = 0;
    std::uint16_t port = 0;
};

// An ICMP error report that the system delivered on an echo datagram socket instead of as a
// packet: the reporter, the report's type and code, and the start of the message it quotes.
struct IcmpErrorReport {
    Endpoint reporter;
    std::uint8_t type = 0;
    std::uint8_t code = 0;
    std::string quotedIcmp;
};

enum class ReadOutcome { Datagram, Nothing, Failed };

bool startup();
void cleanup();

SocketHandle openSocket(SocketKind kind, int& error);
void closeSocket(SocketHandle socket);

// Each returns 0 or an error code.
int bindSocket(SocketHandle socket, const Endpoint& local);
int connectSocket(SocketHandle socket, const Endpoint& remote);
int sendDatagram(SocketHandle socket, std::string_view data, const Endpoint* to);
int setReceiveBufferSize(SocketHandle socket, int size);
int localEndpoint(SocketHandle socket, Endpoint& local);
// Asks the system to queue ICMP error reports about this socket's traffic for readErrorReport.
int enableErrorReports(SocketHandle socket);

// Waits up to timeoutMs for the socket to have a datagram or a pending error.
int waitReadable(SocketHandle socket, int timeoutMs, bool& readable);

// Takes one waiting datagram (at most maxSize octets) without blocking. Nothing means no datagram
// was waiting; Failed carries a pending socket error (an unreachable port, for instance).
ReadOutcome readDatagram(SocketHandle socket, std::size_t maxSize, std::string& data,
                         Endpoint& from, int& error);
ReadOutcome readErrorReport(SocketHandle socket, IcmpErrorReport& report, int& error);

void yieldProcessor();

// Dotted IPv4 text, or a name the resolver knows, to an address.
bool resolveIpv4(const std::string& host, std::uint32_t& address);
std::string formatIpv4(std::uint32_t address);

}  // namespace ups::sys
