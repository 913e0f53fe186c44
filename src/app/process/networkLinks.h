#pragma once
// The monitor's two ends of the UPS network protocol: the server that serves the watched UPS to
// other computers, and the follower link to a UPS another computer serves (the third kind of
// link: while it is on, the serial port and the agent stay closed). Built from the settings of
// their own value ("RedUps"), started with the links and made anew when an accepted configuration
// changes them. Qt-free: the server's instant command goes to the hook it is given.
#include <memory>
#include <string>

#include "base/clock.h"
#include "config/networkUps.h"
#include "config/registryStore.h"
#include "supervisor/supervisor.h"
#include "supervisor/supervisorState.h"
#include "upsnet/followerLink.h"
#include "upsnet/upsServer.h"

namespace ups {

// The served state for the monitor's run-time state: the link, the line and the battery as the
// tick or the display has them, the order when a link takes it, and the agent's identity.
ServedState servedStateOf(const SupervisorState& state, bool agentMode,
                          const FollowedIdentity& agentIdentity);

class NetworkLinks {
public:
    NetworkLinks(RegistryStore& store, const Clock& clock, InstantCommandHook* hook,
                 std::string version);
    ~NetworkLinks();
    NetworkLinks(const NetworkLinks&) = delete;
    NetworkLinks& operator=(const NetworkLinks&) = delete;

    // The supervisor the follower and the server are handed to; set once it exists.
    void attach(Supervisor& supervisor) { supervisor_ = &supervisor; }
    // The stored settings, read at start-up.
    void load() { settings_ = loadNetworkUps(store_); }
    const NetworkUpsSettings& settings() const { return settings_; }

    // Starts what the settings name: the server, the follower, or both.
    void start();
    // Accepted settings: when they differ, what ran stops and the new ones start.
    void apply(const NetworkUpsSettings& settings);
    // Stops the follower (after the supervisor has let go of it) and the server.
    void stop();

    // Why the server could not listen at its last start, in Spanish; empty when it listens.
    const std::string& serverProblem() const { return serverProblem_; }
    bool following() const { return follower_ != nullptr; }
    FollowerLink* follower() { return follower_.get(); }
    UpsServer* server() { return server_.get(); }

    // The agent's identity for the served variables; empty over the cable.
    void setAgentIdentity(FollowedIdentity identity) {
        agentIdentity_ = std::move(identity);
        identityServed_ = false;
    }
    // The state to serve now, asked for on every tick; made anew only when it changed.
    void publish(const SupervisorState& state, bool agentMode);
    // What was last served (for the instant command's check on the GUI thread).
    const ServedState& served() const { return served_; }

private:
    void serveAnew(const SupervisorState& state, bool agentMode);
    void startServer();
    void startFollower();
    void stopServer();
    void stopFollower();

    RegistryStore& store_;
    const Clock& clock_;
    InstantCommandHook* hook_;
    const std::string version_;
    Supervisor* supervisor_ = nullptr;
    NetworkUpsSettings settings_;
    std::unique_ptr<UpsServer> server_;
    std::unique_ptr<FollowerLink> follower_;
    FollowedIdentity agentIdentity_;
    ServedState served_;
    // Whether served_ carries agentIdentity_ as it is now.
    bool identityServed_ = false;
    std::string serverProblem_;
};

}  // namespace ups
