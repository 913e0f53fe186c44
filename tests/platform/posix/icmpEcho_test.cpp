// The Linux ICMP echo on loopback, under TPINGSend as the monitor uses it. Cases that need a host
// which does not answer by itself run in a network namespace of their own (a forked child), where
// the system's echo answers can be switched off and a scripted responder on a raw socket answers
// instead.
#include "platform/posix/icmpEcho.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "net/hexBytes.h"

namespace ups {
namespace {

using Clock = std::chrono::steady_clock;
using test::hexOf;

// What a Ping in the child saw, carried back to the test as text.
struct PingOutcome {
    int answered = 0;
    int pingTime = -1;
    int replyType = -1;
    int replyCode = -1;
    int replyError = -1;
    int echoDatagram = -1;
    int hostResult = -99;  // what PingHost would have returned
    long long elapsedMs = -1;
    std::string replyFrom;
    std::string replyErrorDesc;
    std::string request;  // hex of the request as the responder saw it

    std::string serialize() const {
        std::ostringstream out;
        out << answered << '\n'
            << pingTime << '\n'
            << replyType << '\n'
            << replyCode << '\n'
            << replyError << '\n'
            << echoDatagram << '\n'
            << hostResult << '\n'
            << elapsedMs << '\n'
            << replyFrom << '\n'
            << replyErrorDesc << '\n'
            << request << '\n';
        return out.str();
    }
    static PingOutcome parse(const std::string& text) {
        PingOutcome o;
        std::istringstream in(text);
        in >> o.answered >> o.pingTime >> o.replyType >> o.replyCode >> o.replyError >>
            o.echoDatagram >> o.hostResult >> o.elapsedMs;
        in.ignore();
        std::getline(in, o.replyFrom);
        std::getline(in, o.replyErrorDesc);
        std::getline(in, o.request);
        return o;
    }
};

PingOutcome pingOnce(TPINGSend& ping, const IcmpEcho& echo, const std::string& host) {
    PingOutcome o;
    const auto start = Clock::now();
    o.answered = ping.Ping(host);
    o.elapsedMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    o.pingTime = ping.PingTime;
    o.replyType = ping.ReplyType;
    o.replyCode = ping.ReplyCode;
    o.replyError = ping.ReplyError;
    o.echoDatagram = echo.lastEchoWasDatagram();
    o.hostResult = o.answered && ping.ReplyError == IE_NoError ? ping.PingTime : -1;
    o.replyFrom = ping.ReplyFrom;
    o.replyErrorDesc = ping.ReplyErrorDesc;
    return o;
}

struct Namespace {
    bool ignoreEcho = false;         // the system does not answer echo requests
    bool allowEchoDatagram = false;  // any group may use the unprivileged echo socket
    bool dropPrivileges = false;     // the body runs as nobody: no raw sockets
};

bool writeFile(const char* path, const char* text) {
    std::ofstream file(path);
    file << text;
    return static_cast<bool>(file.flush());
}

// Runs `body` in a forked child inside a fresh network namespace with its loopback up, and
// returns the text it produced. A text starting with "skip:" means the machine cannot do it.
std::string inFreshNamespace(const Namespace& ns, const std::function<std::string()>& body) {
    int fds[2];
    if (pipe(fds) != 0) return "skip: no pipe";
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        std::string result;
        if (unshare(CLONE_NEWNET) != 0) {
            result = "skip: cannot create a network namespace (needs root)";
        } else if (std::system("ip link set lo up") != 0) {
            result = "skip: cannot bring the namespace's loopback up";
        } else if (!writeFile("/proc/sys/net/ipv4/icmp_echo_ignore_all",
                              ns.ignoreEcho ? "1" : "0") ||
                   (ns.allowEchoDatagram &&
                    !writeFile("/proc/sys/net/ipv4/ping_group_range", "0 2147483647"))) {
            result = "skip: cannot set the namespace's ICMP settings";
        } else if (ns.dropPrivileges && (setgid(65534) != 0 || setuid(65534) != 0)) {
            result = "skip: cannot drop privileges";
        } else {
            result = body();
        }
        const char* p = result.data();
        for (std::size_t left = result.size(); left > 0;) {
            const ssize_t n = write(fds[1], p, left);
            if (n <= 0) break;
            p += n;
            left -= static_cast<std::size_t>(n);
        }
        _exit(0);
    }
    close(fds[1]);
    std::string text;
    char chunk[512];
    for (ssize_t n; (n = read(fds[0], chunk, sizeof chunk)) > 0;)
        text.append(chunk, static_cast<std::size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return text;
}

// One ICMP message to send back, after a pause.
struct Answer {
    int delayMs;
    std::string icmp;
};

std::string withChecksum(std::string icmp) {
    icmp[2] = icmp[3] = 0;
    const std::uint16_t sum = internetChecksum(icmp);
    icmp[2] = static_cast<char>(sum >> 8);
    icmp[3] = static_cast<char>(sum & 0xFF);
    return icmp;
}

std::string icmpOf(const std::string& ipDatagram) {
    return ipDatagram.substr(static_cast<std::size_t>(ipDatagram[0] & 0x0F) * 4);
}

std::string echoReplyTo(const std::string& request) {
    std::string icmp = icmpOf(request);
    icmp[0] = 0;
    return withChecksum(icmp);
}

// An error report as routers send it: type, code, four unused octets, then the IP header and the
// first eight octets of the reported datagram.
std::string errorReportAbout(const std::string& request, int type, int code) {
    const std::size_t ipHeader = static_cast<std::size_t>(request[0] & 0x0F) * 4;
    std::string icmp{static_cast<char>(type), static_cast<char>(code), 0, 0, 0, 0, 0, 0};
    icmp += request.substr(0, ipHeader + 8);
    return withChecksum(icmp);
}

// Waits on a raw socket for the first echo request and answers it by script.
class Responder {
public:
    using Script = std::function<std::vector<Answer>(const std::string& requestDatagram)>;

