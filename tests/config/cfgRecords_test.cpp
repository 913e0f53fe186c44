#include "config/cfgRecords.h"

#include <gtest/gtest.h>

#include "recordImage.h"

namespace ups {
namespace {

using test::Bytes;

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
