#include "links/serialLineWatcher.h"

#include <gtest/gtest.h>

#include <vector>

#include "links/serialLink.h"
#include "platform/null/scriptedSerialDriver.h"
#include "support/lineReports.h"

using namespace ups;
using ups::test::LineReports;

namespace {

constexpr int kPort = 1;

struct WatchRig {
    LineReports reports;  // outlives the link and its watch
    ScriptedSerialDriver driver;
    SerialLib sio{driver};
    SerialLink link{sio};
    WatchRig() {
        EXPECT_FALSE(link.watchLines(reports.callback())) << "no port is open yet";
        EXPECT_TRUE(link.openSerialLink(kPort).opened);
        EXPECT_TRUE(link.watchLines(reports.callback()));
    }
};

// Lines set one after the other: the ones that leave lineOk and batteryLow as they were are not
// reported, and each report is what the tick's own read gives.
TEST(SerialLineWatcher, ReportsEachChangeAsTheTicksReadSeesIt) {
    struct Step {
        bool cts, dcd;
        bool reported;
    };
    const Step steps[] = {{false, true, true},  {false, true, false}, {false, false, true},
                          {true, false, true},  {true, true, true},   {true, true, false},
                          {false, false, true}, {true, true, true}};
    WatchRig rig;
    std::size_t expected = 0;
    for (const Step& step : steps) {
        rig.driver.setInputs(kPort, step.cts, step.dcd);
        if (!step.reported) continue;
        const std::vector<SerialLines> seen = rig.reports.waitFor(++expected);
        ASSERT_EQ(seen.size(), expected) << "cts " << step.cts << " dcd " << step.dcd;
        EXPECT_EQ(seen.back(), rig.link.readLines()) << "cts " << step.cts << " dcd " << step.dcd;
    }
    rig.link.stopWatching();
    EXPECT_EQ(rig.reports.waitFor(0).size(), expected);
}

// However the port goes, the thread ends: closed by the link (joined before the close returns),
// closed under the watch by the driver alone, or pulled out, whose failed read is reported as the
// tick would read it.
TEST(SerialLineWatcher, EndsWhenThePortClosesOrVanishes) {
    WatchRig closedByLink;
    closedByLink.link.closeForChange();
    EXPECT_FALSE(closedByLink.link.watchingLines());

    struct End {
        const char* name;
        void (*end)(ScriptedSerialDriver&);
        std::vector<SerialLines> reported;
    };
    const End ends[] = {
        {"closed", [](ScriptedSerialDriver& d) { d.close(kPort); }, {}},
        {"unplugged", [](ScriptedSerialDriver& d) { d.unplug(kPort); }, {{false, false}}},
    };
    for (const End& end : ends) {
        ScriptedSerialDriver driver;
        ASSERT_EQ(driver.open(kPort, 512, 512), 0);
        LineReports reports;
        SerialLineWatcher watcher(driver.lineWaiter(kPort), reports.callback());
        end.end(driver);
        EXPECT_TRUE(watcher.waitUntilEnded(LineReports::kBoundMs)) << end.name;
        EXPECT_FALSE(watcher.watching()) << end.name;
        EXPECT_EQ(reports.waitFor(end.reported.size()), end.reported) << end.name;
    }
}

}  // namespace
