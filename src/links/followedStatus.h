#pragma once
// A UPS that another machine serves over the UPS network protocol, as the follower client last
// read it. The client reads on a thread of its own and keeps only its newest status, which the
// tick takes without waiting. Declared here so the client can implement it without knowing the
// supervisor.
#include <string>

namespace ups {

enum class FollowedLink {
    connecting,  // since the start, before the first connection attempt ended
    following,   // logged in, and the server's last answer about the UPS was its status
    lost,        // no session, or the server says its own data of the UPS is stale
};

struct FollowedStatus {
    FollowedLink link = FollowedLink::connecting;
    // The last status the server gave (OL or OB, LB, FSD); kept while the server is lost.
    bool lineOk = true;
    bool batteryLow = false;
    bool forcedShutdown = false;
    // How many sessions have reached the server: one that began and ended between two ticks
    // still shows that the server was there.
    unsigned sessions = 0;
    // While lost: the server and why, in a few Spanish words, for the history.
    std::string problem;
};

class FollowedStatusReader {
public:
    virtual ~FollowedStatusReader() = default;
    // The newest status; returns at once.
    virtual FollowedStatus latestStatus() = 0;
    // Logs out, closes the connection and stops following, waiting a bounded moment for the
    // logout to go out: called just before this machine powers off, so that a primary waiting
    // for its followers sees this one leave.
    virtual void closeSession() = 0;
    // Follows the server again after closeSession, when the system refused the power-off.
    virtual void reopenSession() = 0;
};

}  // namespace ups
