#pragma once
// ICMP echo on Linux: a raw ICMP socket, or the unprivileged ICMP datagram socket when the system
// refuses raw ones (the executable lacks cap_net_raw). Both are blcksock sockets of an ICMP kind.
#include <cstdint>
#include <string>
#include <string_view>

#include "net/blcksock.h"
#include "net/pingsend.h"

namespace ups {

// Lets unrelated ICMP traffic, which a raw socket also receives, queue up while the answer is
// sought.
inline constexpr int kPingReceiveBuffer = 61440;

// RFC 1071 checksum of `octets`, as the big-endian number stored in an ICMP header.
std::uint16_t internetChecksum(std::string_view octets);

// Milliseconds from a monotonic clock, as a 32-bit number that wraps; differences of two
// readings taken as unsigned 32-bit values are elapsed times across a wrap too.
std::uint32_t millisecondClock();

class TICMPBlockSocket : public TDgramBlockSocket {
public:
    enum class Mode {
        Automatic,  // raw socket; the echo datagram socket when the system refuses raw
        RawOnly,
        DatagramOnly,
    };
    TICMPBlockSocket() = default;

    Mode SocketMode = Mode::Automatic;

    // True when the system socket is the echo datagram socket: packets then start with the ICMP
    // message (no IP header) and the system chooses the echo identifier.
    bool IsEchoDatagram() const { return echoDatagram_; }

    // On the echo datagram socket the system hands ICMP error reports over apart from the
    // packets; they are returned here as the ICMP error messages they were (type, code, unused
    // octets, an IP header, the quoted request), so that readers see one kind of packet.
    std::string RecvPacket(int timeoutMs) override;

protected:
    sys::SocketHandle createSystemSocket(int& error) override;

private:
    bool takeErrorReport(std::string& packet);
    bool echoDatagram_ = false;
};

// Each echo has a socket of its own, closed when the answer (or the end of the wait) comes, and
// is the first request on it: sequence 1, an identifier drawn anew from a generator seeded by
// the clock.
class IcmpEcho : public IcmpEchoTransport {
public:
    TICMPBlockSocket::Mode socketMode = TICMPBlockSocket::Mode::Automatic;

    bool echo(const std::string& host, int timeoutMs, IcmpEchoAnswer& answer) override;
    // Whether the last echo went over the echo datagram socket.
    bool lastEchoWasDatagram() const { return lastEchoWasDatagram_; }

private:
    bool lastEchoWasDatagram_ = false;
};

}  // namespace ups
