#pragma once
// The monitor and its main window over fakes: every piece of the world it talks to is here for the
// test to script and inspect. Header-only, for the Qt tests and tools.
#include <memory>

#include "app/monitor.h"
#include "app/upsInfo.h"
#include "config/configStore.h"
#include "support/fakeSerialUps.h"
#include "support/fakeSystemControl.h"
#include "support/fakeTrayShell.h"
#include "support/memoryRegistryStore.h"
#include "support/recordingJournal.h"
#include "support/scriptedAgentTransport.h"
#include "support/scriptedMessageBoxes.h"
#include "support/virtualTime.h"

namespace ups::test {

struct CountingSound : WarningSound {
    int plays = 0;
    void play() override { ++plays; }
};

struct WindowRig {
    MemoryRegistryStore store;
    VirtualTime time;
    FakeSerialUps serial{&time};
    ScriptedMessageBoxes boxes;
    FakeTrayShell tray;
    TickLog log;
    FakeSystemControl system{log};
    ScriptedAgentTransport agent;
    CountingSound sound;
    RecordingJournal journal;
    std::unique_ptr<Monitor> monitor;
    TmainF* window = nullptr;
    std::unique_ptr<TinfoFrm> info;

    // The window and its pop-up, constructed but not started (FormCreate is the test's call).
    TmainF& make() {
        TrapListenerOptions traps;
        traps.address = "127.0.0.1";
        traps.port = "0";  // never the real trap port in a test
        monitor = std::make_unique<Monitor>(
            MainDeps{store, serial, boxes, time, time, tray, system, agent, journal, traps});
        window = &monitor->window();
        info = std::make_unique<TinfoFrm>(sound);
        window->setInfoForm(info.get());
        return *window;
    }

    // A store that already holds a configuration, as an earlier run would have left it.
    template <typename Edit>
    void storeConfig(Edit edit) {
        CfgUps cfg;
        CfgSnmp snmp;
        clearRecords(cfg, snmp);
        setDefaultConfig(cfg, snmp);
        cfg.testMode = tmNever;
        edit(cfg, snmp);
        store.addKeyChain(kKeyConfig);
        store.setBinary(kKeyConfig, kValueCfgUps, recordBytes(cfg));
        store.setBinary(kKeyConfig, kValueCfgSnmp, recordBytes(snmp));
    }
    void storeConfigWithPort(int comPort) {
        storeConfig([&](CfgUps& cfg, CfgSnmp&) { cfg.comPort = comPort; });
    }

    CfgUps storedUps() const {
        CfgUps cfg{};
        if (auto v = store.value(kKeyConfig, kValueCfgUps)) overlayRecord(cfg, v->data);
        return cfg;
    }
};

}  // namespace ups::test
