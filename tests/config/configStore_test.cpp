#include "config/configStore.h"

#include <gtest/gtest.h>

#include "recordImage.h"
#include "support/memoryRegistryStore.h"
#include "support/scriptedMessageBoxes.h"

namespace ups {
namespace {

using test::Bytes;
using test::defaultSnmpImage;
using test::defaultUpsImage;
using test::getI32;
using test::MemoryRegistryStore;
using test::patternImage;
using test::putI32;
using test::ScriptedMessageBoxes;

const std::string kFull1 = "full " + std::string(kKeySoftware);
const std::string kFull2 = "full " + std::string(kKeyUps);
const std::string kFull3 = "full " + std::string(kKeyConfig);
const std::string kOpen3 = "open " + std::string(kKeyConfig);
const std::string kReadUps = "read " + std::string(kKeyConfig) + "/CfgUps";
const std::string kReadSnmp = "read " + std::string(kKeyConfig) + "/CfgSnmp";
const std::string kWriteUps = "write " + std::string(kKeyConfig) + "/CfgUps";
const std::string kWriteSnmp = "write " + std::string(kKeyConfig) + "/CfgSnmp";

// Pattern bytes would put the timings out of the dialogs' ranges, which the load corrects; the
// tests of where the bytes go keep them in range.
Bytes withTimingsInRange(Bytes image) {
    const std::pair<std::size_t, std::int32_t> timings[] = {
        {292, 7}, {296, 20}, {300, 40}, {340, 3}};
    for (auto [offset, value] : timings) {
        if (offset + 4 <= image.size()) putI32(image, offset, value);
    }
    return image;
}

template <typename Record>
void setImage(Record& r, const Bytes& image) {
    ASSERT_EQ(image.size(), sizeof(Record));
    std::memcpy(&r, image.data(), sizeof(Record));
}

// The records as the main window holds them before the load: zero-filled, then the defaults.
class ConfigStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        clearRecords(ups, snmp);
        setDefaultConfig(ups, snmp);
    }

    void load() { EXPECT_NO_THROW(loadConfig(ups, snmp, store, boxes)); }
    void read() { EXPECT_NO_THROW(readConfig(ups, snmp, store, boxes)); }
    void save() { EXPECT_NO_THROW(saveConfig(ups, snmp, store, boxes)); }

    Bytes storedUps() const { return storedBytes(kValueCfgUps); }
    Bytes storedSnmp() const { return storedBytes(kValueCfgSnmp); }
    Bytes storedBytes(std::string_view name) const {
        const auto v = store.value(kKeyConfig, name);
        return v ? v->data : Bytes{};
    }

    // Every failure of the store is an error box; returns the texts in order.
    std::vector<std::string> errorTexts() const {
        for (const auto& b : boxes.shown) {
            EXPECT_EQ(b.title, kTitleError);
            EXPECT_EQ(b.icon, MbIcon::Error);
        }
        return boxes.texts();
    }

    void storeBoth(const Bytes& upsImage, const Bytes& snmpImage) {
        store.addKeyChain(kKeyConfig);
        store.setBinary(kKeyConfig, kValueCfgUps, upsImage);
        store.setBinary(kKeyConfig, kValueCfgSnmp, snmpImage);
    }

    CfgUps ups;
    CfgSnmp snmp;
    MemoryRegistryStore store;
    ScriptedMessageBoxes boxes;
    const std::vector<std::string> noMessages;
    const std::vector<std::string> allocating{std::string(kMsgAllocating)};
    const std::vector<std::string> registryAccess{std::string(kMsgRegistryAccess)};
};

// ---- defaults ----

TEST_F(ConfigStoreTest, DefaultsOnZeroedRecordsMatchTheTable) {
    EXPECT_EQ(recordBytes(ups), defaultUpsImage());
    EXPECT_EQ(recordBytes(snmp), defaultSnmpImage());
}

