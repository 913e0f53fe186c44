#include "platform/posix/icmpEcho.h"

#include <linux/errqueue.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <random>

#include "platform/posix/posixSockets.h"

namespace ups {

namespace {

constexpr std::uint8_t kEchoReply = 0;
constexpr std::uint8_t kEchoRequest = 8;
constexpr std::size_t kIcmpHeaderSize = 8;
constexpr std::size_t kRequestHeaderSize = 12;  // the ICMP header and the time stamp
constexpr std::size_t kSequenceOffset = 6;
constexpr std::size_t kEchoDataSize = 32;
constexpr char kDataOctet = 0x37;

std::uint8_t octet(std::string_view text, std::size_t index) {
    return static_cast<std::uint8_t>(text[index]);
}

std::size_t ipHeaderLength(std::string_view packet) {
    return packet.empty() ? 0 : static_cast<std::size_t>(octet(packet, 0) & 0x0F) * 4;
}

void appendBigEndian16(std::string& out, std::size_t value) {
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
    out.push_back(static_cast<char>(value & 0xFF));
}

void appendBigEndian32(std::string& out, std::uint32_t value) {
    appendBigEndian16(out, value >> 16);
    appendBigEndian16(out, value & 0xFFFF);
}

sys::SocketHandle openIcmpSocket(int type, int& error) {
    const int s = ::socket(AF_INET, type | SOCK_CLOEXEC, IPPROTO_ICMP);
    error = s < 0 ? sys::winsockCode(errno) : 0;
    return s < 0 ? sys::kNoSocket : s;
}

// An ICMP error report that the system delivered on an echo datagram socket instead of as a
// packet: the reporter, the report's type and code, and the start of the message it quotes.
struct ErrorReport {
    sys::Endpoint reporter;
    std::uint8_t type = 0;
    std::uint8_t code = 0;
    std::string quotedIcmp;
};

bool readErrorReport(sys::SocketHandle socket, ErrorReport& report) {
    char quoted[576];
    alignas(cmsghdr) char control[512];
    sockaddr_in sa{};
    iovec iov{quoted, sizeof quoted};
    msghdr msg{};
    msg.msg_name = &sa;
    msg.msg_namelen = sizeof sa;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    const ssize_t n = ::recvmsg(static_cast<int>(socket), &msg, MSG_ERRQUEUE | MSG_DONTWAIT);
    if (n < 0) return false;
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_RECVERR) continue;
        sock_extended_err ee;
        std::memcpy(&ee, CMSG_DATA(c), sizeof ee);
        if (ee.ee_origin != SO_EE_ORIGIN_ICMP) return false;
        sockaddr_in offender;
        std::memcpy(&offender, SO_EE_OFFENDER(reinterpret_cast<sock_extended_err*>(CMSG_DATA(c))),
                    sizeof offender);
        report.reporter = sys::fromSockaddr(offender);
        report.type = ee.ee_type;
        report.code = ee.ee_code;
        report.quotedIcmp.assign(quoted, static_cast<std::size_t>(n));
        return true;
    }
    return false;
}

// Identifier, sequence and time stamp go out in this host's byte order: only this host reads
// them back.
std::string buildRequest(std::uint16_t identifier, std::uint16_t sequence) {
    const std::uint32_t stamp = millisecondClock();
    std::string request(kRequestHeaderSize + kEchoDataSize, kDataOctet);
    request[0] = static_cast<char>(kEchoRequest);
    request[1] = 0;
    request[2] = request[3] = 0;
    std::memcpy(&request[4], &identifier, sizeof identifier);
    std::memcpy(&request[6], &sequence, sizeof sequence);
    std::memcpy(&request[8], &stamp, sizeof stamp);
    const std::uint16_t checksum = internetChecksum(request);
    request[2] = static_cast<char>(checksum >> 8);
    request[3] = static_cast<char>(checksum & 0xFF);
    return request;
}

bool isAnswer(bool echoDatagram, std::string_view icmp, std::string_view packet,
              std::string_view request) {
    const std::string_view sequence = request.substr(kSequenceOffset, 2);
    if (!echoDatagram) {
        // An error report quotes the start of the datagram it reports on, so the request's head
        // turns up inside it.
        return icmp.substr(4, 2) == request.substr(4, 2) ||
               packet.find(request.substr(0, kIcmpHeaderSize)) != std::string_view::npos;
    }
    // The system has already matched the identifier it chose; what is left to check is that
    // the answer is about this request: same sequence and the same data, as far as it is quoted.
    if (octet(icmp, 0) == kEchoReply) {
        return icmp.substr(kSequenceOffset, 2) == sequence &&
               icmp.substr(kIcmpHeaderSize) == request.substr(kIcmpHeaderSize);
    }
    const std::string_view quotedIp = icmp.substr(kIcmpHeaderSize);
    const std::size_t quotedIpLength = ipHeaderLength(quotedIp);
    if (quotedIp.size() < quotedIpLength + kIcmpHeaderSize) return false;
    const std::string_view quoted = quotedIp.substr(quotedIpLength);
    if (octet(quoted, 0) != kEchoRequest || quoted.substr(kSequenceOffset, 2) != sequence)
        return false;
    const std::size_t compared = std::min(quoted.size(), request.size()) - kIcmpHeaderSize;
    return quoted.substr(kIcmpHeaderSize, compared) == request.substr(kIcmpHeaderSize, compared);
}

}  // namespace

