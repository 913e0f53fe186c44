#pragma once
// Blocking datagram sockets. The system socket comes into being when an operation first needs it
// and is closed with the object. Nothing here throws: every operation records its outcome in
// LastError() (0 = no error, Winsock-numbered codes otherwise, see net/sockets.h).
#include <cstdint>
#include <string>
#include <string_view>

#include "net/sockets.h"

namespace ups {

inline constexpr int kMaxDatagram = 65536;

class TBlockSocket {
public:
    TBlockSocket(const TBlockSocket&) = delete;
    TBlockSocket& operator=(const TBlockSocket&) = delete;
    virtual ~TBlockSocket();

    // Binds to a local address and port. Binding the any-address to port 0 does nothing: the
    // system picks a port at the first send.
    void Bind(const std::string& ip, const std::string& port);
    // Records the remote address and creates the system socket. A datagram socket is not
    // connected to the peer by this; see TDgramBlockSocket::AttachRemote.
    virtual void Connect(const std::string& ip, const std::string& port);
    // Sends `data` as one datagram to the remote address.
    void SendString(std::string_view data);
    // Waits up to timeoutMs for one datagram and returns it; the sender becomes the remote
    // address. On failure the result is empty and LastError() says why (kErrTimedOut when the
    // wait ran out, kErrConnectionReset when the system reported the peer's port unreachable).
    virtual std::string RecvPacket(int timeoutMs);
    void SetSizeRecvBuffer(int size);
    void CloseSocket();

    std::string GetRemoteSinIP() const;
    int GetRemoteSinPort() const;
    std::string GetLocalSinIP() const;
    int GetLocalSinPort() const;
    int LastError() const { return lastError_; }
    bool HasSocket() const { return socket_ != sys::kNoSocket; }
    // True once a Bind to a local port has succeeded on the current system socket.
    bool IsBound() const { return bound_; }

protected:
    TBlockSocket() = default;
    // Creates the system socket of this class's kind if there is none yet. A platform may derive
    // a socket of another kind (ICMP, for the echo) and create its system socket itself.
    bool ensureSocket();
    virtual sys::SocketHandle createSystemSocket(int& error) = 0;
    sys::SocketHandle handle() const { return socket_; }
    const sys::Endpoint& remote() const { return remote_; }
    bool attached() const { return attached_; }
    void setAttached() { attached_ = true; }
    void setLastError(int error) { lastError_ = error; }
    void setRemote(const sys::Endpoint& endpoint);

private:
    sys::SocketHandle socket_ = sys::kNoSocket;
    sys::Endpoint remote_;
    bool bound_ = false;
    bool attached_ = false;
    int lastError_ = 0;
};

class TDgramBlockSocket : public TBlockSocket {
public:
    // Connects the system socket to the recorded remote address. The system then delivers only
    // the peer's datagrams and reports the peer's port unreachable, which an unconnected socket
    // never hears about on Linux.
    void AttachRemote();
};

class TUDPBlockSocket : public TDgramBlockSocket {
public:
    TUDPBlockSocket() = default;

protected:
    sys::SocketHandle createSystemSocket(int& error) override;
};

}  // namespace ups