TEST_F(ConfigStoreTest, DefaultsTouchOnlyTheDefaultFields) {
    setImage(ups, Bytes(356, 0xEE));
    setImage(snmp, Bytes(72, 0xEE));
    setDefaultConfig(ups, snmp);

    Bytes expectedUps(356, 0xEE);
    expectedUps[0] = 1;
    expectedUps[284] = 0;
    putI32(expectedUps, 288, -1);
    putI32(expectedUps, 292, 5);
    putI32(expectedUps, 296, 30);
    putI32(expectedUps, 300, 30);
    putI32(expectedUps, 328, 3);
    putI32(expectedUps, 340, 7);
    expectedUps[344] = 1;
    expectedUps[352] = 0;
    Bytes expectedSnmp(72, 0xEE);
    putI32(expectedSnmp, 24, 27431);
    expectedSnmp[68] = 0;
    expectedSnmp[69] = 0;
    EXPECT_EQ(recordBytes(ups), expectedUps);
    EXPECT_EQ(recordBytes(snmp), expectedSnmp);
}

// ---- loadConfig: keys ----

TEST_F(ConfigStoreTest, FirstStartCreatesTheKeysParentsFirstAndStoresTheDefaults) {
    load();
    EXPECT_EQ(errorTexts(), noMessages);
    const std::vector<std::string> expectedCalls = {
        kFull1,     "create " + std::string(kKeySoftware), kFull2, "create " + std::string(kKeyUps),
        kFull3,     "create " + std::string(kKeyConfig),   kFull3, kWriteUps,
        kWriteSnmp,
    };
    EXPECT_EQ(store.calls, expectedCalls);
    EXPECT_EQ(storedUps(), defaultUpsImage());
    EXPECT_EQ(storedSnmp(), defaultSnmpImage());
    ASSERT_TRUE(store.value(kKeyConfig, kValueCfgUps));
    EXPECT_EQ(store.value(kKeyConfig, kValueCfgUps)->type, RegValueType::Binary);
}

TEST_F(ConfigStoreTest, MissingConfigKeyAloneIsCreatedAndTheRecordsSavedAsTheyStand) {
    store.addKeyChain(kKeyUps);
    ups.tmpFail = 12;  // whatever is in memory at that moment is what gets stored
    load();
    EXPECT_EQ(errorTexts(), noMessages);
    EXPECT_TRUE(store.hasKey(kKeyConfig));
    EXPECT_EQ(getI32(storedUps(), 292), 12);
    EXPECT_EQ(storedSnmp(), defaultSnmpImage());
    for (const auto& c : store.calls)
        EXPECT_NE(c.rfind("read ", 0), 0u) << "nothing is read: " << c;
}

TEST_F(ConfigStoreTest, ExistingKeysAreReadNotWritten) {
    Bytes upsImage = defaultUpsImage();
    putI32(upsImage, 292, 9);
    Bytes snmpImage = defaultSnmpImage();
    snmpImage[0] = 1;
    storeBoth(upsImage, snmpImage);
    load();
    EXPECT_EQ(errorTexts(), noMessages);
    EXPECT_EQ(store.writes(), 0);
    EXPECT_EQ(recordBytes(ups), upsImage);
    EXPECT_EQ(recordBytes(snmp), snmpImage);
}

TEST_F(ConfigStoreTest, FirstStartWithoutWriteAccessRunsOnDefaultsAndLaterSavesCannotOpen) {
    store.readOnly = true;
    load();
    EXPECT_EQ(errorTexts(), allocating);
    EXPECT_EQ(recordBytes(ups), defaultUpsImage());
    EXPECT_EQ(recordBytes(snmp), defaultSnmpImage());

    boxes.shown.clear();
    save();
    EXPECT_EQ(errorTexts(), registryAccess);
    EXPECT_EQ(store.writes(), 0);
}

TEST_F(ConfigStoreTest, ExistingKeysWithoutFullAccessCountAsMissingAndTheStoredConfigIsNotUsed) {
    Bytes upsImage = defaultUpsImage();
    putI32(upsImage, 292, 11);
    storeBoth(upsImage, defaultSnmpImage());
    store.refuseFullAccess(kKeySoftware);
    load();
    EXPECT_EQ(errorTexts(), allocating);
    EXPECT_EQ(recordBytes(ups), defaultUpsImage());
    const std::vector<std::string> expectedCalls = {kFull1, "create " + std::string(kKeySoftware)};
    EXPECT_EQ(store.calls, expectedCalls);
}

