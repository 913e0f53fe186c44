// Our client against net-snmp as an independent peer on loopback: a private snmpd serving the
// UPS's objects answers our requests, and snmptrap sends the v1 traps that we decode.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "net/snmpsend.h"
#include "support/childProcess.h"
#include "support/privateSnmpd.h"

namespace ups {
namespace {

namespace fs = std::filesystem;
using test::ChildProcess;

const char kBatteryOid[] = "1.3.6.1.4.1.27431.1.1.1.1.0";
const char kLineOid[] = "1.3.6.1.4.1.27431.1.1.1.2.0";
const char kCommandOid[] = "1.3.6.1.4.1.27431.1.1.2.1.0";
const char kNameOid[] = "1.3.6.1.4.1.27431.1.1.2.4.0";
const char kSerialOid[] = "1.3.6.1.4.1.27431.1.1.3.3.0";
const char kReadCommunity[] = "ambito";
const char kWriteCommunity[] = "privada";

std::string freeUdpPort() {
    TUDPBlockSocket probe;
    probe.Bind("127.0.0.1", "0");
    return std::to_string(probe.GetLocalSinPort());
}

std::vector<std::string> netSnmpEnvironment(const fs::path& dir) {
    return {"MIBS=", "MIBDIRS=/nonexistent", "SNMP_PERSISTENT_DIR=" + dir.string(),
            "SNMPCONFPATH=" + dir.string()};
}

// The UPS's objects as the private agent serves them.
const test::PrivateSnmpd::Values kUpsValues = {{"battery", "1"},
                                               {"line", "1"},
                                               {"name", "UPS Sala de Servidores"},
                                               {"serial", "SN0123456789AB"},
                                               {"model", "KRV-1200-ONLINE"},
                                               {"probe", "0"},
                                               {"command", "0"}};

class NetSnmpAgent : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        agent_ = new test::PrivateSnmpd(kWriteCommunity);
        started_ = agent_->start(kUpsValues);
    }
    static void TearDownTestSuite() {
        agent_->stop();
        delete agent_;
        agent_ = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(started_) << "snmpd did not come up (scripts/deps installs it)\n"
                              << agent_->log();
    }

    static const std::string& port() { return agent_->port(); }

    static test::PrivateSnmpd* agent_;
    static bool started_;
};

test::PrivateSnmpd* NetSnmpAgent::agent_ = nullptr;
bool NetSnmpAgent::started_ = false;

TEST_F(NetSnmpAgent, AnswersGetsOfTheEnterpriseObjects) {
    const struct {
        const char* oid;
        const char* value;
    } cases[] = {
        {kBatteryOid, "1"},
        {kLineOid, "1"},
        {kNameOid, "UPS Sala de Servidores"},
        {kSerialOid, "SN0123456789AB"},
        {"1.3.6.1.4.1.27431.1.1.3.4.0", "KRV-1200-ONLINE"},
    };
    for (const auto& c : cases) {
        std::string value;
        EXPECT_TRUE(SNMPGet(c.oid, kReadCommunity, "127.0.0.1", value, port(), 2000)) << c.oid;
        EXPECT_EQ(value, c.value) << c.oid;
    }
}

TEST_F(NetSnmpAgent, AnswerCarriesTypeIdentifierAndCommunity) {
    TSNMPSend snmp;
    snmp.TargetPort = port();
    snmp.Timeout = 2000;
    snmp.Query.Community = kReadCommunity;
    snmp.Query.PDUType = kPduGetRequest;
    snmp.Query.MIBAdd(kNameOid, "", kAsnNull);
    snmp.Query.MIBAdd(kBatteryOid, "", kAsnNull);
    ASSERT_TRUE(snmp.SendRequest());
    EXPECT_EQ(snmp.HostIP, "127.0.0.1");
    EXPECT_EQ(snmp.Reply.PDUType, kPduGetResponse);
    EXPECT_EQ(snmp.Reply.ID, 1);
    EXPECT_EQ(snmp.Reply.Community, kReadCommunity);
    EXPECT_EQ(snmp.Reply.ErrorStatus, 0);
    ASSERT_EQ(snmp.Reply.MIBCount(), 2);
    EXPECT_EQ(*snmp.Reply.MIBByIndex(0),
              (TSNMPMib{kNameOid, "UPS Sala de Servidores", kAsnOctetString}));
    EXPECT_EQ(*snmp.Reply.MIBByIndex(1), (TSNMPMib{kBatteryOid, "1", kAsnInteger}));
}

