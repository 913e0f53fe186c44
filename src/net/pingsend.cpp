#include "net/pingsend.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace ups {

namespace {

constexpr std::uint8_t kEchoReply = 0;
constexpr std::uint8_t kDestinationUnreachable = 3;
constexpr std::uint8_t kEchoRequest = 8;
constexpr std::uint8_t kTimeExceeded = 11;
constexpr std::size_t kIcmpHeaderSize = 8;
constexpr std::size_t kRequestHeaderSize = 12;  // the ICMP header and the time stamp
constexpr std::size_t kSequenceOffset = 6;
constexpr int kMaxPacketSize = 65000;
constexpr char kDataOctet = 0x37;

std::uint8_t octet(std::string_view text, std::size_t index) {
    return static_cast<std::uint8_t>(text[index]);
}

std::size_t ipHeaderLength(std::string_view packet) {
    return packet.empty() ? 0 : static_cast<std::size_t>(octet(packet, 0) & 0x0F) * 4;
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

TPINGSend::TPINGSend()
    : random_(static_cast<std::minstd_rand::result_type>(
          std::chrono::system_clock::now().time_since_epoch().count())) {}

std::string TPINGSend::buildRequest() {
    identifier_ = static_cast<std::uint16_t>(random_() % 32767);
    ++sequence_;
    const std::uint32_t stamp = millisecondClock();
    const auto dataSize = static_cast<std::size_t>(std::clamp(PacketSize, 0, kMaxPacketSize));

    std::string request(kRequestHeaderSize + dataSize, kDataOctet);
    request[0] = static_cast<char>(kEchoRequest);
    request[1] = 0;
    request[2] = request[3] = 0;
    // Identifier, sequence and time stamp go out in this host's byte order: only this host reads
    // them back.
    std::memcpy(&request[4], &identifier_, sizeof identifier_);
    std::memcpy(&request[6], &sequence_, sizeof sequence_);
    std::memcpy(&request[8], &stamp, sizeof stamp);
    const std::uint16_t checksum = internetChecksum(request);
    request[2] = static_cast<char>(checksum >> 8);
    request[3] = static_cast<char>(checksum & 0xFF);
    return request;
}

bool TPINGSend::isAnswer(std::string_view icmp, std::string_view packet,
                         std::string_view request) const {
    const std::string_view sequence = request.substr(kSequenceOffset, 2);
    if (!Sock.IsEchoDatagram()) {
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

bool TPINGSend::Ping(const std::string& host) {
    PingTime = -1;
    ReplyFrom.clear();
    ReplyType = 0;
    ReplyCode = 0;
    ReplyError = IE_NoError;
    ReplyErrorDesc.clear();

    Sock.Bind(IPInterface, "0");
    if (Sock.LastError()) return false;
    Sock.Connect(host, "0");
    if (Sock.LastError()) return false;
    Sock.SetSizeRecvBuffer(kPingReceiveBuffer);
    const std::string request = buildRequest();
    Sock.SendString(request);
    if (Sock.LastError()) return false;
    const std::uint32_t t0 = millisecondClock();
    const auto elapsed = [t0] { return static_cast<std::int64_t>(millisecondClock() - t0); };

    while (true) {
        // Every wait ends with the budget, so the whole call never blocks longer than Timeout.
        const auto wait = std::max<std::int64_t>(0, Timeout - elapsed());
        const std::string packet = Sock.RecvPacket(static_cast<int>(wait));
        if (Sock.LastError()) return false;
        if (elapsed() > Timeout) return false;
        const std::size_t icmpStart = Sock.IsEchoDatagram() ? 0 : ipHeaderLength(packet);
        if (packet.size() < icmpStart + kIcmpHeaderSize) continue;
        const std::string_view icmp = std::string_view(packet).substr(icmpStart);
        if (octet(icmp, 0) == kEchoRequest) continue;
        if (!isAnswer(icmp, packet, request)) continue;
        PingTime = static_cast<int>(elapsed());
        ReplyFrom = Sock.GetRemoteSinIP();
        ReplyType = octet(icmp, 0);
        ReplyCode = octet(icmp, 1);
        classify();
        return true;
    }
}

void TPINGSend::classify() {
    struct Class {
        TICMPError error;
        const char* text;
    };
    Class found{IE_Other, "Unknown error"};
    if (ReplyType == kEchoReply) {
        found = {IE_NoError, ""};
    } else if (ReplyType == kTimeExceeded) {
        found = {IE_TTLExceed, "TTL Exceeded"};
    } else if (ReplyType == kDestinationUnreachable) {
        switch (ReplyCode) {
            case 0:
                found = {IE_UnreachRoute, "No route to destination"};
                break;
            case 1:
                found = {IE_UnreachAddr, "Address unreachable"};
                break;
            case 3:
                found = {IE_UnreachPort, "Port unreachable"};
                break;
            case 13:
                found = {IE_UnreachAdmin, "Administratively prohibited"};
                break;
            default:
                found = {IE_UnreachOther, "Unknown unreachable"};
                break;
        }
    }
    ReplyError = found.error;
    ReplyErrorDesc = found.text;
}

int PingHost(const std::string& host, int timeoutMs) {
    TPINGSend ping;
    ping.Timeout = timeoutMs;
    if (!ping.Ping(host) || ping.ReplyError != IE_NoError) return -1;
    return ping.PingTime;
}

}  // namespace ups
