#pragma once
// Asks the other applications of an X11 session to close, the polite way a user would: one close
// request to the main window of each other process, never waiting for an answer.
#include <string>
#include <vector>

namespace ups {

struct CloseRequestSent {
    unsigned long window = 0;
    long pid = -1;                 // -1 when neither the server nor the window tells the owner
    std::string title;             // UTF-8
    bool viaDeleteWindow = false;  // false: _NET_CLOSE_WINDOW through the window manager
};

class X11WindowCloser {
public:
    // Windows of ownPid are never asked to close. An empty display name means the session's.
    explicit X11WindowCloser(long ownPid, std::string displayName = {});

    // Sends the requests and returns them in the order sent. Without an X server there is nothing
    // to enumerate and nothing is sent.
    std::vector<CloseRequestSent> closeOtherApplications() const;
    // The windows closeOtherApplications would ask now, sending nothing.
    std::vector<CloseRequestSent> listOtherApplications() const;

private:
    std::vector<CloseRequestSent> pass(bool send) const;

    long ownPid_;
    std::string displayName_;
};

}  // namespace ups
