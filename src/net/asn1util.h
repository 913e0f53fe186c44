#pragma once
// Definite-length BER as SNMP v1 needs it. Every encoded or decoded unit is a byte text held in a
// std::string (it may contain zero octets). Cursors are 1-based: cursor 1 stands on the first
// octet, and a cursor of size() + 1 stands past the end. No function here reads outside its byte
// text, whatever the octets say.
//
// Encoders size every item before they write it: an item's length octets follow from the sizes
// of its parts, so a whole message is written forward, once, into a buffer of its exact size,
// and no item is built apart to be copied into the one that encloses it. The size functions
// below give exactly the number of octets their writers write.
#include <cstddef>
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

// ---- Sizes and forward writers ------------------------------------------------------------
// Each writer writes at `at` and returns the position after what it wrote.

// Length octets: short form below 128, else 0x80 + count followed by the fewest big-endian octets.
constexpr std::size_t lengthSize(std::uint32_t len) {
    return len < 0x80 ? 1 : len < 0x100 ? 2 : len < 0x10000 ? 3 : len < 0x1000000 ? 4 : 5;
}

// Tag octet, length octets and content of `contentSize` octets.
constexpr std::size_t itemSize(std::size_t contentSize) {
    return 1 + lengthSize(static_cast<std::uint32_t>(contentSize)) + contentSize;
}

// The tag octet and the length octets; the content goes at the returned position.
inline char* writeHeader(char* at, int tag, std::size_t contentSize) {
    auto len = static_cast<std::uint32_t>(contentSize);
    *at++ = static_cast<char>(tag & 0xFF);
    if (len < 0x80) {
        *at++ = static_cast<char>(len);
        return at;
    }
    const std::size_t count = lengthSize(len) - 1;
    *at = static_cast<char>(0x80 | count);
    for (std::size_t i = count; i > 0; --i, len >>= 8) at[i] = static_cast<char>(len & 0xFF);
    return at + count + 1;
}

// Content of a Counter, Gauge or TimeTicks value: the 32 bits as an unsigned number in the fewest
// octets, a leading 00 keeping the sign clear.
constexpr std::size_t unsignedSize(std::uint32_t value) {
    return value < 0x80         ? 1
           : value < 0x8000     ? 2
           : value < 0x800000   ? 3
           : value < 0x80000000 ? 4
                                : 5;
}

// Content of a signed 32-bit INTEGER: as unsignedSize for non-negative values, all four
// two's-complement octets for negative ones.
constexpr std::size_t signedSize(std::int32_t value) {
    return value < 0 ? 4 : unsignedSize(static_cast<std::uint32_t>(value));
}

// The low `count` octets of `bits`, big-endian (octets above the 32 bits are 00).
inline char* writeBigEndian(char* at, std::uint64_t bits, std::size_t count) {
    for (std::size_t i = count; i > 0; --i, bits >>= 8) at[i - 1] = static_cast<char>(bits & 0xFF);
    return at + count;
}

inline char* writeUnsigned(char* at, std::uint32_t value) {
    return writeBigEndian(at, value, unsignedSize(value));
}

inline char* writeSigned(char* at, std::int32_t value) {
    return writeBigEndian(at, static_cast<std::uint32_t>(value), signedSize(value));
}

// OBJECT IDENTIFIER content of dotted text. Pieces that are not unsigned 32-bit decimal numbers,
// and missing first or second pieces, count as 0; the first two make one sub-identifier
// 40 * a + b. Each sub-identifier is in base 128, most significant group first.
std::size_t oidSize(std::string_view dotted);
char* writeOid(char* at, std::string_view dotted);

// Content of an IpAddress: the four pieces of the dotted text, each read as decimalOrZero reads
// it and cut to its low eight bits; missing pieces are 0.
inline constexpr std::size_t kIpAddressSize = 4;
char* writeIpAddress(char* at, std::string_view dotted);

