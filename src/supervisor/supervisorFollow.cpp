// The supervisor's network side: the UPS followed on another machine's server, and the followers
// this machine tells to shut down before its own power-off.
#include <algorithm>
#include <string>

#include "supervisor/noticeTexts.h"
#include "supervisor/supervisor.h"

namespace ups {

using namespace notice;

namespace {

std::string text(std::string_view s) {
    return std::string(s);
}

std::string loggedInText(int followers) {
    return std::to_string(followers) + (followers == 1 ? " conectado" : " conectados");
}

std::int64_t boundedMs(int seconds, int maxSeconds) {
    return static_cast<std::int64_t>(std::clamp(seconds, 0, maxSeconds)) * 1000;
}

}  // namespace

void Supervisor::setFollowed(FollowedStatusReader* reader, int lostGraceSeconds) {
    followed_ = reader;
    lostGraceMs_ = boundedMs(lostGraceSeconds, kMaxFollowSeconds);
    state_.followLinkActive = reader != nullptr;
    followedLostAt_.reset();
    followedReached_ = false;
    forcedShutdown_ = false;
    forcedShutdownFollowed_ = false;
}

void Supervisor::setFollowerHandoff(FollowerHandoff* handoff, int waitSeconds) {
    handoff_ = handoff;
    followerWaitMs_ = boundedMs(waitSeconds, kMaxFollowSeconds);
}

// ---- following ----

void Supervisor::readFollowedStatus() {
    state_.adminShutdownPending = false;
    const FollowedStatus status = followed_->latestStatus();
    if (status.link == FollowedLink::connecting) return;
    if (status.link == FollowedLink::lost) {
        forcedShutdown_ = false;
        followServerLost(status);
        return;
    }
    if (followedLostAt_ || !followedReached_) {
        history_->record(HistoryEventKind::upsServerReached);
        if (followedLostAt_) {
            notify(text(kCaptionUpsServer), std::nullopt, text(kServerBack), kLongMs);
        }
    }
    followedReached_ = true;
    followedLostAt_.reset();
    followedSessions_ = status.sessions;
    state_.lineOk = status.lineOk;
    state_.batteryLow = status.batteryLow;
    forcedShutdown_ = status.forcedShutdown;
    if (!forcedShutdown_) forcedShutdownFollowed_ = false;
}

void Supervisor::followServerLost(const FollowedStatus& status) {
    const std::int64_t now = clock_.monotonicMs();
    if (!followedLostAt_) {
        followedLostAt_ = now;
        history_->record(HistoryEventKind::upsServerLost, status.problem);
        notify(text(kCaptionUpsServer), std::nullopt, text(kServerLost), kLongMs);
    } else if (status.sessions != followedSessions_) {
        // The server came back and was lost again between two ticks: it was there just now.
        followedLostAt_ = now;
    }
    followedSessions_ = status.sessions;
    // The state is the last one the server gave, even one no tick had taken yet. On the line
    // nothing more follows and the client keeps trying; on battery, without news the battery may
    // be running down, so after the grace time the state counts as critical, with its countdown
    // and notices.
    const bool graceOver = now - *followedLostAt_ + kTickSlackMs >= lostGraceMs_;
    state_.lineOk = status.lineOk;
    state_.batteryLow = status.batteryLow || (!status.lineOk && graceOver);
}

bool Supervisor::followForcedShutdown() {
    if (forcedShutdownFollowed_) return false;
    forcedShutdownFollowed_ = true;
    history_->record(HistoryEventKind::forcedShutdownReceived);
    notify(text(kCaptionUpsServer), kPictureBatteryLow, text(kServerOrderedPowerOff), kLongMs);
    // Without the power-off, or after the system refused it, the countdowns go on as the state
    // says.
    if (!mayPowerOff()) return false;
    closeApplications();
    shutdownSystem();
    return true;
}

// ---- the followers of this machine ----

bool Supervisor::handOffToFollowers() {
    if (handoff_ == nullptr) return false;
    handoff_->setForcedShutdown();
    const int loggedIn = handoff_->followersLoggedIn();
    history_->record(HistoryEventKind::followersToldToShutDown, loggedInText(loggedIn));
    if (loggedIn == 0) return false;
    notify(std::nullopt, std::nullopt, text(kWaitingForFollowers), kLongMs);
    view_.repaintNotice();
    followerWaitFrom_ = clock_.monotonicMs();
    view_.runLater(kFollowerPollMs, [this] { waitForFollowers(); });
    return true;
}

void Supervisor::waitForFollowers() {
    // The program ended meanwhile, and its end sent the request.
    if (!shutdownPending_) return;
    const int loggedIn = handoff_->followersLoggedIn();
    const std::int64_t waited = clock_.monotonicMs() - followerWaitFrom_;
    if (loggedIn > 0 && waited < followerWaitMs_) {
        view_.runLater(kFollowerPollMs, [this] { waitForFollowers(); });
        return;
    }
    const std::string seconds = std::to_string((waited + 500) / 1000) + " s";
    history_->record(HistoryEventKind::followersWaitEnded,
                     loggedIn == 0
                         ? "todos desconectados en " + seconds
                         : "espera agotada tras " + seconds + ", " + loggedInText(loggedIn));
    announcePowerOff();
}

}  // namespace ups
