// The SNMP client transport on loopback, against a scripted agent of our own: what goes out, which
// datagram is taken as the answer, and how every failure ends.
#include "net/snmpsend.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

#include "hexBytes.h"

namespace ups {
namespace {

using Clock = std::chrono::steady_clock;
using test::bytes;

const char kLineOid[] = "1.3.6.1.4.1.27431.1.1.1.2.0";

long long millisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// A UDP port on 127.0.0.1 that nothing listens on right now.
std::string closedPort() {
    TUDPBlockSocket probe;
    probe.Bind("127.0.0.1", "0");
    return std::to_string(probe.GetLocalSinPort());
}

// An agent on 127.0.0.1 that hands each request to a script, which answers with any number of
// datagrams (none for a silent agent).
class ScriptedAgent {
public:
    using Script = std::function<std::vector<std::string>(const TSNMPRec& request)>;

    explicit ScriptedAgent(Script script) : script_(std::move(script)) {
        socket_.Bind("127.0.0.1", "0");
        port_ = std::to_string(socket_.GetLocalSinPort());
        thread_ = std::thread([this] { serve(); });
    }
    ~ScriptedAgent() {
        stop_ = true;
        thread_.join();
    }

    const std::string& port() const { return port_; }
    TSNMPRec lastRequest() const {
        std::lock_guard lock(mutex_);
        return lastRequest_;
    }
    int requests() const { return requests_; }
    // The port the last request came from, for tests that send to the client themselves.
    int clientPort() const { return clientPort_; }

private:
    void serve() {
        while (!stop_) {
            const std::string datagram = socket_.RecvPacket(20);
            if (socket_.LastError()) continue;
            TSNMPRec request;
            request.DecodeBuf(datagram);
            {
                std::lock_guard lock(mutex_);
                lastRequest_ = request;
            }
            clientPort_ = socket_.GetRemoteSinPort();
            ++requests_;
            for (const std::string& answer : script_(request)) socket_.SendString(answer);
        }
    }