TEST_F(ConfigStoreTest, RefusedCreationOfTheLastKeyStopsTheLoad) {
    store.addKeyChain(kKeyUps);
    store.refuseCreate(kKeyConfig);
    load();
    EXPECT_EQ(errorTexts(), allocating);
    EXPECT_EQ(store.writes(), 0);
}

TEST_F(ConfigStoreTest, FailedSaveOnFirstStartIsReportedOnce) {
    store.failWrite(kKeyConfig, kValueCfgUps);
    load();
    EXPECT_EQ(errorTexts(), allocating);
}

// ---- readConfig ----

TEST_F(ConfigStoreTest, ReadWithoutTheConfigKeyReportsRegistryAccessAndChangesNothing) {
    store.addKeyChain(kKeyUps);
    ups.tmpBat = 44;
    read();
    EXPECT_EQ(errorTexts(), registryAccess);
    EXPECT_EQ(ups.tmpBat, 44);
}

TEST_F(ConfigStoreTest, MissingCfgUpsResetsTheDefaultFieldsOfBothRecordsThenReadsCfgSnmp) {
    store.addKeyChain(kKeyConfig);
    Bytes snmpImage = defaultSnmpImage();
    snmpImage[0] = 1;
    snmpImage[68] = 1;
    store.setBinary(kKeyConfig, kValueCfgSnmp, snmpImage);
    ups.tmpFail = 14;
    ups.pswUnset = 0;
    ups.startCount = 3;  // not a default field: kept
    snmp.snmpPassSet = 1;
    read();
    EXPECT_EQ(errorTexts(), noMessages);
    EXPECT_EQ(ups.tmpFail, 5);
    EXPECT_EQ(ups.pswUnset, 1);
    EXPECT_EQ(ups.startCount, 3);
    EXPECT_EQ(recordBytes(snmp), snmpImage);
}

TEST_F(ConfigStoreTest, MissingCfgSnmpClearsOnlyEnhTrapAndSetsTheEnterprise) {
    store.addKeyChain(kKeyConfig);
    const Bytes upsImage = withTimingsInRange(patternImage(356, 3));
    store.setBinary(kKeyConfig, kValueCfgUps, upsImage);
    const Bytes before = patternImage(72, 9);
    setImage(snmp, before);
    read();
    EXPECT_EQ(errorTexts(), noMessages);
    EXPECT_EQ(recordBytes(ups), upsImage);
    Bytes expected = before;
    expected[68] = 0;
    putI32(expected, 24, 27431);
    EXPECT_EQ(recordBytes(snmp), expected);
}

TEST_F(ConfigStoreTest, ForeignEnterpriseIsReplacedAfterTheReadAndOnTheNextSave) {
    Bytes snmpImage = defaultSnmpImage();
    putI32(snmpImage, 24, 12345);
    storeBoth(defaultUpsImage(), snmpImage);
    load();
    EXPECT_EQ(snmp.enterprise, kEnterprise);
    save();
    EXPECT_EQ(getI32(storedSnmp(), 24), 27431);
    EXPECT_EQ(errorTexts(), noMessages);
}

TEST_F(ConfigStoreTest, ReservedBytesSurviveAReadAndASave) {
    const Bytes upsImage = withTimingsInRange(patternImage(356, 1));
    const Bytes snmpImage = patternImage(72, 2);
    storeBoth(upsImage, snmpImage);
    load();
    save();
    EXPECT_EQ(storedUps(), upsImage);
    Bytes expectedSnmp = snmpImage;
    putI32(expectedSnmp, 24, 27431);  // the only byte change a read makes
    EXPECT_EQ(storedSnmp(), expectedSnmp);
}