    explicit Responder(Script script) : script_(std::move(script)) {
        socket_.SocketMode = TICMPBlockSocket::Mode::RawOnly;
        socket_.Connect("127.0.0.1", "0");
        thread_ = std::thread([this] { run(); });
    }
    ~Responder() {
        if (thread_.joinable()) thread_.join();
    }
    bool ready() const { return socket_.HasSocket(); }
    std::string request() {
        if (thread_.joinable()) thread_.join();
        return request_;
    }

private:
    void run() {
        const auto start = Clock::now();
        while (Clock::now() - start < std::chrono::seconds(3)) {
            const std::string packet = socket_.RecvPacket(100);
            if (socket_.LastError() || packet.size() < 28) continue;
            if (icmpOf(packet)[0] != 8) continue;
            request_ = packet;
            for (const Answer& a : script_(packet)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(a.delayMs));
                socket_.Connect("127.0.0.1", "0");
                socket_.SendString(a.icmp);
            }
            return;
        }
    }

    Script script_;
    TICMPBlockSocket socket_;
    std::string request_;
    std::thread thread_;
};

// Pings 127.0.0.1 in a namespace where the system keeps quiet and the script answers.
PingOutcome pingScripted(Responder::Script script, int timeoutMs = 2000,
                         TICMPBlockSocket::Mode mode = TICMPBlockSocket::Mode::Automatic,
                         bool allowEchoDatagram = false) {
    Namespace ns;
    ns.ignoreEcho = true;
    ns.allowEchoDatagram = allowEchoDatagram;
    const std::string text = inFreshNamespace(ns, [&] {
        Responder responder(script);
        if (!responder.ready()) return std::string("skip: no raw socket for the responder");
        IcmpEcho echo;
        echo.socketMode = mode;
        TPINGSend ping(echo);
        ping.Timeout = timeoutMs;
        PingOutcome o = pingOnce(ping, echo, "127.0.0.1");
        o.request = hexOf(icmpOf(responder.request()));
        return o.serialize();
    });
    if (text.rfind("skip:", 0) == 0) {
        ADD_FAILURE() << text;
        return {};
    }
    return PingOutcome::parse(text);
}

bool namespacesAvailable() {
    static const bool available = [] {
        return inFreshNamespace({}, [] { return std::string("ok"); }) == "ok";
    }();
    return available;
}

#define REQUIRE_NAMESPACES() \
    if (!namespacesAvailable()) GTEST_SKIP() << "network namespaces need root here"

TEST(IcmpEcho, LoopbackAnswersOverTheRawSocket) {
    IcmpEcho echo;
    TPINGSend ping(echo);
    ping.Timeout = 2000;
    const PingOutcome o = pingOnce(ping, echo, "127.0.0.1");
    if (!o.answered && geteuid() != 0) GTEST_SKIP() << "raw ICMP needs privileges";
    EXPECT_EQ(o.answered, 1);
    EXPECT_EQ(o.echoDatagram, 0);
    EXPECT_EQ(o.replyType, 0);
    EXPECT_EQ(o.replyError, IE_NoError);
    EXPECT_EQ(o.replyErrorDesc, "");
    EXPECT_EQ(o.replyFrom, "127.0.0.1");
    EXPECT_GE(o.pingTime, 0);
    EXPECT_GE(PingHost(echo, "127.0.0.1", 2000), 0);
}

TEST(IcmpEcho, UnusableAddressGivesMinusOneAtOnce) {
    const auto start = Clock::now();
    IcmpEcho echo;
    EXPECT_EQ(PingHost(echo, "not.an.address.invalid", 3000), -1);
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count(),
              2000);
}

