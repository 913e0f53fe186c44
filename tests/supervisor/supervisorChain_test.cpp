// The whole chain over the serial lines: the UPS drops CTS, then DCD, with the shutdown enabled;
// every notice, the close request and the power-off come at their second, and the monitor ends.
#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <vector>

#include "supervisorRig.h"

using namespace ups;
using namespace ups::test;

namespace {

TEST(WholeChain, MainsThenBatteryFailToPowerOffAndTheMonitorEnds) {
    SupervisorRig rig;  // defaults: first notice 5 s, repeat 30 s, low battery 30 s, shutdown on
    rig.ups.enhShutdwn = 1;
    int dcdDropTick = 0;
    std::vector<std::string> seconds;
    std::size_t logged = 0;
    while (rig.log.tick < 200 && rig.tick()) {
        std::string row = std::to_string(rig.log.tick) + ": eventCode " +
                          std::to_string(rig.state.eventCode) + ", warnCountdown " +
                          std::to_string(rig.state.warnCountdown) + ", shutdownCountdown " +
                          std::to_string(rig.state.shutdownCountdown);
        for (; logged < rig.log.entries.size(); ++logged) {
            row += " | " + rig.log.entries[logged].substr(rig.log.entries[logged].find(' ') + 1);
        }
        seconds.push_back(row);
        if (rig.log.tick == 3) rig.mains(false);  // read from tick 4
        if (rig.log.tick == 12) {                 // read from tick 13
            rig.battery(false);
            dcdDropTick = 13;
        }
    }

    std::cout << "Timeline (tick = second; CTS dropped at 4, DCD at " << dcdDropTick << "):\n";
    for (const auto& row : seconds) std::cout << "  " << row << "\n";

    EXPECT_EQ(rig.log.entries, (std::vector<std::string>{
                                   "9 notice Falla en tensión de línea",
                                   "27 notice Cerrando aplicaciones",
                                   "27 closeOtherApplications",
                                   "32 notice 10 seg. para cerrar Sistema",
                                   "34 notice  8 seg. para cerrar Sistema",
                                   "36 notice  6 seg. para cerrar Sistema",
                                   "38 notice  4 seg. para cerrar Sistema",
                                   "40 notice  2 seg. para cerrar Sistema",
                                   "42 notice Cerrando sistema",
                                   "42 repaintNotice",
                                   "42 requestPowerOff",
                                   "42 closeMainWindow",
                               }));
    EXPECT_EQ(rig.log.tick, 42) << "no tick after the shutdown";
    EXPECT_FALSE(rig.view.timerRunning);
    EXPECT_TRUE(rig.state.closingBySystem);
    EXPECT_EQ(rig.state.eventCode, 3);
    EXPECT_TRUE(rig.serial.rts()) << "RTS held through the whole event";
}

TEST(WholeChain, MainsReturningBeforeZeroStopsTheCountdownAndNothingIsShutDown) {
    SupervisorRig rig;
    rig.mains(false);
    rig.battery(false);
    rig.ticks(20);
    rig.mains(true);
    rig.battery(true);
    rig.ticks(60);
    EXPECT_EQ(rig.system.closeRequests, 1) << "the applications were already asked at 15 s";
    EXPECT_EQ(rig.system.powerOffRequests, 0);
    EXPECT_EQ(rig.state.eventCode, 0);
    EXPECT_EQ(rig.state.shutdownCountdown, 30);
    EXPECT_TRUE(rig.view.timerRunning);
}

}  // namespace
