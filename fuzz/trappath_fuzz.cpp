// A datagram on the trap port, all the way to the power-off decision: decoded as the listener
// decodes it, filtered and applied to the shared fields by the trap rules, then taken by two
// supervisor ticks of a monitor in trap mode with the shutdown enabled. Nothing may crash, and one
// datagram may power the machine off only when it is a well-formed switch-off of zero minutes.
//   fuzz_trappath --make-seeds DIR   writes the seed traps into DIR
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>

#include "links/agentLink.h"
#include "links/upsThead.h"
#include "net/snmpsend.h"
#include "supervisor/supervisor.h"

namespace {

using namespace ups;

constexpr char kAgent[] = "10.1.1.5";

struct QuietMonitor : SupervisorView, SystemControl, ScheduledTestService, Clock, MessageBoxes {
    void restoreWindow() override {}
    void startTimer() override {}
    void stopTimer() override {}
    void refreshDisplay() override {}
    void showNotice(std::optional<std::string>, std::optional<int>, std::string, int) override {}
    void setNoticeCaption(std::string) override {}
    void repaintNotice() override {}
    void setTestButtonEnabled(bool) override {}
    void closeMainWindow() override {}
    void defaultBeep() override {}
    MessageBoxes& messageBoxes() override { return *this; }
    MbResult messageBox(std::string_view, std::string_view, MbIcon, MbButtons) override {
        return MbResult::Ok;
    }
    std::vector<std::string> closeOtherApplications() override { return {}; }
    std::vector<std::string> listOtherApplications() override { return {}; }
    std::string requestPowerOff() override {
        ++powerOffs;
        return std::string(kPowerOffAccepted);
    }
    void runLater(int, std::function<void()> task) override { task(); }
    bool dialogOpen() const override { return false; }
    bool isTestDue() override { return false; }
    void startDueTest() override {}
    bool commandRunning() const override { return false; }
    double now() const override { return 46000.5; }
    std::int64_t monotonicMs() const override { return ticks * 1000; }

    std::int64_t ticks = 0;

    int powerOffs = 0;
};

bool isZeroMinuteSwitchOff(const TrapContents& trap) {
    return trap.generic == 6 && trap.specific == 2 && trap.values.size() == 1 &&
           switchOffMinutes(trap.values[0]) == 0;
}

void writeSeed(const std::string& dir, const std::string& name, int generic, int specific,
               const std::vector<std::pair<std::string, std::string>>& bindings, int type) {
    TSNMPRec rec;
    rec.Community = "public";
    rec.PDUType = kPduTrap;
    rec.OldTrapEnterprise = kOidTrapEnterprise;
    rec.OldTrapHost = kAgent;
    rec.OldTrapGen = generic;
    rec.OldTrapSpec = specific;
    rec.OldTrapTimeTicks = 4242;
    for (const auto& [oid, value] : bindings) rec.MIBAdd(oid, value, type);
    std::ofstream(dir + "/" + name + ".ber", std::ios::binary) << rec.EncodeBuf();
}

// Traps of each specific code with no to three bindings: right and wrong names, numeric, text and
// extreme values.
int makeSeeds(const std::string& dir) {
    const std::string admin = kOidAdminMinutes;
    const std::string line = kOidLineState;
    const std::string battery = kOidBatteryState;
    const char* minutes[] = {"0", "5", "-5", "35791394", "35791395", "2147483647", "ya"};
    int n = 0;
    for (int specific : {1, 2, 3, 4}) {
        for (const char* value : minutes) {
            const std::vector<std::pair<std::string, std::string>> sets[] = {
                {},
                {{admin, value}},
                {{line, value}, {battery, value}},
                {{battery, value}, {line, value}, {admin, value}}};
            for (const auto& bindings : sets) {
                for (int type : {kAsnInteger, kAsnOctetString}) {
                    writeSeed(dir, "trap-" + std::to_string(n++), 6, specific, bindings, type);
                }
            }
        }
    }
    writeSeed(dir, "coldstart", 0, 0, {}, kAsnNull);
    writeSeed(dir, "linkdown-bound", 2, 0, {{"1.3.6.1.2.1.2.2.1.1.1", "1"}}, kAsnInteger);
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    if (*argc == 3 && std::strcmp((*argv)[1], "--make-seeds") == 0)
        std::exit(makeSeeds((*argv)[2]));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TSNMPSend snmp;
    if (!snmp.Reply.DecodeBuf(std::string_view(reinterpret_cast<const char*>(data), size)))
        return 0;
    // As if the agent itself sent it: the filter's source check is no defence here.
    snmp.HostIP = kAgent;
    TrapContents trap;
    takeTrapContents(snmp, trap);

    CfgUps cfgUps{};
    CfgSnmp cfgSnmp{};
    cfgUps.tmpFail = 5;
    cfgUps.tmpBat = 30;
    cfgUps.tmpLowB = 10;
    cfgUps.enhShutdwn = 1;
    cfgSnmp.enhSnmp = 1;
    cfgSnmp.enhTrap = 1;
    SupervisorState state;
    state.agentLinkActive = true;
    state.warnCountdown = cfgUps.tmpFail;
    state.shutdownCountdown = cfgUps.tmpLowB;
    TrapFields fields;
    QuietMonitor monitor;
    Supervisor supervisor(cfgUps, cfgSnmp, state, fields, monitor, monitor, monitor, monitor,
                          nullptr, nullptr);

    applyTrap(trap, kAgent, fields);
    supervisor.TimerTimer();
    ++monitor.ticks;
    supervisor.TimerTimer();

    if (monitor.powerOffs > 0 && !isZeroMinuteSwitchOff(trap)) __builtin_trap();
    if (state.adminMinutes < kNoSwitchOff || state.adminMinutes > kMaxSwitchOffMinutes) {
        __builtin_trap();
    }
    if (state.adminCountdown < 0 || state.shutdownCountdown < 0) __builtin_trap();
    return 0;
}
