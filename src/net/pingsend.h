#pragma once
// ICMP echo (RFC 792): one request, one awaited answer, the round-trip time in milliseconds.
#include <cstdint>
#include <random>
#include <string>
#include <string_view>

#include "net/blcksock.h"

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
inline constexpr int kPingReceiveBuffer = 61440;

// RFC 1071 checksum of `octets`, as the big-endian number stored in an ICMP header.
std::uint16_t internetChecksum(std::string_view octets);

// Milliseconds from a monotonic clock, as a 32-bit number that wraps; differences of two
// readings taken as unsigned 32-bit values are elapsed times across a wrap too.
std::uint32_t millisecondClock();

class TPINGSend {
public:
    TPINGSend();

    TICMPBlockSocket Sock;
    int Timeout = kPingTimeoutMs;
    std::string IPInterface = "0.0.0.0";
    int PacketSize = 32;
    int PingTime = -1;
    std::string ReplyFrom;
    std::uint8_t ReplyType = 0;
    std::uint8_t ReplyCode = 0;
    TICMPError ReplyError = IE_NoError;
    std::string ReplyErrorDesc;

    // Sends one echo request to `host` and waits for an echo reply or an error report about it,
    // at most Timeout milliseconds from the send. True when one arrived; the Reply fields and
    // PingTime then describe it.
    bool Ping(const std::string& host);

private:
    std::string buildRequest();
    bool isAnswer(std::string_view icmp, std::string_view packet, std::string_view request) const;
    void classify();

    std::minstd_rand random_;
    std::uint16_t sequence_ = 0;
    std::uint16_t identifier_ = 0;
};

// The round-trip time to `host` in milliseconds, or -1 when no echo reply came (nothing within
// the timeout, an error report, or a socket the system refused).
int PingHost(const std::string& host, int timeoutMs = kPingTimeoutMs);

}  // namespace ups
