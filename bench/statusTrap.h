#pragma once
// The UPS agent's status trap (enterprise 27431, specific 1, battery and line bindings), encoded
// with the monitor's own codec, for the programs that feed a trap listener.
#include <string>

#include "links/agentLink.h"
#include "net/snmpsend.h"

namespace ups::bench {

inline std::string statusTrap(int lineState, int batteryState = 1) {
    TSNMPRec rec;
    rec.Community = "public";
    rec.PDUType = kPduTrap;
    rec.OldTrapEnterprise = kOidTrapEnterprise;
    rec.OldTrapHost = "127.0.0.1";
    rec.OldTrapGen = 6;
    rec.OldTrapSpec = 1;
    rec.MIBAdd(kOidBatteryState, std::to_string(batteryState), kAsnInteger);
    rec.MIBAdd(kOidLineState, std::to_string(lineState), kAsnInteger);
    return rec.EncodeBuf();
}

}  // namespace ups::bench
