#include "links/serialLink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "support/fakeSerialUps.h"
#include "support/virtualTime.h"

using namespace ups;
using namespace ups::test;
using Kind = FakeSerialUps::PortKind;

namespace {

struct SerialRig {
    VirtualTime time;
    FakeSerialUps ups{&time};
    SerialLib sio{ups};
    SerialLink link{sio};
    CfgUps cfg{};
};
struct SerialLinkTest : ::testing::Test, SerialRig {};

TEST_F(SerialLinkTest, ProbeStoresOneStatusPerPortAndClosesEveryFreePort) {
    ups.setPort(0, Kind::SystemError, 5);  // access denied
    ups.setPort(1, Kind::Free);
    ups.setPort(2, Kind::SystemError, 0x1FFFE);  // low 16 bits 0xFFFE -> -2
    ups.setPort(3, Kind::OtherError);

    EXPECT_TRUE(link.probePorts(cfg));

    EXPECT_EQ(cfg.portStatus[0], 5);
    EXPECT_EQ(cfg.portStatus[1], 0);
    EXPECT_EQ(cfg.portStatus[2], -2);
    EXPECT_EQ(cfg.portStatus[3], -1000);
    EXPECT_EQ(ups.callNames(),
              (std::vector<std::string>{"open 0 128 128", "open 1 128 128", "close 1",
                                        "open 2 128 128", "open 3 128 128"}));
    EXPECT_EQ(ups.openCount(), 0);
}

TEST_F(SerialLinkTest, ProbeSignExtendsTheLowSixteenBitsOfASystemError) {
    ups.setPort(0, Kind::SystemError, 0x8000);
    ups.setPort(1, Kind::SystemError, 0x7FFF);
    ups.setPort(2, Kind::SystemError, 0x12345);
    ups.setPort(3, Kind::SystemError, 2);
    EXPECT_FALSE(link.probePorts(cfg));
    EXPECT_EQ(cfg.portStatus[0], -32768);
    EXPECT_EQ(cfg.portStatus[1], 32767);
    EXPECT_EQ(cfg.portStatus[2], 0x2345);
    EXPECT_EQ(cfg.portStatus[3], 2);
}

TEST_F(SerialLinkTest, ProbeFailsOnlyWhenNoPortOpens) {
    for (int p = 0; p < 4; ++p) ups.setPort(p, Kind::OtherError);
    EXPECT_FALSE(link.probePorts(cfg));
    ups.setPort(3, Kind::Free);
    EXPECT_TRUE(link.probePorts(cfg));
    EXPECT_EQ(cfg.portStatus[3], 0);
}

TEST_F(SerialLinkTest, OpeningNoPortDisablesTheButtonWithoutTouchingTheLibrary) {
    SerialOpenResult r = link.openSerialLink(-1);
    EXPECT_FALSE(r.opened);
    EXPECT_EQ(r.button, TestButtonChange::Disable);
    EXPECT_TRUE(ups.calls.empty());
}

TEST_F(SerialLinkTest, AFailedOpenLeavesTheButtonAlone) {
    ups.setPort(2, Kind::SystemError, 16);
    SerialOpenResult r = link.openSerialLink(2);
    EXPECT_FALSE(r.opened);
    EXPECT_EQ(r.button, TestButtonChange::Unchanged);
    EXPECT_EQ(ups.callNames(), std::vector<std::string>{"open 2 512 512"});
}

TEST_F(SerialLinkTest, OpeningSetsTheLineAndLeavesRtsClear) {
    SerialOpenResult r = link.openSerialLink(1);
    EXPECT_TRUE(r.opened);
    EXPECT_EQ(r.button, TestButtonChange::Enable);
    EXPECT_EQ(link.port(), 1);
    EXPECT_EQ(ups.callNames(),
              (std::vector<std::string>{"open 1 512 512", "baud 1 9600", "flow 1 N", "rts 1 off"}));
    EXPECT_FALSE(ups.rts());
    link.assertRts();
    EXPECT_TRUE(ups.rts());
}

struct LineCase {
    bool cts, dcd;
    bool lineOk, batteryLow;
    int eventCode;
};
// Shown by GoogleTest (and in the test list) by what it is rather than as bytes.
void PrintTo(const LineCase& c, std::ostream* os) {
    *os << "CTS " << c.cts << ", DCD " << c.dcd;
}

class SerialLineRead : public SerialLinkTest, public ::testing::WithParamInterface<LineCase> {};

TEST_P(SerialLineRead, CtsIsMainsAndDcdIsBattery) {
    const LineCase& c = GetParam();
    link.openSerialLink(0);
    link.assertRts();
    ups.mainsPresent = c.cts;
    ups.batteryOk = c.dcd;
    SerialLines lines = link.readLines();
    EXPECT_EQ(lines.lineOk, c.lineOk);
    EXPECT_EQ(lines.batteryLow, c.batteryLow);
    int code = (lines.lineOk ? 0 : 1) + (lines.batteryLow ? 2 : 0);
    EXPECT_EQ(code, c.eventCode);
}

INSTANTIATE_TEST_SUITE_P(FourCombinations, SerialLineRead,
                         ::testing::Values(LineCase{true, true, true, false, 0},
                                           LineCase{false, true, false, false, 1},
                                           LineCase{true, false, true, true, 2},
                                           LineCase{false, false, false, true, 3}));

TEST_F(SerialLinkTest, ATickReadsTheLinesInOneRequestAndReassertsALostRtsBeforeTheyCount) {
    link.openSerialLink(0);
    link.assertRts();
    ups.calls.clear();
    link.readLines();
    EXPECT_EQ(ups.callNames(), (std::vector<std::string>{"read lines 0"}));

    // The cable's signals lose their power with RTS: what was read without it does not count.
    ups.clearRtsBehindOurBack();
    ups.calls.clear();
    const SerialLines lines = link.readLines();
    EXPECT_EQ(ups.callNames(),
              (std::vector<std::string>{"read lines 0", "rts 0 on", "read lines 0"}));
    EXPECT_TRUE(ups.rts());
    EXPECT_TRUE(lines.lineOk);
}

TEST_F(SerialLinkTest, AFailingLineReadMeansLineFailureButBatteryNormal) {
    // A closed port makes the fake answer with an error code, as a vanished adapter would.
    SerialLines lines = link.readLines();
    EXPECT_FALSE(lines.lineOk);
    EXPECT_FALSE(lines.batteryLow);
}

// The watch as its caller drives it: one poll every kTestPollMs of virtual time.
TEST(SerialBatteryTest, TheWatchEndsAtThePollThatDecidesWithTheBreakReleased) {
    struct Case {
        std::optional<double> mainsDropMs, batteryDropMs;
        SerialTestEnd end;
        double endMs;
        int ctsReads;  // the mains are read at the tenth poll only
    } cases[] = {{300, {}, SerialTestEnd::BatteryHeld, 10'000, 1},
                 {200, 2'450, SerialTestEnd::BatteryLow, 2'500, 1},
                 {{}, 150, SerialTestEnd::BatteryLow, 200, 0},
                 {1'500, {}, SerialTestEnd::MainsStayed, 1'000, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.endMs);
        SerialRig t;
        t.link.openSerialLink(0);
        t.ups.testDropsMainsAfterMs = c.mainsDropMs;
        t.ups.testDropsBatteryAfterMs = c.batteryDropMs;
        t.link.beginBatteryTest();
        std::optional<SerialTestEnd> end;
        for (int poll = 0; !end && poll < SerialLink::kTestPolls; ++poll) {
            EXPECT_TRUE(t.ups.breakOn());
            t.time.advanceMs(SerialLink::kTestPollMs);
            end = t.link.pollBatteryTest();
        }
        EXPECT_EQ(end, c.end);
        EXPECT_EQ(t.ups.breakOffTimes, std::vector<double>{c.endMs});
        EXPECT_EQ(t.time.elapsedMs, c.endMs);
        const std::vector<std::string> calls = t.ups.callNames();
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "read cts 0"), c.ctsReads);
    }
}

