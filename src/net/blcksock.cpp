#include "net/blcksock.h"

namespace ups {

namespace {

bool parsePort(const std::string& text, std::uint16_t& port) {
    if (text.empty() || text.size() > 5) return false;
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > 65535) return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}

// Address and port texts to an endpoint; the error code when either is unusable.
int parseEndpoint(const std::string& ip, const std::string& port, sys::Endpoint& endpoint) {
    if (!sys::resolveIpv4(ip, endpoint.address)) return sys::kErrAddressNotAvailable;
    if (!parsePort(port, endpoint.port)) return sys::kErrInvalid;
    return 0;
}

void appendBigEndian16(std::string& out, std::size_t value) {
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
    out.push_back(static_cast<char>(value & 0xFF));
}

void appendBigEndian32(std::string& out, std::uint32_t value) {
    appendBigEndian16(out, value >> 16);
    appendBigEndian16(out, value & 0xFFFF);
}

}  // namespace

bool SocketInterfaceStartup() {
    return sys::startup();
}
void SocketInterfaceCleanup() {
    sys::cleanup();
}

TBlockSocket::~TBlockSocket() {
    CloseSocket();
}

bool TBlockSocket::ensureSocket() {
    if (socket_ != sys::kNoSocket) return true;
    int error = 0;
    socket_ = createSystemSocket(error);
    lastError_ = error;
    return socket_ != sys::kNoSocket;
}

void TBlockSocket::Bind(const std::string& ip, const std::string& port) {
    sys::Endpoint local;
    lastError_ = parseEndpoint(ip, port, local);
    if (lastError_) return;
    // Any address and port 0 is what the system gives an unbound socket at its first send anyway;
    // asking for it again on a socket already in use would only be refused.
    if (local.address == 0 && local.port == 0) return;
    if (!ensureSocket()) return;
    lastError_ = sys::bindSocket(socket_, local);
    bound_ = lastError_ == 0;
}

void TBlockSocket::Connect(const std::string& ip, const std::string& port) {
    sys::Endpoint target;
    lastError_ = parseEndpoint(ip, port, target);
    if (lastError_) return;
    remote_ = target;
    ensureSocket();
}

void TBlockSocket::SendString(std::string_view data) {
    if (!ensureSocket()) return;
    lastError_ = sys::sendDatagram(socket_, data, attached_ ? nullptr : &remote_);
}

std::string TBlockSocket::RecvPacket(int timeoutMs) {
    std::string data;
    if (!ensureSocket()) return data;
    lastError_ = 0;
    sys::yieldProcessor();
    int error = 0;
    auto outcome = sys::readDatagram(socket_, kMaxDatagram, data, remote_, error);
    if (outcome == sys::ReadOutcome::Nothing) {
        bool readable = false;
        error = sys::waitReadable(socket_, timeoutMs, readable);
        if (error) {
            lastError_ = error;
            return data;
        }
        if (!readable) {
            lastError_ = sys::kErrTimedOut;
            return data;
        }
        outcome = sys::readDatagram(socket_, kMaxDatagram, data, remote_, error);
        // Readable with nothing to read: the system's way of saying the peer is unreachable.
        if (outcome == sys::ReadOutcome::Nothing) error = sys::kErrConnectionReset;
    }
    if (outcome != sys::ReadOutcome::Datagram) lastError_ = error;
    return data;
}

void TBlockSocket::SetSizeRecvBuffer(int size) {
    if (ensureSocket()) lastError_ = sys::setReceiveBufferSize(socket_, size);
}

void TBlockSocket::CloseSocket() {
    sys::closeSocket(socket_);
    socket_ = sys::kNoSocket;
    bound_ = false;
    attached_ = false;
}

std::string TBlockSocket::GetRemoteSinIP() const {
    return sys::formatIpv4(remote_.address);
}
int TBlockSocket::GetRemoteSinPort() const {
    return remote_.port;
}

std::string TBlockSocket::GetLocalSinIP() const {
    sys::Endpoint local;
    if (!HasSocket() || sys::localEndpoint(socket_, local)) return "0.0.0.0";
    return sys::formatIpv4(local.address);
}

int TBlockSocket::GetLocalSinPort() const {
    sys::Endpoint local;
    if (!HasSocket() || sys::localEndpoint(socket_, local)) return 0;
    return local.port;
}

void TBlockSocket::setRemote(const sys::Endpoint& endpoint) {
    remote_ = endpoint;
}

void TDgramBlockSocket::AttachRemote() {
    if (!ensureSocket()) return;
    setLastError(sys::connectSocket(handle(), remote()));
    if (LastError() == 0) setAttached();
}

sys::SocketHandle TUDPBlockSocket::createSystemSocket(int& error) {
    return sys::openSocket(sys::SocketKind::Udp, error);
}

sys::SocketHandle TICMPBlockSocket::createSystemSocket(int& error) {
    if (SocketMode != Mode::DatagramOnly) {
        echoDatagram_ = false;
        const auto raw = sys::openSocket(sys::SocketKind::IcmpRaw, error);
        if (raw != sys::kNoSocket || SocketMode == Mode::RawOnly) return raw;
    }
    const auto echo = sys::openSocket(sys::SocketKind::IcmpDatagram, error);
    if (echo == sys::kNoSocket) return echo;
    echoDatagram_ = true;
    // Without this the system keeps error reports about our requests to itself.
    error = sys::enableErrorReports(echo);
    if (error) {
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
    sys::IcmpErrorReport report;
    int error = 0;
    if (sys::readErrorReport(handle(), report, error) != sys::ReadOutcome::Datagram) return false;
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

}  // namespace ups