    Script script_;
    TUDPBlockSocket socket_;
    std::string port_;
    std::atomic<bool> stop_{false};
    std::atomic<int> requests_{0};
    std::atomic<int> clientPort_{0};
    mutable std::mutex mutex_;
    TSNMPRec lastRequest_;
    std::thread thread_;
};

// The answer an agent gives: the request's bindings with the given value, or renamed.
std::string answer(const TSNMPRec& request, const std::string& value, int type = kAsnInteger,
                   int errorStatus = 0, std::string name = {}) {
    TSNMPRec response;
    response.Community = request.Community;
    response.PDUType = kPduGetResponse;
    response.ID = request.ID;
    response.ErrorStatus = errorStatus;
    const TSNMPMib* asked = request.MIBByIndex(0);
    response.MIBAdd(name.empty() && asked ? asked->OID : name, value, type);
    return response.EncodeBuf();
}

TEST(SnmpClient, GetSendsOneGetRequestAndReadsTheValue) {
    ScriptedAgent agent([](const TSNMPRec& q) { return std::vector{answer(q, "1")}; });
    std::string value = "stale";
    EXPECT_TRUE(SNMPGet(kLineOid, "ambito", "127.0.0.1", value, agent.port(), 2000));
    EXPECT_EQ(value, "1");

    const TSNMPRec request = agent.lastRequest();
    EXPECT_EQ(request.PDUType, kPduGetRequest);
    EXPECT_EQ(request.ID, 1);
    EXPECT_EQ(request.Community, "ambito");
    ASSERT_EQ(request.MIBCount(), 1);
    EXPECT_EQ(*request.MIBByIndex(0), (TSNMPMib{kLineOid, "", kAsnNull}));
}

TEST(SnmpClient, GetNextCarriesIdentifierTwoAndFollowsTheAnswer) {
    ScriptedAgent agent([](const TSNMPRec& q) {
        return std::vector{answer(q, "2", kAsnInteger, 0, "1.3.6.1.4.1.27431.1.1.1.1.0")};
    });
    std::string oid = "1.3.6.1.4.1";
    std::string value;
    EXPECT_TRUE(SNMPGetNext(oid, "ambito", "127.0.0.1", value, agent.port(), 2000));
    EXPECT_EQ(oid, "1.3.6.1.4.1.27431.1.1.1.1.0");
    EXPECT_EQ(value, "2");
    EXPECT_EQ(agent.lastRequest().PDUType, kPduGetNextRequest);
    EXPECT_EQ(agent.lastRequest().ID, 2);
}

TEST(SnmpClient, SetSendsTheValueWithItsType) {
    ScriptedAgent agent([](const TSNMPRec& q) { return std::vector{answer(q, "1")}; });
    EXPECT_TRUE(SNMPSet("1.3.6.1.4.1.27431.1.1.2.1.0", "secret", "127.0.0.1", "1", kAsnInteger,
                        agent.port(), 2000));
    const TSNMPRec request = agent.lastRequest();
    EXPECT_EQ(request.PDUType, kPduSetRequest);
    EXPECT_EQ(request.ID, 1);
    EXPECT_EQ(request.Community, "secret");
    ASSERT_EQ(request.MIBCount(), 1);
    EXPECT_EQ(*request.MIBByIndex(0), (TSNMPMib{"1.3.6.1.4.1.27431.1.1.2.1.0", "1", kAsnInteger}));
}

TEST(SnmpClient, AnErrorAnswerCountsAsAnsweredWithItsValue) {
    ScriptedAgent agent([](const TSNMPRec& q) { return std::vector{answer(q, "", kAsnNull, 2)}; });
    std::string value = "stale";
    EXPECT_TRUE(SNMPGet(kLineOid, "ambito", "127.0.0.1", value, agent.port(), 2000));
    EXPECT_EQ(value, "");

    std::string oid = "1.3.6.1.4.1";
    EXPECT_TRUE(SNMPGetNext(oid, "ambito", "127.0.0.1", value, agent.port(), 2000));
    EXPECT_EQ(oid, "1.3.6.1.4.1");  // the answer names the asked object again
}

TEST(SnmpClient, AnswerWithoutBindingsLeavesTheGetNextObject) {
    ScriptedAgent agent([](const TSNMPRec& q) {
        TSNMPRec empty;
        empty.PDUType = kPduGetResponse;
        empty.ID = q.ID;
        return std::vector{empty.EncodeBuf()};
    });
    std::string oid = "1.3.6.1.4.1";
    std::string value = "stale";
    EXPECT_TRUE(SNMPGetNext(oid, "ambito", "127.0.0.1", value, agent.port(), 2000));
    EXPECT_EQ(oid, "1.3.6.1.4.1");
    EXPECT_EQ(value, "");
}

TEST(SnmpClient, FailuresLeaveTheValueEmpty) {
    const struct {
        const char* name;
        ScriptedAgent::Script script;
    } cases[] = {
        {"silent agent", [](const TSNMPRec&) { return std::vector<std::string>{}; }},
        {"answer that does not decode",
         [](const TSNMPRec&) { return std::vector{bytes("02 01 00")}; }},
        {"empty datagram", [](const TSNMPRec&) { return std::vector{std::string()}; }},
    };
    for (const auto& c : cases) {
        ScriptedAgent agent(c.script);
        std::string value = "stale";
        EXPECT_FALSE(SNMPGet(kLineOid, "ambito", "127.0.0.1", value, agent.port(), 150)) << c.name;
        EXPECT_EQ(value, "") << c.name;
        std::string oid = "1.3.6.1.4.1";
        EXPECT_FALSE(SNMPGetNext(oid, "ambito", "127.0.0.1", value, agent.port(), 150)) << c.name;
        EXPECT_EQ(oid, "1.3.6.1.4.1") << c.name;
        EXPECT_EQ(agent.requests(), 2) << c.name;
    }
}

TEST(SnmpClient, SilentAgentWaitsForTheTimeout) {
    ScriptedAgent agent([](const TSNMPRec&) { return std::vector<std::string>{}; });
    TSNMPSend snmp;
    snmp.TargetPort = agent.port();
    snmp.Timeout = 150;
    snmp.Query.PDUType = kPduGetRequest;
    snmp.Query.MIBAdd(kLineOid, "", kAsnNull);
    const auto start = Clock::now();
    EXPECT_FALSE(snmp.SendRequest());
    EXPECT_GE(millisecondsSince(start), 140);
    EXPECT_EQ(snmp.Sock.LastError(), sys::kErrTimedOut);
    EXPECT_EQ(snmp.HostIP, "0.0.0.0");
}

TEST(SnmpClient, UnreachablePortFailsAtOnce) {
    TSNMPSend snmp;  // the full 5000 ms wait: only the system's report can end it early
    snmp.TargetPort = closedPort();
    snmp.Query.PDUType = kPduGetRequest;
    snmp.Query.MIBAdd(kLineOid, "", kAsnNull);
    const auto start = Clock::now();
    EXPECT_FALSE(snmp.SendRequest());
    EXPECT_LT(millisecondsSince(start), 1000);
    EXPECT_EQ(snmp.Sock.LastError(), sys::kErrConnectionReset);

    std::string value = "stale";
    EXPECT_FALSE(SNMPGet(kLineOid, "ambito", "127.0.0.1", value, closedPort()));
    EXPECT_EQ(value, "");
}

TEST(SnmpClient, UnusableAddressesFailAtOnce) {
    for (const char* host : {"", "300.1.1.1", "no host here.invalid"}) {
        std::string value;
        EXPECT_FALSE(SNMPGet(kLineOid, "ambito", host, value, "161", 3000)) << host;
    }
    std::string value;
    EXPECT_FALSE(SNMPGet(kLineOid, "ambito", "127.0.0.1", value, "not a port", 3000));
    EXPECT_FALSE(SNMPGet(kLineOid, "ambito", "127.0.0.1", value, "65536", 3000));
}

TEST(SnmpClient, TheFirstOfTwoAnswersIsTaken) {
    ScriptedAgent agent([](const TSNMPRec& q) {
        return std::vector{answer(q, "first", kAsnOctetString),
                           answer(q, "second", kAsnOctetString)};
    });
    TSNMPSend snmp;
    snmp.TargetPort = agent.port();
    snmp.Timeout = 2000;
    snmp.Query.PDUType = kPduGetRequest;
    snmp.Query.MIBAdd(kLineOid, "", kAsnNull);
    ASSERT_TRUE(snmp.SendRequest());
    EXPECT_EQ(snmp.Reply.MIBGet(kLineOid), "first");
    EXPECT_EQ(snmp.HostIP, "127.0.0.1");
}

TEST(SnmpClient, OneObjectCanSendAgain) {
    ScriptedAgent agent([](const TSNMPRec& q) { return std::vector{answer(q, "7")}; });
    TSNMPSend snmp;
    snmp.TargetPort = agent.port();
    snmp.Timeout = 2000;
    snmp.Query.PDUType = kPduGetRequest;
    snmp.Query.MIBAdd(kLineOid, "", kAsnNull);
    ASSERT_TRUE(snmp.SendRequest());
    ASSERT_TRUE(snmp.SendRequest());
    EXPECT_EQ(snmp.Reply.MIBGet(kLineOid), "7");
    EXPECT_EQ(agent.requests(), 2);
}

TEST(SnmpClient, AnswersAreNotMatchedByIdentifierOrType) {
    ScriptedAgent agent([](const TSNMPRec&) {
        TSNMPRec other;
        other.PDUType = kPduTrap;
        other.ID = 999;
        return std::vector{other.EncodeBuf()};
    });
    TSNMPSend snmp;
    snmp.TargetPort = agent.port();
    snmp.Timeout = 2000;
    EXPECT_TRUE(snmp.SendRequest());
    EXPECT_EQ(snmp.Reply.PDUType, kPduTrap);
}

TEST(SnmpClient, DatagramsFromAnotherHostAreNotTakenForTheAnswer) {
    // Another host learns the request's port and answers first; the agent answers later.
    TUDPBlockSocket intruder;
    intruder.Bind("127.0.0.2", "0");
    ScriptedAgent agent([&](const TSNMPRec& q) {
        intruder.Connect("127.0.0.1", std::to_string(agent.clientPort()));
        intruder.SendString(answer(q, "forged", kAsnOctetString));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return std::vector{answer(q, "genuine", kAsnOctetString)};
    });
    std::string value;
    EXPECT_TRUE(SNMPGet(kLineOid, "ambito", "127.0.0.1", value, agent.port(), 2000));
    EXPECT_EQ(value, "genuine");
    EXPECT_EQ(intruder.LastError(), 0);
}

// A v1 trap as an agent would send it.
std::string trapDatagram(int generic, int specific,
                         std::vector<std::pair<std::string, std::string>> bindings,
                         const std::string& agentAddress = "127.0.0.1") {
    TSNMPRec trap;
    trap.Community = "public";
    trap.PDUType = kPduTrap;
    trap.OldTrapEnterprise = "1.3.6.1.4.1.27431";
    trap.OldTrapHost = agentAddress;
    trap.OldTrapGen = generic;
    trap.OldTrapSpec = specific;
    trap.OldTrapTimeTicks = 4321;
    for (auto& [name, value] : bindings) trap.MIBAdd(name, value, kAsnInteger);
    return trap.EncodeBuf();
}

TEST(SnmpTrapReceive, OneKeptSocketReceivesTrapAfterTrap) {
    TSNMPSend listener;
    listener.Timeout = 1000;
    listener.Sock.Bind("127.0.0.1", "0");
    ASSERT_TRUE(listener.Sock.IsBound());
    TUDPBlockSocket agent;
    agent.Bind("127.0.0.3", "0");
    agent.Connect("127.0.0.1", std::to_string(listener.Sock.GetLocalSinPort()));
    // Both traps are sent before the first receive: the kept socket queues them.
    agent.SendString(trapDatagram(6, 2, {{"1.3.6.1.4.1.27431.1.1.2.5.0", "15"}}, "10.0.0.9"));
    agent.SendString(trapDatagram(0, 0, {}));

    ASSERT_TRUE(listener.RecvTrap());
    TrapContents trap;
    takeTrapContents(listener, trap);
    const TrapContents expected{"127.0.0.3",
                                "10.0.0.9",
                                "1.3.6.1.4.1.27431",
                                "public",
                                6,
                                2,
                                4321,
                                {"1.3.6.1.4.1.27431.1.1.2.5.0"},
                                {"15"}};
    EXPECT_TRUE(trap == expected);

    ASSERT_TRUE(listener.RecvTrap());
    takeTrapContents(listener, trap);
    EXPECT_EQ(trap.generic, 0);
    EXPECT_TRUE(trap.names.empty());
    EXPECT_TRUE(trap.values.empty());

    agent.SendString("not a trap");
    EXPECT_FALSE(listener.RecvTrap());
    listener.Timeout = 50;
    EXPECT_FALSE(listener.RecvTrap());
    EXPECT_EQ(listener.Sock.LastError(), sys::kErrTimedOut);
}

TEST(SnmpTrapReceive, BusyPortFailsAtOnceAndLeavesTheOutputs) {
    const std::string port = closedPort();
    TUDPBlockSocket holder;
    holder.Bind("0.0.0.0", port);
    ASSERT_TRUE(holder.IsBound());

    std::string sender = "s", agent = "a", enterprise = "e", community = "c";
    std::int32_t generic = 7, specific = 8, stamp = 9;
    std::vector<std::string> names{"n"}, values{"v"};
    const auto start = Clock::now();
    EXPECT_EQ(RecvTrap(sender, agent, enterprise, community, generic, specific, stamp, names,
                       values, port, 3000),
              0);
    EXPECT_LT(millisecondsSince(start), 1000);
    EXPECT_EQ(sender + agent + enterprise + community, "saec");
    EXPECT_EQ(generic + specific + stamp, 24);
    EXPECT_EQ(names, std::vector<std::string>{"n"});

    TSNMPSend kept;
    kept.TargetPort = port;
    EXPECT_FALSE(kept.RecvTrap());
    EXPECT_EQ(kept.Sock.LastError(), sys::kErrAddressInUse);
    EXPECT_FALSE(kept.Sock.HasSocket());
}

TEST(SnmpTrapReceive, FunctionBindsItsOwnSocketAndFillsTheOutputs) {
    const std::string port = closedPort();
    std::atomic<bool> done{false};
    std::string sender, agent, enterprise, community;
    std::int32_t generic = 0, specific = 0, stamp = 0;
    std::vector<std::string> names{"old"}, values{"old"};
    int result = -1;
    std::thread receiver([&] {
        result = RecvTrap(sender, agent, enterprise, community, generic, specific, stamp, names,
                          values, port, 3000);
        done = true;
    });
    // The receiver binds at some moment after it starts: send until it has taken one.
    TUDPBlockSocket source;
    source.Connect("127.0.0.1", port);
    const std::string datagram = trapDatagram(
        6, 1, {{"1.3.6.1.4.1.27431.1.1.1.1.0", "2"}, {"1.3.6.1.4.1.27431.1.1.1.2.0", "1"}});
    for (int i = 0; i < 100 && !done; ++i) {
        source.SendString(datagram);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    receiver.join();
    ASSERT_EQ(result, 1);
    EXPECT_EQ(sender, "127.0.0.1");
    EXPECT_EQ(agent, "127.0.0.1");
    EXPECT_EQ(enterprise, "1.3.6.1.4.1.27431");
    EXPECT_EQ(community, "public");
    EXPECT_EQ(generic, 6);
    EXPECT_EQ(specific, 1);
    EXPECT_EQ(stamp, 4321);
    EXPECT_EQ(names, (std::vector<std::string>{"1.3.6.1.4.1.27431.1.1.1.1.0",
                                               "1.3.6.1.4.1.27431.1.1.1.2.0"}));
    EXPECT_EQ(values, (std::vector<std::string>{"2", "1"}));
}

TEST(SnmpTrapReceive, TrapSentBeforeTheFunctionBindsIsLost) {
    const std::string port = closedPort();
    TUDPBlockSocket source;
    source.Connect("127.0.0.1", port);
    source.SendString(trapDatagram(0, 0, {}));
    std::string sender, agent, enterprise, community;
    std::int32_t generic = 0, specific = 0, stamp = 0;
    std::vector<std::string> names, values;
    EXPECT_EQ(RecvTrap(sender, agent, enterprise, community, generic, specific, stamp, names,
                       values, port, 100),
              0);
    EXPECT_EQ(enterprise, "");
}

TEST(BlockSocket, BindToAnyPortZeroWaitsForTheFirstSend) {
    TUDPBlockSocket socket;
    socket.Bind("0.0.0.0", "0");
    EXPECT_EQ(socket.LastError(), 0);
    EXPECT_FALSE(socket.HasSocket());
    socket.Bind("127.0.0.1", "0");
    EXPECT_TRUE(socket.IsBound());
    EXPECT_GT(socket.GetLocalSinPort(), 0);
    EXPECT_EQ(socket.GetLocalSinIP(), "127.0.0.1");

    TUDPBlockSocket bad;
    bad.Bind("1.2.3.400", "0");
    EXPECT_EQ(bad.LastError(), sys::kErrAddressNotAvailable);
    bad.Bind("127.0.0.1", "-1");
    EXPECT_EQ(bad.LastError(), sys::kErrInvalid);
}

TEST(BlockSocket, LargeDatagramsArriveWhole) {
    TUDPBlockSocket receiver;
    receiver.Bind("127.0.0.1", "0");
    TUDPBlockSocket sender;
    sender.Connect("127.0.0.1", std::to_string(receiver.GetLocalSinPort()));
    std::string big(65507, 'b');  // the largest UDP payload over IPv4
    big[0] = 'a';
    sender.SendString(big);
    ASSERT_EQ(sender.LastError(), 0);
    EXPECT_EQ(receiver.RecvPacket(1000), big);
    EXPECT_EQ(receiver.GetRemoteSinPort(), sender.GetLocalSinPort());
}

}  // namespace
}  // namespace ups
