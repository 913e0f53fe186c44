#include "config/cfgRecords.h"

#include <gtest/gtest.h>

#include <functional>

#include "recordImage.h"

namespace ups {
namespace {

using test::Bytes;

template <typename Record>
struct FieldCase {
    const char* field;
    std::size_t offset;
    Bytes stored;  // the bytes the field must occupy, from its offset on
    std::function<void(Record&)> write;
};

// Writes one field of a zero record and checks that exactly the tabled bytes changed.
template <typename Record>
void expectFieldAt(const FieldCase<Record>& c) {
    Record r;
    std::memset(&r, 0, sizeof r);
    c.write(r);
    Bytes expected(sizeof(Record), 0);
    std::copy(c.stored.begin(), c.stored.end(), expected.begin() + static_cast<long>(c.offset));
    EXPECT_EQ(recordBytes(r), expected) << c.field;
}

TEST(CfgUpsLayout, EveryFieldSitsAtItsStoredOffset) {
    const std::vector<FieldCase<CfgUps>> cases = {
        {"pswUnset", 0, {0x81}, [](CfgUps& r) { r.pswUnset = 0x81; }},
        {"portStatus",
         4,
         {0xFF, 0xFF, 0xFF, 0xFF, 0x05, 0x00, 0x00, 0x00, 0x18, 0xFC, 0xFF, 0xFF, 0x34, 0x12, 0, 0},
         [](CfgUps& r) {
             r.portStatus[0] = -1;
             r.portStatus[1] = 5;
             r.portStatus[2] = -1000;
             r.portStatus[3] = 0x1234;
         }},
        {"pswCode",
         20,
         {1, 2, 3, 4, 5, 6, 7, 8},
         [](CfgUps& r) {
             for (int i = 0; i < 8; ++i) r.pswCode[i] = static_cast<std::uint8_t>(i + 1);
         }},
        {"pswEnabled", 284, {0x82}, [](CfgUps& r) { r.pswEnabled = 0x82; }},
        {"comPort", 288, {0x04, 0x03, 0x02, 0x01}, [](CfgUps& r) { r.comPort = 0x01020304; }},
        {"tmpFail", 292, {0x0F, 0, 0, 0}, [](CfgUps& r) { r.tmpFail = 15; }},
        {"tmpBat", 296, {0x3C, 0, 0, 0}, [](CfgUps& r) { r.tmpBat = 60; }},
        {"tmpLowB", 300, {0x2C, 0x01, 0, 0}, [](CfgUps& r) { r.tmpLowB = 300; }},
        {"testSched",
         304,
         {1, 0, 1, 0, 2, 3, 0, 4, 5, 0, 6, 7, 0, 8, 9, 0, 10, 11, 1, 23, 59},
         [](CfgUps& r) {
             r.testSched[0] = {1, 0, 1};
             for (std::uint8_t d = 1; d < 6; ++d) {
                 r.testSched[d] = {0, static_cast<std::uint8_t>(2 * d),
                                   static_cast<std::uint8_t>(2 * d + 1)};
             }
             r.testSched[6] = {1, 23, 59};
         }},
        {"testMode", 328, {0x04, 0, 0, 0}, [](CfgUps& r) { r.testMode = tmSchedule; }},
        // 1.5 as an IEEE double is 0x3FF8000000000000.
        {"lastTest", 332, {0, 0, 0, 0, 0, 0, 0xF8, 0x3F}, [](CfgUps& r) { r.lastTest = 1.5; }},
        {"testInterval", 340, {0x64, 0, 0, 0}, [](CfgUps& r) { r.testInterval = 100; }},
        {"askStart", 344, {0x83}, [](CfgUps& r) { r.askStart = 0x83; }},
        {"startCount", 348, {0xFE, 0xFF, 0xFF, 0x7F}, [](CfgUps& r) { r.startCount = 0x7FFFFFFE; }},
        {"enhShutdwn", 352, {0x84}, [](CfgUps& r) { r.enhShutdwn = 0x84; }},
    };
    for (const auto& c : cases) expectFieldAt(c);
}

TEST(CfgSnmpLayout, EveryFieldSitsAtItsStoredOffset) {
    Bytes ip23(23, 0);
    const std::string ip = "192.168.100.200";
    std::copy(ip.begin(), ip.end(), ip23.begin());
    Bytes pass40(40, 0);
    const std::string pass = "comunidad-de-prueba!";
    std::copy(pass.begin(), pass.end(), pass40.begin());

    const std::vector<FieldCase<CfgSnmp>> cases = {
        {"enhSnmp", 0, {0x91}, [](CfgSnmp& r) { r.enhSnmp = 0x91; }},
        {"ipAgent", 1, ip23, [&](CfgSnmp& r) { setFieldText(r.ipAgent, ip); }},
        {"enterprise", 24, {0x27, 0x6B, 0, 0}, [](CfgSnmp& r) { r.enterprise = kEnterprise; }},
        {"snmpPass", 28, pass40, [&](CfgSnmp& r) { setFieldText(r.snmpPass, pass); }},
        {"enhTrap", 68, {0x92}, [](CfgSnmp& r) { r.enhTrap = 0x92; }},
        {"snmpPassSet", 69, {0x93}, [](CfgSnmp& r) { r.snmpPassSet = 0x93; }},
    };
    for (const auto& c : cases) expectFieldAt(c);
}

TEST(RecordOverlay, ShortDataReplacesOnlyTheLeadingBytes) {
    CfgSnmp r;
    std::memset(&r, 0xAA, sizeof r);
    const Bytes data = {1, 2, 3};
    overlayRecord(r, data);
    const Bytes bytes = recordBytes(r);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 3), data);
    EXPECT_EQ(Bytes(bytes.begin() + 3, bytes.end()), Bytes(69, 0xAA));
}

TEST(RecordText, FieldsStayNulTerminatedAndZeroFilled) {
    CfgSnmp r;
    std::memset(&r, 0xAA, sizeof r);
    setFieldText(r.ipAgent, "10.0.0.1");
    EXPECT_EQ(fieldText(r.ipAgent), "10.0.0.1");
    EXPECT_EQ(r.ipAgent[22], 0);
    setFieldText(r.snmpPass, std::string(60, 'x'), 20);
    EXPECT_EQ(fieldText(r.snmpPass), std::string(20, 'x'));
    EXPECT_EQ(r.enhTrap, 0xAA) << "the text must not spill into the next field";
}

}  // namespace
}  // namespace ups
