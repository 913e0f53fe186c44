#include "links/trapRules.h"

#include "base/ipv4Text.h"
#include "links/agentLink.h"

namespace ups {

namespace {

constexpr std::int32_t kGenericEnterpriseSpecific = 6;
constexpr std::int32_t kSpecificStatus = 1;
constexpr std::int32_t kSpecificSwitchOff = 2;
constexpr std::int32_t kSpecificSwitchOffCancelled = 3;

bool isStatusTrapName(const std::string& name, const char* oid) {
    return name == oid;
}

bool applyStatusTrap(const TrapContents& trap, TrapFields& fields) {
    if (trap.names.size() != 2 || trap.values.size() != 2) return false;
    const auto& names = trap.names;
    const auto& values = trap.values;
    std::optional<std::int32_t> battery;
    std::optional<std::int32_t> line;
    if (isStatusTrapName(names[0], kOidBatteryState)) {
        battery = trapValue(values[0]);
    } else if (isStatusTrapName(names[1], kOidBatteryState)) {
        battery = trapValue(values[1]);
    }
    if (isStatusTrapName(names[1], kOidLineState)) {
        line = trapValue(values[1]);
    } else if (isStatusTrapName(names[0], kOidLineState)) {
        line = trapValue(values[0]);
    }
    // The tick reads the states after it sees the notice flag clear.
    fields.storeStatus(line, battery);
    return true;
}

bool isAdministratorBinding(const TrapContents& trap) {
    return trap.names.size() == 1 && trap.values.size() == 1 && trap.names[0] == kOidAdminMinutes;
}

bool applySwitchOffTrap(const TrapContents& trap, TrapFields& fields) {
    if (!isAdministratorBinding(trap)) return false;
    const std::optional<std::int32_t> minutes = switchOffMinutes(trap.values[0]);
    if (!minutes) return false;
    fields.publishAdminNotice(*minutes);
    return true;
}

bool applyCancelTrap(const TrapContents& trap, TrapFields& fields) {
    if (!isAdministratorBinding(trap)) return false;
    fields.publishAdminNotice(kNoSwitchOff);
    return true;
}

}  // namespace

std::int32_t trapValue(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > 0x80000000LL) return 0;  // out of range reads as no number
    }
    if (negative) value = -value;
    if (value > INT32_MAX) return 0;
    return static_cast<std::int32_t>(value);
}

std::optional<std::int32_t> switchOffMinutes(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return std::nullopt;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
        if (value > kMaxSwitchOffMinutes) return std::nullopt;
    }
    if (negative && value != 0) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

bool sameIpv4Address(const std::string& a, const std::string& b) {
    const std::optional<std::uint32_t> first = inetAddr(a);
    const std::optional<std::uint32_t> second = inetAddr(b);
    return first && second && *first == *second;
}

bool applyTrap(const TrapContents& trap, const std::string& ipAgent, TrapFields& fields) {
    if (trap.enterprise != kOidTrapEnterprise) return false;
    // The address field is whatever the datagram's writer put there; only the datagram's source
    // shows that it came from the agent (a forged switch-off of 0 minutes would power off).
    if (!sameIpv4Address(trap.sender, ipAgent)) return false;
    if (!sameIpv4Address(trap.agent, ipAgent)) return false;
    if (trap.generic != kGenericEnterpriseSpecific) {
        if (!trap.names.empty()) return false;
        fields.refreshRequested.store(true, std::memory_order_release);
        return true;
    }
    switch (trap.specific) {
        case kSpecificStatus:
            return applyStatusTrap(trap, fields);
        case kSpecificSwitchOff:
            return applySwitchOffTrap(trap, fields);
        case kSpecificSwitchOffCancelled:
            return applyCancelTrap(trap, fields);
        default:
            return false;
    }
}

}  // namespace ups