// The same units as byte texts of their own.
std::string ASNEncLen(std::uint32_t len);
std::string ASNEncInt(std::int32_t value);
std::string ASNObject(std::string_view data, int asnType);
std::string ASNEncOIDItem(std::uint32_t value);
std::string MibToId(std::string_view mib);

// ---- Readers ------------------------------------------------------------------------------

// Reads length octets at `start` and moves it past them. Returns -1 when the octets run out
// before the length is complete (the cursor then stands past the end). A length too large for
// any byte text this codec can hold saturates at INT32_MAX, so callers may compare it with what
// remains without overflow.
std::int32_t ASNDecLen(int& start, std::string_view buffer);

// Reads one sub-identifier at `start`, stopping at the end of the byte text if the last octet
// still has its continuation bit. Only the low 32 bits of an oversized value survive.
std::uint32_t ASNDecOIDItem(int& start, std::string_view buffer);

// Dotted text of OBJECT IDENTIFIER content: a first sub-identifier of one octet is split into
// its quotient and remainder by 40, and every sub-identifier follows a ".".
std::string IdToMib(std::string_view data);

// IdToMib for the identifiers of one message in turn. The names of a message's bindings mostly
// share all but their last sub-identifiers: the text of the sub-identifiers an identifier shares
// with the one before is kept, and only the rest is written. The contents given must stay valid
// while the writer is used (they are views of one datagram).
class MibTextWriter {
public:
    // Sets `out` to IdToMib(content).
    void assign(std::string& out, std::string_view content);

private:
    static constexpr std::size_t kMaxOctets = 128;
    // The identifier before, whose text is at the start of text_; ends_ holds, at the index of
    // each of its sub-identifiers' last octet, the length of the text up to there.
    std::string_view earlier_;
    std::uint16_t ends_[kMaxOctets];
    // At most four characters per octet (".127"), and one more for the first octet's split.
    char text_[4 * kMaxOctets + 1];
};

// Reads one item at `start`: returns its value text and sets `valueType` to its tag. A constructed
// item leaves the cursor at its first content octet, so the next read enters it. With fewer than
// two octets left the result is empty, the type NULL and the cursor unmoved; a header or content
// that would run past the end gives an empty value, the tag as type and the cursor after the
// header (or past the end when the length octets themselves are cut).
inline std::string ASNItem(int& start, std::string_view buffer, int& valueType);
// The same read into `value`, whose room is reused.
inline void ASNItem(int& start, std::string_view buffer, std::string& value, int& valueType);

// What ASNItem reads before it builds a value text: the tag and the content octets, with the
// cursor moved exactly as ASNItem moves it. `complete` is false where ASNItem would give an empty
// value because the item is cut (`content` is then empty). The message decoder works on these so
// that entering a constructed item never copies its content.
struct AsnItemHead {
    int tag = kAsnNull;
    std::string_view content;
    bool complete = false;
};

// Reads items one after the other from one byte text, each as ASNItem would read it at the
// cursor, with the text's bounds worked out once.
class ItemCursor {
public:
    // `start` is 1-based, from 1 to one past the last octet.
    ItemCursor(std::string_view buffer, int start)
        : buffer_(buffer),
          at_(reinterpret_cast<const std::uint8_t*>(buffer.data()) + (start - 1)),
          // Cursors are ints: a longer text is read as if it ended here, so that `start +
          // length` cannot overflow.
          end_(reinterpret_cast<const std::uint8_t*>(buffer.data()) + readableSize(buffer)) {}

    // A text longer than this is read as if it ended here.
    static int readableSize(std::string_view buffer) {
        return static_cast<int>(buffer.size() < kMaxReadable ? buffer.size() : kMaxReadable);
    }

    // The 1-based cursor.
    int position() const {
        return static_cast<int>(at_ - reinterpret_cast<const std::uint8_t*>(buffer_.data())) + 1;
    }

    // The next item's tag and content.
    inline AsnItemHead next();
    // Steps into a constructed item without copying its content, and returns its tag.
    int enter() { return next().tag; }
    // decimalOrZero of the next item's ASNItem text, read straight from the octets for the number
    // types.
    inline std::int32_t number();

private:
    static constexpr std::size_t kMaxReadable = 0x3FFFFFFF;

