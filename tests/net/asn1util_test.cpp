#include "net/asn1util.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <tuple>
#include <vector>

#include "hexBytes.h"

namespace ups {
namespace {

using test::bytes;
using test::hexOf;

TEST(Asn1Length, EncodesShortAndLongForms) {
    const struct {
        std::uint32_t length;
        const char* octets;
    } cases[] = {
        {0, "00"},
        {127, "7F"},
        {128, "81 80"},
        {255, "81 FF"},
        {256, "82 01 00"},
        {300, "82 01 2C"},
        {65536, "83 01 00 00"},
        {0xFFFFFFFF, "84 FF FF FF FF"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(hexOf(ASNEncLen(c.length)), hexOf(bytes(c.octets))) << c.length;
    }
}

TEST(Asn1Length, DecodesWithCursorRules) {
    const struct {
        const char* octets;
        int start;
        std::int32_t length;
        int cursorAfter;
    } cases[] = {
        {"7F", 1, 127, 2},
        {"81 80", 1, 128, 3},
        {"82 01 2C", 1, 300, 4},
        {"80", 1, 0, 2},                      // 0x80 alone is length 0
        {"00 82 01 2C", 2, 300, 5},           // read where the cursor stands
        {"82 01", 1, -1, 3},                  // length octets cut: past the end
        {"84 FF FF FF FF", 1, INT32_MAX, 6},  // too large for any text: saturates
        {"89 01 00 00 00 00 00 00 00 00", 1, INT32_MAX, 11},
        {"7F", 2, -1, 2},  // cursor past the end does not move
        {"7F", 0, -1, 0},
        {"", 1, -1, 1},
    };
    for (const auto& c : cases) {
        int cursor = c.start;
        EXPECT_EQ(ASNDecLen(cursor, bytes(c.octets)), c.length) << c.octets << " @" << c.start;
        EXPECT_EQ(cursor, c.cursorAfter) << c.octets << " @" << c.start;
    }
}

TEST(Asn1Length, RoundTripsEveryFormBoundary) {
    for (std::uint32_t length :
         {0u, 1u, 127u, 128u, 255u, 256u, 65535u, 65536u, 16777215u, 16777216u, 0x7FFFFFFFu}) {
        const std::string octets = ASNEncLen(length);
        int cursor = 1;
        EXPECT_EQ(ASNDecLen(cursor, octets), static_cast<std::int32_t>(length));
        EXPECT_EQ(cursor, static_cast<int>(octets.size()) + 1);
    }
}

TEST(Asn1Integer, EncodesExamplesWithTagAndLength) {
    const struct {
        std::int32_t value;
        const char* octets;
    } cases[] = {
        {0, "02 01 00"},
        {127, "02 01 7F"},
        {128, "02 02 00 80"},
        {256, "02 02 01 00"},
        {65535, "02 03 00 FF FF"},
        {-1, "02 04 FF FF FF FF"},
        {-128, "02 04 FF FF FF 80"},  // negative values always take four octets
        {32768, "02 03 00 80 00"},
        {INT32_MAX, "02 04 7F FF FF FF"},
        {INT32_MIN, "02 04 80 00 00 00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(hexOf(ASNObject(ASNEncInt(c.value), kAsnInteger)), hexOf(bytes(c.octets)))
            << c.value;
    }
}

TEST(Asn1Integer, DecodesBackToTheSameValue) {
    std::mt19937 random(7);
    for (int i = 0; i < 2000; ++i) {
        const auto value = static_cast<std::int32_t>(random());
        const std::string item = ASNObject(ASNEncInt(value), kAsnInteger);
        int cursor = 1;
        int type = 0;
        EXPECT_EQ(ASNItem(cursor, item, type), std::to_string(value));
    }
}

TEST(Asn1Object, UsesLongLengthsForLargeContent) {
    const std::string content(300, 'x');
    const std::string item = ASNObject(content, kAsnOctetString);
    EXPECT_EQ(hexOf(item.substr(0, 4)), "04 82 01 2C");
    EXPECT_EQ(item.substr(4), content);
}

TEST(Asn1Oid, EncodesTheEnterpriseObjectExample) {
    EXPECT_EQ(hexOf(ASNObject(MibToId("1.3.6.1.4.1.27431.1.1.1.2.0"), kAsnObjectId)),
              "06 0D 2B 06 01 04 01 81 D6 27 01 01 01 02 00");
}

TEST(Asn1Oid, TextToContentEdgeCases) {
    const struct {
        const char* text;
        const char* content;
    } cases[] = {
        {"1.3.6.1.4.1", "2B 06 01 04 01"},
        {"1", "28"},  // a missing second number counts as 0
        {"", "00"},
        {"1.3.x.6", "2B 00 06"},  // a piece that is not a number counts as 0
        {"1.3.-5", "2B 00"},
        {"1.3.4294967295", "2B 8F FF FF FF 7F"},
        {"1.3.4294967296", "2B 00"},  // beyond 32 bits is not a number either
        {"2.39.128", "77 81 00"},
        {".1.3", "01 03"},  // the empty first piece is 0
    };
    for (const auto& c : cases) {
        EXPECT_EQ(hexOf(MibToId(c.text)), hexOf(bytes(c.content))) << '"' << c.text << '"';
    }
}

TEST(Asn1Oid, ContentToTextEdgeCases) {
    const struct {
        const char* content;
        const char* text;
    } cases[] = {
        {"2B 06 01 04 01 81 D6 27 01 01 01 02 00", "1.3.6.1.4.1.27431.1.1.1.2.0"},
        {"2B", "1.3"},
        {"7F", "3.7"},
        {"", ""},
        // A first sub-identifier of more than one octet is not split, and so keeps its dot.
        {"88 37 05", ".1079.5"},
        {"80 2B 06", ".43.6"},
        // A last sub-identifier cut in its continuation ends with the text.
        {"2B 86", "1.3.6"},
        {"86", "0.6"},  // a single octet, even a cut one, is split
        // Beyond 32 bits only the low bits are kept.
        {"2B 90 80 80 80 80 05", "1.3.5"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IdToMib(bytes(c.content)), c.text) << c.content;
    }
}

TEST(Asn1Oid, SubIdentifierRoundTrip) {
    for (std::uint32_t value : {0u, 1u, 127u, 128u, 16383u, 16384u, 27431u, 0xFFFFFFFFu}) {
        const std::string octets = ASNEncOIDItem(value);
        int cursor = 1;
        EXPECT_EQ(ASNDecOIDItem(cursor, octets), value);
        EXPECT_EQ(cursor, static_cast<int>(octets.size()) + 1);
    }
    EXPECT_EQ(hexOf(ASNEncOIDItem(27431)), "81 D6 27");
    int cursor = 2;
    EXPECT_EQ(ASNDecOIDItem(cursor, bytes("2B")), 0u);
    EXPECT_EQ(cursor, 2);
}

TEST(Asn1Oid, GeneratedTextsRoundTrip) {
    std::mt19937 random(11);
    for (int i = 0; i < 1000; ++i) {
        const std::uint32_t first = random() % 3;
        std::string text = std::to_string(first) + "." + std::to_string(random() % 40);
        for (int n = random() % 12; n > 0; --n)
            text += "." + std::to_string(random() >> (random() % 32));
        EXPECT_EQ(IdToMib(MibToId(text)), text);
    }
}

TEST(Asn1Oid, NamesInTurnGiveTheirOwnTexts) {
    // One writer reads them in turn, keeping what a name shares with the one before: names of one
    // enterprise, shares that end inside a sub-identifier of several octets, a first one of several
    // octets (which keeps its dot), shorter, equal, empty and cut names; then random names, each
    // sharing a random start with the one before, some too long to keep.
    std::vector<std::string> contents;
    contents.reserve(5100);  // the writer keeps views of the names before
    for (const char* hex :
         {"2B 06 01 04 01 81 D6 27", "2B 06 01 04 01 81 D6 27 01 01 01 01 00",
          "2B 06 01 04 01 81 D6 27 01 01 02 04 00", "2B 81 D6 28 05", "2B 81 D7 27", "2B 81",
          "88 37 05", "88 37 06 07", "88 38", "2B 06", "2B 06", "", "2B 06 86", "86", "7F"}) {
        contents.push_back(bytes(hex));
    }
    std::mt19937 random(17);
    for (int i = 0; i < 5000; ++i) {
        std::string content = contents.back().substr(0, random() % (contents.back().size() + 1));
        for (int n = random() % (i % 50 == 0 ? 150 : 8); n > 0; --n) {
            content.push_back(static_cast<char>(random() % 4 ? random() % 8 : random()));
        }
        contents.push_back(content);
    }
    MibTextWriter writer;
    std::string text = "a text from before";
    for (const std::string& content : contents) {
        writer.assign(text, content);
        ASSERT_EQ(text, IdToMib(content)) << hexOf(content);
    }
}

struct ItemCase {
    const char* octets;
    int start;
    std::string value;
    int type;
    int cursorAfter;
};

TEST(Asn1Item, ValueTextByTag) {
    const ItemCase cases[] = {
        {"02 01 FF", 1, "-1", kAsnInteger, 4},
        {"02 02 00 80", 1, "128", kAsnInteger, 5},
        {"02 00", 1, "0", kAsnInteger, 3},
        {"02 05 01 00 00 00 05", 1, "5", kAsnInteger, 8},  // only the low 32 bits count
        {"01 01 FF", 1, "-1", kAsnBoolean, 4},
        {"0A 01 02", 1, "2", kAsnEnumerated, 4},
        {"04 03 61 00 62", 1, std::string("a\0b", 3), kAsnOctetString, 6},
        {"44 02 01 02", 1, "\x01\x02", kAsnOpaque, 5},
        {"05 00", 1, "", kAsnNull, 3},
        {"06 03 2B 06 01", 1, "1.3.6.1", kAsnObjectId, 6},
        {"40 04 C0 A8 01 0A", 1, "192.168.1.10", kAsnIpAddress, 7},
        {"41 04 FF FF FF FF", 1, "-1", kAsnCounter, 7},
        {"42 01 05", 1, "5", kAsnGauge, 4},
        {"43 05 00 80 00 00 00", 1, "-2147483648", kAsnTimeTicks, 8},
        {"43 03 00 C1 A2", 1, "49570", kAsnTimeTicks, 6},
        {"47 02 41 42", 1, "AB", 0x47, 5},  // unknown tags give their octets
        {"00 00 02 01 07", 3, "7", kAsnInteger, 6},
    };
    for (const auto& c : cases) {
        int cursor = c.start;
        int type = -1;
        EXPECT_EQ(ASNItem(cursor, bytes(c.octets), type), c.value) << c.octets;
        EXPECT_EQ(type, c.type) << c.octets;
        EXPECT_EQ(cursor, c.cursorAfter) << c.octets;
    }
}

TEST(Asn1Item, CursorRulesAtTheEdges) {
    const ItemCase cases[] = {
        // Constructed: the value is the content and the next read enters it.
        {"30 03 02 01 05", 1, "\x02\x01\x05", kAsnSequence, 3},
        {"A2 00", 1, "", 0xA2, 3},
        // Fewer than two octets left: NULL, cursor unmoved.
        {"02", 1, "", kAsnNull, 1},
        {"02 01 05", 3, "", kAsnNull, 3},
        {"02 01 05", 4, "", kAsnNull, 4},
        {"02 01 05", 0, "", kAsnNull, 0},
        // Content past the end: empty, the tag, cursor after the header.
        {"04 05 61 62", 1, "", kAsnOctetString, 3},
        {"30 05 02 01", 1, "", kAsnSequence, 3},
        {"04 82 01 2C 61", 1, "", kAsnOctetString, 5},
        {"04 84 FF FF FF FF 00", 1, "", kAsnOctetString, 7},
        // Length octets themselves cut: cursor past the end.
        {"04 82 01", 1, "", kAsnOctetString, 4},
    };
    for (const auto& c : cases) {
        int cursor = c.start;
        int type = -1;
        EXPECT_EQ(ASNItem(cursor, bytes(c.octets), type), c.value) << c.octets << " @" << c.start;
        EXPECT_EQ(type, c.type) << c.octets << " @" << c.start;
        EXPECT_EQ(cursor, c.cursorAfter) << c.octets << " @" << c.start;
    }
}

TEST(Asn1Item, WalksAGetRequestItemByItem) {
    const std::string message = bytes(
        "30 2B 02 01 00 04 06 61 6D 62 69 74 6F A0 1E 02 01 01 02 01 00 02 01 00 30 13 30 11 06 0D"
        " 2B 06 01 04 01 81 D6 27 01 01 01 02 00 05 00");
    const int expectedTypes[] = {0x30, 2, 4, 0xA0, 2, 2, 2, 0x30, 0x30, 6, 5};
    const std::string expectedValues[] = {
        "", "0", "ambito", "", "1", "0", "0", "", "", "1.3.6.1.4.1.27431.1.1.1.2.0", ""};
    int cursor = 1;
    for (std::size_t i = 0; i < std::size(expectedTypes); ++i) {
        int type = 0;
        const std::string value = ASNItem(cursor, message, type);
        EXPECT_EQ(type, expectedTypes[i]) << i;
        if (!(type & kAsnConstructed)) {
            EXPECT_EQ(value, expectedValues[i]) << i;
        }
    }
    EXPECT_EQ(cursor, static_cast<int>(message.size()) + 1);
}

TEST(Asn1Item, RandomInputStaysInsideAndTheMessageReadersAgree) {
    std::mt19937 random(3);
    for (int i = 0; i < 20000; ++i) {
        std::string text(random() % 24, '\0');
        for (char& c : text) c = static_cast<char>(random());
        int cursor = 1;
        int steps = 0;
        while (true) {
            const int before = cursor;
            int type = 0;
            const std::string value = ASNItem(cursor, text, type);
            ASSERT_GE(cursor, before);
            ASSERT_LE(cursor, static_cast<int>(text.size()) + 1);
            ASSERT_LE(value.size(), text.size() * 4);
            // What the message decoder reads instead of ASNItem: the same item, the same move.
            ItemCursor entered(text, before), numbered(text, before), read(text, before);
            ASSERT_EQ(entered.enter(), type);
            ASSERT_EQ(numbered.number(), decimalOrZero(value));
            // The text into a string that held another text before.
            std::string again = "earlier text, longer than the string's own room";
            int againType = -1;
            int againCursor = before;
            ASNItem(againCursor, text, again, againType);
            ASSERT_EQ(std::tie(again, againType), std::tie(value, type));
            ASSERT_EQ(read.next().tag, type);
            ASSERT_EQ(std::make_tuple(entered.position(), numbered.position(), read.position()),
                      std::make_tuple(cursor, cursor, cursor));
            ASSERT_EQ(againCursor, cursor);
            if (cursor == before) break;
            ASSERT_LT(++steps, 64);
        }
    }
}

TEST(Asn1Decimal, ParsesWholeSignedNumbersOnly) {
    const struct {
        const char* text;
        std::int32_t value;
    } cases[] = {
        {"0", 0},
        {"15", 15},
        {"-1", -1},
        {"+7", 7},
        {"2147483647", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"2147483648", 0},
        {"", 0},
        {"-", 0},
        {"12a", 0},
        {" 1", 0},
        {"1.5", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(decimalOrZero(c.text), c.value) << c.text;
}

}  // namespace
}  // namespace ups
