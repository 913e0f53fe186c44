// The UPS simulator: its agent's answers (decoded with the project's codec), the traps its
// commands send, the battery test and the alarm silence, robustness against bad input, and the
// upssim tool's command line.
#include "upsSimulator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

namespace ups::sim {
namespace {

using namespace std::chrono_literals;

const std::string kEnt = "1.3.6.1.4.1.27431";
const std::string kBattery = kEnt + ".1.1.1.1.0";
const std::string kLine = kEnt + ".1.1.1.2.0";
const std::string kCommand = kEnt + ".1.1.2.1.0";
const std::string kName = kEnt + ".1.1.2.4.0";
const std::string kAdmin = kEnt + ".1.1.2.5.0";
const std::string kProbe = kEnt + ".1.1.3.2.0";
const std::string kSerial = kEnt + ".1.1.3.3.0";
const std::string kModel = kEnt + ".1.1.3.4.0";

std::string request(int pdu, const std::string& community, const std::string& oid,
                    const std::string& value = "", int type = kAsnNull, int version = 0) {
    TSNMPRec rec;
    rec.Version = version;
    rec.Community = community;
    rec.PDUType = pdu;
    rec.ID = 77;
    rec.MIBAdd(oid, value, type);
    return rec.EncodeBuf();
}

class SimulatorAgent : public ::testing::Test {
protected:
    SimulatorAgent() : sim(options(), log) {}

    static SimulatorOptions options() {
        SimulatorOptions o;
        o.agentPort = "0";
        o.trapPort = "9";  // the discard port: nobody listens, nothing is answered
        o.upsSerial = "SN-77";
        return o;
    }

    // Decoded answer; Version -1 when the agent stayed silent.
    TSNMPRec ask(const std::string& datagram) {
        TSNMPRec reply;
        const std::string octets = sim.answer(datagram, "127.0.0.1:5000");
        if (octets.empty() || !reply.DecodeBuf(octets)) reply.Version = -1;
        return reply;
    }

