#pragma once
// What a v1 trap from the UPS agent means: the filter on its sender and agent address, and how its
// bindings change the fields the supervisor tick reads. The listener thread (upsThead.h) applies
// them to every datagram it receives.
#include <cstdint>
#include <optional>
#include <string>

#include "links/trapFields.h"
#include "net/snmpsend.h"

namespace ups {

// How a received v1 trap changes the fields, with the filter applied first: the datagram must come
// from the agent's address and name it in its agent-address field. Returns true when the trap
// passed the filter and changed something (an acted-on trap).
bool applyTrap(const TrapContents& trap, const std::string& ipAgent, TrapFields& fields);

// The agent-address comparison of the filter: both texts read by inetAddr, the way the address
// field reads them (the four-part to one-part forms, each part decimal, octal or hexadecimal).
// An unreadable text matches nothing, and neither does the all-ones broadcast address, which
// inetAddr cannot tell from its error.
bool sameIpv4Address(const std::string& a, const std::string& b);

// The longest switch-off the countdown can hold: its seconds still fit a 32-bit count.
inline constexpr std::int32_t kMaxSwitchOffMinutes = 35'791'394;

// The minutes of a switch-off trap: after optional white space and sign, decimal digits and
// nothing else, from 0 to kMaxSwitchOffMinutes. Anything else is no switch-off at all: read
// leniently, a garbled value would be 0 minutes, which means "now".
std::optional<std::int32_t> switchOffMinutes(const std::string& text);

// Trap values: leading white space, an optional sign, decimal digits up to the first non-digit;
// no digits reads as 0.
std::int32_t trapValue(const std::string& text);

}  // namespace ups
