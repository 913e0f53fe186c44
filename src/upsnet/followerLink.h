#pragma once
// The link to a UPS that another machine serves over the UPS network protocol: a thread of its
// own connects to the server, logs in as a follower (so the server counts it among those a
// primary waits for before its power-off), reads the UPS's identity once and its status about
// once a second, and reconnects with growing pauses when the server is lost. The tick takes the
// newest status without waiting; the main window takes the identity.
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "config/networkUps.h"
#include "links/followedStatus.h"

namespace ups {

class UpsClient;

// Who the server says the UPS is; empty where it does not say.
struct FollowedIdentity {
    std::string maker;
    std::string model;
    std::string serial;
    bool operator==(const FollowedIdentity&) const = default;
};

// The link's waits, in milliseconds.
struct FollowerTiming {
    int pollMs = 1000;          // between two status reads
    int connectMs = 5000;       // for a connection to be made
    int answerMs = 5000;        // for each answer
    int firstRetryMs = 1000;    // the pause after the first failed attempt, doubled after each
    int longestRetryMs = 8000;  // up to this
    int closeWaitMs = 1000;     // how long closeSession waits for the logout
};

class FollowerLink final : public FollowedStatusReader {
public:
    explicit FollowerLink(const NetworkClientSettings& settings, FollowerTiming timing = {});
    // Logs out if it can within the close wait, and joins the thread.
    ~FollowerLink() override;
    FollowerLink(const FollowerLink&) = delete;
    FollowerLink& operator=(const FollowerLink&) = delete;

    FollowedStatus latestStatus() override;
    void closeSession() override;
    void reopenSession() override;

    FollowedIdentity identity() const;
    // "ups@host:port", as the history names the server.
    const std::string& serverName() const { return serverName_; }

private:
    void run();
    // One session, from its connection to its loss or close; returns why it ended, and sets
    // reached once the server gave a status.
    std::string follow(UpsClient& client, bool& reached);
    bool logIn(UpsClient& client, std::string& problem);
    void readIdentity(UpsClient& client);
    std::string readVariable(UpsClient& client, std::string_view name);
    // Waits up to ms, or until the session is to close or the link to stop; true when the wait
    // ran out.
    bool pause(int ms);
    bool closing() const;
    void publish(const FollowedStatus& status);
    void publishLost(const std::string& problem);

    const NetworkClientSettings settings_;
    const FollowerTiming timing_;
    const std::string serverName_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    FollowedStatus status_;
    FollowedIdentity identity_;
    unsigned sessions_ = 0;  // the thread's own
    bool closeRequested_ = false;
    bool sessionClosed_ = false;
    bool stopping_ = false;
    // Cuts a network wait short when the link stops.
    std::atomic<bool> interrupt_{false};
    std::thread thread_;
};

}  // namespace ups