TEST_F(SerialLinkTest, ClosingAtTheEndClearsRtsButAChangeOnlyClosesAndBothReleaseABreak) {
    for (bool breakHeld : {false, true}) {
        link.openSerialLink(2);
        link.assertRts();
        if (breakHeld) link.beginBatteryTest();
        ups.calls.clear();
        link.closeAtEnd();
        EXPECT_EQ(ups.callNames(),
                  breakHeld ? (std::vector<std::string>{"break 2 off", "rts 2 off", "close 2"})
                            : (std::vector<std::string>{"rts 2 off", "close 2"}));
        link.openSerialLink(2);
        if (breakHeld) link.setBreak(true);
        ups.calls.clear();
        link.closeForChange();
        EXPECT_EQ(ups.callNames(), breakHeld ? (std::vector<std::string>{"break 2 off", "close 2"})
                                             : std::vector<std::string>{"close 2"});
        EXPECT_EQ(link.port(), -1);
        EXPECT_FALSE(ups.breakOn());
    }
}

TEST(SerialLib, RejectsNumbersNoPortCanHaveAndPassesUsbAdaptersOn) {
    FakeSerialUps ups;
    SerialLib sio{ups};
    EXPECT_LT(sio.SioReset(kSerialPortNumbers, 128, 128), 0);
    EXPECT_LT(sio.SioReset(-1, 128, 128), 0);
    EXPECT_LT(sio.SioCTS(-7), 0);
    EXPECT_TRUE(ups.calls.empty());
    // Beyond COM1..COM4 the driver decides: the system may have the port.
    sio.SioReset(4, 128, 128);
    EXPECT_FALSE(ups.calls.empty());
}

}  // namespace
