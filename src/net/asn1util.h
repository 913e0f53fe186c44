#pragma once
// Definite-length BER as SNMP v1 needs it. Every encoded or decoded unit is a byte text held in a
// std::string (it may contain zero octets). Cursors are 1-based: cursor 1 stands on the first
// octet, and a cursor of size() + 1 stands past the end. No function here reads outside its byte
// text, whatever the octets say.
#include <cstdint>
#include <string>
#include <string_view>

namespace ups {

// BER tags of the values the codec knows.
inline constexpr int kAsnBoolean = 0x01;
inline constexpr int kAsnInteger = 0x02;
inline constexpr int kAsnOctetString = 0x04;
inline constexpr int kAsnNull = 0x05;
inline constexpr int kAsnObjectId = 0x06;
inline constexpr int kAsnEnumerated = 0x0A;
inline constexpr int kAsnSequence = 0x30;
inline constexpr int kAsnIpAddress = 0x40;
inline constexpr int kAsnCounter = 0x41;
inline constexpr int kAsnGauge = 0x42;
inline constexpr int kAsnTimeTicks = 0x43;
inline constexpr int kAsnOpaque = 0x44;

inline constexpr int kAsnConstructed = 0x20;

// Length octets: short form below 128, else 0x80 + count followed by the fewest big-endian octets.
std::string ASNEncLen(std::uint32_t len);
void appendLength(std::string& out, std::uint32_t len);

// Reads length octets at `start` and moves it past them. Returns -1 when the octets run out
// before the length is complete (the cursor then stands past the end). A length too large for
// any byte text this codec can hold saturates at INT32_MAX, so callers may compare it with what
// remains without overflow.
std::int32_t ASNDecLen(int& start, std::string_view buffer);

// Content octets of a signed 32-bit INTEGER: fewest octets for non-negative values (a leading 00
// keeps the sign clear), all four two's-complement octets for negative ones.
std::string ASNEncInt(std::int32_t value);

// Content octets of a Counter, Gauge or TimeTicks value: the 32 bits as an unsigned number in the
// fewest octets, a leading 00 keeping the sign clear.
std::string unsignedContent(std::uint32_t value);

// Content octets of an IpAddress: the four pieces of the dotted text, each read as decimalOrZero
// reads it and cut to its low eight bits; missing pieces are 0.
std::string ipAddressContent(std::string_view dotted);

// Tag octet, length octets, content. Encoders build a message from the inside out, appending
// each item to the content of the one that encloses it.
std::string ASNObject(std::string_view data, int asnType);
void appendObject(std::string& out, std::string_view data, int asnType);

// One sub-identifier in base 128, most significant group first.
std::string ASNEncOIDItem(std::uint32_t value);
void appendOIDItem(std::string& out, std::uint32_t value);

// Reads one sub-identifier at `start`, stopping at the end of the byte text if the last octet
// still has its continuation bit. Only the low 32 bits of an oversized value survive.
std::uint32_t ASNDecOIDItem(int& start, std::string_view buffer);

// OBJECT IDENTIFIER content from dotted text and back. Pieces that are not unsigned 32-bit
// decimal numbers, and missing first or second pieces, count as 0.
std::string MibToId(std::string_view mib);
std::string IdToMib(std::string_view data);
void appendMibText(std::string& out, std::string_view data);

// Reads one item at `start`: returns its value text and sets `valueType` to its tag. A constructed
// item leaves the cursor at its first content octet, so the next read enters it. With fewer than
// two octets left the result is empty, the type NULL and the cursor unmoved; a header or content
// that would run past the end gives an empty value, the tag as type and the cursor after the
// header (or past the end when the length octets themselves are cut).
inline std::string ASNItem(int& start, std::string_view buffer, int& valueType);

// What ASNItem reads before it builds a value text: the tag and the content octets, with the
// cursor moved exactly as ASNItem moves it. `complete` is false where ASNItem would give an empty
// value because the item is cut (`content` is then empty). The message decoder works on these so
// that entering a constructed item never copies its content.
struct AsnItemHead {
    int tag = kAsnNull;
    std::string_view content;
    bool complete = false;
};
inline AsnItemHead readItemHead(int& start, std::string_view buffer);

// The value text of a primitive item, by tag, as ASNItem gives it.
void appendValueText(std::string& out, int tag, std::string_view content);
// decimalOrZero of the text ASNItem gives for a whole item of this tag and content.
std::int32_t valueTextAsNumber(int tag, std::string_view content);

// Steps into the constructed item at `start` as ASNItem does, without copying its content, and
// returns its tag.
inline int enterItem(int& start, std::string_view buffer) {
    return readItemHead(start, buffer).tag;
}

// ASNItem for the names and values of bindings, which are never constructed in an SNMP v1
// message: a constructed item gives an empty text. Its content is read again as the items that
// follow, and copying it as well would let nested items cost memory quadratic in their size.
inline std::string primitiveItem(int& start, std::string_view buffer, int& valueType);

// decimalOrZero of ASNItem's text, read straight from the octets for the number types.
inline std::int32_t itemNumber(int& start, std::string_view buffer);

// Content as a big-endian two's-complement number; only the low 32 bits count.
inline std::int32_t contentAsSigned(std::string_view content) {
    std::uint32_t value = 0;
    if (!content.empty() && (static_cast<std::uint8_t>(content[0]) & 0x80)) value = UINT32_MAX;
    for (char c : content) value = (value << 8) | static_cast<std::uint8_t>(c);
    return static_cast<std::int32_t>(value);
}

// Content as a big-endian unsigned number; only the low 32 bits count, read back as signed.
inline std::int32_t contentAsUnsigned(std::string_view content) {
    std::uint32_t value = 0;
    for (char c : content) value = (value << 8) | static_cast<std::uint8_t>(c);
    return static_cast<std::int32_t>(value);
}

// Decimal text helpers shared with the message layer.
void appendDecimal(std::string& out, std::int64_t value);
// Whole text as a signed 32-bit decimal number (optional sign, digits only); 0 otherwise.
std::int32_t decimalOrZero(std::string_view text);
// The value text of a Counter, Gauge or TimeTicks back to its 32 bits: the signed number that
// ASNItem writes for 2^31 and more, or the unsigned number itself; 0 for anything else.
std::uint32_t unsignedOrZero(std::string_view text);

// Every received datagram goes through these several times per binding, so they are inline.
inline AsnItemHead readItemHead(int& start, std::string_view buffer) {
    // Cursors are ints: a longer text is read as if it ended here, so that `start + length`
    // cannot overflow.
    constexpr std::size_t kMaxReadable = 0x3FFFFFFF;
    const int n = static_cast<int>(buffer.size() < kMaxReadable ? buffer.size() : kMaxReadable);
    AsnItemHead head;
    if (start < 1 || start + 1 > n) return head;
    const auto* octets = reinterpret_cast<const unsigned char*>(buffer.data());
    head.tag = octets[start++ - 1];
    const unsigned char first = octets[start - 1];
    // Short lengths, nearly every one in SNMP, are read here; the rest by ASNDecLen.
    const std::int32_t len = first < 0x80 ? (++start, first) : ASNDecLen(start, buffer);
    if (len < 0) {
        start = n + 1;
        return head;
    }
    if (static_cast<std::int64_t>(start) + len - 1 > n) return head;
    head.content =
        buffer.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(len));
    head.complete = true;
    if (!(head.tag & kAsnConstructed)) start += len;
    return head;
}

inline std::string ASNItem(int& start, std::string_view buffer, int& valueType) {
    const AsnItemHead head = readItemHead(start, buffer);
    valueType = head.tag;
    std::string value;
    if (!head.complete) return value;
    if (head.tag & kAsnConstructed) {
        value.assign(head.content);
    } else {
        appendValueText(value, head.tag, head.content);
    }
    return value;
}

inline std::string primitiveItem(int& start, std::string_view buffer, int& valueType) {
    const AsnItemHead head = readItemHead(start, buffer);
    valueType = head.tag;
    std::string value;
    if (head.complete && !(head.tag & kAsnConstructed)) {
        appendValueText(value, head.tag, head.content);
    }
    return value;
}

inline std::int32_t itemNumber(int& start, std::string_view buffer) {
    const AsnItemHead head = readItemHead(start, buffer);
    if (!head.complete) return 0;
    switch (head.tag) {
        case kAsnBoolean:
        case kAsnInteger:
        case kAsnEnumerated:
            return contentAsSigned(head.content);
        case kAsnCounter:
        case kAsnGauge:
        case kAsnTimeTicks:
            return contentAsUnsigned(head.content);
        default:
            return valueTextAsNumber(head.tag, head.content);
    }
}

}  // namespace ups
