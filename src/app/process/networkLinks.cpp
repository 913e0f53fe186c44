#include "app/process/networkLinks.h"

#include "base/tickPath.h"

namespace ups {

namespace {

// The part of the served state that the tick's state decides: the identity's part changes only
// through setAgentIdentity. Compared on every tick, so made without the identity's strings.
struct TickPart {
    bool linkAlive;
    bool lineOk;
    bool batteryLow;
    bool commandAvailable;
    ServedLink link;
    bool operator==(const TickPart&) const = default;
};

UPS_TICK_PATH TickPart tickPartOf(const SupervisorState& state, bool agentMode) {
    return {state.linkActive(), state.lineOk, state.batteryLow,
            state.serialLinkActive || (state.agentCommandsOk && state.agentLinkActive),
            agentMode ? ServedLink::Snmp : ServedLink::Serial};
}

UPS_TICK_PATH TickPart tickPartOf(const ServedState& served) {
    return {served.linkAlive, served.lineOk, served.batteryLow, served.commandAvailable,
            served.link};
}

}  // namespace

ServedState servedStateOf(const SupervisorState& state, bool agentMode,
                          const FollowedIdentity& agentIdentity) {
    const TickPart part = tickPartOf(state, agentMode);
    ServedState served;
    served.linkAlive = part.linkAlive;
    served.lineOk = part.lineOk;
    served.batteryLow = part.batteryLow;
    served.commandAvailable = part.commandAvailable;
    served.link = part.link;
    if (agentMode) {
        served.maker = agentIdentity.maker;
        served.model = agentIdentity.model;
        served.serial = agentIdentity.serial;
    }
    return served;
}

NetworkLinks::NetworkLinks(RegistryStore& store, const Clock& clock, InstantCommandHook* hook,
                           std::string version)
    : store_(store), clock_(clock), hook_(hook), version_(std::move(version)) {}

NetworkLinks::~NetworkLinks() {
    // The supervisor is gone by now (the composition root made it later).
    supervisor_ = nullptr;
    stop();
}

void NetworkLinks::start() {
    if (settings_.server.serve) startServer();
    startFollower();
}

void NetworkLinks::startFollower() {
    if (!settings_.client.follow) return;
    follower_ = std::make_unique<FollowerLink>(settings_.client);
    if (supervisor_ != nullptr) {
        supervisor_->setFollowed(follower_.get(), settings_.client.lostGraceSeconds);
    }
}

void NetworkLinks::startServer() {
    serverProblem_.clear();
    UpsServerOptions options;
    if (!serverOptions(settings_.server, version_, options)) {
        serverProblem_ = "Las direcciones para servir la UPS no son válidas.";
        return;
    }
    auto server = std::make_unique<UpsServer>(options, clock_, hook_);
    if (const int error = server->start(); error != 0) {
        serverProblem_ = "No se pudo escuchar en el puerto " +
                         std::to_string(settings_.server.port) + " (error " +
                         std::to_string(error) + ").";
        return;
    }
    server_ = std::move(server);
    server_->setState(served_);
    if (supervisor_ != nullptr) {
        supervisor_->setFollowerHandoff(server_.get(), settings_.server.followerWaitSeconds);
    }
}

void NetworkLinks::apply(const NetworkUpsSettings& settings) {
    // Only the end whose settings changed is made anew: a server's FSD and its logged-in
    // followers outlive a change of the follower's settings.
    if (settings.client != settings_.client) {
        stopFollower();
        settings_.client = settings.client;
        startFollower();
    }
    if (settings.server != settings_.server) {
        stopServer();
        settings_.server = settings.server;
        if (settings_.server.serve) startServer();
    }
}

void NetworkLinks::stop() {
    stopFollower();
    stopServer();
}

void NetworkLinks::stopFollower() {
    if (!follower_) return;
    // The tick must not read a link that is going: the supervisor lets go of it first.
    if (supervisor_ != nullptr) supervisor_->setFollowed(nullptr, 0);
    follower_.reset();
}

void NetworkLinks::stopServer() {
    serverProblem_.clear();
    if (!server_) return;
    if (supervisor_ != nullptr) supervisor_->setFollowerHandoff(nullptr, 0);
    server_->stop();
    server_.reset();
}

UPS_TICK_PATH void NetworkLinks::publish(const SupervisorState& state, bool agentMode) {
    // An idle tick neither copies the identity's strings nor takes the server's lock.
    if (identityServed_ && tickPartOf(state, agentMode) == tickPartOf(served_)) return;
    serveAnew(state, agentMode);
}

UPS_TICK_RARE void NetworkLinks::serveAnew(const SupervisorState& state, bool agentMode) {
    served_ = servedStateOf(state, agentMode, agentIdentity_);
    identityServed_ = true;
    if (server_) server_->setState(served_);
}

}  // namespace ups