TEST_F(NetSnmpAgent, GetNextWalksFromTheEnterprisesNode) {
    std::string oid = "1.3.6.1.4.1";
    std::string value;
    ASSERT_TRUE(SNMPGetNext(oid, kReadCommunity, "127.0.0.1", value, port(), 2000));
    EXPECT_EQ(oid, kBatteryOid);
    EXPECT_EQ(value, "1");
    ASSERT_TRUE(SNMPGetNext(oid, kReadCommunity, "127.0.0.1", value, port(), 2000));
    EXPECT_EQ(oid, kLineOid);
    oid = "1.3.6.1.4.1.27431.1.1.1.2.0";
    ASSERT_TRUE(SNMPGetNext(oid, kReadCommunity, "127.0.0.1", value, port(), 2000));
    EXPECT_EQ(oid, kCommandOid);
}

TEST_F(NetSnmpAgent, UnknownObjectIsAnAnsweredError) {
    TSNMPSend snmp;
    snmp.TargetPort = port();
    snmp.Timeout = 2000;
    snmp.Query.Community = kReadCommunity;
    snmp.Query.PDUType = kPduGetRequest;
    snmp.Query.MIBAdd("1.3.6.1.4.1.27431.1.1.9.9.0", "", kAsnNull);
    ASSERT_TRUE(snmp.SendRequest());
    EXPECT_EQ(snmp.Reply.ErrorStatus, 2);  // noSuchName
    EXPECT_EQ(snmp.Reply.ErrorIndex, 1);

    std::string value = "stale";
    EXPECT_TRUE(
        SNMPGet("1.3.6.1.4.1.27431.1.1.9.9.0", kReadCommunity, "127.0.0.1", value, port(), 2000));
    EXPECT_EQ(value, "");
}

TEST_F(NetSnmpAgent, WrongCommunityGetsNoAnswer) {
    std::string value = "stale";
    EXPECT_FALSE(SNMPGet(kLineOid, "not-the-community", "127.0.0.1", value, port(), 300));
    EXPECT_EQ(value, "");
}

TEST_F(NetSnmpAgent, SetWithTheWriteCommunityChangesTheObject) {
    ASSERT_TRUE(SNMPSet(kCommandOid, kWriteCommunity, "127.0.0.1", "1", kAsnInteger, port(), 2000));
    EXPECT_NE(agent_->setLog().find(".1.3.6.1.4.1.27431.1.1.2.1.0 1"), std::string::npos)
        << agent_->setLog();
    std::string value;
    ASSERT_TRUE(SNMPGet(kCommandOid, kReadCommunity, "127.0.0.1", value, port(), 2000));
    EXPECT_EQ(value, "1");

    // The write-community probe of the identity read: a GET with the write community.
    EXPECT_TRUE(
        SNMPGet("1.3.6.1.4.1.27431.1.1.3.2.0", kWriteCommunity, "127.0.0.1", value, port(), 2000));
    EXPECT_EQ(value, "0");
}

TEST_F(NetSnmpAgent, RefusedSetIsStillAnswered) {
    TSNMPSend snmp;
    snmp.TargetPort = port();
    snmp.Timeout = 2000;
    snmp.Query.Community = kReadCommunity;  // read-only
    snmp.Query.PDUType = kPduSetRequest;
    snmp.Query.MIBAdd(kCommandOid, "1", kAsnInteger);
    ASSERT_TRUE(snmp.SendRequest());
    EXPECT_NE(snmp.Reply.ErrorStatus, 0);

    // The wrong type for the object: refused by the backend, answered by the agent.
    EXPECT_TRUE(
        SNMPSet(kCommandOid, kWriteCommunity, "127.0.0.1", "1", kAsnOctetString, port(), 2000));
}

// Runs snmptrap with `arguments` after the destination, to 127.0.0.1:port.
int sendNetSnmpTrap(const std::string& port, const std::vector<std::string>& arguments) {
    char pattern[] = "/tmp/korvan-snmptrap.XXXXXX";
    if (!mkdtemp(pattern)) return -1;
    std::vector<std::string> argv{"snmptrap", "-v", "1", "-c", "public", "127.0.0.1:" + port};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    ChildProcess trap(argv, netSnmpEnvironment(pattern));
    const int code = trap.waitForExit(5000);
    fs::remove_all(pattern);
    return code;
}

