#pragma once
// The UPS network protocol's server: it serves the UPS the monitor watches to other computers'
// monitors (upsmon, NAS systems, hypervisors), on a thread of its own that waits on all its
// sockets at once and never blocks. Every client has bounded buffers: a line longer than the cap,
// a client whose answers stop moving or pile up, or one that stays silent too long is dropped,
// so the others keep being answered. The GUI thread only sets the state, under a short lock.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/clock.h"
#include "config/networkUps.h"
#include "net/sockets.h"
#include "supervisor/followerHandoff.h"
#include "upsnet/servedState.h"
#include "upsnet/serverSession.h"

namespace ups {

// Runs the instant command a client asked for. Called on the server's thread: it must hand the
// order to the thread that gives orders (the GUI thread, which runs the UPS's commands) and
// return at once; true when the order was taken. The order should be checked again there
// against the state of that moment before anything is sent to the UPS.
class InstantCommandHook {
public:
    virtual ~InstantCommandHook() = default;
    virtual bool requestInstantCommand(InstantCommand command) = 0;
};

struct UpsServerOptions {
    std::vector<sys::Endpoint> listen;
    SessionConfig session;
    std::size_t maxLineOctets = 1024;
    std::size_t maxConnections = 64;
    // Silence after which a client is dropped.
    std::int64_t idleMs = 120'000;
    // A client's answers that wait past this are dropped with it; past the pause mark its next
    // requests wait until it has read.
    std::size_t maxPendingOctets = 64 * 1024;
    std::size_t pauseOctets = 16 * 1024;
    // A client whose answers keep waiting this long, never all read, is dropped.
    std::int64_t stalledMs = 10'000;
};

// The listening addresses of the settings: IPv4 addresses separated by spaces or commas, each
// with the settings' port; 127.0.0.1 when there are none. False when one is not an address.
bool listenEndpoints(const std::string& addresses, int port, std::vector<sys::Endpoint>& out);

// The options for the settings; false when an address is not valid. Only a word of letters,
// digits, '_', '-' and '.' serves as the UPS's name; "ups" otherwise.
bool serverOptions(const NetworkServerSettings& settings, const std::string& version,
                   UpsServerOptions& options);

class UpsServer : public FollowerHandoff, private SessionHost {
public:
    UpsServer(UpsServerOptions options, const Clock& clock, InstantCommandHook* hook = nullptr);
    ~UpsServer() override;
    UpsServer(const UpsServer&) = delete;
    UpsServer& operator=(const UpsServer&) = delete;

    // Opens the listeners and starts the thread: 0, or the socket error of the first address that
    // could not be had (nothing is left open then).
    int start();
    // Ends the thread and closes every connection; returns within a wait's slice.
    void stop();
    // The addresses listened on, with the ports the system gave (a port 0 asks for any).
    std::vector<sys::Endpoint> listening() const { return bound_; }

    // The state to serve, from the thread that reads the UPS.
    void setState(const ServedState& state);

    // FollowerHandoff: FSD on ups.status for everyone from now on, until the server is made anew.
    void setForcedShutdown() override;
    int followersLoggedIn() const override { return logins_.load(std::memory_order_acquire); }

private:
    struct Connection;

    void run();
    void acceptWaiting(sys::SocketHandle listener);
    void serve(Connection& connection, bool readable, std::int64_t now);
    void answerLines(Connection& connection);
    bool dropNow(const Connection& connection, std::int64_t now) const;
    // Closes and forgets the connections marked gone.
    void closeGone();
    void closeAll();
    SessionHost& host();

    // SessionHost, on the server's thread.
    ServedState state() const override;
    bool forcedShutdown() const override { return fsd_.load(std::memory_order_acquire); }
    int loginCount() const override;
    std::vector<std::string> loggedInAddresses() const override;
    bool runCommand(InstantCommand command) override;

    UpsServerOptions options_;
    const Clock& clock_;
    InstantCommandHook* hook_;
    std::vector<sys::SocketHandle> listeners_;
    std::vector<sys::Endpoint> bound_;
    sys::SocketHandle wake_ = sys::kNoSocket;
    sys::Endpoint wakeAt_;
    std::vector<std::unique_ptr<Connection>> connections_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> fsd_{false};
    std::atomic<int> logins_{0};
    mutable std::mutex stateLock_;
    ServedState state_;
};

}  // namespace ups
