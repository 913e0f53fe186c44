#pragma once
// The configuration as the history tells it: which link the monitor watches, and which fields an
// accepted dialog changed. Only names: no value is ever written, so no password can be.
#include <string>
#include <string_view>
#include <vector>

#include "config/cfgRecords.h"

namespace ups {

// "puerto COM2", "agente 192.168.1.20" (", sin traps" when the agent is only polled).
std::string monitorModeText(const CfgUps& ups, const CfgSnmp& snmp);

// The names ("CfgUps.tmpFail", "CfgSnmp.ipAgent", ...) of the fields that differ, in record
// order. Reserved bytes are not fields.
std::vector<std::string_view> changedConfigFields(const CfgUps& beforeUps,
                                                  const CfgSnmp& beforeSnmp, const CfgUps& afterUps,
                                                  const CfgSnmp& afterSnmp);

}  // namespace ups