    std::ostringstream log;
    UpsSimulator sim;
};

struct GetCase {
    std::string oid;
    std::string value;
    int type;
};

TEST_F(SimulatorAgent, ServesTheUpsObjectsToTheReadCommunity) {
    const std::vector<GetCase> cases{
        {kBattery, "1", kAsnInteger},
        {kLine, "1", kAsnInteger},
        {kName, "UPS Simulada Korvan", kAsnOctetString},
        {kSerial, "SN-77", kAsnOctetString},
        {kModel, "Simulador 1200VA", kAsnOctetString},
        {kAdmin, "-1", kAsnInteger},
        {kProbe, "1", kAsnInteger},
        {"1.3.6.1.2.1.1.2.0", kEnt, kAsnObjectId},
    };
    for (const GetCase& c : cases) {
        SCOPED_TRACE(c.oid);
        const TSNMPRec reply = ask(request(kPduGetRequest, "ambito", c.oid));
        ASSERT_EQ(reply.Version, 0);
        EXPECT_EQ(reply.PDUType, kPduGetResponse);
        EXPECT_EQ(reply.ID, 77);
        EXPECT_EQ(reply.ErrorStatus, 0);
        ASSERT_EQ(reply.MIBCount(), 1);
        EXPECT_EQ(reply.MIBByIndex(0)->OID, c.oid);
        EXPECT_EQ(reply.MIBByIndex(0)->Value, c.value);
        EXPECT_EQ(reply.MIBByIndex(0)->ValueType, c.type);
    }
}

TEST_F(SimulatorAgent, CommunitiesAndVersions) {
    EXPECT_EQ(ask(request(kPduGetRequest, "privada", kSerial)).MIBGet(kSerial), "SN-77");
    EXPECT_EQ(ask(request(kPduGetRequest, "public", kSerial)).Version, -1);
    EXPECT_EQ(ask(request(kPduGetRequest, "", kSerial)).Version, -1);
    EXPECT_EQ(ask(request(kPduGetRequest, "ambito", kSerial, "", kAsnNull, 1)).Version, -1);
    EXPECT_EQ(ask("\x30\x03\x02\x01").Version, -1);
    EXPECT_EQ(ask("").Version, -1);
    EXPECT_EQ(ask(std::string(100, '\x30')).Version, -1);
    EXPECT_EQ(sim.requestsAnswered(), 1u);
    EXPECT_GE(sim.requestsIgnored(), 5u);
}

TEST_F(SimulatorAgent, GetNextWalksInOrderFromTheEnterprises) {
    std::string oid = "1.3.6.1.4.1";
    std::vector<std::string> walked;
    for (int i = 0; i < 20; ++i) {
        const TSNMPRec reply = ask(request(kPduGetNextRequest, "ambito", oid));
        ASSERT_EQ(reply.Version, 0);
        if (reply.ErrorStatus) {
            EXPECT_EQ(reply.ErrorStatus, 2);
            EXPECT_EQ(reply.ErrorIndex, 1);
            break;
        }
        oid = reply.MIBByIndex(0)->OID;
        walked.push_back(oid);
    }
    const std::vector<std::string> expected{kBattery, kLine,  kCommand, kName,
                                            kAdmin,   kProbe, kSerial,  kModel};
    EXPECT_EQ(walked, expected);
    // Numeric order, not text order: 1.3.6.1.2.1.1.1.0 comes after 1.3.6.1.2.1.1.
    EXPECT_EQ(ask(request(kPduGetNextRequest, "ambito", "1.3.6.1.2.1.1")).MIBByIndex(0)->OID,
              "1.3.6.1.2.1.1.1.0");
    EXPECT_EQ(ask(request(kPduGetNextRequest, "ambito", kEnt + ".1.1.1.10")).MIBByIndex(0)->OID,
              kCommand);
}

TEST_F(SimulatorAgent, UnknownObjectIsAnErrorAnswer) {
    const TSNMPRec reply = ask(request(kPduGetRequest, "ambito", kEnt + ".9.9.0"));
    EXPECT_EQ(reply.ErrorStatus, 2);
    EXPECT_EQ(reply.ErrorIndex, 1);
    EXPECT_EQ(reply.MIBGet(kEnt + ".9.9.0"), "");
}

TEST_F(SimulatorAgent, CommandSetRules) {
    struct Case {
        const char* name;
        std::string community;
        std::string oid;
        std::string value;
        int type;
        int errorStatus;
    };
    const std::vector<Case> cases{
        {"ReadCommunityMayNotWrite", "ambito", kCommand, "1", kAsnInteger, 2},
        {"OtherObjectNotWritable", "privada", kLine, "1", kAsnInteger, 2},
        {"WrongType", "privada", kCommand, "1", kAsnOctetString, 3},
        {"WrongValue", "privada", kCommand, "2", kAsnInteger, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TSNMPRec reply = ask(request(kPduSetRequest, c.community, c.oid, c.value, c.type));
        ASSERT_EQ(reply.Version, 0);
        EXPECT_EQ(reply.ErrorStatus, c.errorStatus);
        EXPECT_TRUE(sim.state().lineOk) << "a refused SET must not start a test";
    }
    EXPECT_EQ(ask(request(kPduSetRequest, "public", kCommand, "1", kAsnInteger)).Version, -1);
}

TEST_F(SimulatorAgent, CommandWithoutPowerEventStartsABatteryTest) {
    const TSNMPRec reply = ask(request(kPduSetRequest, "privada", kCommand, "1", kAsnInteger));
    EXPECT_EQ(reply.ErrorStatus, 0);
    EXPECT_EQ(reply.MIBGet(kCommand), "1");
    EXPECT_TRUE(sim.state().testRunning);
    EXPECT_EQ(ask(request(kPduGetRequest, "ambito", kLine)).MIBGet(kLine), "2");
    EXPECT_EQ(sim.trapsSent(), 0u) << "a test is announced by the state, not by traps";
}

TEST_F(SimulatorAgent, CommandDuringAPowerEventSilencesTheAlarm) {
    ASSERT_EQ(sim.execute("mains off"), CommandOutcome::Done);
    EXPECT_TRUE(sim.state().alarmOn);
    ask(request(kPduSetRequest, "privada", kCommand, "1", kAsnInteger));
    EXPECT_FALSE(sim.state().alarmOn);
    EXPECT_FALSE(sim.state().testRunning);
    EXPECT_NE(log.str().find("alarm silenced"), std::string::npos);
}

TEST_F(SimulatorAgent, SilentAgentAnswersNothing) {
    sim.execute("silent on");
    EXPECT_EQ(ask(request(kPduGetRequest, "ambito", kLine)).Version, -1);
    sim.execute("silent off");
    EXPECT_EQ(ask(request(kPduGetRequest, "ambito", kLine)).MIBGet(kLine), "1");
}

TEST_F(SimulatorAgent, CommandLines) {
    struct Case {
        const char* line;
        CommandOutcome outcome;
    };
    const std::vector<Case> cases{
        {"", CommandOutcome::Done},
        {"   # a comment", CommandOutcome::Done},
        {"MAINS OFF", CommandOutcome::Done},
        {"mains  on ", CommandOutcome::Done},
        {"mains sideways", CommandOutcome::BadArgument},
        {"admin", CommandOutcome::BadArgument},
        {"admin -3", CommandOutcome::BadArgument},
        {"admin 5x", CommandOutcome::BadArgument},
        {"burst 0", CommandOutcome::BadArgument},
        {"sleep soon", CommandOutcome::BadArgument},
        {"sleep 1x", CommandOutcome::BadArgument},
        {"sleep -1", CommandOutcome::BadArgument},
        {"sleep nan", CommandOutcome::BadArgument},
        {"sleep 1e9", CommandOutcome::BadArgument},
        {"sleep 0.01", CommandOutcome::Done},
        {"fly", CommandOutcome::Unknown},
        {"status", CommandOutcome::Done},
        {"name Sala \x01 fr\xed"
         "a",
         CommandOutcome::Done},
        {"quit", CommandOutcome::Quit},
    };
    for (const Case& c : cases) EXPECT_EQ(sim.execute(c.line), c.outcome) << c.line;
    EXPECT_EQ(ask(request(kPduGetRequest, "ambito", kName)).MIBGet(kName),
              "Sala \x01 fr\xed"
              "a");
    EXPECT_NE(log.str().find("Sala \\x01"), std::string::npos) << "control octets escaped";
}

// ---- traps and the running agent ----

class SimulatorOnSockets : public ::testing::Test {
protected:
    void start(SimulatorOptions o = {}) {
        trapReceiver.Bind("127.0.0.1", "0");
        o.agentPort = "0";
        o.trapPort = std::to_string(trapReceiver.GetLocalSinPort());
        sim = std::make_unique<UpsSimulator>(o, log);
        ASSERT_TRUE(sim->start());
    }
    TSNMPRec nextTrap() {
        TSNMPRec trap;
        const std::string d = trapReceiver.RecvPacket(2000);
        EXPECT_EQ(trapReceiver.LastError(), 0);
        trap.DecodeBuf(d);
        return trap;
    }

    std::ostringstream log;
    TUDPBlockSocket trapReceiver;
    std::unique_ptr<UpsSimulator> sim;
};

TEST_F(SimulatorOnSockets, CommandsSendTheAgentsTraps) {
    start();
    struct Case {
        const char* command;
        int generic;
        int specific;
        std::vector<std::pair<std::string, std::string>> bindings;
    };
    const std::vector<Case> cases{
        {"mains off", 6, 1, {{kBattery, "1"}, {kLine, "2"}}},
        {"battery low", 6, 1, {{kBattery, "2"}, {kLine, "2"}}},
        {"mains on", 6, 1, {{kBattery, "2"}, {kLine, "1"}}},
        {"admin 5", 6, 2, {{kAdmin, "5"}}},
        {"admin cancel", 6, 3, {{kAdmin, "-1"}}},
        {"coldstart", 0, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        ASSERT_EQ(sim->execute(c.command), CommandOutcome::Done);
        const TSNMPRec trap = nextTrap();
        EXPECT_EQ(trap.Version, 0);
        EXPECT_EQ(trap.PDUType, kPduTrap);
        EXPECT_EQ(trap.Community, "public");
        EXPECT_EQ(trap.OldTrapEnterprise, kEnt);
        EXPECT_EQ(trap.OldTrapHost, "127.0.0.1");
        EXPECT_EQ(trap.OldTrapGen, c.generic);
        EXPECT_EQ(trap.OldTrapSpec, c.specific);
        ASSERT_EQ(trap.MIBCount(), static_cast<int>(c.bindings.size()));
        for (int i = 0; i < trap.MIBCount(); ++i) {
            EXPECT_EQ(trap.MIBByIndex(i)->OID, c.bindings[i].first);
            EXPECT_EQ(trap.MIBByIndex(i)->Value, c.bindings[i].second);
            EXPECT_EQ(trap.MIBByIndex(i)->ValueType, kAsnInteger);
        }
    }
    EXPECT_EQ(sim->trapsSent(), cases.size());
}

TEST_F(SimulatorOnSockets, AnswersOverUdp) {
    start();
    std::string value;
    ASSERT_TRUE(
        SNMPGet(kSerial, "ambito", "127.0.0.1", value, std::to_string(sim->agentPort()), 1000));
    EXPECT_EQ(value, "SIM0000001");
    std::string oid = "1.3.6.1.4.1";
    ASSERT_TRUE(
        SNMPGetNext(oid, "ambito", "127.0.0.1", value, std::to_string(sim->agentPort()), 1000));
    EXPECT_EQ(oid, kBattery);
    EXPECT_FALSE(
        SNMPGet(kSerial, "otra", "127.0.0.1", value, std::to_string(sim->agentPort()), 100));
}

TEST_F(SimulatorOnSockets, FailingBatteryTestEndsWithTheLineBack) {
    SimulatorOptions o;
    o.testFails = true;
    o.testSeconds = 1;
    o.testFailAfterSeconds = 0;
    start(o);
    sim->execute("test start");
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    bool sawLow = false;
    while (sim->state().testRunning && std::chrono::steady_clock::now() < deadline) {
        sawLow = sawLow || sim->state().batteryLow;
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(sawLow);
    EXPECT_FALSE(sim->state().testRunning);
    EXPECT_TRUE(sim->state().lineOk);
    EXPECT_NE(log.str().find("battery failed"), std::string::npos);
}

TEST(SimulatorStart, HeldPortIsReportedNotFatal) {
    TUDPBlockSocket holder;
    holder.Bind("127.0.0.1", "0");
    SimulatorOptions o;
    o.agentPort = std::to_string(holder.GetLocalSinPort());
    std::ostringstream log;
    UpsSimulator sim(o, log);
    EXPECT_FALSE(sim.start());
    EXPECT_NE(log.str().find("cannot listen"), std::string::npos);
}

// ---- the tool ----

std::string runTool(const std::string& arguments, int& exitCode) {
    const std::string command = std::string(UPS_UPSSIM_BINARY) + " " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    char buffer[4096];
    while (pipe && fgets(buffer, sizeof buffer, pipe)) out += buffer;
    const int status = pipe ? pclose(pipe) : -1;
    exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

TEST(UpssimTool, HelpAndUsageErrors) {
    int code = 0;
    const std::string help = runTool("--help", code);
    EXPECT_EQ(code, 0);
    EXPECT_NE(help.find("--listen ADDR[:PORT]"), std::string::npos);
    EXPECT_NE(help.find("mains off"), std::string::npos);
    for (const char* bad : {"--bogus", "--listen", "--listen 127.0.0.1:99999", "--test-seconds 0",
                            "--script /nonexistent/file"}) {
        const std::string out = runTool(bad, code);
        EXPECT_EQ(code, 2) << bad;
        EXPECT_NE(out.find("upssim:"), std::string::npos) << bad;
    }
}

TEST(UpssimTool, ScenarioFileRunsAndReportsBadLines) {
    TUDPBlockSocket receiver;
    receiver.Bind("127.0.0.1", "0");
    const std::string path = testing::TempDir() + "upssim-scenario.txt";
    std::ofstream(path) << "# a short power cut\nmains off\nsleep 0.05\nfly away\nmains on\nquit\n"
                        << "mains off\n";
    int code = 0;
    const std::string out = runTool(
        "--listen 127.0.0.1:0 --traps 127.0.0.1:" + std::to_string(receiver.GetLocalSinPort()) +
            " --no-stdin --script " + path,
        code);
    EXPECT_EQ(code, 0) << out;
    EXPECT_NE(out.find("TRAP status battery=1 line=2"), std::string::npos) << out;
    EXPECT_NE(out.find("TRAP status battery=1 line=1"), std::string::npos) << out;
    EXPECT_NE(out.find(":4: unknown command \"fly away\""), std::string::npos) << out;
    // Nothing after quit runs: exactly two traps arrived.
    int traps = 0;
    while (!receiver.RecvPacket(200).empty()) ++traps;
    EXPECT_EQ(traps, 2);
    std::remove(path.c_str());
}

}  // namespace
}  // namespace ups::sim