std::uint16_t internetChecksum(std::string_view octets) {
    std::uint32_t sum = 0;
    std::size_t i = 0;
    for (; i + 1 < octets.size(); i += 2) sum += (octet(octets, i) << 8) | octet(octets, i + 1);
    if (i < octets.size()) sum += octet(octets, i) << 8;
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum);
}

std::uint32_t millisecondClock() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

sys::SocketHandle TICMPBlockSocket::createSystemSocket(int& error) {
    if (SocketMode != Mode::DatagramOnly) {
        echoDatagram_ = false;
        const auto raw = openIcmpSocket(SOCK_RAW, error);
        if (raw != sys::kNoSocket || SocketMode == Mode::RawOnly) return raw;
    }
    const auto echo = openIcmpSocket(SOCK_DGRAM, error);
    if (echo == sys::kNoSocket) return echo;
    echoDatagram_ = true;
    // Without this the system keeps error reports about our requests to itself.
    const int on = 1;
    if (::setsockopt(static_cast<int>(echo), IPPROTO_IP, IP_RECVERR, &on, sizeof on) != 0) {
        error = sys::winsockCode(errno);
        sys::closeSocket(echo);
        return sys::kNoSocket;
    }
    return echo;
}

std::string TICMPBlockSocket::RecvPacket(int timeoutMs) {
    std::string packet;
    if (!echoDatagram_ || !HasSocket()) return TBlockSocket::RecvPacket(timeoutMs);
    if (takeErrorReport(packet)) return packet;
    packet = TBlockSocket::RecvPacket(timeoutMs);
    // A pending socket error on this socket stands for a report waiting in the error queue.
    if (LastError() != 0) takeErrorReport(packet);
    return packet;
}

bool TICMPBlockSocket::takeErrorReport(std::string& packet) {
    ErrorReport report;
    if (!readErrorReport(handle(), report)) return false;
    constexpr std::size_t kIpHeaderSize = 20;
    packet.clear();
    packet.push_back(static_cast<char>(report.type));
    packet.push_back(static_cast<char>(report.code));
    packet.append(6, '\0');
    // The IP header of the reported datagram as the reporter would have quoted it: protocol ICMP,
    // from this host (left 0: the system does not say) to the remote address.
    packet.push_back('\x45');
    packet.push_back('\0');
    appendBigEndian16(packet, kIpHeaderSize + report.quotedIcmp.size());
    packet.append(4, '\0');
    packet.push_back('\x40');
    packet.push_back('\x01');
    packet.append(2, '\0');
    appendBigEndian32(packet, 0);
    appendBigEndian32(packet, remote().address);
    packet += report.quotedIcmp;
    setRemote(report.reporter);
    setLastError(0);
    return true;
}

bool IcmpEcho::echo(const std::string& host, int timeoutMs, IcmpEchoAnswer& answer) {
    TICMPBlockSocket sock;
    sock.SocketMode = socketMode;
    lastEchoWasDatagram_ = false;
    sock.Connect(host, "0");
    if (sock.LastError()) return false;
    lastEchoWasDatagram_ = sock.IsEchoDatagram();
    sock.SetSizeRecvBuffer(kPingReceiveBuffer);
    std::minstd_rand random(static_cast<std::minstd_rand::result_type>(
        std::chrono::system_clock::now().time_since_epoch().count()));
    const std::string request = buildRequest(static_cast<std::uint16_t>(random() % 32767), 1);
    sock.SendString(request);
    if (sock.LastError()) return false;
    const std::uint32_t t0 = millisecondClock();
    const auto elapsed = [t0] { return static_cast<std::int64_t>(millisecondClock() - t0); };

    while (true) {
        // Every wait ends with the budget, so the whole call never blocks longer than timeoutMs.
        const auto wait = std::max<std::int64_t>(0, timeoutMs - elapsed());
        const std::string packet = sock.RecvPacket(static_cast<int>(wait));
        if (sock.LastError()) return false;
        if (elapsed() > timeoutMs) return false;
        const std::size_t icmpStart = sock.IsEchoDatagram() ? 0 : ipHeaderLength(packet);
        if (packet.size() < icmpStart + kIcmpHeaderSize) continue;
        const std::string_view icmp = std::string_view(packet).substr(icmpStart);
        // The own request, seen again on the loopback path.
        if (octet(icmp, 0) == kEchoRequest) continue;
        if (!isAnswer(sock.IsEchoDatagram(), icmp, packet, request)) continue;
        answer.roundTripMs = static_cast<int>(elapsed());
        answer.from = sock.GetRemoteSinIP();
        answer.type = octet(icmp, 0);
        answer.code = octet(icmp, 1);
        return true;
    }
}

}  // namespace ups
