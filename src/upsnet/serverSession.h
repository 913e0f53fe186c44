#pragma once
// One client's conversation with the server, as pure logic: a request line in, the answer lines
// out, with the words, list framing, quoting and error words of the UPS network protocol. The
// session keeps what the client said of itself (its user name and password, its LOGIN); what
// all sessions share (the state, the logins, FSD, the instant command) it asks its host for.
#include <string>
#include <string_view>
#include <vector>

#include "config/networkUps.h"
#include "upsnet/servedState.h"

namespace ups {

// The server a session runs in; called on the server's thread.
class SessionHost {
public:
    virtual ~SessionHost() = default;
    virtual ServedState state() const = 0;
    virtual bool forcedShutdown() const = 0;
    virtual int loginCount() const = 0;
    // The addresses of the clients logged in, for LIST CLIENT.
    virtual std::vector<std::string> loggedInAddresses() const = 0;
    virtual void setForcedShutdown() = 0;
    // Hands the instant command to the monitor, without waiting for it to run; false when the
    // monitor refused it.
    virtual bool runCommand(InstantCommand command) = 0;
};

struct SessionConfig {
    std::string upsName = "ups";
    std::string description = "Unavailable";
    // The monitor's version, for VER and driver.version.
    std::string version;
    std::vector<NetworkUser> users;
};

inline constexpr std::string_view kNetworkProtocolVersion = "1.3";

class ServerSession {
public:
    ServerSession(const SessionConfig& config, SessionHost& host, std::string peerAddress)
        : config_(config), host_(host), peer_(std::move(peerAddress)) {}

    // Answers one request line, given without its line end; each answer line goes to `out` with
    // "\n" after it. An empty line has no answer.
    void answer(std::string_view line, std::string& out);

    bool loggedIn() const { return loggedIn_; }
    // After LOGOUT's answer the connection is to be closed.
    bool ended() const { return ended_; }
    const std::string& peerAddress() const { return peer_; }

private:
    using Words = std::vector<std::string>;
    std::string get(const Words& words);
    std::string list(const Words& words);
    std::string setVar(const Words& words);
    std::string instantCommand(const Words& words);
    std::string login(const Words& words);
    std::string primary(const Words& words, bool oldName);
    std::string forcedShutdown(const Words& words);
    std::string credential(const Words& words, bool password);
    // nullptr with the error word in `refusal` unless the client named a user and the right
    // password for it; the check is made once per session.
    const NetworkUser* authenticated(std::string& refusal);
    bool knownUps(const std::string& name) const;
    // The instant command on offer now: none unless some user may run it.
    InstantCommand offered() const;

    const SessionConfig& config_;
    SessionHost& host_;
    std::string peer_;
    std::string user_;
    std::string password_;
    bool userSet_ = false;
    bool passwordSet_ = false;
    bool checked_ = false;
    const NetworkUser* verified_ = nullptr;
    bool loggedIn_ = false;
    bool ended_ = false;
};

}  // namespace ups
