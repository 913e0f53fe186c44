#pragma once
// ICMP echo (RFC 792): one request, one awaited answer, the round-trip time in milliseconds. How
// the request goes out is the system's business (a raw socket on Linux, IcmpSendEcho on Windows):
// the platform implements IcmpEchoTransport; what an answer means is decided here.
#include <cstdint>
#include <string>

namespace ups {

enum TICMPError {
    IE_NoError,
    IE_Other,
    IE_TTLExceed,
    IE_UnreachOther,
    IE_UnreachRoute,
    IE_UnreachAdmin,
    IE_UnreachAddr,
    IE_UnreachPort,
};

inline constexpr int kPingTimeoutMs = 5000;

// The answer to one echo request: an echo reply or an ICMP error report about the request.
struct IcmpEchoAnswer {
    std::string from;  // dotted address of the sender
    std::uint8_t type = 0;
    std::uint8_t code = 0;
    int roundTripMs = 0;
};

class IcmpEchoTransport {
public:
    virtual ~IcmpEchoTransport() = default;
    // Sends one echo request to `host` (an IPv4 address in dotted form) and waits up to timeoutMs
    // for its answer. False when none came in time or the system refused the request.
    virtual bool echo(const std::string& host, int timeoutMs, IcmpEchoAnswer& answer) = 0;
};

class TPINGSend {
public:
    explicit TPINGSend(IcmpEchoTransport& transport) : transport_(transport) {}

    int Timeout = kPingTimeoutMs;
    int PingTime = -1;
    std::string ReplyFrom;
    std::uint8_t ReplyType = 0;
    std::uint8_t ReplyCode = 0;
    TICMPError ReplyError = IE_NoError;
    std::string ReplyErrorDesc;

    // Sends one echo request to `host` and waits for an echo reply or an error report about it,
    // at most Timeout milliseconds. True when one arrived; the Reply fields and PingTime then
    // describe it.
    bool Ping(const std::string& host);

private:
    void classify();

    IcmpEchoTransport& transport_;
};

// The round-trip time to `host` in milliseconds, or -1 when no echo reply came (nothing within
// the timeout, an error report, or a request the system refused).
int PingHost(IcmpEchoTransport& transport, const std::string& host, int timeoutMs = kPingTimeoutMs);

}  // namespace ups
