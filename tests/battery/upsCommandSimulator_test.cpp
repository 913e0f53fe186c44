// The battery test over real sockets against the UPS simulator: the command SET starts the
// simulator's test, the watch reads the line drop and the battery over SNMP on loopback, and the
// outcome follows the battery the simulator was told to have. The watch sleeps for real here, so
// a passing test takes its full ten seconds.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sstream>
#include <thread>

#include "battery/upsCommand.h"
#include "links/agentLink.h"
#include "net/blcksock.h"
#include "support/childProcess.h"
#include "support/recordingPrompts.h"
#include "support/scriptedIcmpEcho.h"

namespace ups::test {
namespace {

namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;

const fs::path kSimulator = fs::path(UPS_TEST_BINARY_DIR) / "tools" / "upssim" / "upssim";
constexpr char kWriteCommunity[] = "clave-bat";

class RealSleeper : public Sleeper {
public:
    void sleepMs(int ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

// The monitor's agent link as the battery test sees it.
class AgentLinkCommands : public AgentCommands {
public:
    explicit AgentLinkCommands(AgentLink& link) : link_(link) {}
    bool sendTestCommand() override { return link_.sendTestCommand(); }
    AgentStatusRead readAgentStatus() override { return link_.readAgentStatus(); }

private:
    AgentLink& link_;
};

// A loopback UDP port held open for the simulator's traps, so they land on a socket of ours.
class TrapSink {
public:
    TrapSink() {
        fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&a), len) == 0 &&
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) == 0)
            port_ = ntohs(a.sin_port);
    }
    ~TrapSink() {
        if (fd_ >= 0) ::close(fd_);
    }
    int port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};

class UpsCommandSimulatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(kSimulator)) GTEST_SKIP() << "upssim not built at " << kSimulator;
        ASSERT_TRUE(SocketInterfaceStartup());
        ASSERT_NE(traps.port(), 0);
        std::string pattern = (fs::temp_directory_path() / "bat-sim-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        std::memset(&snmp, 0, sizeof snmp);
        setFieldText(snmp.ipAgent, "127.0.0.1");
        setFieldText(snmp.snmpPass, kWriteCommunity);
        snmp.enterprise = kEnterprise;
    }
    void TearDown() override {
        if (simulator) simulator->stop();
        std::error_code ec;
        if (!dir.empty()) fs::remove_all(dir, ec);
    }

    // Starts the simulator on a free loopback port and waits until it says which.
    void startSimulator(const std::vector<std::string>& extra) {
        const fs::path log = dir / "upssim.log";
        std::string command =
            "exec '" + kSimulator.string() +
            "' --listen 127.0.0.1:0 --traps 127.0.0.1:" + std::to_string(traps.port()) +
            " --write-community " + kWriteCommunity + " --no-stdin";
        for (const auto& e : extra) command += " " + e;
        command += " > '" + log.string() + "' 2>&1";
        simulator.emplace(std::vector<std::string>{"/bin/sh", "-c", command});
        ASSERT_TRUE(simulator->started());
        const std::regex listening(R"(agent listening on 127\.0\.0\.1:(\d+))");
        const auto deadline = SteadyClock::now() + std::chrono::seconds(10);
        while (SteadyClock::now() < deadline) {
            std::ifstream in(log);
            std::stringstream text;
            text << in.rdbuf();
            std::smatch m;
            const std::string s = text.str();
            if (std::regex_search(s, m, listening)) {
                agentPort = m[1];
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        FAIL() << "the simulator did not start listening";
    }

    struct Run {
        int outcome;
        double seconds;
        std::vector<AgentStatusRead> reads;
    };
    Run runTest() {
        test::ScriptedIcmpEcho echo;
        NetAgentTransport transport(echo, agentPort, 2000, 1000);
        AgentLink link(snmp, transport);
        AgentLinkCommands agent(link);
        UpsCommands commands(prompts, sleeper, nullptr, &agent);
        UpsCommandContext context;
        context.agentLinkActive = true;
        context.agentCommandsOk = true;
        Run run{};
        const auto start = SteadyClock::now();
        run.outcome = commands.runUpsCommand(
            context, [&](const AgentStatusRead& r) { run.reads.push_back(r); });
        run.seconds = std::chrono::duration<double>(SteadyClock::now() - start).count();
        return run;
    }

    TrapSink traps;
    fs::path dir;
    std::optional<ChildProcess> simulator;
    std::string agentPort;
    CfgSnmp snmp;
    RecordingPrompts prompts;
    RealSleeper sleeper;
};

TEST_F(UpsCommandSimulatorTest, TheSetStartsTheTestTheLineDropsAndTheBatteryHolds) {
    startSimulator({"--test-seconds", "12"});
    const Run run = runTest();
    EXPECT_EQ(run.outcome, trPassed);
    ASSERT_EQ(run.reads.size(), 21u);
    for (const AgentStatusRead& r : run.reads) {
        EXPECT_TRUE(r.lineAnswered && r.batteryAnswered);
        EXPECT_FALSE(r.lineOk);
        EXPECT_FALSE(r.batteryLow);
    }
    EXPECT_GE(run.seconds, 10.0);
    EXPECT_LT(run.seconds, 20.0);
    EXPECT_EQ(prompts.startNotices, 1);
}

TEST_F(UpsCommandSimulatorTest, ASimulatorWhoseBatteryFailsGives2) {
    startSimulator({"--test-fails"});
    const Run run = runTest();
    EXPECT_EQ(run.outcome, trBatteryFail);
    ASSERT_FALSE(run.reads.empty());
    EXPECT_FALSE(run.reads.front().batteryLow);
    EXPECT_TRUE(run.reads.back().batteryLow);
    // The simulator's battery reports low three seconds into its test.
    EXPECT_GE(run.seconds, 2.5);
    EXPECT_LT(run.seconds, 8.0);
}

TEST_F(UpsCommandSimulatorTest, AWrongWriteCommunityGetsNoAnswerAndGives2WithoutAnyRead) {
    startSimulator({});
    setFieldText(snmp.snmpPass, "otra-clave");
    const Run run = runTest();
    EXPECT_EQ(run.outcome, trBatteryFail);
    EXPECT_TRUE(run.reads.empty());
}

}  // namespace
}  // namespace ups::test
