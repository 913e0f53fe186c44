// What an echo's answer means, over a scripted echo: its classification, what PingHost makes of
// it, and the time budget that holds whatever the system's wait does.
#include "net/pingsend.h"

#include <gtest/gtest.h>

#include "support/scriptedIcmpEcho.h"

namespace ups {
namespace {

using test::ScriptedIcmpEcho;

IcmpEchoAnswer answerOf(std::uint8_t type, std::uint8_t code, int roundTripMs = 12) {
    return {"10.0.0.1", type, code, roundTripMs};
}

TEST(Ping, AnswersAreClassified) {
    const struct {
        std::uint8_t type;
        std::uint8_t code;
        TICMPError error;
        const char* desc;
    } cases[] = {
        {0, 0, IE_NoError, ""},
        {0, 7, IE_NoError, ""},
        {3, 0, IE_UnreachRoute, "No route to destination"},
        {3, 1, IE_UnreachAddr, "Address unreachable"},
        {3, 3, IE_UnreachPort, "Port unreachable"},
        {3, 13, IE_UnreachAdmin, "Administratively prohibited"},
        {3, 2, IE_UnreachOther, "Unknown unreachable"},
        {11, 1, IE_TTLExceed, "TTL Exceeded"},
        {12, 0, IE_Other, "Unknown error"},
    };
    for (const auto& c : cases) {
        ScriptedIcmpEcho echo;
        echo.answer = answerOf(c.type, c.code);
        TPINGSend ping(echo);
        ASSERT_TRUE(ping.Ping("10.0.0.7")) << c.desc;
        EXPECT_EQ(ping.ReplyType, c.type);
        EXPECT_EQ(ping.ReplyCode, c.code);
        EXPECT_EQ(ping.ReplyError, c.error) << c.desc;
        EXPECT_EQ(ping.ReplyErrorDesc, c.desc);
        EXPECT_EQ(ping.ReplyFrom, "10.0.0.1");
        EXPECT_EQ(ping.PingTime, 12);
        EXPECT_EQ(PingHost(echo, "10.0.0.7"), c.error == IE_NoError ? 12 : -1) << c.desc;
    }
}

TEST(Ping, NoAnswerLeavesNothingOfTheLastOne) {
    ScriptedIcmpEcho echo;
    echo.answer = answerOf(3, 1);
    TPINGSend ping(echo);
    ASSERT_TRUE(ping.Ping("10.0.0.7"));
    echo.answer.reset();
    EXPECT_FALSE(ping.Ping("10.0.0.7"));
    EXPECT_EQ(ping.PingTime, -1);
    EXPECT_EQ(ping.ReplyFrom + ping.ReplyErrorDesc, "");
    EXPECT_EQ(ping.ReplyType + ping.ReplyCode, 0);
    EXPECT_EQ(ping.ReplyError, IE_NoError);
    EXPECT_EQ(PingHost(echo, "10.0.0.7"), -1);
}

TEST(Ping, TheBudgetIsFiveSecondsUnlessTheCallerSaysOtherwise) {
    ScriptedIcmpEcho echo;
    echo.answer = answerOf(0, 0, 5000);
    EXPECT_EQ(PingHost(echo, "10.0.0.7"), 5000);
    echo.answer->roundTripMs = 5001;
    EXPECT_EQ(PingHost(echo, "10.0.0.7"), -1);
    EXPECT_EQ(PingHost(echo, "10.0.0.7", 6000), 5001);
    const std::vector<ScriptedIcmpEcho::Request> asked = {
        {"10.0.0.7", 5000}, {"10.0.0.7", 5000}, {"10.0.0.7", 6000}};
    EXPECT_EQ(echo.requests, asked);
}

}  // namespace
}  // namespace ups