// A configuration as another installation stored it, byte by byte: each field is read from its
// place, in the byte order and number formats of the stored records.
TEST_F(ConfigStoreTest, AStoredConfigurationIsReadFieldByField) {
    Bytes upsImage(356, 0);
    upsImage[284] = 1;          // pswEnabled
    putI32(upsImage, 288, 2);   // comPort: COM3
    putI32(upsImage, 292, 15);  // tmpFail
    putI32(upsImage, 296, 60);  // tmpBat
    putI32(upsImage, 300, 90);  // tmpLowB
    const Bytes tuesday = {1, 23, 59};
    std::copy(tuesday.begin(), tuesday.end(), upsImage.begin() + 304 + 2 * 3);
    putI32(upsImage, 328, tmSchedule);
    const Bytes lastTest = {0, 0, 0, 0, 0, 0xF8, 0xE5, 0x40};  // 44992.0, an OLE date
    std::copy(lastTest.begin(), lastTest.end(), upsImage.begin() + 332);
    putI32(upsImage, 340, 7);  // testInterval
    upsImage[352] = 1;         // enhShutdwn
    Bytes snmpImage(72, 0);
    snmpImage[0] = 1;
    const std::string ip = "192.168.100.200";
    std::copy(ip.begin(), ip.end(), snmpImage.begin() + 1);
    const std::string community = "privada";
    std::copy(community.begin(), community.end(), snmpImage.begin() + 28);
    snmpImage[68] = 1;
    storeBoth(upsImage, snmpImage);

    load();
    EXPECT_TRUE(errorTexts().empty());
    EXPECT_EQ(ups.pswEnabled, 1);
    EXPECT_EQ(ups.comPort, 2);
    EXPECT_EQ(std::tuple(ups.tmpFail, ups.tmpBat, ups.tmpLowB), std::tuple(15, 60, 90));
    EXPECT_EQ(std::tuple(ups.testSched[2].enabled, ups.testSched[2].hour, ups.testSched[2].minute),
              std::tuple(1, 23, 59));
    EXPECT_EQ(ups.testSched[1].enabled, 0);
    EXPECT_EQ(ups.testMode, tmSchedule);
    EXPECT_EQ(ups.lastTest, 44992.0);
    EXPECT_EQ(ups.testInterval, 7);
    EXPECT_EQ(ups.enhShutdwn, 1);
    EXPECT_EQ(snmp.enhSnmp, 1);
    EXPECT_EQ(fieldText(snmp.ipAgent), ip);
    EXPECT_EQ(fieldText(snmp.snmpPass), community);
    EXPECT_EQ(snmp.enhTrap, 1);
    EXPECT_EQ(snmp.enterprise, kEnterprise);
}

struct SizeCase {
    const char* name;
    std::size_t upsSize;
    std::size_t snmpSize;
    bool upsAccepted;
    bool snmpAccepted;
};
// Shown by GoogleTest (and in the test list) as its name rather than as bytes.
void PrintTo(const SizeCase& c, std::ostream* os) {
    *os << c.name;
}

class ConfigStoreSizeTest : public ConfigStoreTest,
                            public ::testing::WithParamInterface<SizeCase> {};

// Stored data replaces the leading bytes it covers; beyond that the defaults stay. Too long a value
// is refused and leaves the records as they were.
TEST_P(ConfigStoreSizeTest, StoredSizeDecidesWhatIsRead) {
    const SizeCase& c = GetParam();
    const Bytes upsData(withTimingsInRange(patternImage(c.upsSize, 0x40)));
    const Bytes snmpData(patternImage(c.snmpSize, 0x80));
    storeBoth(upsData, snmpData);
    read();

    Bytes expectedUps = defaultUpsImage();
    Bytes expectedSnmp = defaultSnmpImage();
    if (c.upsAccepted) std::copy(upsData.begin(), upsData.end(), expectedUps.begin());
    if (c.upsAccepted && c.snmpAccepted) {
        std::copy(snmpData.begin(), snmpData.end(), expectedSnmp.begin());
        putI32(expectedSnmp, 24, 27431);
    }
    EXPECT_EQ(errorTexts(), c.upsAccepted && c.snmpAccepted ? noMessages : allocating);
    EXPECT_EQ(recordBytes(ups), expectedUps);
    EXPECT_EQ(recordBytes(snmp), expectedSnmp);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ConfigStoreSizeTest,
                         ::testing::Values(SizeCase{"exact", 356, 72, true, true},
                                           SizeCase{"ups300", 300, 72, true, true},
                                           SizeCase{"snmp20", 356, 20, true, true},
                                           SizeCase{"empty", 0, 0, true, true},
                                           SizeCase{"ups357", 357, 72, false, true},
                                           SizeCase{"ups400", 400, 72, false, true},
                                           SizeCase{"snmp73", 356, 73, true, false}),
                         [](const auto& info) { return std::string(info.param.name); });

