#pragma once
// What the server tells about the UPS: the state the monitor reads over its own link, and the
// protocol's variables made from it. Only what the link knows is served: the line and the
// battery's low flag, and over SNMP the agent's identity; never a charge, runtime, load or voltage.
#include <string>
#include <utility>
#include <vector>

namespace ups {

enum class ServedLink { Serial, Snmp };

struct ServedState {
    // False while the monitor has no working link to the UPS: every read answers DATA-STALE.
    bool linkAlive = false;
    bool lineOk = true;
    bool batteryLow = false;
    // Whether the UPS takes its one order now (a serial link, or an agent that accepts the
    // write community).
    bool commandAvailable = false;
    ServedLink link = ServedLink::Serial;
    // The agent's identity; empty when not known (always over the cable).
    std::string maker;
    std::string model;
    std::string serial;
    bool operator==(const ServedState&) const = default;
};

// The UPS's one order, as what it means in the state it is given in.
enum class InstantCommand { None, BatteryTest, BeeperMute };

// test.battery.start while the power is normal, beeper.mute during a power event (on battery,
// or the battery low on mains); None without a link that takes orders.
InstantCommand offeredCommand(const ServedState& state);
// The protocol's name for it ("" for None) and its description.
const char* commandName(InstantCommand command);
const char* commandDescription(InstantCommand command);

// ups.status: OL or OB, then LB when the battery is low, then FSD once it is set.
std::string upsStatus(const ServedState& state, bool forcedShutdown);

struct ServedVariable {
    std::string name;
    std::string value;
};

// The variables in the order LIST VAR gives them, for the software version that serves them.
std::vector<ServedVariable> servedVariables(const ServedState& state, bool forcedShutdown,
                                            const std::string& version);
// The description of a variable the server may serve, nullptr for any other name.
const char* variableDescription(const std::string& name);
// The longest value a variable may have: longer identity texts are cut there, so that every
// answer line stays well under the 512 octets clients read.
inline constexpr std::size_t kMaxValueOctets = 128;

}  // namespace ups
