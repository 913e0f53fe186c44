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

}  // namespace

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
    return sys::openUdpSocket(error);
}

}  // namespace ups
