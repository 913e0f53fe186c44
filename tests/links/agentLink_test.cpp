// The agent link against a scripted agent: detection outcomes and the enterprise piece rule, the
// status read and what counts as an answer, the identity texts with their caps and the
// write-community probe, and the command SET.
#include "links/agentLink.h"

#include <gtest/gtest.h>

#include "config/configStore.h"
#include "support/scriptedAgentTransport.h"

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

TEST(EnterpriseOfAnswer, PieceRule) {
    EXPECT_EQ(enterpriseOfAnswer("1.3.6.1.4.1.27431.1.1.1.1.0"), 27431);
    EXPECT_EQ(enterpriseOfAnswer("1.3.6.1.4.1.9999999999"), 9999999999LL);
    EXPECT_EQ(enterpriseOfAnswer("1.3.6.1.4.1.99999999999"), 9999999999LL);
    EXPECT_EQ(enterpriseOfAnswer("1.3.6.1.4.1..5"), std::nullopt);
    EXPECT_EQ(enterpriseOfAnswer("1.3.6.1.4.1.-5"), std::nullopt);
}

}  // namespace
}  // namespace ups
