#pragma once
// For the programs that feed a trap listener: the UPS agent's status trap (enterprise 27431,
// specific 1, battery and line bindings), encoded with the monitor's own codec, and a listener on
// a loopback port of its own with a socket that sends to it.
#include <chrono>
#include <string>
#include <thread>

#include "config/configStore.h"
#include "links/agentLink.h"
#include "links/upsThead.h"
#include "net/blcksock.h"
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

// A started TrapCatch on 127.0.0.1 (a port the system chooses) filtering for agent 127.0.0.1,
// and a sender from that address;
// the constructor waits up to 5 s for the port to be bound (see trapCatch.listening()).
struct LoopbackListener {
    LoopbackListener() : trapCatch(cfgSnmp, fields, options()) {
        clearRecords(cfgUps, cfgSnmp);
        setDefaultConfig(cfgUps, cfgSnmp);
        setFieldText(cfgSnmp.ipAgent, "127.0.0.1");
        trapCatch.Resume(true, false);
        for (int i = 0; i < 1000 && !trapCatch.listening(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        sender.Bind("127.0.0.1", "0");  // the agent's own address, which the filter requires
        sender.Connect("127.0.0.1", std::to_string(trapCatch.boundPort()));
    }
    static TrapListenerOptions options() {
        TrapListenerOptions o;
        o.address = "127.0.0.1";
        o.port = "0";
        return o;
    }

    CfgUps cfgUps;
    CfgSnmp cfgSnmp;
    TrapFields fields;
    TrapCatch trapCatch;
    TUDPBlockSocket sender;
};

}  // namespace ups::bench