struct BoundCase {
    const char* name;
    std::size_t offset;
    std::int32_t stored;
    std::int32_t read;
};
void PrintTo(const BoundCase& c, std::ostream* os) {
    *os << c.name;
}

class ConfigStoreBoundTest : public ConfigStoreTest,
                             public ::testing::WithParamInterface<BoundCase> {};

// A stored timing outside the dialog's range is read as the nearest end of it; a test interval
// below one as one.
TEST_P(ConfigStoreBoundTest, OutOfRangeValuesAreReadInRange) {
    const BoundCase& c = GetParam();
    Bytes upsImage = defaultUpsImage();
    putI32(upsImage, c.offset, c.stored);
    storeBoth(upsImage, defaultSnmpImage());
    load();
    putI32(upsImage, c.offset, c.read);
    EXPECT_EQ(recordBytes(ups), upsImage);
    EXPECT_EQ(errorTexts(), noMessages);
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, ConfigStoreBoundTest,
    ::testing::Values(BoundCase{"tmpFailZero", 292, 0, 1}, BoundCase{"tmpFailHigh", 292, 16, 15},
                      BoundCase{"tmpFailKept", 292, 15, 15}, BoundCase{"tmpBatLow", 296, 9, 10},
                      BoundCase{"tmpBatHigh", 296, 61, 60},
                      BoundCase{"tmpLowBNegative", 300, -1, 10},
                      BoundCase{"tmpLowBHuge", 300, 2147483647, 300},
                      BoundCase{"tmpLowBKept", 300, 10, 10},
                      BoundCase{"testIntervalZero", 340, 0, 1},
                      BoundCase{"testIntervalNegative", 340, -2147483647 - 1, 1},
                      BoundCase{"testIntervalLargeKept", 340, 1000, 1000}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConfigStoreTest, FailureOnCfgUpsSkipsCfgSnmp) {
    storeBoth(Bytes(400, 1), patternImage(72, 5));
    read();
    EXPECT_EQ(errorTexts(), allocating);
    const std::vector<std::string> expectedCalls = {kOpen3, kReadUps};
    EXPECT_EQ(store.calls, expectedCalls);
}

TEST_F(ConfigStoreTest, FailureOnCfgSnmpKeepsTheCfgUpsAlreadyRead) {
    const Bytes upsImage = withTimingsInRange(patternImage(356, 7));
    storeBoth(upsImage, Bytes(100, 1));
    read();
    EXPECT_EQ(errorTexts(), allocating);
    EXPECT_EQ(recordBytes(ups), upsImage);
    EXPECT_EQ(recordBytes(snmp), defaultSnmpImage());
}

struct BadValueCase {
    const char* name;
    std::string_view value;
    RegValueType type;
    bool unreadable;
};
// Shown by GoogleTest (and in the test list) as its name rather than as bytes.
void PrintTo(const BadValueCase& c, std::ostream* os) {
    *os << c.name;
}

class ConfigStoreBadValueTest : public ConfigStoreTest,
                                public ::testing::WithParamInterface<BadValueCase> {};

TEST_P(ConfigStoreBadValueTest, IsReportedAndLeavesTheRecordsUnchanged) {
    const BadValueCase& c = GetParam();
    storeBoth(withTimingsInRange(patternImage(356, 1)), patternImage(72, 2));
    // Short enough that only the type or the read itself can be the reason for the refusal.
    store.setValue(kKeyConfig, c.value, c.type, {1, 0, 0, 0});
    if (c.unreadable) store.failRead(kKeyConfig, c.value);
    const Bytes upsBefore =
        c.value == kValueCfgUps ? defaultUpsImage() : withTimingsInRange(patternImage(356, 1));
    read();
    EXPECT_EQ(errorTexts(), allocating);
    EXPECT_EQ(recordBytes(ups), upsBefore);
    EXPECT_EQ(recordBytes(snmp), defaultSnmpImage());
}

INSTANTIATE_TEST_SUITE_P(
    TypesAndReads, ConfigStoreBadValueTest,
    ::testing::Values(BadValueCase{"upsAsString", kValueCfgUps, RegValueType::String, false},
                      BadValueCase{"upsAsDword", kValueCfgUps, RegValueType::Dword, false},
                      BadValueCase{"upsAsOther", kValueCfgUps, RegValueType::Other, false},
                      BadValueCase{"upsUnreadable", kValueCfgUps, RegValueType::Binary, true},
                      BadValueCase{"snmpAsString", kValueCfgSnmp, RegValueType::String, false},
                      BadValueCase{"snmpAsDword", kValueCfgSnmp, RegValueType::Dword, false},
                      BadValueCase{"snmpUnreadable", kValueCfgSnmp, RegValueType::Binary, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConfigStoreTest, ValueNamesAreMatchedWithoutRegardToCase) {
    store.addKeyChain("\\SOFTWARE\\korvan\\UPS\\syscfg_v1.2");
    Bytes upsImage = defaultUpsImage();
    putI32(upsImage, 296, 55);
    store.setBinary("\\software\\korvan\\ups\\SYSCFG_V1.2", "cfgups", upsImage);
    load();
    EXPECT_EQ(ups.tmpBat, 55);
}

// ---- saveConfig ----

TEST_F(ConfigStoreTest, SaveWritesBothRecordsWhole) {
    store.addKeyChain(kKeyConfig);
    store.setBinary(kKeyConfig, kValueCfgUps, Bytes(500, 9));
    setImage(ups, patternImage(356, 4));
    setImage(snmp, patternImage(72, 6));
    save();
    EXPECT_EQ(errorTexts(), noMessages);
    EXPECT_EQ(storedUps(), patternImage(356, 4));
    EXPECT_EQ(storedSnmp(), patternImage(72, 6));
    const std::vector<std::string> expectedCalls = {kFull3, kWriteUps, kWriteSnmp};
    EXPECT_EQ(store.calls, expectedCalls);
}

TEST_F(ConfigStoreTest, SaveIntoAKeyWithoutWriteAccessWritesNothing) {
    store.addKeyChain(kKeyConfig);
    store.refuseFullAccess(kKeyConfig);
    save();
    EXPECT_EQ(errorTexts(), registryAccess);
    EXPECT_EQ(store.writes(), 0);
}

TEST_F(ConfigStoreTest, FailedCfgUpsWriteSkipsCfgSnmp) {
    store.addKeyChain(kKeyConfig);
    store.failWrite(kKeyConfig, kValueCfgUps);
    save();
    EXPECT_EQ(errorTexts(), allocating);
    EXPECT_EQ(store.calls.back(), kWriteUps);
    EXPECT_FALSE(store.value(kKeyConfig, kValueCfgSnmp));
}

TEST_F(ConfigStoreTest, FailedCfgSnmpWriteKeepsTheCfgUpsWritten) {
    store.addKeyChain(kKeyConfig);
    store.failWrite(kKeyConfig, kValueCfgSnmp);
    save();
    EXPECT_EQ(errorTexts(), allocating);
    EXPECT_EQ(storedUps(), defaultUpsImage());
}

// ---- nothing escapes ----

TEST_F(ConfigStoreTest, AnExceptionInsideTheStoreBecomesTheAllocationMessage) {
    const std::vector<std::pair<std::string, std::function<void()>>> cases = {
        {kFull1, [&] { load(); }},
        {kReadSnmp, [&] { read(); }},
        {kWriteUps, [&] { save(); }},
    };
    for (const auto& [call, run] : cases) {
        boxes.shown.clear();
        store.addKeyChain(kKeyConfig);
        store.throwOnCall = call;
        run();
        EXPECT_EQ(errorTexts(), allocating) << call;
        EXPECT_FALSE(store.throwOnCall) << call << " was never reached";
    }
}

}  // namespace
}  // namespace ups
