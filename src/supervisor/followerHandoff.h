#pragma once
// The primary's side of a power-off with followers: before the machine powers off, the machines
// that follow this UPS through the network server are told to shut down, and the supervisor waits
// (bounded) until they have logged out. Declared here so the server can implement it without
// knowing the supervisor.

namespace ups {

class FollowerHandoff {
public:
    virtual ~FollowerHandoff() = default;
    // Marks the UPS as forced to shut down: followers see FSD in its status from now on.
    virtual void setForcedShutdown() = 0;
    // How many followers are logged in to this UPS now.
    virtual int followersLoggedIn() const = 0;
};

}  // namespace ups