TEST(NetSnmpTrap, StatusTrapDecodesFieldByField) {
    TSNMPSend listener;
    listener.Timeout = 3000;
    listener.Sock.Bind("127.0.0.1", "0");
    const std::string port = std::to_string(listener.Sock.GetLocalSinPort());
    ASSERT_EQ(sendNetSnmpTrap(port, {".1.3.6.1.4.1.27431", "10.20.30.40", "6", "1", "123456",
                                     std::string(".") + kBatteryOid, "i", "2",
                                     std::string(".") + kLineOid, "i", "1"}),
              0);
    ASSERT_TRUE(listener.RecvTrap());
    TrapContents trap;
    takeTrapContents(listener, trap);
    const TrapContents expected{"127.0.0.1", "10.20.30.40", "1.3.6.1.4.1.27431",     "public",  6,
                                1,           123456,        {kBatteryOid, kLineOid}, {"2", "1"}};
    EXPECT_TRUE(trap == expected);
    EXPECT_EQ(listener.Reply.MIBByIndex(0)->ValueType, kAsnInteger);
}

TEST(NetSnmpTrap, TrapsOfOtherKindsOnTheSameSocket) {
    TSNMPSend listener;
    listener.Timeout = 3000;
    listener.Sock.Bind("127.0.0.1", "0");
    const std::string port = std::to_string(listener.Sock.GetLocalSinPort());

    // Agent restart: coldStart without bindings; '' stamps the sender's uptime.
    ASSERT_EQ(sendNetSnmpTrap(port, {".1.3.6.1.4.1.27431", "127.0.0.1", "0", "0", ""}), 0);
    // Administrator notice with the minutes, then a text binding.
    ASSERT_EQ(sendNetSnmpTrap(port, {".1.3.6.1.4.1.27431", "127.0.0.1", "6", "2", "7",
                                     ".1.3.6.1.4.1.27431.1.1.2.5.0", "i", "15",
                                     std::string(".") + kNameOid, "s", "Corte programado"}),
              0);

    ASSERT_TRUE(listener.RecvTrap());
    EXPECT_EQ(listener.Reply.OldTrapGen, 0);
    EXPECT_GT(listener.Reply.OldTrapTimeTicks, 0);
    EXPECT_EQ(listener.Reply.MIBCount(), 0);

    ASSERT_TRUE(listener.RecvTrap());
    EXPECT_EQ(listener.Reply.OldTrapSpec, 2);
    EXPECT_EQ(listener.Reply.OldTrapTimeTicks, 7);
    EXPECT_EQ(listener.Reply.MIBGet("1.3.6.1.4.1.27431.1.1.2.5.0"), "15");
    EXPECT_EQ(listener.Reply.MIBGet(kNameOid), "Corte programado");
}

TEST(NetSnmpTrap, RecvTrapFunctionOnItsOwnPort) {
    const std::string port = freeUdpPort();
    std::atomic<bool> done{false};
    std::string sender, agent, enterprise, community;
    std::int32_t generic = -1, specific = -1, stamp = -1;
    std::vector<std::string> names, values;
    int result = -1;
    std::thread receiver([&] {
        result = RecvTrap(sender, agent, enterprise, community, generic, specific, stamp, names,
                          values, port, 4000);
        done = true;
    });
    // The function binds when its thread gets to it: send until one trap has been taken.
    for (int i = 0; i < 20 && !done; ++i) {
        sendNetSnmpTrap(port, {".1.3.6.1.4.1.27431", "127.0.0.1", "6", "3", "99",
                               ".1.3.6.1.4.1.27431.1.1.2.5.0", "i", "0"});
    }
    receiver.join();
    ASSERT_EQ(result, 1);
    EXPECT_EQ(sender, "127.0.0.1");
    EXPECT_EQ(agent, "127.0.0.1");
    EXPECT_EQ(enterprise, "1.3.6.1.4.1.27431");
    EXPECT_EQ(community, "public");
    EXPECT_EQ(generic, 6);
    EXPECT_EQ(specific, 3);
    EXPECT_EQ(stamp, 99);
    EXPECT_EQ(names, std::vector<std::string>{"1.3.6.1.4.1.27431.1.1.2.5.0"});
    EXPECT_EQ(values, std::vector<std::string>{"0"});
}

}  // namespace
}  // namespace ups
