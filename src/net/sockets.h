#pragma once
// The operating system's socket calls that blcksock and the UPS network protocol need, declared
// here and implemented for each system under platform/ (linked in, not chosen at run time). Errors
// are reported in Winsock numbering, which the rest of the program knows (10054 for an unreachable
// port, 10060 for a wait that ran out); errors without a Winsock counterpart keep the system's own
// number.
#include <cstddef>
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

// TCP streams, for the UPS network protocol's server and client. Every call returns at once: the
// sockets are made non-blocking and the owner waits for them all in waitSockets.
SocketHandle openTcpSocket(int& error);
int setNonBlocking(SocketHandle socket, bool on);
// Lets a listener bind its port again at once after a restart (connections of the previous one
// may still be closing). Where the system would let another program take the port with it, the
// call leaves the port exclusive instead.
int setReuseAddress(SocketHandle socket);
int listenOn(SocketHandle socket, int backlog);
// A waiting connection, itself non-blocking; kNoSocket with kErrWouldBlock when none waits.
SocketHandle acceptConnection(SocketHandle listener, Endpoint& peer, int& error);
// A connect that does not wait: 0 when connected already, kErrWouldBlock while it goes on (the
// socket becomes writable when it ends, and connectResult tells how), or an error.
int startConnect(SocketHandle socket, const Endpoint& remote);
int connectResult(SocketHandle socket);
// Sends what the system takes now; `sent` may be 0 when its buffer is full. 0 or an error.
int sendSome(SocketHandle socket, std::string_view data, std::size_t& sent);

enum class StreamRead { Data, Nothing, Closed, Failed };
// Takes up to maxSize waiting octets without blocking: Nothing when none waits, Closed when the
// peer ended the stream, Failed with the error.
StreamRead readSome(SocketHandle socket, std::size_t maxSize, std::string& data, int& error);

struct PollEntry {
    SocketHandle socket = kNoSocket;
    bool wantRead = false;
    bool wantWrite = false;
    bool readable = false;
    bool writable = false;
};
// Waits up to timeoutMs (0: no wait, negative: as long as it takes) until one of the sockets is
// ready as wanted; sets readable and writable. An error or a hang-up counts as readable, so that
// the next read reports it. 0, or an error.
int waitSockets(PollEntry* entries, std::size_t count, int timeoutMs);

// Dotted IPv4 text, or a name the resolver knows, to an address.
bool resolveIpv4(const std::string& host, std::uint32_t& address);
std::string formatIpv4(std::uint32_t address);

}  // namespace ups::sys
