// The trap listener: the trap rules on their own (filter, bindings, values), then the thread on a
// real loopback socket fed by our own encoder, by net-snmp's snmptrap and by the UPS simulator:
// seeding, pause and resume, stop, the bind retry and a burst that must lose nothing.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>

#include "config/configStore.h"
#include "links/agentLink.h"
#include "links/upsThead.h"
#include "net/snmpsend.h"
#include "support/childProcess.h"
#include "upsSimulator.h"

namespace ups {
namespace {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

// ---- the trap rules ----

TrapContents statusTrap(std::string battery, std::string line) {
    TrapContents t;
    t.sender = "10.1.1.5";
    t.agent = "10.1.1.5";
    t.enterprise = kOidTrapEnterprise;
    t.community = "public";
    t.generic = 6;
    t.specific = 1;
    t.names = {kOidBatteryState, kOidLineState};
    t.values = {std::move(battery), std::move(line)};
    return t;
}

TrapContents adminTrap(int specific, std::string minutes) {
    TrapContents t = statusTrap("", "");
    t.specific = specific;
    t.names = {kOidAdminMinutes};
    t.values = {std::move(minutes)};
    return t;
}

struct FieldsSnapshot {
    std::int32_t batteryState;
    std::int32_t lineState;
    std::int32_t adminMinutes;
    bool refreshRequested;
    bool adminNoticeDone;
    bool statusNoticeDone;