TEST(IcmpEcho, RequestLayout) {
    REQUIRE_NAMESPACES();
    const std::uint32_t before = millisecondClock();
    const PingOutcome o = pingScripted([](const std::string& r) {
        return std::vector<Answer>{{0, echoReplyTo(r)}};
    });
    const std::string request = test::bytes(o.request);
    ASSERT_EQ(request.size(), 44u);
    EXPECT_EQ(request[0], 8);
    EXPECT_EQ(request[1], 0);
    EXPECT_EQ(internetChecksum(request), 0) << o.request;
    std::uint16_t identifier, sequence;
    std::uint32_t stamp;
    std::memcpy(&identifier, &request[4], 2);
    std::memcpy(&sequence, &request[6], 2);
    std::memcpy(&stamp, &request[8], 4);
    EXPECT_LE(identifier, 32766);
    EXPECT_EQ(sequence, 1);  // host byte order, first request of the object
    EXPECT_LE(stamp - before, 5000u);
    EXPECT_EQ(request.substr(12), std::string(32, '\x37'));
    EXPECT_EQ(o.replyError, IE_NoError);
}

TEST(IcmpEcho, DelayedEchoReplyGivesTheRoundTripTime) {
    REQUIRE_NAMESPACES();
    const PingOutcome o = pingScripted([](const std::string& r) {
        return std::vector<Answer>{{40, echoReplyTo(r)}};
    });
    EXPECT_EQ(o.answered, 1);
    EXPECT_GE(o.pingTime, 40);
    EXPECT_LT(o.pingTime, 1000);
    EXPECT_EQ(o.hostResult, o.pingTime);
}

TEST(IcmpEcho, ReplyLateInTheBudgetIsStillTaken) {
    REQUIRE_NAMESPACES();
    const PingOutcome o = pingScripted(
        [](const std::string& r) {
            return std::vector<Answer>{{1000, echoReplyTo(r)}};
        },
        1500);
    EXPECT_EQ(o.answered, 1);
    EXPECT_GE(o.hostResult, 1000);
}

TEST(IcmpEcho, ErrorReportsAboutTheRequestAreAnswers) {
    REQUIRE_NAMESPACES();
    const struct {
        int type;
        int code;
        TICMPError error;
        const char* desc;
    } cases[] = {
        {3, 1, IE_UnreachAddr, "Address unreachable"},
        {11, 0, IE_TTLExceed, "TTL Exceeded"},
    };
    for (const auto& c : cases) {
        const PingOutcome o = pingScripted([&](const std::string& r) {
            return std::vector<Answer>{{0, errorReportAbout(r, c.type, c.code)}};
        });
        EXPECT_EQ(o.answered, 1) << c.desc;
        EXPECT_EQ(o.replyType, c.type) << c.desc;
        EXPECT_EQ(o.replyCode, c.code) << c.desc;
        EXPECT_EQ(o.replyError, c.error) << c.desc;
        EXPECT_EQ(o.replyErrorDesc, c.desc);
        EXPECT_EQ(o.hostResult, -1) << c.desc;
    }
}

TEST(IcmpEcho, AnswersToOtherRequestsAreSkipped) {
    REQUIRE_NAMESPACES();
    const PingOutcome o = pingScripted([](const std::string& r) {
        std::string foreign = echoReplyTo(r);
        foreign[4] = static_cast<char>(foreign[4] ^ 0x55);  // another program's identifier
        foreign[6] = static_cast<char>(foreign[6] ^ 0x55);
        std::string unrelatedReport = errorReportAbout(r, 3, 3);
        unrelatedReport[32] = static_cast<char>(unrelatedReport[32] ^ 0x55);  // quotes another id
        return std::vector<Answer>{{0, withChecksum(foreign)},
                                   {0, withChecksum(unrelatedReport)},
                                   {30, errorReportAbout(r, 3, 1)}};
    });
    EXPECT_EQ(o.answered, 1);
    EXPECT_EQ(o.replyErrorDesc, "Address unreachable");
    EXPECT_GE(o.pingTime, 30);
}

TEST(IcmpEcho, NoAnswerGivesMinusOneAfterTheTimeout) {
    REQUIRE_NAMESPACES();
    const PingOutcome o =
        pingScripted([](const std::string&) { return std::vector<Answer>{}; }, 200);
    EXPECT_EQ(o.answered, 0);
    EXPECT_EQ(o.hostResult, -1);
    EXPECT_EQ(o.pingTime, -1);
    EXPECT_GE(o.elapsedMs, 190);
    EXPECT_LT(o.elapsedMs, 1000);
}

TEST(IcmpEcho, AnAnswerAfterTheBudgetIsNotTaken) {
    REQUIRE_NAMESPACES();
    const PingOutcome o = pingScripted(
        [](const std::string& r) {
            return std::vector<Answer>{{1000, echoReplyTo(r)}};
        },
        150);
    EXPECT_EQ(o.answered, 0);
    // The call ends with its budget instead of waiting for the late reply.
    EXPECT_LT(o.elapsedMs, 900);
}

