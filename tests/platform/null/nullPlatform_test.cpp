// The null platform carries the monitor's start-up without touching the machine: the defaults go
// into its in-memory registry and its scripted ports open and report the lines they are given.
#include "platform/null/nullPlatform.h"

#include <gtest/gtest.h>

#include "config/configStore.h"
#include "links/serialLib.h"
#include "links/serialLink.h"
#include "support/scriptedMessageBoxes.h"
#include "support/virtualTime.h"

namespace ups {
namespace {

TEST(NullPlatform, TakesTheFirstStartAndTheSerialLinkInMemory) {
    NullPlatform platform;
    test::ScriptedMessageBoxes boxes;
    CfgUps ups;
    CfgSnmp snmp;
    clearRecords(ups, snmp);
    setDefaultConfig(ups, snmp);
    loadConfig(ups, snmp, platform.store(), boxes);
    EXPECT_TRUE(boxes.shown.empty());
    ASSERT_TRUE(platform.registry.value(kKeyConfig, kValueCfgUps));
    EXPECT_EQ(platform.registry.value(kKeyConfig, kValueCfgUps)->data, recordBytes(ups));

    test::VirtualTime time;
    SerialLib sio(platform.serial());
    SerialLink link(sio);
    EXPECT_TRUE(link.probePorts(ups));
    ASSERT_TRUE(link.openSerialLink(2).opened);
    link.assertRts();
    EXPECT_TRUE(platform.serialDriver.ports[2].rts);
    platform.serialDriver.ports[2].cts = false;
    platform.serialDriver.ports[2].dcd = false;
    const SerialLines lines = link.readLines();
    EXPECT_FALSE(lines.lineOk);
    EXPECT_TRUE(lines.batteryLow);
}

}  // namespace
}  // namespace ups
