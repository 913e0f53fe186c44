// Winsock and the ICMP helper under the core's own expectations: the core's transport tests run
// over these sockets, and an echo to this machine comes back
// as an echo reply.
// clang-format off
#include <winsock2.h>
#include <ipexport.h>
// clang-format on
#include <gtest/gtest.h>

#include <chrono>

#include "net/blcksock.h"
#include "net/pingsend.h"
#include "net/sockets.h"
#include "platform/win32/win32IcmpEcho.h"
#include "platform/win32/win32Platform.h"

namespace ups {
namespace {

using Clock = std::chrono::steady_clock;

// What the helper's answer turns into once the core has classified it.
class FixedAnswer : public IcmpEchoTransport {
public:
    explicit FixedAnswer(IcmpEchoAnswer answer) : answer_(std::move(answer)) {}
    bool echo(const std::string&, int, IcmpEchoAnswer& out) override {
        out = answer_;
        return true;
    }

private:
    IcmpEchoAnswer answer_;
};

TEST(Win32Sockets, ConnectedSocketHearsTheClosedPortAsReset) {
    std::string port;
    {
        TUDPBlockSocket probe;
        probe.Bind("127.0.0.1", "0");
        port = std::to_string(probe.GetLocalSinPort());
    }
    TUDPBlockSocket client;
    client.Connect("127.0.0.1", port);
    client.AttachRemote();
    ASSERT_EQ(client.LastError(), 0);
    client.SendString("x");
    ASSERT_EQ(client.LastError(), 0);
    const auto start = Clock::now();
    EXPECT_EQ(client.RecvPacket(5000), "");
    EXPECT_EQ(client.LastError(), sys::kErrConnectionReset);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
}

TEST(Win32IcmpEcho, StatusesBecomeTheIcmpMessagesTheyStandFor) {
    const struct {
        unsigned long status;
        std::uint8_t type;
        std::uint8_t code;
        TICMPError error;
    } cases[] = {
        {IP_SUCCESS, 0, 0, IE_NoError},
        {IP_DEST_NET_UNREACHABLE, 3, 0, IE_UnreachRoute},
        {IP_DEST_HOST_UNREACHABLE, 3, 1, IE_UnreachAddr},
        {IP_DEST_PORT_UNREACHABLE, 3, 3, IE_UnreachPort},
        {IP_DEST_PROT_UNREACHABLE, 3, 2, IE_UnreachOther},
        {IP_TTL_EXPIRED_TRANSIT, 11, 0, IE_TTLExceed},
        {IP_PARAM_PROBLEM, 12, 0, IE_Other},
    };
    for (const auto& c : cases) {
        std::uint8_t type = 99, code = 99;
        ASSERT_TRUE(Win32IcmpEcho::icmpOfStatus(c.status, type, code)) << c.status;
        EXPECT_EQ(type, c.type) << c.status;
        EXPECT_EQ(code, c.code) << c.status;
        FixedAnswer answer({"10.0.0.1", type, code, 5});
        TPINGSend ping(answer);
        ASSERT_TRUE(ping.Ping("10.0.0.1"));
        EXPECT_EQ(ping.ReplyError, c.error) << c.status;
    }
    std::uint8_t type = 0, code = 0;
    for (unsigned long none : {IP_REQ_TIMED_OUT, IP_BAD_DESTINATION, IP_GENERAL_FAILURE})
        EXPECT_FALSE(Win32IcmpEcho::icmpOfStatus(none, type, code)) << none;
}

TEST(Win32IcmpEcho, LoopbackAnswersWithAnEchoReply) {
    Win32IcmpEcho echo;
    TPINGSend ping(echo);
    ping.Timeout = 2000;
    ASSERT_TRUE(ping.Ping("127.0.0.1"));
    EXPECT_EQ(ping.ReplyError, IE_NoError);
    EXPECT_EQ(ping.ReplyType, 0);
    EXPECT_EQ(ping.ReplyFrom, "127.0.0.1");
    EXPECT_GE(ping.PingTime, 0);
    EXPECT_LE(ping.PingTime, 2000);
}

TEST(Win32IcmpEcho, UnusableAddressGivesMinusOneAtOnce) {
    Win32IcmpEcho echo;
    const auto start = Clock::now();
    EXPECT_EQ(PingHost(echo, "not an address", 3000), -1);
    EXPECT_EQ(PingHost(echo, "127.0.0.1", 0), -1);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
}

TEST(Win32Platform, StartsSocketsAndPingsThroughItsEcho) {
    Win32Platform platform;
    ASSERT_TRUE(platform.startSockets());
    EXPECT_GE(PingHost(platform.icmpEcho(), "127.0.0.1", 2000), 0);
    platform.stopSockets();
}

}  // namespace
}  // namespace ups