TEST(IcmpEchoDatagram, LoopbackAnswersOverTheEchoSocket) {
    REQUIRE_NAMESPACES();
    Namespace ns;
    ns.allowEchoDatagram = true;
    const PingOutcome o = PingOutcome::parse(inFreshNamespace(ns, [] {
        IcmpEcho echo;
        echo.socketMode = TICMPBlockSocket::Mode::DatagramOnly;
        TPINGSend ping(echo);
        ping.Timeout = 2000;
        return pingOnce(ping, echo, "127.0.0.1").serialize();
    }));
    EXPECT_EQ(o.answered, 1);
    EXPECT_EQ(o.echoDatagram, 1);
    EXPECT_EQ(o.replyType, 0);
    EXPECT_EQ(o.replyFrom, "127.0.0.1");
    EXPECT_GE(o.hostResult, 0);
}

TEST(IcmpEchoDatagram, WithoutRawRightsFallsBackToTheEchoSocket) {
    REQUIRE_NAMESPACES();
    Namespace ns;
    ns.allowEchoDatagram = true;
    ns.dropPrivileges = true;
    const PingOutcome o = PingOutcome::parse(inFreshNamespace(ns, [] {
        IcmpEcho echo;
        TPINGSend ping(echo);
        ping.Timeout = 2000;
        return pingOnce(ping, echo, "127.0.0.1").serialize();
    }));
    EXPECT_EQ(o.answered, 1);
    EXPECT_EQ(o.echoDatagram, 1);
    EXPECT_GE(o.hostResult, 0);
}

TEST(IcmpEchoDatagram, RefusedSocketsGiveMinusOneAtOnce) {
    REQUIRE_NAMESPACES();
    Namespace ns;
    ns.dropPrivileges = true;  // and the echo socket not allowed for anyone
    const PingOutcome o = PingOutcome::parse(inFreshNamespace(ns, [] {
        IcmpEcho echo;
        TPINGSend ping(echo);
        return pingOnce(ping, echo, "127.0.0.1").serialize();
    }));
    EXPECT_EQ(o.answered, 0);
    EXPECT_EQ(o.hostResult, -1);
    EXPECT_LT(o.elapsedMs, 1000);
}

TEST(IcmpEchoDatagram, ErrorReportsAreStillClassified) {
    REQUIRE_NAMESPACES();
    const PingOutcome o = pingScripted(
        [](const std::string& r) {
            std::string otherSequence = echoReplyTo(r);
            otherSequence[6] = static_cast<char>(otherSequence[6] ^ 0x01);
            return std::vector<Answer>{{0, withChecksum(otherSequence)},
                                       {20, errorReportAbout(r, 3, 1)}};
        },
        2000, TICMPBlockSocket::Mode::DatagramOnly, true);
    EXPECT_EQ(o.echoDatagram, 1);
    EXPECT_EQ(o.answered, 1);
    EXPECT_EQ(o.replyType, 3);
    EXPECT_EQ(o.replyError, IE_UnreachAddr);
    EXPECT_EQ(o.replyErrorDesc, "Address unreachable");
    EXPECT_EQ(o.replyFrom, "127.0.0.1");
    EXPECT_EQ(o.hostResult, -1);
}

TEST(IcmpEchoDatagram, DelayedReplyIsMatchedBySequenceAndData) {
    REQUIRE_NAMESPACES();
    const PingOutcome o = pingScripted(
        [](const std::string& r) {
            std::string otherData = echoReplyTo(r);
            otherData[20] = 0x38;
            return std::vector<Answer>{{0, withChecksum(otherData)}, {40, echoReplyTo(r)}};
        },
        2000, TICMPBlockSocket::Mode::DatagramOnly, true);
    EXPECT_EQ(o.echoDatagram, 1);
    EXPECT_EQ(o.answered, 1);
    EXPECT_EQ(o.replyType, 0);
    EXPECT_GE(o.hostResult, 40);
}

TEST(MillisecondClock, CountsMilliseconds) {
    const std::uint32_t a = millisecondClock();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_GE(millisecondClock() - a, 19u);
}

TEST(InternetChecksum, Rfc1071Examples) {
    // The example of RFC 1071 section 3: the sum of these words is ddf2, the checksum its
    // complement.
    EXPECT_EQ(internetChecksum(test::bytes("00 01 f2 03 f4 f5 f6 f7")), 0x220d);
    EXPECT_EQ(internetChecksum(test::bytes("ff")), 0x00ff);
    EXPECT_EQ(internetChecksum(""), 0xffff);
}

}  // namespace
}  // namespace ups
