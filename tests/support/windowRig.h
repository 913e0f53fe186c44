#pragma once
// The monitor and its main window over fakes: every piece of the world it talks to is here for the
// test to script and inspect. Header-only, for the Qt tests and tools.
#include <algorithm>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "app/process/monitor.h"
#include "app/windows/info/upsInfo.h"
#include "config/configStore.h"
#include "support/fakeSerialUps.h"
#include "support/fakeSystemControl.h"
#include "support/fakeTrayShell.h"
#include "support/memoryRegistryStore.h"
#include "support/recordingHistory.h"
#include "support/scriptedAgentTransport.h"
#include "support/scriptedMessageBoxes.h"
#include "support/virtualTime.h"

namespace ups::test {

struct CountingSound : WarningSound {
    int plays = 0;
    void play() override { ++plays; }
};

// The window's event-loop tasks in virtual time: run when the rig says their moment has come.
struct RigTasks : TaskRunner {
    explicit RigTasks(VirtualTime& time) : time(time) {}
    void runLater(int delayMs, std::function<void()> task) override {
        waiting.push_back({time.elapsedMs + delayMs, std::move(task)});
    }
    // Runs every task due by now (and what those hand over), earliest first.
    void runDue() {
        for (;;) {
            auto next = std::min_element(waiting.begin(), waiting.end(),
                                         [](auto& a, auto& b) { return a.first < b.first; });
            if (next == waiting.end() || next->first > time.elapsedMs) return;
            std::function<void()> task = std::move(next->second);
            waiting.erase(next);
            task();
        }
    }
    VirtualTime& time;
    std::vector<std::pair<double, std::function<void()>>> waiting;
};

struct WindowRig {
    MemoryRegistryStore store;
    VirtualTime time;
    RigTasks tasks{time};
    FakeSerialUps serial{&time};
    ScriptedMessageBoxes boxes;
    FakeTrayShell tray;
    TickLog log;
    FakeSystemControl system{log};
    ScriptedAgentTransport agent;
    CountingSound sound;
    RecordingHistory history;
    std::string trapPort = "0";
    std::function<std::string()> trapPortProblem = [] { return std::string(); };
    // The pop-up outlives the monitor, as in the program; with infoOnDemand it is made by the
    // first notice, as the program makes it, instead of with the window.
    std::unique_ptr<TinfoFrm> info;
    bool infoOnDemand = false;
    std::unique_ptr<Monitor> monitor;
    TmainF* window = nullptr;

    // The window and its pop-up, constructed but not started (FormCreate is the test's call).
    TmainF& make() {
        TrapListenerOptions traps;
        traps.address = "127.0.0.1";
        traps.port = trapPort;  // never the real trap port in a test
        MainDeps deps{store,
                      serial,
                      boxes,
                      time,
                      time,
                      tray,
                      system,
                      agent,
                      history,
                      traps,
                      /*agentCallsInPlace=*/true,
                      &tasks};
        deps.trapPortProblem = trapPortProblem;
        monitor = std::make_unique<Monitor>(deps);
        window = &monitor->window();
        if (infoOnDemand) {
            window->setInfoFormMaker([this] {
                info = std::make_unique<TinfoFrm>(sound);
                return info.get();
            });
        } else {
            info = std::make_unique<TinfoFrm>(sound);
            window->setInfoForm(info.get());
        }
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
