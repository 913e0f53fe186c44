// Properties of the SNMP v1 message codec over random messages: decoding what was encoded gives
// the record back, and the encoder lays out every item as the BER helpers compose it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "hexBytes.h"
#include "messageGenerator.h"
#include "net/snmpRec.h"

namespace ups {
namespace {

using test::hexOf;
using test::MessageGenerator;

TEST(SnmpRecProperty, DecodeOfEncodeIsIdentity) {
    MessageGenerator generate(2024);
    // One record receives every message, as a listener's does, keeping the room of its texts.
    TSNMPRec kept;
    for (int i = 0; i < 3000; ++i) {
        const TSNMPRec rec = generate.next();
        TSNMPRec back;
        back.ID = rec.ID;  // traps carry none: the record keeps its own
        ASSERT_TRUE(back.DecodeBuf(rec.EncodeBuf())) << i;
        ASSERT_EQ(back, rec) << i << ": " << hexOf(rec.EncodeBuf());
        kept.ID = rec.ID;
        ASSERT_TRUE(kept.DecodeBuf(rec.EncodeBuf())) << i;
        ASSERT_EQ(kept, rec) << i;
        // Copies and moves take every entry, and each record owns its own.
        TSNMPRec copy = back;
        const TSNMPRec moved = std::move(back);
        copy.MIBDelete(0);
        kept = copy;
        back = std::move(copy);
        ASSERT_EQ(moved, rec) << i;
        ASSERT_EQ(back, kept) << i;
        ASSERT_EQ(back.MIBCount(), std::max(rec.MIBCount() - 1, 0)) << i;
    }
}

// The message as the BER helpers compose it, each item built and then put inside the next.
std::string composed(const TSNMPRec& rec) {
    const auto integer = [](std::int32_t value) {
        return ASNObject(ASNEncInt(value), kAsnInteger);
    };
    const auto unsignedItem = [](std::uint32_t value, int tag) {
        std::string content(unsignedSize(value), '\0');
        writeUnsigned(content.data(), value);
        return ASNObject(content, tag);
    };
    const auto ipItem = [](const std::string& dotted) {
        std::string content(kIpAddressSize, '\0');
        writeIpAddress(content.data(), dotted);
        return ASNObject(content, kAsnIpAddress);
    };
    std::string list;
    for (int i = 0; i < rec.MIBCount(); ++i) {
        const TSNMPMib& mib = *rec.MIBByIndex(i);
        std::string value = ASNObject(mib.Value, mib.ValueType);
        if (mib.ValueType == kAsnInteger) value = integer(decimalOrZero(mib.Value));
        if (mib.ValueType == kAsnNull) value = ASNObject("", kAsnNull);
        if (mib.ValueType == kAsnObjectId) value = ASNObject(MibToId(mib.Value), kAsnObjectId);
        if (mib.ValueType == kAsnIpAddress) value = ipItem(mib.Value);
        if (mib.ValueType >= kAsnCounter && mib.ValueType <= kAsnTimeTicks) {
            value = unsignedItem(unsignedOrZero(mib.Value), mib.ValueType);
        }
        list += ASNObject(ASNObject(MibToId(mib.OID), kAsnObjectId) + value, kAsnSequence);
    }
    std::string pdu =
        rec.PDUType == kPduTrap
            ? ASNObject(MibToId(rec.OldTrapEnterprise), kAsnObjectId) + ipItem(rec.OldTrapHost) +
                  integer(rec.OldTrapGen) + integer(rec.OldTrapSpec) +
                  unsignedItem(static_cast<std::uint32_t>(rec.OldTrapTimeTicks), kAsnTimeTicks)
            : integer(rec.ID) + integer(rec.ErrorStatus) + integer(rec.ErrorIndex);
    pdu += ASNObject(list, kAsnSequence);
    return ASNObject(integer(rec.Version) + ASNObject(rec.Community, kAsnOctetString) +
                         ASNObject(pdu, rec.PDUType),
                     kAsnSequence);
}

TEST(SnmpRecProperty, EncodesAsTheHelpersComposeIt) {
    MessageGenerator generate(77);
    for (int i = 0; i < 1000; ++i) {
        TSNMPRec rec = generate.next();
        // Texts that are not canonical too: they must be sized as they are written.
        if (i % 3 == 0) {
            rec.MIBAdd("1.3.x..-4.99999999999.6", "12a", kAsnInteger);
            rec.MIBAdd("", "300.1", kAsnIpAddress);
            rec.MIBAdd("7", "-5", kAsnGauge);
            rec.MIBAdd("2.39.128", std::string(130, 'v'), 0x1FF);
        }
        ASSERT_EQ(hexOf(rec.EncodeBuf()), hexOf(composed(rec))) << i;
    }
}

}  // namespace
}  // namespace ups
