#pragma once
// Defaults, load, read and save of the two records over the registry store. Failures are reported
// through the message boxes; nothing here throws.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/messageBox.h"
#include "config/cfgRecords.h"
#include "config/registryStore.h"

namespace ups {

// Writes the default values into the default fields; every other field keeps its content.
void setDefaultConfig(CfgUps& ups, CfgSnmp& snmp);

// Makes sure the three keys exist; saves the records when a key had to be created, otherwise
// reads them. The caller sets the countdowns from tmpFail/tmpLowB afterwards, whatever happened.
void loadConfig(CfgUps& ups, CfgSnmp& snmp, RegistryStore& store, MessageBoxes& boxes);

void readConfig(CfgUps& ups, CfgSnmp& snmp, RegistryStore& store, MessageBoxes& boxes);
void saveConfig(const CfgUps& ups, const CfgSnmp& snmp, RegistryStore& store, MessageBoxes& boxes);

inline constexpr std::string_view kMsgRegistryAccess = "Accediendo al registro de Windows.";

}  // namespace ups
