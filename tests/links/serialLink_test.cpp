#include "links/serialLink.h"

#include <gtest/gtest.h>

#include "support/fakeSerialUps.h"
#include "support/virtualTime.h"

using namespace ups;
using namespace ups::test;
using Kind = FakeSerialUps::PortKind;

namespace {

struct SerialLinkTest : ::testing::Test {
    VirtualTime time;
    FakeSerialUps ups{&time};
    SerialLib sio{ups};
    SerialLink link{sio, time};
    CfgUps cfg{};
};

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

TEST_F(SerialLinkTest, ReadReassertsRtsBeforeReadingTheLines) {
    link.openSerialLink(0);
    link.assertRts();
    ups.calls.clear();
    link.readLines();
    EXPECT_EQ(ups.callNames(),
              (std::vector<std::string>{"read rts 0", "read cts 0", "read dcd 0"}));

    ups.clearRtsBehindOurBack();
    ups.calls.clear();
    link.readLines();
    EXPECT_EQ(ups.callNames(),
              (std::vector<std::string>{"read rts 0", "rts 0 on", "read cts 0", "read dcd 0"}));
    EXPECT_TRUE(ups.rts());
}

TEST_F(SerialLinkTest, AFailingLineReadMeansLineFailureButBatteryNormal) {
    // A closed port makes the fake answer with an error code, as a vanished adapter would.
    SerialLines lines = link.readLines();
    EXPECT_FALSE(lines.lineOk);
    EXPECT_FALSE(lines.batteryLow);
}

TEST_F(SerialLinkTest, AlarmPulseHoldsBreakForHalfASecond) {
    link.openSerialLink(3);
    link.alarmCancelPulse();
    ASSERT_EQ(ups.breakOnTimes.size(), 1u);
    ASSERT_EQ(ups.breakOffTimes.size(), 1u);
    EXPECT_DOUBLE_EQ(ups.breakOffTimes[0] - ups.breakOnTimes[0], 500.0);
    EXPECT_FALSE(ups.breakOn());
}

TEST_F(SerialLinkTest, BatteryTestThatHoldsForTenSecondsPasses) {
    link.openSerialLink(0);
    ups.testDropsMainsAfterMs = 300;
    EXPECT_EQ(link.batteryTestSequence(), SerialTestEnd::BatteryHeld);
    EXPECT_EQ(time.sleeps.size(), 100u);
    EXPECT_DOUBLE_EQ(time.elapsedMs, 10'000.0);
    EXPECT_FALSE(ups.breakOn()) << "BREAK must be released after a passed test";
}

TEST_F(SerialLinkTest, BatteryDroppingDuringTheTestFailsIt) {
    link.openSerialLink(0);
    ups.testDropsMainsAfterMs = 200;
    ups.testDropsBatteryAfterMs = 2'450;
    EXPECT_EQ(link.batteryTestSequence(), SerialTestEnd::BatteryLow);
    EXPECT_DOUBLE_EQ(time.elapsedMs, 2'500.0);
    EXPECT_FALSE(ups.breakOn()) << "BREAK must be released after a failed test";
}

TEST_F(SerialLinkTest, BatteryDroppingInTheFirstSecondFailsBeforeTheResponseCheck) {
    link.openSerialLink(0);
    ups.testDropsBatteryAfterMs = 150;  // mains never drop
    EXPECT_EQ(link.batteryTestSequence(), SerialTestEnd::BatteryLow);
    EXPECT_DOUBLE_EQ(time.elapsedMs, 200.0);
}

TEST_F(SerialLinkTest, UpsThatKeepsMainsAfterOneSecondDidNotRespond) {
    link.openSerialLink(0);
    ups.testDropsMainsAfterMs = 1'500;  // too late: checked after the tenth poll
    EXPECT_EQ(link.batteryTestSequence(), SerialTestEnd::MainsStayed);
    EXPECT_DOUBLE_EQ(time.elapsedMs, 1'000.0);
    ASSERT_EQ(ups.breakOffTimes.size(), 1u);
    EXPECT_DOUBLE_EQ(ups.breakOffTimes[0], 1'000.0);
}

TEST_F(SerialLinkTest, ClosingAtTheEndClearsRtsButAChangeOnlyCloses) {
    link.openSerialLink(2);
    link.assertRts();
    ups.calls.clear();
    link.closeAtEnd();
    EXPECT_EQ(ups.callNames(), (std::vector<std::string>{"rts 2 off", "close 2"}));

    link.openSerialLink(2);
    ups.calls.clear();
    link.closeForChange();
    EXPECT_EQ(ups.callNames(), std::vector<std::string>{"close 2"});
    EXPECT_EQ(link.port(), -1);
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