    std::string_view buffer_;
    const std::uint8_t* at_;
    const std::uint8_t* end_;
};

// One item at `start`, as ItemCursor reads it; a cursor outside the text reads nothing and stays.
inline AsnItemHead readItemHead(int& start, std::string_view buffer) {
    if (start < 1 || start > ItemCursor::readableSize(buffer) + 1) return {};
    ItemCursor cursor(buffer, start);
    const AsnItemHead head = cursor.next();
    start = cursor.position();
    return head;
}

// Sets `value` to the text ASNItem gives for an item already read.
inline void assignItemText(std::string& value, const AsnItemHead& head);

// Sets `out` to the value text of a primitive item, by tag, as ASNItem gives it. The text is
// written into `out` in place, so a string that already has the room costs no allocation.
void assignValueText(std::string& out, int tag, std::string_view content);
// decimalOrZero of the text ASNItem gives for a whole item of this tag and content.
std::int32_t valueTextAsNumber(int tag, std::string_view content);

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

// Whole text as a signed 32-bit decimal number (optional sign, digits only); 0 otherwise.
std::int32_t decimalOrZero(std::string_view text);
// The value text of a Counter, Gauge or TimeTicks back to its 32 bits: the signed number that
// ASNItem writes for 2^31 and more, or the unsigned number itself; 0 for anything else.
std::uint32_t unsignedOrZero(std::string_view text);

// Every received datagram goes through these several times per binding, so they are inline.
inline AsnItemHead ItemCursor::next() {
    AsnItemHead head;
    if (end_ - at_ < 2) return head;
    head.tag = at_[0];
    std::int32_t len = at_[1];
    // Short lengths, nearly every one in SNMP, are read here; the rest by ASNDecLen.
    if (len < 0x80) {
        at_ += 2;
    } else {
        int pos = position() + 1;
        len = ASNDecLen(pos, buffer_);
        at_ = reinterpret_cast<const std::uint8_t*>(buffer_.data()) + (pos - 1);
        if (len < 0) return head;
    }
    if (len > end_ - at_) return head;
    head.content =
        std::string_view(reinterpret_cast<const char*>(at_), static_cast<std::size_t>(len));
    head.complete = true;
    if (!(head.tag & kAsnConstructed)) at_ += len;
    return head;
}

inline std::int32_t ItemCursor::number() {
    // The usual case first: an INTEGER, Counter, Gauge or TimeTicks of one to four octets, whole
    // in the text.
    if (end_ - at_ >= 3) {
        const int tag = at_[0];
        const int len = at_[1];
        const bool isSigned = tag == kAsnInteger;
        if ((isSigned || (tag >= kAsnCounter && tag <= kAsnTimeTicks)) && len >= 1 && len <= 4 &&
            len <= end_ - at_ - 2) {
            const std::uint8_t* content = at_ + 2;
            std::uint32_t value = isSigned && (content[0] & 0x80) ? UINT32_MAX : 0;
            for (int i = 0; i < len; ++i) value = (value << 8) | content[i];
            at_ += 2 + len;
            return static_cast<std::int32_t>(value);
        }
    }
    const AsnItemHead head = next();
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

inline void assignItemText(std::string& value, const AsnItemHead& head) {
    if (!head.complete) {
        value.clear();
    } else if (head.tag & kAsnConstructed) {
        value.assign(head.content);
    } else {
        assignValueText(value, head.tag, head.content);
    }
}

inline void ASNItem(int& start, std::string_view buffer, std::string& value, int& valueType) {
    const AsnItemHead head = readItemHead(start, buffer);
    valueType = head.tag;
    assignItemText(value, head);
}

inline std::string ASNItem(int& start, std::string_view buffer, int& valueType) {
    std::string value;
    ASNItem(start, buffer, value, valueType);
    return value;
}

}  // namespace ups
