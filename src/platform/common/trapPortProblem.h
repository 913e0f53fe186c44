#pragma once
// What the user is told when the trap port cannot be bound: the listener only knows that its
// bind failed, and the user needs to know what to do about it.
#include <cstdint>
#include <string>
#include <string_view>

namespace ups {

struct TrapPortFacts {
    int bindError = 0;  // the error of a bind tried now (net/sockets.h numbering); 0 bound
    std::uint16_t port = 162;
    std::string holderService;     // the system's service known to hold the port, when one runs
    bool accessMeansHeld = false;  // Windows: refused access is another program's exclusive use
};

// Empty when the bind succeeded.
std::string trapPortProblemText(const TrapPortFacts& facts);

// Binds a UDP socket to the address and port and lets it go again: 0, or the error.
int tryBindUdp(const std::string& address, std::uint16_t port);

}  // namespace ups