    bool operator==(const FieldsSnapshot&) const = default;
};

FieldsSnapshot snapshot(const TrapFields& f) {
    return {f.batteryState.load(),     f.lineState.load(),  f.adminMinutes(),
            f.refreshRequested.load(), f.adminNoticeDone(), f.statusNoticeDone.load()};
}

std::ostream& operator<<(std::ostream& os, const FieldsSnapshot& s) {
    return os << "{battery " << s.batteryState << ", line " << s.lineState << ", admin "
              << s.adminMinutes << ", refresh " << s.refreshRequested << ", adminDone "
              << s.adminNoticeDone << ", statusDone " << s.statusNoticeDone << "}";
}

const FieldsSnapshot kUntouched{1, 1, -1, false, true, true};

struct RuleCase {
    const char* name;
    std::function<void(TrapContents&)> shape;
    bool actedOn;
    FieldsSnapshot expected;
};
// Shown by GoogleTest (and in the test list) as its name rather than as bytes.
void PrintTo(const RuleCase& c, std::ostream* os) {
    *os << c.name;
}

class TrapRuleTest : public ::testing::TestWithParam<RuleCase> {};

TEST_P(TrapRuleTest, Fields) {
    const RuleCase& c = GetParam();
    TrapContents trap = statusTrap("2", "2");
    c.shape(trap);
    TrapFields fields;
    EXPECT_EQ(applyTrap(trap, "10.1.1.5", fields), c.actedOn);
    EXPECT_EQ(snapshot(fields), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TrapRuleTest,
    ::testing::Values(
        RuleCase{"StatusBatteryFirst", [](TrapContents&) {}, true, {2, 2, -1, false, true, false}},
        RuleCase{"StatusLineFirst",
                 [](TrapContents& t) {
                     t.names = {kOidLineState, kOidBatteryState};
                     t.values = {"2", "2"};
                 },
                 true,
                 {2, 2, -1, false, true, false}},
        RuleCase{"StatusMainsBackBatteryLow",
                 [](TrapContents& t) {
                     t.values = {"2", "1"};
                 },
                 true,
                 {2, 1, -1, false, true, false}},
        RuleCase{"StatusOtherNamesStillNotice",
                 [](TrapContents& t) {
                     t.names = {"1.3.6.1.2.1.1.3.0", "1.3.6.1.2.1.1.5.0"};
                 },
                 true,
                 {1, 1, -1, false, true, false}},
        RuleCase{"StatusOnlyLineNamed",
                 [](TrapContents& t) {
                     t.names = {"1.3.6.1.2.1.1.3.0", kOidLineState};
                 },
                 true,
                 {1, 2, -1, false, true, false}},
        RuleCase{"StatusNameWithExtraArcIsNotTheName",
                 [](TrapContents& t) {
                     t.names = {std::string(kOidBatteryState) + ".1", kOidLineState};
                 },
                 true,
                 {1, 2, -1, false, true, false}},
        RuleCase{"StatusThreeBindingsIgnored",
                 [](TrapContents& t) {
                     t.names.push_back(kOidLineState);
                     t.values.push_back("2");
                 },
                 false, kUntouched},
        RuleCase{"StatusOneBindingIgnored",
                 [](TrapContents& t) {
                     t.names.pop_back();
                     t.values.pop_back();
                 },
                 false, kUntouched},
        RuleCase{"ValueNotANumberReadsZero",
                 [](TrapContents& t) {
                     t.values = {"bajo", "1"};
                 },
                 true,
                 {0, 1, -1, false, true, false}},
        RuleCase{"ValueReadUpToFirstNonDigit",
                 [](TrapContents& t) {
                     t.values = {"  2x", "+1.5"};
                 },
                 true,
                 {2, 1, -1, false, true, false}},
        RuleCase{"SwitchOff",
                 [](TrapContents& t) { t = adminTrap(2, "15"); },
                 true,
                 {1, 1, 15, false, false, true}},
        RuleCase{"SwitchOffZeroMinutes",
                 [](TrapContents& t) { t = adminTrap(2, "0"); },
                 true,
                 {1, 1, 0, false, false, true}},
        RuleCase{"SwitchOffCancelled",
                 [](TrapContents& t) { t = adminTrap(3, "15"); },
                 true,
                 {1, 1, -1, false, false, true}},
        RuleCase{"SwitchOffWrongName",
                 [](TrapContents& t) {
                     t = adminTrap(2, "5");
                     t.names = {kOidLineState};
                 },
                 false, kUntouched},
        RuleCase{"SwitchOffTwoBindings",
                 [](TrapContents& t) {
                     t = adminTrap(2, "5");
                     t.names.push_back(kOidAdminMinutes);
                     t.values.push_back("5");
                 },
                 false, kUntouched},
        RuleCase{"CancelWithoutBinding",
                 [](TrapContents& t) {
                     t = adminTrap(3, "5");
                     t.names.clear();
                     t.values.clear();
                 },
                 false, kUntouched},
        // Hostile switch-off traps: the binding is checked before its value is read, and a value
        // that is not whole minutes in range changes nothing.
        RuleCase{"SwitchOffWithoutBinding",
                 [](TrapContents& t) {
                     t = adminTrap(2, "5");
                     t.names.clear();
                     t.values.clear();
                 },
                 false, kUntouched},
        RuleCase{"SwitchOffNameWithoutValue",
                 [](TrapContents& t) {
                     t = adminTrap(2, "5");
                     t.values.clear();
                 },
                 false, kUntouched},
        RuleCase{"SwitchOffBlanksAndSign",
                 [](TrapContents& t) { t = adminTrap(2, " \t+0035791394"); },
                 true,
                 {1, 1, 35791394, false, false, true}},
        RuleCase{"SwitchOffBeyondTheCountdown",
                 [](TrapContents& t) { t = adminTrap(2, "35791395"); }, false, kUntouched},
        RuleCase{"SwitchOffFarBeyond",
                 [](TrapContents& t) { t = adminTrap(2, "99999999999999999999"); }, false,
                 kUntouched},
        RuleCase{"SwitchOffNegative", [](TrapContents& t) { t = adminTrap(2, "-5"); }, false,
                 kUntouched},
        RuleCase{"SwitchOffNoDigits", [](TrapContents& t) { t = adminTrap(2, "ya"); }, false,
                 kUntouched},
        RuleCase{"SwitchOffEmpty", [](TrapContents& t) { t = adminTrap(2, " "); }, false,
                 kUntouched},
        RuleCase{"SwitchOffTrailingText", [](TrapContents& t) { t = adminTrap(2, "5min"); },
                 false, kUntouched},
        RuleCase{"UnknownSpecificCode", [](TrapContents& t) { t.specific = 4; }, false, kUntouched},
        RuleCase{"ColdStart",
                 [](TrapContents& t) {
                     t.generic = 0;
                     t.names.clear();
                     t.values.clear();
                 },
                 true,
                 {1, 1, -1, true, true, true}},
        RuleCase{"LinkDownWithBindingIgnored",
                 [](TrapContents& t) {
                     t.generic = 2;
                     t.names = {"1.3.6.1.2.1.2.2.1.1.1"};
                     t.values = {"1"};
                 },
                 false, kUntouched},
        RuleCase{"EnterpriseLonger",
                 [](TrapContents& t) { t.enterprise = std::string(kOidTrapEnterprise) + ".1"; },
                 false, kUntouched},
        RuleCase{"EnterpriseShorter", [](TrapContents& t) { t.enterprise = "1.3.6.1.4.1.2743"; },
                 false, kUntouched},
        RuleCase{"NoEnterpriseAsInV2c", [](TrapContents& t) { t.enterprise.clear(); }, false,
                 kUntouched},
        RuleCase{"AgentFieldDiffers", [](TrapContents& t) { t.agent = "127.0.0.1"; }, false,
                 kUntouched},
        // The agent's address in the field, but the datagram came from elsewhere: forged.
        RuleCase{"SenderIsNotTheAgent", [](TrapContents& t) { t.sender = "192.168.7.7"; }, false,
                 kUntouched},
        RuleCase{"SwitchOffFromAnotherSender",
                 [](TrapContents& t) {
                     t = adminTrap(2, "0");
                     t.sender = "10.1.1.6";
                 },
                 false, kUntouched},
        RuleCase{"SenderUnknown", [](TrapContents& t) { t.sender.clear(); }, false, kUntouched},
        RuleCase{"CommunityIgnored",
                 [](TrapContents& t) { t.community = "otra"; },
                 true,
                 {2, 2, -1, false, true, false}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TrapRules, AgentAddressComparedAsAddresses) {
    EXPECT_TRUE(sameIpv4Address("10.1.1.5", "10.1.1.5"));
    EXPECT_TRUE(sameIpv4Address("10.1.1.5", "10.1.261"));     // three-part form
    EXPECT_TRUE(sameIpv4Address("127.0.0.1", "127.1"));       // two-part form
    EXPECT_TRUE(sameIpv4Address("10.1.1.5", "0x0a.1.1.05"));  // hexadecimal and octal parts
    EXPECT_TRUE(sameIpv4Address("1.0.0.0", "16777216"));      // one-part form
    EXPECT_FALSE(sameIpv4Address("10.1.1.5", "10.1.1.6"));
    // Unreadable texts never match, not even each other; the broadcast address reads as
    // unreadable too, so it matches nothing, itself included.
    EXPECT_FALSE(sameIpv4Address("", ""));
    EXPECT_FALSE(sameIpv4Address("255.255.255.255", "255.255.255.255"));
    EXPECT_FALSE(sameIpv4Address("bogus", "bogus"));
    EXPECT_FALSE(sameIpv4Address("255.255.255.255", "256.1.1.1"));
    EXPECT_FALSE(sameIpv4Address("10.1.1.5", "10.1.1.5."));
    EXPECT_FALSE(sameIpv4Address("10.1.1.5", "10.1.1.5.0"));
    EXPECT_FALSE(sameIpv4Address("10.1.1.5", "10.1.1.5 "));
    EXPECT_FALSE(sameIpv4Address("8.0.0.0", "08.0.0.0"));
    EXPECT_FALSE(sameIpv4Address("10.1.1.5", "10.1.65536"));
}

TEST(TrapRules, TrapValue) {
    EXPECT_EQ(trapValue("15"), 15);
    EXPECT_EQ(trapValue(" \t-3"), -3);
    EXPECT_EQ(trapValue("+7min"), 7);
    EXPECT_EQ(trapValue(""), 0);
    EXPECT_EQ(trapValue("-"), 0);
    EXPECT_EQ(trapValue("2147483647"), 2147483647);
    EXPECT_EQ(trapValue("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(trapValue("99999999999"), 0);
}

// ---- the thread on a real socket ----

const char kAgentIp[] = "127.0.0.1";

// Polls every millisecond; the limit only bounds a failing test.
bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit = 5s) {
    const auto deadline = SteadyClock::now() + limit;
    while (!condition()) {
        if (SteadyClock::now() > deadline) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

TSNMPRec trapMessage(int generic, int specific,
                     const std::vector<std::pair<std::string, std::string>>& bindings,
                     const std::string& agent = kAgentIp) {
    TSNMPRec rec;
    rec.Community = "public";
    rec.PDUType = kPduTrap;
    rec.OldTrapEnterprise = kOidTrapEnterprise;
    rec.OldTrapHost = agent;
    rec.OldTrapGen = generic;
    rec.OldTrapSpec = specific;
    rec.OldTrapTimeTicks = 4242;
    for (const auto& [name, value] : bindings) rec.MIBAdd(name, value, kAsnInteger);
    return rec;
}

// Sends from `from`, a loopback address of its own choosing, as an agent on that address would.
class TrapSender {
public:
    explicit TrapSender(int port, const std::string& from = kAgentIp) {
        socket_.Bind(from, "0");
        socket_.Connect("127.0.0.1", std::to_string(port));
    }
    void send(const TSNMPRec& rec) { socket_.SendString(rec.EncodeBuf()); }
    void sendRaw(const std::string& octets) { socket_.SendString(octets); }

private:
    TUDPBlockSocket socket_;
};

// Whether a datagram sent from a socket bound to `address` arrives with that source. Wine hands
// out 127.0.0.1 for every loopback address, as a source and to a bind; Linux and Windows keep it.
bool datagramsCarrySource(const std::string& address) {
    TUDPBlockSocket receiver;
    receiver.Bind("127.0.0.1", "0");
    TUDPBlockSocket probe;
    probe.Bind(address, "0");
    probe.Connect("127.0.0.1", std::to_string(receiver.GetLocalSinPort()));
    probe.SendString("?");
    return !receiver.RecvPacket(2000).empty() && receiver.GetRemoteSinIP() == address;
}

class TrapCatchTest : public ::testing::Test {
protected:
    TrapCatchTest() {
        clearRecords(cfgUps, cfgSnmp);
        setDefaultConfig(cfgUps, cfgSnmp);
        setFieldText(cfgSnmp.ipAgent, kAgentIp);
    }

    static TrapListenerOptions loopbackOptions() {
        TrapListenerOptions options;
        options.address = "127.0.0.1";
        options.port = "0";
        return options;
    }

    // Starts the listener and waits until its socket is bound.
    void startListening(bool lineOk = true, bool batteryLow = false) {
        listener.Resume(lineOk, batteryLow);
        ASSERT_TRUE(eventually([&] { return listener.listening(); }));
        sender = std::make_unique<TrapSender>(listener.boundPort());
    }

    bool receivedAtLeast(std::uint64_t n) {
        return eventually([&] { return listener.trapsReceived() >= n; });
    }

    CfgUps cfgUps;
    CfgSnmp cfgSnmp;
    TrapFields fields;
    TrapCatch listener{cfgSnmp, fields, loopbackOptions()};
    std::unique_ptr<TrapSender> sender;
};

TEST_F(TrapCatchTest, CreatedSuspended) {
    EXPECT_FALSE(listener.started());
    EXPECT_TRUE(listener.paused());
    listener.Pause();  // nothing to pause yet
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(listener.listening());
}

TEST_F(TrapCatchTest, FirstResumeSeedsTheStateOnce) {
    fields.refreshRequested = true;
    fields.publishAdminNotice(7);
    fields.statusNoticeDone = false;
    startListening(false, true);
    const FieldsSnapshot seeded{2, 2, -1, false, true, true};
    EXPECT_EQ(snapshot(fields), seeded);

    listener.Pause();
    listener.Resume(true, false);
    EXPECT_EQ(snapshot(fields), seeded);
}

TEST_F(TrapCatchTest, EachTrapKindOverTheSocket) {
    startListening();
    const std::pair<std::string, FieldsSnapshot> steps[] = {
        {trapMessage(6, 1, {{kOidBatteryState, "2"}, {kOidLineState, "2"}}).EncodeBuf(),
         {2, 2, -1, false, true, false}},
        {trapMessage(6, 2, {{kOidAdminMinutes, "5"}}).EncodeBuf(), {2, 2, 5, false, false, false}},
        {trapMessage(6, 3, {{kOidAdminMinutes, "5"}}).EncodeBuf(), {2, 2, -1, false, false, false}},
        {trapMessage(0, 0, {}).EncodeBuf(), {2, 2, -1, true, true, false}},
    };
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        sender->sendRaw(steps[i].first);
        ASSERT_TRUE(eventually([&] { return listener.trapsActedOn() == i + 1; }));
        EXPECT_EQ(snapshot(fields), steps[i].second) << "trap " << i;
        fields.takeAdminNotice();  // as the tick does, so that the next notice shows
    }
}

TEST_F(TrapCatchTest, FilteredAndMalformedDatagramsChangeNothing) {
    startListening();
    sender->send(trapMessage(6, 1, {{kOidBatteryState, "2"}, {kOidLineState, "2"}}, "10.9.9.9"));
    TSNMPRec otherEnterprise = trapMessage(6, 1, {{kOidBatteryState, "2"}, {kOidLineState, "2"}});
    otherEnterprise.OldTrapEnterprise = "1.3.6.1.4.1.311";
    sender->send(otherEnterprise);
    TSNMPRec v2c = trapMessage(6, 1, {{kOidBatteryState, "2"}, {kOidLineState, "2"}});
    v2c.Version = 1;
    v2c.PDUType = 0xA7;
    sender->send(v2c);
    sender->sendRaw("\x30");                    // not a message
    sender->sendRaw(std::string(300, '\xff'));  // garbage
    sender->sendRaw("");
    // A well-formed trap behind them shows they were all handled in order.
    sender->send(trapMessage(6, 2, {{kOidAdminMinutes, "9"}}));
    ASSERT_TRUE(eventually([&] { return listener.trapsActedOn() == 1; }));
    EXPECT_EQ(snapshot(fields), (FieldsSnapshot{1, 1, 9, false, false, true}));
}

// Anyone can write the agent's address into a trap; only the agent's own datagrams may act.
TEST_F(TrapCatchTest, TrapNamingTheAgentFromAnotherAddressIsNotActedOn) {
    if (!datagramsCarrySource("127.0.0.2")) GTEST_SKIP() << "no second loopback address here";
    startListening();
    TrapSender forger(listener.boundPort(), "127.0.0.2");
    forger.send(trapMessage(6, 2, {{kOidAdminMinutes, "0"}}));
    forger.send(trapMessage(6, 1, {{kOidBatteryState, "2"}, {kOidLineState, "2"}}));
    ASSERT_TRUE(receivedAtLeast(2));
    EXPECT_EQ(listener.trapsActedOn(), 0u);
    EXPECT_EQ(snapshot(fields), kUntouched);

    sender->send(trapMessage(6, 2, {{kOidAdminMinutes, "0"}}));
    ASSERT_TRUE(eventually([&] { return listener.trapsActedOn() == 1; }));
    EXPECT_EQ(snapshot(fields), (FieldsSnapshot{1, 1, 0, false, false, true}));
}

TEST_F(TrapCatchTest, PausedListenerHoldsTrapsUntilResumed) {
    if (!datagramsCarrySource("127.0.0.2")) GTEST_SKIP() << "no second loopback address here";
    startListening();
    listener.Pause();
    EXPECT_TRUE(listener.paused());
    // While paused the dialog may rewrite the agent's address; held traps meet the new one.
    setFieldText(cfgSnmp.ipAgent, "127.0.0.2");
    TrapSender newAgent(listener.boundPort(), "127.0.0.2");
    newAgent.send(trapMessage(6, 1, {{kOidBatteryState, "2"}, {kOidLineState, "2"}}, "127.0.0.2"));
    newAgent.send(trapMessage(6, 2, {{kOidAdminMinutes, "3"}}, "127.0.0.2"));
    std::this_thread::sleep_for(300ms);  // ample time to have taken both
    EXPECT_EQ(snapshot(fields), kUntouched);
    EXPECT_EQ(listener.trapsActedOn(), 0u);

    listener.Resume(true, false);
    ASSERT_TRUE(eventually([&] { return listener.trapsActedOn() == 2; }));
    EXPECT_EQ(snapshot(fields), (FieldsSnapshot{2, 2, 3, false, false, false}));
}

TEST_F(TrapCatchTest, TerminateWakesTheReceiveAndEndsTheThread) {
    startListening();
    std::this_thread::sleep_for(50ms);  // well inside the receive wait
    const auto start = SteadyClock::now();
    listener.Terminate();
    // Without the wake-up datagram the thread would notice only when the wait runs out.
    EXPECT_LT(SteadyClock::now() - start, 500ms);
    // A resume after the end starts nothing, and a second stop has nothing to wait for.
    listener.Resume(true, false);
    const auto again = SteadyClock::now();
    listener.Terminate();
    EXPECT_LT(SteadyClock::now() - again, 50ms);
}

TEST_F(TrapCatchTest, TerminateWakesAPausedListener) {
    startListening();
    listener.Pause();
    const auto start = SteadyClock::now();
    listener.Terminate();
    EXPECT_LT(SteadyClock::now() - start, 1s);
}

// A stop asked for while the thread is still binding the port finds nothing to wake yet; the
// receive that follows must not keep it waiting.
TEST(TrapCatchStop, TerminateRightAfterTheStartNeverWaitsOutAReceive) {
    CfgUps cfgUps;
    CfgSnmp cfgSnmp;
    clearRecords(cfgUps, cfgSnmp);
    TrapListenerOptions options;
    options.address = "127.0.0.1";
    options.port = "0";
    options.receiveWaitMs = 5000;
    for (int round = 0; round < 200; ++round) {
        TrapFields fields;
        TrapCatch listener(cfgSnmp, fields, options);
        listener.Resume(true, false);
        // Some rounds stop before the bind, some during it, some after it.
        std::this_thread::sleep_for(std::chrono::microseconds(round % 10 * 20));
        const auto start = SteadyClock::now();
        listener.Terminate();
        ASSERT_LT(SteadyClock::now() - start, 2s) << "round " << round;
    }
}

TEST(TrapCatchBind, HeldPortIsRetriedUntilFree) {
    CfgUps cfgUps;
    CfgSnmp cfgSnmp;
    clearRecords(cfgUps, cfgSnmp);
    setFieldText(cfgSnmp.ipAgent, kAgentIp);
    auto holder = std::make_unique<TUDPBlockSocket>();
    holder->Bind("127.0.0.1", "0");
    const int port = holder->GetLocalSinPort();

    TrapFields fields;
    TrapListenerOptions options;
    options.address = "127.0.0.1";
    options.port = std::to_string(port);
    options.bindRetryMs = 100;
    TrapCatch listener(cfgSnmp, fields, options);
    listener.Resume(true, false);
    std::this_thread::sleep_for(250ms);
    EXPECT_FALSE(listener.listening());

    holder.reset();
    ASSERT_TRUE(eventually([&] { return listener.listening(); }));
    EXPECT_EQ(listener.boundPort(), port);
    TrapSender sender(port);
    sender.send(trapMessage(0, 0, {}));
    EXPECT_TRUE(eventually([&] { return fields.refreshRequested.load(); }));
}

TEST(TrapCatchBind, TerminateDuringTheOneSecondRetryReturnsAtOnce) {
    CfgUps cfgUps;
    CfgSnmp cfgSnmp;
    clearRecords(cfgUps, cfgSnmp);
    TUDPBlockSocket holder;
    holder.Bind("127.0.0.1", "0");
    TrapFields fields;
    TrapListenerOptions options;
    options.address = "127.0.0.1";
    options.port = std::to_string(holder.GetLocalSinPort());
    TrapCatch listener(cfgSnmp, fields, options);
    listener.Resume(true, false);
    std::this_thread::sleep_for(100ms);
    const auto start = SteadyClock::now();
    listener.Terminate();
    EXPECT_LT(SteadyClock::now() - start, 500ms);
}

// ---- traps from net-snmp ----

struct NetSnmpTrapCase {
    const char* name;
    std::vector<std::string> args;  // after "snmptrap -v V -c public HOST:PORT"
    const char* version;
    bool actedOn;
    FieldsSnapshot expected;
};
// Shown by GoogleTest (and in the test list) as its name rather than as bytes.
void PrintTo(const NetSnmpTrapCase& c, std::ostream* os) {
    *os << c.name;
}

class NetSnmpTrapTest : public TrapCatchTest,
                        public ::testing::WithParamInterface<NetSnmpTrapCase> {};

TEST_P(NetSnmpTrapTest, Fields) {
    const NetSnmpTrapCase& c = GetParam();
    startListening();
    std::vector<std::string> argv{"snmptrap", "-v",
                                  c.version,  "-c",
                                  "public",   "127.0.0.1:" + std::to_string(listener.boundPort())};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    test::ChildProcess snmptrap(argv, {"MIBS=", "MIBDIRS=/nonexistent", "SNMP_PERSISTENT_DIR=/tmp",
                                       "SNMPCONFPATH=/nonexistent"});
    const int exitCode = snmptrap.waitForExit(5000);
    if (exitCode == 127) GTEST_SKIP() << "snmptrap is not installed (scripts/deps installs it)";
    ASSERT_EQ(exitCode, 0);
    ASSERT_TRUE(receivedAtLeast(1)) << "snmptrap's datagram did not arrive";
    EXPECT_EQ(listener.trapsActedOn(), c.actedOn ? 1u : 0u);
    EXPECT_EQ(snapshot(fields), c.expected);
}

const std::string kEnt = std::string(".") + kOidTrapEnterprise;
const std::string kBat = std::string(".") + kOidBatteryState;
const std::string kLine = std::string(".") + kOidLineState;
const std::string kAdmin = std::string(".") + kOidAdminMinutes;

INSTANTIATE_TEST_SUITE_P(
    Cases, NetSnmpTrapTest,
    ::testing::Values(
        NetSnmpTrapCase{"Status",
                        {kEnt, kAgentIp, "6", "1", "", kBat, "i", "2", kLine, "i", "2"},
                        "1",
                        true,
                        {2, 2, -1, false, true, false}},
        NetSnmpTrapCase{"StatusLineFirst",
                        {kEnt, kAgentIp, "6", "1", "", kLine, "i", "2", kBat, "i", "1"},
                        "1",
                        true,
                        {1, 2, -1, false, true, false}},
        NetSnmpTrapCase{"SwitchOff",
                        {kEnt, kAgentIp, "6", "2", "", kAdmin, "i", "5"},
                        "1",
                        true,
                        {1, 1, 5, false, false, true}},
        NetSnmpTrapCase{"SwitchOffCancelled",
                        {kEnt, kAgentIp, "6", "3", "", kAdmin, "i", "5"},
                        "1",
                        true,
                        {1, 1, -1, false, false, true}},
        NetSnmpTrapCase{
            "ColdStart", {kEnt, kAgentIp, "0", "0", ""}, "1", true, {1, 1, -1, true, true, true}},
        NetSnmpTrapCase{"LinkDownWithBinding",
                        {kEnt, kAgentIp, "2", "0", "", ".1.3.6.1.2.1.2.2.1.1.1", "i", "1"},
                        "1",
                        false,
                        kUntouched},
        NetSnmpTrapCase{
            "ThreeBindings",
            {kEnt, kAgentIp, "6", "1", "", kBat, "i", "2", kLine, "i", "2", kAdmin, "i", "1"},
            "1",
            false,
            kUntouched},
        NetSnmpTrapCase{"AdminWrongName",
                        {kEnt, kAgentIp, "6", "2", "", kLine, "i", "5"},
                        "1",
                        false,
                        kUntouched},
        NetSnmpTrapCase{"OtherAgentFieldFromTheAgentsOwnAddress",
                        {kEnt, "10.9.9.9", "6", "1", "", kBat, "i", "2", kLine, "i", "2"},
                        "1",
                        false,
                        kUntouched},
        NetSnmpTrapCase{"LongerEnterprise",
                        {kEnt + ".1", kAgentIp, "6", "1", "", kBat, "i", "2", kLine, "i", "2"},
                        "1",
                        false,
                        kUntouched},
        NetSnmpTrapCase{"V2cDiscarded",
                        {"", kEnt + ".0.1", kBat, "i", "2", kLine, "i", "2"},
                        "2c",
                        false,
                        kUntouched}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- traps from the UPS simulator ----

class SimulatorTrapTest : public TrapCatchTest {
protected:
    void startBoth(const std::string& trapAgentAddress = "") {
        startListening();
        sim::SimulatorOptions o;
        o.agentPort = "0";
        o.trapPort = std::to_string(listener.boundPort());
        o.trapAgentAddress = trapAgentAddress;
        simulator = std::make_unique<sim::UpsSimulator>(o, log);
        ASSERT_TRUE(simulator->start());
    }
    // Runs a simulator command and waits until the listener has handled its traps.
    void run(const std::string& command) {
        const std::uint64_t sentBefore = simulator->trapsSent();
        const std::uint64_t receivedBefore = listener.trapsReceived();
        ASSERT_EQ(simulator->execute(command), sim::CommandOutcome::Done) << command;
        const std::uint64_t sent = simulator->trapsSent() - sentBefore;
        ASSERT_TRUE(receivedAtLeast(receivedBefore + sent))
            << command << ": " << listener.trapsReceived() - receivedBefore << " of " << sent;
    }

    std::ostringstream log;
    std::unique_ptr<sim::UpsSimulator> simulator;
};

TEST_F(SimulatorTrapTest, PowerEventAndAdministratorNotices) {
    startBoth();
    struct Step {
        const char* command;
        FieldsSnapshot expected;
    };
    const std::vector<Step> steps{
        {"mains off", {1, 2, -1, false, true, false}},
        {"battery low", {2, 2, -1, false, true, false}},
        {"mains on", {2, 1, -1, false, true, false}},
        {"battery ok", {1, 1, -1, false, true, false}},
        {"admin 5", {1, 1, 5, false, false, false}},
        {"admin cancel", {1, 1, -1, false, false, false}},
        {"coldstart", {1, 1, -1, true, false, false}},
    };
    for (const Step& step : steps) {
        run(step.command);
        EXPECT_EQ(snapshot(fields), step.expected) << step.command;
    }
    EXPECT_EQ(listener.trapsActedOn(), steps.size());
}

TEST_F(SimulatorTrapTest, TrapsNamingAnotherAgentAreDiscarded) {
    startBoth("10.20.30.40");
    run("mains off");
    run("admin 3");
    EXPECT_EQ(listener.trapsActedOn(), 0u);
    EXPECT_EQ(snapshot(fields), kUntouched);
}

TEST_F(SimulatorTrapTest, SimulatorBurstIsCountedWhole) {
    startBoth();
    run("mains off");
    run("burst 10000");
    ASSERT_TRUE(eventually([&] { return listener.trapsActedOn() == simulator->trapsSent(); }))
        << "acted on " << listener.trapsActedOn() << " of " << simulator->trapsSent();
    EXPECT_EQ(simulator->trapsSent(), 10001u);
    EXPECT_EQ(fields.lineState, 2);
}

// As fast as loopback takes them: every trap is handled and the last one decides the state.
TEST_F(TrapCatchTest, BurstOfTenThousandStatusTrapsLosesNone) {
    startListening();
    constexpr int kTraps = 10000;
    std::vector<std::string> datagrams;
    for (int i = 0; i < kTraps; ++i) {
        const bool last = i == kTraps - 1;
        const std::string battery = last ? "2" : std::to_string(1 + i % 2);
        const std::string line = last ? "7" : std::to_string(1 + (i / 2) % 2);
        datagrams.push_back(
            trapMessage(6, 1, {{kOidBatteryState, battery}, {kOidLineState, line}}).EncodeBuf());
    }
    for (const std::string& d : datagrams) sender->sendRaw(d);
    ASSERT_TRUE(eventually([&] { return listener.trapsActedOn() == kTraps; }, 30s))
        << "acted on " << listener.trapsActedOn() << " of " << kTraps;
    EXPECT_EQ(listener.trapsReceived(), static_cast<std::uint64_t>(kTraps));
    EXPECT_EQ(snapshot(fields), (FieldsSnapshot{2, 7, -1, false, true, false}));
}

}  // namespace
}  // namespace ups
