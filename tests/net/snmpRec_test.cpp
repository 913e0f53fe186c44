// The SNMP v1 message record: its encoder, its decoder and its list of bindings.
#include "net/snmpRec.h"

#include <gtest/gtest.h>

#include <random>

#include "hexBytes.h"
#include "messageGenerator.h"

namespace ups {
namespace {

using test::bytes;
using test::hexOf;
using test::MessageGenerator;

const char kGetRequestPdu[] =
    "A0 1E 02 01 01 02 01 00 02 01 00 30 13 30 11 06 0D 2B 06 01 04 01 81 D6 27 01 01 01 02 00 05 "
    "00";
const char kGetNextRequestPdu[] =
    "A1 16 02 01 02 02 01 00 02 01 00 30 0B 30 09 06 05 2B 06 01 04 01 05 00";
// What `snmptrap -v 1 -c public ... .1.3.6.1.4.1.27431 127.0.0.1 6 1 '' <battery> i 2 <line> i 2`
// sends.
const char kNetSnmpTrap[] =
    "305202010004067075626c6963a44506082b0601040181d62740047f000001020106020101430300c1a2"
    "30283012060d2b0601040181d62701010101000201023012060d2b0601040181d6270101010200020102";

const char kLineOid[] = "1.3.6.1.4.1.27431.1.1.1.2.0";
const char kBatteryOid[] = "1.3.6.1.4.1.27431.1.1.1.1.0";

// A GetResponse around one binding whose value item is given as hex.
std::string responseWith(const std::string& valueItem, int errorStatus = 0) {
    TSNMPRec rec;
    rec.PDUType = kPduGetResponse;
    rec.ErrorStatus = errorStatus;
    rec.MIBAdd(kLineOid, "", kAsnNull);
    std::string message = rec.EncodeBuf();
    // Swap the NULL (the last two octets) for the wanted item and fix the four lengths.
    message.resize(message.size() - 2);
    const std::size_t grow = valueItem.size() - 2;
    for (std::size_t pos : {std::size_t{1}, std::size_t{14}, std::size_t{25}, std::size_t{27}}) {
        message[pos] = static_cast<char>(message[pos] + grow);
    }
    return message + valueItem;
}

TEST(SnmpRec, NewAndClearedRecords) {
    TSNMPRec rec;
    EXPECT_EQ(rec.Version, 0);
    EXPECT_EQ(rec.Community, "ambito");
    EXPECT_EQ(rec.ID, 1);
    EXPECT_EQ(rec.MIBCount(), 0);

    rec.Version = 1;
    rec.Community = "x";
    rec.PDUType = kPduTrap;
    rec.ID = 77;
    rec.ErrorStatus = rec.ErrorIndex = 3;
    rec.OldTrapEnterprise = "1.3";
    rec.OldTrapHost = "1.2.3.4";
    rec.OldTrapGen = rec.OldTrapSpec = rec.OldTrapTimeTicks = 9;
    rec.MIBAdd("1.3", "v", kAsnOctetString);
    rec.Clear();
    TSNMPRec expected;
    expected.ID = 77;  // Clear keeps the request identifier
    EXPECT_EQ(rec, expected);
}

TEST(SnmpRec, BindingList) {
    TSNMPRec rec;
    rec.MIBAdd("1.3.1", "a", kAsnOctetString);
    rec.MIBAdd("1.3.2", "b", kAsnInteger);
    rec.MIBAdd("1.3.1", "c", kAsnOctetString);
    ASSERT_EQ(rec.MIBCount(), 3);
    EXPECT_EQ(rec.MIBByIndex(1)->Value, "b");
    EXPECT_EQ(rec.MIBByIndex(3), nullptr);
    EXPECT_EQ(rec.MIBByIndex(-1), nullptr);
    EXPECT_EQ(rec.MIBGet("1.3.1"), "a");  // the first match wins
    EXPECT_EQ(rec.MIBGet("1.3.3"), "");
    EXPECT_EQ(rec.MIBGet("1.3.1.0"), "");  // whole texts only

    rec.MIBDelete(3);
    rec.MIBDelete(-1);
    EXPECT_EQ(rec.MIBCount(), 3);
    rec.MIBDelete(0);
    ASSERT_EQ(rec.MIBCount(), 2);
    EXPECT_EQ(rec.MIBGet("1.3.1"), "c");
}

TEST(SnmpRecEncode, GetRequestAsSent) {
    TSNMPRec rec;
    rec.PDUType = kPduGetRequest;
    rec.MIBAdd(kLineOid, "", kAsnNull);
    EXPECT_EQ(hexOf(rec.EncodeBuf()),
              hexOf(bytes("30 2B 02 01 00 04 06 61 6D 62 69 74 6F") + bytes(kGetRequestPdu)));
}

TEST(SnmpRecEncode, GetNextRequestAsSent) {
    TSNMPRec rec;
    rec.PDUType = kPduGetNextRequest;
    rec.ID = 2;
    rec.MIBAdd("1.3.6.1.4.1", "whatever", kAsnNull);  // a NULL ignores the value text
    const std::string message = rec.EncodeBuf();
    EXPECT_EQ(hexOf(message.substr(13)), hexOf(bytes(kGetNextRequestPdu)));
    EXPECT_EQ(hexOf(message.substr(0, 2)), "30 23");
}

TEST(SnmpRecEncode, ValuesByType) {
    const struct {
        const char* value;
        int type;
        const char* item;
    } cases[] = {
        {"1", kAsnInteger, "02 01 01"},
        {"-1", kAsnInteger, "02 04 FF FF FF FF"},
        {"abc", kAsnInteger, "02 01 00"},  // not a number: 0
        {"", kAsnNull, "05 00"},
        {"1.3.6.1", kAsnObjectId, "06 03 2B 06 01"},
        {"192.168.1.10", kAsnIpAddress, "40 04 C0 A8 01 0A"},
        {"10.1", kAsnIpAddress, "40 04 0A 01 00 00"},
        {"UPS 1", kAsnOctetString, "04 05 55 50 53 20 31"},
        {"49570", kAsnTimeTicks, "43 03 00 C1 A2"},
        {"-1", kAsnCounter, "41 05 00 FF FF FF FF"},
        {"4294967295", kAsnGauge, "42 05 00 FF FF FF FF"},
        {"\x01", kAsnBoolean, "01 01 01"},  // other types carry their text unchanged
    };
    for (const auto& c : cases) {
        TSNMPRec rec;
        rec.PDUType = kPduSetRequest;
        rec.MIBAdd("1.3", c.value, c.type);
        const std::string message = rec.EncodeBuf();
        const std::string item = bytes(c.item);
        ASSERT_GE(message.size(), item.size());
        EXPECT_EQ(hexOf(message.substr(message.size() - item.size())), hexOf(item)) << c.value;
    }
}

TEST(SnmpRecEncode, LongMessagesUseLongLengths) {
    TSNMPRec rec;
    rec.PDUType = kPduGetResponse;
    rec.MIBAdd(kLineOid, std::string(300, 'n'), kAsnOctetString);
    const std::string message = rec.EncodeBuf();
    EXPECT_EQ(hexOf(message.substr(0, 4)), "30 82 01 5F");
    TSNMPRec back;
    ASSERT_TRUE(back.DecodeBuf(message));
    EXPECT_EQ(back, rec);
}

TEST(SnmpRecDecode, NetSnmpTrapFieldByField) {
    TSNMPRec rec;
    ASSERT_TRUE(rec.DecodeBuf(bytes(kNetSnmpTrap)));
    EXPECT_EQ(rec.Version, 0);
    EXPECT_EQ(rec.Community, "public");
    EXPECT_EQ(rec.PDUType, kPduTrap);
    EXPECT_EQ(rec.OldTrapEnterprise, "1.3.6.1.4.1.27431");
    EXPECT_EQ(rec.OldTrapHost, "127.0.0.1");
    EXPECT_EQ(rec.OldTrapGen, 6);
    EXPECT_EQ(rec.OldTrapSpec, 1);
    EXPECT_EQ(rec.OldTrapTimeTicks, 49570);
    ASSERT_EQ(rec.MIBCount(), 2);
    EXPECT_EQ(*rec.MIBByIndex(0), (TSNMPMib{kBatteryOid, "2", kAsnInteger}));
    EXPECT_EQ(*rec.MIBByIndex(1), (TSNMPMib{kLineOid, "2", kAsnInteger}));
    // A trap carries no request identifier: the record keeps its own.
    EXPECT_EQ(rec.ID, 1);
    // The encoder lays a trap out the same way.
    EXPECT_EQ(hexOf(rec.EncodeBuf()), hexOf(bytes(kNetSnmpTrap)));
}

TEST(SnmpRecDecode, RejectsWhatCannotBeAMessage) {
    const char* cases[] = {
        "",
        "30",
        "02 01 00",              // first octet without the constructed bit
        "30 84 00 00",           // outer length octets cut
        "30 05 02 01 00",        // says 5, holds 3
        "30 82 01 2C 02 01 00",  // says 300
    };
    for (const char* c : cases) {
        TSNMPRec rec;
        EXPECT_FALSE(rec.DecodeBuf(bytes(c))) << c;
    }
    // Says 200, holds 150.
    std::string cut = bytes("30 81 C8") + std::string(147, '\x05');
    TSNMPRec rec;
    EXPECT_FALSE(rec.DecodeBuf(cut));
    // The first octet is not otherwise tested.
    EXPECT_TRUE(rec.DecodeBuf(bytes("A0 00")));
    EXPECT_TRUE(rec.DecodeBuf(bytes("30 80")));
}

TEST(SnmpRecDecode, OuterLengthInAnyFormGivesTheSameBindings) {
    // Ends in the smallest binding the decoder reads: a SEQUENCE holding an empty name.
    const std::string content = bytes(
        "02 01 00 04 01 41 A2 18 02 01 01 02 01 00 02 01 00 30 0D 30 07 06 02 2B 06 02 01 07 "
        "30 02 06 00");
    TSNMPRec minimal;
    ASSERT_TRUE(minimal.DecodeBuf(bytes("30 20") + content));
    ASSERT_EQ(minimal.MIBCount(), 2);
    EXPECT_EQ(*minimal.MIBByIndex(0), (TSNMPMib{"1.3.6", "7", kAsnInteger}));
    for (const char* length : {"81 20", "82 00 20", "84 00 00 00 20"}) {
        TSNMPRec rec;
        ASSERT_TRUE(rec.DecodeBuf(bytes("30") + bytes(length) + content)) << length;
        EXPECT_EQ(rec.MIBCount(), minimal.MIBCount()) << length;
        EXPECT_TRUE(rec == minimal) << length;
    }
}

TEST(SnmpRecDecode, BindingValues) {
    const struct {
        const char* item;
        const char* value;
        int type;
    } cases[] = {
        {"05 00", "", kAsnNull},
        {"02 01 FF", "-1", kAsnInteger},
        {"02 02 00 80", "128", kAsnInteger},
        {"40 04 C0 A8 01 0A", "192.168.1.10", kAsnIpAddress},
        {"04 03 55 50 53", "UPS", kAsnOctetString},
        {"43 04 80 00 00 00", "-2147483648", kAsnTimeTicks},
        {"30 00", "", kAsnSequence},  // constructed values have no text
    };
    for (const auto& c : cases) {
        TSNMPRec rec;
        ASSERT_TRUE(rec.DecodeBuf(responseWith(bytes(c.item)))) << c.item;
        ASSERT_EQ(rec.MIBCount(), 1) << c.item;
        EXPECT_EQ(rec.MIBByIndex(0)->OID, kLineOid);
        EXPECT_EQ(rec.MIBByIndex(0)->Value, c.value) << c.item;
        EXPECT_EQ(rec.MIBByIndex(0)->ValueType, c.type) << c.item;
    }
}

TEST(SnmpRecDecode, ErrorAnswerDecodesWithItsStatus) {
    TSNMPRec rec;
    ASSERT_TRUE(rec.DecodeBuf(responseWith(bytes("05 00"), 2)));
    EXPECT_EQ(rec.PDUType, kPduGetResponse);
    EXPECT_EQ(rec.ErrorStatus, 2);
    EXPECT_EQ(rec.MIBGet(kLineOid), "");
}

TEST(SnmpRecDecode, MibGetComparesTextsNotIdentifiers) {
    // The same identifier with its first sub-identifier in two octets reads as another text.
    std::string message = responseWith(bytes("02 01 01"));
    const std::string name = bytes("06 0D 2B");
    const std::size_t at = message.find(name);
    ASSERT_NE(at, std::string::npos);
    message.replace(at, name.size(), bytes("06 0E 80 2B"));
    for (std::size_t pos : {std::size_t{1}, std::size_t{14}, std::size_t{25}, std::size_t{27}}) {
        ++message[pos];
    }
    TSNMPRec rec;
    ASSERT_TRUE(rec.DecodeBuf(message));
    ASSERT_EQ(rec.MIBCount(), 1);
    EXPECT_EQ(rec.MIBByIndex(0)->OID, ".43.6.1.4.1.27431.1.1.1.2.0");
    EXPECT_EQ(rec.MIBGet(kLineOid), "");
}

TEST(SnmpRecDecode, ReplacesEverythingButTheIdentifierOfTraps) {
    TSNMPRec rec;
    rec.ID = 55;
    ASSERT_TRUE(rec.DecodeBuf(responseWith(bytes("02 01 05"))));
    EXPECT_EQ(rec.ID, 1);
    rec.ID = 55;
    ASSERT_TRUE(rec.DecodeBuf(bytes(kNetSnmpTrap)));
    EXPECT_EQ(rec.ID, 55);
    EXPECT_EQ(rec.MIBCount(), 2);
    ASSERT_TRUE(rec.DecodeBuf(responseWith(bytes("02 01 05"))));
    EXPECT_EQ(rec.MIBCount(), 1);
    EXPECT_EQ(rec.OldTrapEnterprise, "");
}

TEST(SnmpRecDecode, VersionThreeYieldsNoEnterprise) {
    // A v3 message that happens to hold a trap PDU where a v1 message would.
    const std::string v3 = bytes("30 10 02 01 03 30 00 A4 09 06 07 2B 06 01 04 01 81 D6");
    TSNMPRec rec;
    EXPECT_TRUE(rec.DecodeBuf(v3));
    EXPECT_EQ(rec.Version, 3);
    EXPECT_EQ(rec.OldTrapEnterprise, "");
    EXPECT_EQ(rec.MIBCount(), 0);
}

TEST(SnmpRecDecode, MissingItemsGiveEmptiesAndZeros) {
    TSNMPRec rec;
    ASSERT_TRUE(rec.DecodeBuf(bytes("30 06 02 01 00 04 01 41")));
    EXPECT_EQ(rec.Community, "A");
    EXPECT_EQ(rec.PDUType, kAsnNull);
    EXPECT_EQ(rec.ErrorStatus, 0);
    EXPECT_EQ(rec.MIBCount(), 0);
    // Numbers are the decimal value of whatever item stands there.
    ASSERT_TRUE(rec.DecodeBuf(bytes("30 0E 04 02 2D 34 04 00 A2 06 04 02 31 37 05 00")));
    EXPECT_EQ(rec.Version, -4);
    EXPECT_EQ(rec.ID, 17);
}

std::vector<std::string> sampleMessages() {
    std::vector<std::string> messages = {bytes(kNetSnmpTrap),
                                         responseWith(bytes("04 03 55 50 53"))};
    MessageGenerator generate(99);
    for (int i = 0; i < 40; ++i) messages.push_back(generate.next().EncodeBuf());
    return messages;
}

TEST(SnmpRecRobustness, CutsFailTheLengthCheck) {
    for (const std::string& message : sampleMessages()) {
        int pos = 2;
        const std::int32_t outer = ASNDecLen(pos, message);
        for (std::size_t n = 0; n < message.size(); ++n) {
            TSNMPRec rec;
            // The check counts two header octets: a long-form length lets a message that lost
            // its last octets through, to be read as cut items.
            const bool passes = n >= 2 && n >= static_cast<std::size_t>(outer) + 2;
            EXPECT_EQ(rec.DecodeBuf(std::string_view(message).substr(0, n)), passes) << n;
            if (pos == 3) {
                EXPECT_FALSE(passes);
            }
        }
    }
}

// Where each part of an encoded message ends (1-based, exclusive): the community, then each
// binding in order.
struct MessageEnds {
    int community = 0;
    std::vector<int> bindings;
};

MessageEnds endsOf(const std::string& message) {
    MessageEnds ends;
    int pos = 1;
    readItemHead(pos, message);
    readItemHead(pos, message);
    readItemHead(pos, message);
    ends.community = pos;
    const int pduType = readItemHead(pos, message).tag;
    for (int i = 0; i < (pduType == kPduTrap ? 5 : 3); ++i) readItemHead(pos, message);
    readItemHead(pos, message);
    while (pos <= static_cast<int>(message.size())) {
        const AsnItemHead binding = readItemHead(pos, message);
        pos += static_cast<int>(binding.content.size());
        ends.bindings.push_back(pos);
    }
    return ends;
}

TEST(SnmpRecRobustness, CutMessagesKeepWhatIsWhole) {
    for (const std::string& message : sampleMessages()) {
        TSNMPRec whole;
        ASSERT_TRUE(whole.DecodeBuf(message));
        const MessageEnds ends = endsOf(message);
        ASSERT_EQ(static_cast<int>(ends.bindings.size()), whole.MIBCount());
        for (std::size_t n = 2; n < message.size(); ++n) {
            // Cut the message and make the outer length agree, so that the decoder meets the
            // cut items instead of refusing the message.
            std::string cut = message.substr(0, n);
            int pos = 2;
            if (ASNDecLen(pos, cut) < 0) continue;
            cut = bytes("30") + ASNEncLen(static_cast<std::uint32_t>(n) - (pos - 1)) +
                  cut.substr(static_cast<std::size_t>(pos - 1));
            TSNMPRec rec;
            rec.ID = whole.ID;
            ASSERT_TRUE(rec.DecodeBuf(cut)) << n;
            const int end = static_cast<int>(n) + 1;
            if (ends.community <= end) {
                EXPECT_EQ(rec.Community, whole.Community) << n;
            }
            for (int i = 0; i < whole.MIBCount() && ends.bindings[i] <= end; ++i) {
                ASSERT_GT(rec.MIBCount(), i) << n;
                EXPECT_EQ(*rec.MIBByIndex(i), *whole.MIBByIndex(i)) << n << " #" << i;
            }
        }
    }
}

TEST(SnmpRecRobustness, CorruptedOctetsStayInBounds) {
    const unsigned char replacements[] = {0x00, 0x01, 0x02, 0x04, 0x06, 0x30,
                                          0x7F, 0x80, 0x81, 0x84, 0xA4, 0xFF};
    for (const std::string& message : sampleMessages()) {
        for (std::size_t at = 0; at < message.size(); ++at) {
            for (unsigned char r : replacements) {
                std::string bad = message;
                bad[at] = static_cast<char>(r);
                TSNMPRec rec;
                if (!rec.DecodeBuf(bad)) continue;
                // Each binding takes at least two octets of the datagram.
                ASSERT_LE(rec.MIBCount(), static_cast<int>(bad.size()) / 2);
                std::size_t text = rec.Community.size() + rec.OldTrapEnterprise.size();
                for (int i = 0; i < rec.MIBCount(); ++i) {
                    text += rec.MIBByIndex(i)->OID.size() + rec.MIBByIndex(i)->Value.size();
                }
                ASSERT_LE(text, bad.size() * 6);
            }
        }
    }
}

TEST(SnmpRecRobustness, NestedItemsCostLinearMemory) {
    // A full-size datagram of nested SEQUENCEs, each one valid, under the binding list.
    std::string nested;
    while (nested.size() < 65000)
        nested = bytes("30") + ASNEncLen(static_cast<std::uint32_t>(nested.size())) + nested;
    std::string body = bytes("02 01 00 04 00 A2 00 02 01 00 02 01 00 02 01 00") + nested;
    const std::string message =
        bytes("30") + ASNEncLen(static_cast<std::uint32_t>(body.size())) + body;
    TSNMPRec rec;
    ASSERT_TRUE(rec.DecodeBuf(message));
    EXPECT_GT(rec.MIBCount(), 1000);
    for (int i = 0; i < rec.MIBCount(); ++i) {
        ASSERT_TRUE(rec.MIBByIndex(i)->OID.empty());
        ASSERT_TRUE(rec.MIBByIndex(i)->Value.empty());
    }
}

}  // namespace
}  // namespace ups
