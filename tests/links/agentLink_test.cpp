// The agent link against a scripted agent: detection outcomes and the enterprise piece rule, the
// status read and what counts as an answer, the identity texts with their caps and the
// write-community probe, the command SET, and the network transport's echo through the system's.
// Then the same link over the network (the echo scripted) against the UPS simulator and against
// net-snmp's snmpd.
#include "links/agentLink.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "config/configStore.h"
#include "net/snmpsend.h"
#include "support/childProcess.h"
#include "support/privateSnmpd.h"
#include "support/scriptedAgentTransport.h"
#include "support/scriptedIcmpEcho.h"
#include "upsSimulator.h"

namespace ups {
namespace {

using test::AgentCall;
using test::agentCall;
using test::ScriptedAgentTransport;

class AgentLinkTest : public ::testing::Test {
protected:
    AgentLinkTest() {
        clearRecords(cfgUps, cfgSnmp);
        setDefaultConfig(cfgUps, cfgSnmp);
        setFieldText(cfgSnmp.ipAgent, "10.0.0.7");
        setFieldText(cfgSnmp.snmpPass, "escritura");
    }

    CfgUps cfgUps;
    CfgSnmp cfgSnmp;
    ScriptedAgentTransport agent;
    AgentLink link{cfgSnmp, agent};
};

// ---- detection ----

struct DetectCase {
    const char* name;
    int ping;
    std::optional<std::string> nextName;
    std::int32_t enterprise;
    AgentDetect expected;
};
// Shown by GoogleTest (and in the test list) as its name rather than as bytes.
void PrintTo(const DetectCase& c, std::ostream* os) {
    *os << c.name;
}

class DetectAgentTest : public AgentLinkTest, public ::testing::WithParamInterface<DetectCase> {};

TEST_P(DetectAgentTest, Outcome) {
    const DetectCase& c = GetParam();
    agent.pingResult = c.ping;
    agent.nextName = c.nextName;
    cfgSnmp.enterprise = c.enterprise;
    EXPECT_EQ(link.detectAgent("192.168.1.9"), c.expected);
}

const std::string kFirstUpsObject = "1.3.6.1.4.1.27431.1.1.1.1.0";

INSTANTIATE_TEST_SUITE_P(
    Cases, DetectAgentTest,
    ::testing::Values(
        DetectCase{"UpsAgent", 0, kFirstUpsObject, 27431, agentFound},
        DetectCase{"SlowEchoStillCounts", 4999, kFirstUpsObject, 27431, agentFound},
        DetectCase{"NoEcho", -1, kFirstUpsObject, 27431, agentAbsent},
        DetectCase{"EchoButNoSnmpAnswer", 1, std::nullopt, 27431, agentAbsent},
        DetectCase{"AnotherEnterprise", 1, "1.3.6.1.4.1.311.1.1.0", 27431, agentForeign},
        DetectCase{"ConfiguredEnterpriseIsTheOneCompared", 1, "1.3.6.1.4.1.311.1.1.0", 311,
                   agentFound},
        DetectCase{"StartIdentifierAnsweredBack", 1, "1.3.6.1.4.1", 27431, agentForeign},
        DetectCase{"StartIdentifierWithTrailingDot", 1, "1.3.6.1.4.1.", 27431, agentForeign},
        DetectCase{"EnterpriseWithoutSubObjects", 1, "1.3.6.1.4.1.27431", 27431, agentFound},
        DetectCase{"PieceCutAtTenCharacters", 1, "1.3.6.1.4.1.274310000001.1", 27431, agentForeign},
        DetectCase{"TenDigitPieceIsANumber", 1, "1.3.6.1.4.1.0000027431", 27431, agentFound},
        DetectCase{"PieceNotDecimal", 1, "1.3.6.1.4.1.x7431.1", 27431, agentForeign},
        DetectCase{"EndOfMibAnswer", 1, "", 27431, agentForeign},
        DetectCase{"AnswerOutsideEnterprises", 1, "1.3.6.1.6.3.1.1.4.1.0", 27431, agentForeign}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AgentLinkTest, DetectionAsksTheGivenAddressWithTheReadCommunity) {
    agent.nextName = kFirstUpsObject;
    link.detectAgent("192.168.1.9");
    const std::vector<AgentCall> expected{
        agentCall("ping", "", "", "192.168.1.9"),
        agentCall("getNext", "1.3.6.1.4.1", "ambito", "192.168.1.9"),
    };
    EXPECT_EQ(agent.calls, expected);
}

TEST_F(AgentLinkTest, NoEchoSendsNoSnmpRequest) {
    agent.pingResult = -1;
    agent.nextName = kFirstUpsObject;
    EXPECT_EQ(link.detectAgent("10.0.0.7"), agentAbsent);
    EXPECT_EQ(agent.calls.size(), 1u);
}

// ---- status read ----

struct StatusCase {
    const char* name;
    std::optional<std::string> line;
    std::optional<std::string> battery;
    AgentStatusRead expected;
};
// Shown by GoogleTest (and in the test list) as its name rather than as bytes.
void PrintTo(const StatusCase& c, std::ostream* os) {
    *os << c.name;
}

class StatusReadTest : public AgentLinkTest, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(StatusReadTest, Result) {
    const StatusCase& c = GetParam();
    if (c.line) agent.answer(kOidLineState, *c.line);
    if (c.battery) agent.answer(kOidBatteryState, *c.battery);
    const AgentStatusRead read = link.readAgentStatus();
    EXPECT_EQ(read.lineAnswered, c.expected.lineAnswered);
    EXPECT_EQ(read.batteryAnswered, c.expected.batteryAnswered);
    if (read.lineAnswered) {
        EXPECT_EQ(read.lineOk, c.expected.lineOk);
    }
    if (read.batteryAnswered) {
        EXPECT_EQ(read.batteryLow, c.expected.batteryLow);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StatusReadTest,
    ::testing::Values(
        StatusCase{"Normal", "1", "1", {true, true, true, false}},
        StatusCase{"LineFailBatteryLow", "2", "2", {true, false, true, true}},
        StatusCase{"LineOkBatteryLow", "1", "2", {true, true, true, true}},
        StatusCase{"UnknownValuesMeanFailureAndNotLow", "0", "7", {true, false, true, false}},
        StatusCase{"NegativeNumbers", "-1", "-2", {true, false, true, false}},
        StatusCase{"SignedPlus", "+1", "+2", {true, true, true, true}},
        StatusCase{"BatteryUnanswered", "2", std::nullopt, {true, false, false, false}},
        StatusCase{"LineUnanswered", std::nullopt, "2", {false, true, false, false}},
        StatusCase{"ErrorAnswerEmptyLine", "", "2", {false, true, false, false}},
        StatusCase{"ErrorAnswerEmptyBattery", "1", "", {true, true, false, false}},
        StatusCase{"TextLine", "abc", "1", {false, true, false, false}},
        StatusCase{"TrailingGarbage", "1x", "1", {false, true, false, false}},
        StatusCase{"LeadingBlank", " 1", "1", {false, true, false, false}},
        StatusCase{"OutOfRange", "99999999999", "1", {false, true, false, false}},
        StatusCase{"LoneSign", "-", "1", {false, true, false, false}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AgentLinkTest, StatusReadAsksLineThenBatteryAtTheConfiguredAgent) {
    agent.answer(kOidLineState, "1");
    agent.answer(kOidBatteryState, "1");
    link.readAgentStatus();
    const std::vector<AgentCall> expected{
        agentCall("get", kOidLineState, "ambito", "10.0.0.7"),
        agentCall("get", kOidBatteryState, "ambito", "10.0.0.7"),
    };
    EXPECT_EQ(agent.calls, expected);
}

TEST_F(AgentLinkTest, UnansweredLineSkipsTheBatteryRead) {
    agent.answer(kOidBatteryState, "2");
    link.readAgentStatus();
    EXPECT_EQ(agent.calls.size(), 1u);
}

// ---- identity read ----

TEST_F(AgentLinkTest, IdentityTextsAreCappedToTheirFields) {
    agent.answer(kOidUpsSerial, "AB1234567890XY");       // 14 characters
    agent.answer(kOidUpsModel, "Korvan Online 3000VA");  // exactly 20
    agent.answer(kOidUpsName, std::string(45, 'n'));
    EXPECT_TRUE(link.readAgentIdentity());
    EXPECT_EQ(link.upsSerial(), "AB12345678");
    EXPECT_EQ(link.upsModel(), "Korvan Online 3000VA");
    EXPECT_EQ(link.upsName(), std::string(40, 'n'));
}

TEST_F(AgentLinkTest, IdentityTextsTakeAnyValueUnchanged) {
    agent.answer(kOidUpsSerial, "");  // an error answer is still an answer
    agent.answer(kOidUpsModel, "42");
    agent.answer(kOidUpsName, std::string("Sala \xe9\0x", 8));
    EXPECT_TRUE(link.readAgentIdentity());
    EXPECT_EQ(link.upsSerial(), "");
    EXPECT_EQ(link.upsModel(), "42");
    EXPECT_EQ(link.upsName(), std::string("Sala \xe9\0x", 8));
}

TEST_F(AgentLinkTest, UnansweredIdentityReadsKeepThePreviousTexts) {
    agent.answer(kOidUpsSerial, "S1");
    agent.answer(kOidUpsModel, "M1");
    agent.answer(kOidUpsName, "N1");
    ASSERT_TRUE(link.readAgentIdentity());

    agent.silence(kOidUpsSerial);
    agent.silence(kOidUpsName);
    agent.answer(kOidUpsModel, "M2");
    EXPECT_FALSE(link.readAgentIdentity());
    EXPECT_EQ(link.upsSerial(), "S1");
    EXPECT_EQ(link.upsModel(), "M2");
    EXPECT_EQ(link.upsName(), "N1");
}

TEST_F(AgentLinkTest, ModelAndNameAreAskedEvenWithoutSerial) {
    agent.answer(kOidUpsModel, "M");
    EXPECT_FALSE(link.readAgentIdentity());
    EXPECT_EQ(link.upsModel(), "M");
    const std::vector<std::string> expected{"get " + std::string(kOidUpsSerial),
                                            "get " + std::string(kOidUpsModel),
                                            "get " + std::string(kOidUpsName)};
    EXPECT_EQ(agent.kinds(), expected);
}

struct ProbeCase {
    const char* name;
    bool passSet;
    bool serialAnswered;
    std::optional<std::string> probeAnswer;  // answer to the write community
    bool probeSent;
    bool commandsOk;
};
// Shown by GoogleTest (and in the test list) as its name rather than as bytes.
void PrintTo(const ProbeCase& c, std::ostream* os) {
    *os << c.name;
}

class WriteProbeTest : public AgentLinkTest, public ::testing::WithParamInterface<ProbeCase> {};

TEST_P(WriteProbeTest, AgentCommandsOk) {
    const ProbeCase& c = GetParam();
    cfgSnmp.snmpPassSet = c.passSet;
    if (c.serialAnswered) agent.answer(kOidUpsSerial, "123");
    if (c.probeAnswer) agent.answer(kOidWriteProbe, *c.probeAnswer, "escritura");
    // The read community would answer the probe object too: only the write community counts.
    agent.answer(kOidWriteProbe, "x", "ambito");

    EXPECT_EQ(link.readAgentIdentity(), c.serialAnswered);
    EXPECT_EQ(link.agentCommandsOk(), c.commandsOk);
    const AgentCall probe = agentCall("get", kOidWriteProbe, "escritura", "10.0.0.7");
    const bool sent = std::find(agent.calls.begin(), agent.calls.end(), probe) != agent.calls.end();
    EXPECT_EQ(sent, c.probeSent);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WriteProbeTest,
    ::testing::Values(ProbeCase{"Accepted", true, true, "1", true, true},
                      ProbeCase{"ErrorAnswerStillAccepted", true, true, "", true, true},
                      ProbeCase{"SilentAgentRejects", true, true, std::nullopt, true, false},
                      ProbeCase{"PassNotSetNoProbe", false, true, "1", false, false},
                      ProbeCase{"NoSerialNoProbe", true, false, "1", false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AgentLinkTest, FailedIdentityReadClearsAnEarlierCommandsOk) {
    cfgSnmp.snmpPassSet = 1;
    agent.answer(kOidUpsSerial, "1");
    agent.answer(kOidWriteProbe, "1", "escritura");
    ASSERT_TRUE(link.readAgentIdentity());
    ASSERT_TRUE(link.agentCommandsOk());
    agent.silence(kOidUpsSerial);
    EXPECT_FALSE(link.readAgentIdentity());
    EXPECT_FALSE(link.agentCommandsOk());
}

TEST_F(AgentLinkTest, InformationLines) {
    agent.answer(kOidUpsSerial, "SN42");
    agent.answer(kOidUpsModel, "Modelo X");
    agent.answer(kOidUpsName, "UPS Sala");
    link.readAgentIdentity();
    const AgentInfoLines lines = link.identityInfoLines();
    EXPECT_EQ(lines.line1, "UPS Sala");
    EXPECT_EQ(lines.line2, "Nro. Serie : SN42");
    EXPECT_EQ(lines.line3, "Modelo : Modelo X");
    const AgentInfoLines unknown = AgentLink::unknownAgentInfoLines();
    EXPECT_EQ(unknown.line1, "Agente no detectado");
    EXPECT_EQ(unknown.line2, "Nro. Serie :  ????");
    EXPECT_EQ(unknown.line3, "Modelo : desconocido");
}

// ---- command ----

TEST_F(AgentLinkTest, CommandIsIntegerOneWithTheWriteCommunity) {
    EXPECT_TRUE(link.sendTestCommand());
    const std::vector<AgentCall> expected{
        agentCall("set", kOidUpsCommand, "escritura", "10.0.0.7", "1", 2),
    };
    EXPECT_EQ(agent.calls, expected);
    agent.setAnswered = false;
    EXPECT_FALSE(link.sendTestCommand());
}

TEST(NetAgentTransport, PingsThroughTheSystemsEchoWithItsOwnTimeout) {
    test::ScriptedIcmpEcho echo;
    NetAgentTransport transport(echo, "161", 500, 1234);
    echo.answer->roundTripMs = 40;
    EXPECT_EQ(transport.ping("10.0.0.7"), 40);
    echo.answer->type = 3;  // an error report is no echo
    EXPECT_EQ(transport.ping("10.0.0.7"), -1);
    echo.answer.reset();
    EXPECT_EQ(transport.ping("10.0.0.7"), -1);
    NetAgentTransport(echo).ping("10.0.0.8");
    const std::vector<test::ScriptedIcmpEcho::Request> asked = {
        {"10.0.0.7", 1234}, {"10.0.0.7", 1234}, {"10.0.0.7", 1234}, {"10.0.0.8", 5000}};
    EXPECT_EQ(echo.requests, asked);
}

TEST(EnterpriseOfAnswer, PieceRule) {
    EXPECT_EQ(enterpriseOfAnswer("1.3.6.1.4.1.27431.1.1.1.1.0"), 27431);
    EXPECT_EQ(enterpriseOfAnswer("1.3.6.1.4.1.9999999999"), 9999999999LL);
    EXPECT_EQ(enterpriseOfAnswer("1.3.6.1.4.1.99999999999"), 9999999999LL);
    EXPECT_EQ(enterpriseOfAnswer("1.3.6.1.4.1..5"), std::nullopt);
    EXPECT_EQ(enterpriseOfAnswer("1.3.6.1.4.1.-5"), std::nullopt);
}

// ---- against real agents on loopback: the UPS simulator and net-snmp's snmpd ----

namespace peers {

namespace fs = std::filesystem;

const char kWriteCommunity[] = "escritura";

struct UpsIdentityTexts {
    std::string name;
    std::string serial;
    std::string model;
};

class PeerAgent {
public:
    virtual ~PeerAgent() = default;
    virtual bool start(const UpsIdentityTexts& identity) = 0;
    virtual std::string port() const = 0;
    virtual void setState(bool lineOk, bool batteryLow) = 0;
    virtual int commandsReceived() const = 0;
    virtual std::string log() const = 0;
};

class SimulatorPeer : public PeerAgent {
public:
    bool start(const UpsIdentityTexts& identity) override {
        sim::SimulatorOptions o;
        o.agentPort = "0";
        o.trapPort = "9";  // traps go to the discard port
        o.writeCommunity = kWriteCommunity;
        o.upsName = identity.name;
        o.upsSerial = identity.serial;
        o.upsModel = identity.model;
        sim_ = std::make_unique<sim::UpsSimulator>(o, log_);
        return sim_->start();
    }
    std::string port() const override { return std::to_string(sim_->agentPort()); }
    void setState(bool lineOk, bool batteryLow) override {
        sim_->execute(lineOk ? "mains on" : "mains off");
        sim_->execute(batteryLow ? "battery low" : "battery ok");
    }
    int commandsReceived() const override {
        const std::string text = log_.str();
        int n = 0;
        for (auto at = text.find("command:"); at != std::string::npos;
             at = text.find("command:", at + 1)) {
            ++n;
        }
        return n;
    }
    std::string log() const override { return log_.str(); }
    sim::UpsSimulator& simulator() { return *sim_; }

private:
    std::ostringstream log_;
    std::unique_ptr<sim::UpsSimulator> sim_;
};

// A private snmpd whose pass_persist backend reads the UPS's values from a file at every request.
class SnmpdPeer : public PeerAgent {
public:
    bool start(const UpsIdentityTexts& identity) override {
        identity_ = identity;
        return agent_.start(values("1", "1"));
    }
    std::string port() const override { return agent_.port(); }
    void setState(bool lineOk, bool batteryLow) override {
        agent_.setValues(values(lineOk ? "1" : "2", batteryLow ? "2" : "1"));
    }
    // A missing value makes snmpd answer with an error status.
    void dropBattery() { agent_.setValues(values("1", "")); }
    int commandsReceived() const override {
        std::istringstream in(agent_.setLog());
        int n = 0;
        for (std::string line; std::getline(in, line);)
            n += line == "." + std::string(kOidUpsCommand) + " 1";
        return n;
    }
    std::string log() const override { return agent_.log(); }

private:
    test::PrivateSnmpd::Values values(const std::string& line, const std::string& battery) const {
        test::PrivateSnmpd::Values v = {{"line", line},
                                        {"name", identity_.name},
                                        {"serial", identity_.serial},
                                        {"model", identity_.model},
                                        {"probe", "1"},
                                        {"command", "0"}};
        if (!battery.empty()) v["battery"] = battery;
        return v;
    }

    test::PrivateSnmpd agent_{kWriteCommunity};
    UpsIdentityTexts identity_;
};

const UpsIdentityTexts kLongTexts{"Sala de servidores del tercer piso, rack 4 izquierda",
                                  "SN0123456789AB", "KRV-1200-ONLINE-RACK"};

struct PeerKind {
    const char* name;
    std::function<std::unique_ptr<PeerAgent>()> make;
};
// Shown by GoogleTest (and in the test list) as its name rather than as bytes.
void PrintTo(const PeerKind& c, std::ostream* os) {
    *os << c.name;
}

class AgentLinkPeerTest : public ::testing::TestWithParam<PeerKind> {
protected:
    void SetUp() override {
        clearRecords(cfgUps, cfgSnmp);
        setDefaultConfig(cfgUps, cfgSnmp);
        setFieldText(cfgSnmp.ipAgent, "127.0.0.1");
        setFieldText(cfgSnmp.snmpPass, kWriteCommunity);
        cfgSnmp.snmpPassSet = 1;
        peer = GetParam().make();
        if (!peer->start(kLongTexts)) {
            if (std::string(GetParam().name) == "Snmpd" &&
                std::system("command -v snmpd >/dev/null") != 0)
                GTEST_SKIP() << "snmpd is not installed (scripts/deps installs it)";
            FAIL() << "the agent did not come up\n" << peer->log();
        }
        transport = std::make_unique<NetAgentTransport>(echo, peer->port(), 500, 1000);
        link = std::make_unique<AgentLink>(cfgSnmp, *transport);
    }

    CfgUps cfgUps;
    CfgSnmp cfgSnmp;
    std::unique_ptr<PeerAgent> peer;
    test::ScriptedIcmpEcho echo;  // the agent's address answers the echo
    std::unique_ptr<NetAgentTransport> transport;
    std::unique_ptr<AgentLink> link;
};

TEST_P(AgentLinkPeerTest, DetectsTheUpsAgentByItsEnterprise) {
    EXPECT_EQ(link->detectAgent("127.0.0.1"), agentFound);
    cfgSnmp.enterprise = 311;
    EXPECT_EQ(link->detectAgent("127.0.0.1"), agentForeign);
}

TEST_P(AgentLinkPeerTest, ReadsLineAndBattery) {
    struct Case {
        bool lineOk;
        bool batteryLow;
    };
    for (const Case c :
         {Case{true, false}, Case{false, false}, Case{false, true}, Case{true, true}}) {
        SCOPED_TRACE(std::to_string(c.lineOk) + std::to_string(c.batteryLow));
        peer->setState(c.lineOk, c.batteryLow);
        const AgentStatusRead read = link->readAgentStatus();
        EXPECT_TRUE(read.lineAnswered && read.batteryAnswered);
        EXPECT_EQ(read.lineOk, c.lineOk);
        EXPECT_EQ(read.batteryLow, c.batteryLow);
    }
}

TEST_P(AgentLinkPeerTest, IdentityCappedAndWriteCommunityProbed) {
    ASSERT_TRUE(link->readAgentIdentity());
    EXPECT_EQ(link->upsSerial(), "SN01234567");
    EXPECT_EQ(link->upsModel(), "KRV-1200-ONLINE-RACK");
    EXPECT_EQ(link->upsName(), kLongTexts.name.substr(0, 40));
    EXPECT_TRUE(link->agentCommandsOk());

    setFieldText(cfgSnmp.snmpPass, "otra");  // a community the agent does not know: silence
    EXPECT_TRUE(link->readAgentIdentity());
    EXPECT_FALSE(link->agentCommandsOk());
}

TEST_P(AgentLinkPeerTest, CommandReachesTheAgentOnlyWithTheWriteCommunity) {
    EXPECT_TRUE(link->sendTestCommand());
    setFieldText(cfgSnmp.snmpPass, "ambito");  // readable, not writable: an error answer
    EXPECT_TRUE(link->sendTestCommand());
    setFieldText(cfgSnmp.snmpPass, "otra");
    EXPECT_FALSE(link->sendTestCommand());
    EXPECT_EQ(peer->commandsReceived(), 1) << peer->log();
}

INSTANTIATE_TEST_SUITE_P(
    Peers, AgentLinkPeerTest,
    ::testing::Values(PeerKind{"Simulator", [] { return std::make_unique<SimulatorPeer>(); }},
                      PeerKind{"Snmpd", [] { return std::make_unique<SnmpdPeer>(); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AgentLinkSnmpd, ErrorAnswerForTheBatteryCountsAsNotAnswered) {
    SnmpdPeer peer;
    if (!peer.start(kLongTexts)) GTEST_SKIP() << "snmpd did not come up";
    CfgUps cfgUps;
    CfgSnmp cfgSnmp;
    clearRecords(cfgUps, cfgSnmp);
    setDefaultConfig(cfgUps, cfgSnmp);
    setFieldText(cfgSnmp.ipAgent, "127.0.0.1");
    test::ScriptedIcmpEcho echo;
    NetAgentTransport transport(echo, peer.port(), 500, 1000);
    AgentLink link(cfgSnmp, transport);
    peer.dropBattery();
    const AgentStatusRead read = link.readAgentStatus();
    EXPECT_TRUE(read.lineAnswered);
    EXPECT_FALSE(read.batteryAnswered);
}

TEST(AgentLinkSimulator, AgentThatEchoesButDoesNotAnswerIsAbsent) {
    SimulatorPeer peer;
    ASSERT_TRUE(peer.start(kLongTexts));
    CfgUps cfgUps;
    CfgSnmp cfgSnmp;
    clearRecords(cfgUps, cfgSnmp);
    setDefaultConfig(cfgUps, cfgSnmp);
    test::ScriptedIcmpEcho echo;
    NetAgentTransport transport(echo, peer.port(), 300, 1000);
    AgentLink link(cfgSnmp, transport);
    peer.simulator().execute("silent on");
    EXPECT_EQ(link.detectAgent("127.0.0.1"), agentAbsent);
}

}  // namespace peers

}  // namespace
}  // namespace ups
