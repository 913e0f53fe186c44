#include "upsnet/followerLink.h"

#include <algorithm>
#include <chrono>

#include "upsnet/protocolText.h"
#include "upsnet/upsClient.h"

namespace ups {

namespace {

// A word of a request: as it is when it needs no quotes, quoted otherwise.
std::string word(std::string_view text) {
    const bool plain = !text.empty() && text.find_first_of(" \t\"\\") == std::string_view::npos;
    return plain ? std::string(text) : quoted(text);
}

std::string joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& w : words) text += (text.empty() ? "" : " ") + w;
    return text;
}

}  // namespace

FollowerLink::FollowerLink(const NetworkClientSettings& settings, FollowerTiming timing)
    : settings_(settings),
      timing_(timing),
      serverName_(settings.upsName + "@" + settings.host + ":" + std::to_string(settings.port)),
      thread_([this] { run(); }) {}

FollowerLink::~FollowerLink() {
    closeSession();
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    interrupt_.store(true, std::memory_order_release);
    wake_.notify_all();
    thread_.join();
}

FollowedStatus FollowerLink::latestStatus() {
    std::lock_guard lock(mutex_);
    return status_;
}

FollowedIdentity FollowerLink::identity() const {
    std::lock_guard lock(mutex_);
    return identity_;
}

void FollowerLink::closeSession() {
    std::unique_lock lock(mutex_);
    closeRequested_ = true;
    wake_.notify_all();
    // A request already on the wire ends first; a server that does not answer is not waited for
    // beyond the close wait: the connection then ends when the thread's own time-out comes.
    wake_.wait_for(lock, std::chrono::milliseconds(timing_.closeWaitMs),
                   [this] { return sessionClosed_; });
}

void FollowerLink::reopenSession() {
    std::lock_guard lock(mutex_);
    closeRequested_ = false;
    sessionClosed_ = false;
    status_.link = FollowedLink::connecting;
    wake_.notify_all();
}

bool FollowerLink::closing() const {
    std::lock_guard lock(mutex_);
    return closeRequested_ || stopping_;
}

bool FollowerLink::pause(int ms) {
    std::unique_lock lock(mutex_);
    return !wake_.wait_for(lock, std::chrono::milliseconds(ms),
                           [this] { return closeRequested_ || stopping_; });
}

void FollowerLink::publish(const FollowedStatus& status) {
    std::lock_guard lock(mutex_);
    status_ = status;
}

void FollowerLink::publishLost(const std::string& problem) {
    std::lock_guard lock(mutex_);
    // The last status stays: the supervisor decides what a loss on battery means.
    status_.link = FollowedLink::lost;
    status_.problem = serverName_ + ": " + problem;
}

void FollowerLink::run() {
    int retryMs = timing_.firstRetryMs;
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            if (closeRequested_) {
                sessionClosed_ = true;
                wake_.notify_all();
            }
            wake_.wait(lock, [this] { return stopping_ || !closeRequested_; });
            if (stopping_) return;
        }
        UpsClient client(interrupt_);
        std::string problem;
        bool reached = false;
        if (client.connect(settings_.host, settings_.port, timing_.connectMs)) {
            problem = follow(client, reached);
        } else {
            problem = client.problem();
        }
        if (closing()) continue;
        publishLost(problem);
        // A server that was followed and then lost is tried again soon; one that keeps failing
        // less and less often.
        if (reached) retryMs = timing_.firstRetryMs;
        pause(retryMs);
        retryMs = std::min(retryMs * 2, timing_.longestRetryMs);
    }
}

std::string FollowerLink::follow(UpsClient& client, bool& reached) {
    std::string problem;
    if (!logIn(client, problem)) return problem;
    readIdentity(client);
    const std::string ups = word(settings_.upsName);
    while (!closing()) {
        if (!client.connected()) return client.problem();
        const auto answer = client.request("GET VAR " + ups + " ups.status", timing_.answerMs);
        if (!answer) return client.problem();
        if (const auto value = variableValue(*answer, settings_.upsName, "ups.status")) {
            const UpsStatusWords words = readStatusWords(*value);
            if (!reached) ++sessions_;
            publish({FollowedLink::following,
                     words.lineOk,
                     words.batteryLow,
                     words.forcedShutdown,
                     sessions_,
                     {}});
            reached = true;
        } else {
            // DATA-STALE, DRIVER-NOT-CONNECTED, UNKNOWN-UPS...: the server itself does not
            // know, which for this machine is the same as not reaching it. The session stays.
            publishLost("el servidor respondió " + joined(*answer));
        }
        pause(timing_.pollMs);
    }
    client.logout(timing_.closeWaitMs);
    return {};
}

bool FollowerLink::logIn(UpsClient& client, std::string& problem) {
    // Without a user the status can still be read, but no primary waits for this machine.
    if (settings_.user.empty()) return true;
    const std::string requests[] = {"USERNAME " + word(settings_.user),
                                    "PASSWORD " + word(settings_.password),
                                    "LOGIN " + word(settings_.upsName)};
    for (const std::string& request : requests) {
        if (closing()) {
            client.logout(timing_.closeWaitMs);
            problem = "sesión cerrada";
            return false;
        }
        const auto answer = client.request(request, timing_.answerMs);
        if (!answer) {
            problem = client.problem();
            return false;
        }
        if ((*answer)[0] != "OK") {
            // The request's first word only: the password is never written anywhere.
            problem = "el servidor no aceptó " + request.substr(0, request.find(' ')) + ": " +
                      joined(*answer);
            client.close();
            return false;
        }
    }
    return true;
}

std::string FollowerLink::readVariable(UpsClient& client, std::string_view name) {
    if (!client.connected()) return {};
    const auto answer = client.request(
        "GET VAR " + word(settings_.upsName) + " " + std::string(name), timing_.answerMs);
    if (!answer) return {};
    return variableValue(*answer, settings_.upsName, name).value_or(std::string());
}

void FollowerLink::readIdentity(UpsClient& client) {
    // The device.* names are the protocol's current ones; older servers give only ups.*.
    FollowedIdentity identity;
    identity.maker = readVariable(client, "device.mfr");
    if (identity.maker.empty()) identity.maker = readVariable(client, "ups.mfr");
    identity.model = readVariable(client, "device.model");
    if (identity.model.empty()) identity.model = readVariable(client, "ups.model");
    identity.serial = readVariable(client, "device.serial");
    if (identity.serial.empty()) identity.serial = readVariable(client, "ups.serial");
    std::lock_guard lock(mutex_);
    identity_ = std::move(identity);
}

}  // namespace ups
