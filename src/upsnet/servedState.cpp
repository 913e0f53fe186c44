#include "upsnet/servedState.h"

#include <array>
#include <cstring>

namespace ups {

namespace {

struct Described {
    const char* name;
    const char* description;
};

// Names and descriptions from the protocol's list of standard variables.
constexpr std::array<Described, 10> kVariables = {{
    {"device.mfr", "Device manufacturer"},
    {"device.model", "Device model"},
    {"device.serial", "Device serial number"},
    {"device.type", "Device type"},
    {"driver.name", "Driver name"},
    {"driver.version", "Driver version"},
    {"ups.mfr", "UPS manufacturer"},
    {"ups.model", "UPS model"},
    {"ups.serial", "UPS serial number"},
    {"ups.status", "UPS status"},
}};

// Identity texts come from the agent: control characters would end the answer line early, and a
// long one would pass the line length clients read.
std::string clean(const std::string& text) {
    std::string value = text.substr(0, kMaxValueOctets);
    for (char& c : value) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    }
    while (!value.empty() && value.back() == ' ') value.pop_back();
    return value;
}

}  // namespace

InstantCommand offeredCommand(const ServedState& state) {
    if (!state.linkAlive || !state.commandAvailable) return InstantCommand::None;
    return state.lineOk && !state.batteryLow ? InstantCommand::BatteryTest
                                             : InstantCommand::BeeperMute;
}

const char* commandName(InstantCommand command) {
    switch (command) {
        case InstantCommand::BatteryTest:
            return "test.battery.start";
        case InstantCommand::BeeperMute:
            return "beeper.mute";
        case InstantCommand::None:
            break;
    }
    return "";
}

const char* commandDescription(InstantCommand command) {
    switch (command) {
        case InstantCommand::BatteryTest:
            return "Start a battery test";
        case InstantCommand::BeeperMute:
            return "Temporarily mute UPS beeper/buzzer";
        case InstantCommand::None:
            break;
    }
    return "";
}

std::string upsStatus(const ServedState& state, bool forcedShutdown) {
    std::string status = state.lineOk ? "OL" : "OB";
    if (state.batteryLow) status += " LB";
    if (forcedShutdown) status += " FSD";
    return status;
}

std::vector<ServedVariable> servedVariables(const ServedState& state, bool forcedShutdown,
                                            const std::string& version) {
    std::vector<ServedVariable> variables;
    const auto add = [&variables](const char* name, const std::string& value) {
        if (!value.empty()) variables.push_back({name, value});
    };
    const std::string maker = clean(state.maker);
    const std::string model = clean(state.model);
    const std::string serial = clean(state.serial);
    add("device.mfr", maker);
    add("device.model", model);
    add("device.serial", serial);
    add("device.type", "ups");
    add("driver.name", state.link == ServedLink::Snmp ? "korvan-ups-snmp" : "korvan-ups-serial");
    add("driver.version", clean(version));
    add("ups.mfr", maker);
    add("ups.model", model);
    add("ups.serial", serial);
    add("ups.status", upsStatus(state, forcedShutdown));
    return variables;
}

const char* variableDescription(const std::string& name) {
    for (const Described& variable : kVariables) {
        if (name == variable.name) return variable.description;
    }
    return nullptr;
}

}  // namespace ups
