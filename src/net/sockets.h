#pragma once
// The operating system's socket calls that blcksock needs, declared here and implemented for each
// system under platform/ (linked in, not chosen at run time). Errors are reported in Winsock
// numbering, which the rest of the program knows (10054 for an unreachable port, 10060 for a wait
// that ran out); errors without a Winsock counterpart keep the system's own number.
#include <cstdint>
#include <string>
#include <string_view>

namespace ups {

// Loads and starts the system's socket library once per process, before any socket exists; false
// means the program cannot use the network at all. The cleanup ends it once at exit.
bool SocketInterfaceStartup();
void SocketInterfaceCleanup();

}  // namespace ups

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

// IPv4 address and port in host byte order.
struct Endpoint {
    std::uint32_t address = 0;
    std::uint16_t port = 0;
};

enum class ReadOutcome { Datagram, Nothing, Failed };

SocketHandle openUdpSocket(int& error);
void closeSocket(SocketHandle socket);

// Each returns 0 or an error code.
int bindSocket(SocketHandle socket, const Endpoint& local);
int connectSocket(SocketHandle socket, const Endpoint& remote);
int sendDatagram(SocketHandle socket, std::string_view data, const Endpoint* to);
int setReceiveBufferSize(SocketHandle socket, int size);
int localEndpoint(SocketHandle socket, Endpoint& local);

// Waits up to timeoutMs for the socket to have a datagram or a pending error.
int waitReadable(SocketHandle socket, int timeoutMs, bool& readable);

// Takes one waiting datagram (at most maxSize octets) without blocking. Nothing means no datagram
// was waiting; Failed carries a pending socket error (an unreachable port, for instance).
ReadOutcome readDatagram(SocketHandle socket, std::size_t maxSize, std::string& data,
                         Endpoint& from, int& error);

void yieldProcessor();

// Dotted IPv4 text, or a name the resolver knows, to an address.
bool resolveIpv4(const std::string& host, std::uint32_t& address);
std::string formatIpv4(std::uint32_t address);

}  // namespace ups::sys
