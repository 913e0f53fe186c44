#include "net/asn1util.h"

#include <climits>

namespace ups {

namespace {

// Cursors are ints; a longer text is read as if it ended here, so that `start + 1` and
// `start + length` can never overflow.
constexpr std::size_t kMaxReadable = INT_MAX / 2;

int readableSize(std::string_view buffer) {
    return static_cast<int>(buffer.size() < kMaxReadable ? buffer.size() : kMaxReadable);
}

std::uint8_t octetAt(std::string_view buffer, int pos) {
    return static_cast<std::uint8_t>(buffer[static_cast<std::size_t>(pos - 1)]);
}

// Parses a whole text of decimal digits into 32 bits; anything else, including overflow, is 0.
std::uint32_t unsignedPieceOrZero(std::string_view piece) {
    if (piece.empty()) return 0;
    std::uint64_t value = 0;
    for (char c : piece) {
        if (c < '0' || c > '9') return 0;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
        if (value > UINT32_MAX) return 0;
    }
    return static_cast<std::uint32_t>(value);
}

void appendDottedOctets(std::string& out, std::string_view content) {
    for (std::size_t i = 0; i < content.size(); ++i) {
        if (i) out.push_back('.');
        appendDecimal(out, static_cast<std::uint8_t>(content[i]));
    }
}

}  // namespace

std::string ASNEncLen(std::uint32_t len) {
    if (len < 0x80) return std::string(1, static_cast<char>(len));
    char reversed[4];
    int count = 0;
    for (; len; len >>= 8) reversed[count++] = static_cast<char>(len & 0xFF);
    std::string out(1, static_cast<char>(0x80 | count));
    while (count) out.push_back(reversed[--count]);
    return out;
}

std::int32_t ASNDecLen(int& start, std::string_view buffer) {
    const int n = readableSize(buffer);
    if (start < 1 || start > n) return -1;
    const std::uint8_t first = octetAt(buffer, start++);
    if (!(first & 0x80)) return first;
    // Up to 127 length octets may follow; the value saturates instead of wrapping, so a huge
    // length can never pass for a small one.
    std::uint64_t value = 0;
    for (int count = first & 0x7F; count > 0; --count) {
        if (start > n) return -1;
        value = (value << 8) | octetAt(buffer, start++);
        if (value > INT32_MAX) value = static_cast<std::uint64_t>(INT32_MAX) + 1;
    }
    return value > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(value);
}

std::string ASNEncInt(std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    if (value < 0) {
        return {static_cast<char>(bits >> 24), static_cast<char>(bits >> 16),
                static_cast<char>(bits >> 8), static_cast<char>(bits)};
    }
    int shift = 24;
    while (shift > 0 && ((bits >> shift) & 0xFF) == 0) shift -= 8;
    std::string out;
    if ((bits >> shift) & 0x80) out.push_back('\0');
    for (; shift >= 0; shift -= 8) out.push_back(static_cast<char>((bits >> shift) & 0xFF));
    return out;
}

std::string ASNObject(std::string_view data, int asnType) {
    std::string out(1, static_cast<char>(asnType & 0xFF));
    out += ASNEncLen(static_cast<std::uint32_t>(data.size()));
    out.append(data);
    return out;
}

void appendOIDItem(std::string& out, std::uint32_t value) {
    char groups[5];
    int count = 0;
    do {
        groups[count++] = static_cast<char>(value & 0x7F);
        value >>= 7;
    } while (value);
    while (count > 1) out.push_back(static_cast<char>(groups[--count] | 0x80));
    out.push_back(groups[0]);
}

std::string ASNEncOIDItem(std::uint32_t value) {
    std::string out;
    appendOIDItem(out, value);
    return out;
}

std::uint32_t ASNDecOIDItem(int& start, std::string_view buffer) {
    const int n = readableSize(buffer);
    std::uint32_t value = 0;
    if (start < 1) return value;
    while (start <= n) {
        const std::uint8_t octet = octetAt(buffer, start++);
        value = (value << 7) | (octet & 0x7F);
        if (!(octet & 0x80)) break;
    }
    return value;
}

std::string MibToId(std::string_view mib) {
    std::uint32_t numbers[2] = {0, 0};
    std::string out;
    int index = 0;
    std::size_t from = 0;
    while (true) {
        const std::size_t dot = mib.find('.', from);
        const std::uint32_t number =
            unsignedPieceOrZero(mib.substr(from, dot == std::string_view::npos ? mib.npos : dot - from));
        if (index < 2) {
            numbers[index] = number;
        } else {
            if (index == 2) appendOIDItem(out, numbers[0] * 40 + numbers[1]);
            appendOIDItem(out, number);
        }
        ++index;
        if (dot == std::string_view::npos) break;
        from = dot + 1;
    }
    if (index <= 2) appendOIDItem(out, numbers[0] * 40 + numbers[1]);
    return out;
}

std::string IdToMib(std::string_view data) {
    std::string out;
    appendMibText(out, data);
    return out;
}

void appendMibText(std::string& out, std::string_view data) {
    out.reserve(out.size() + data.size() * 3);
    const int n = readableSize(data);
    int pos = 1;
    bool first = true;
    while (pos <= n) {
        const int before = pos;
        std::uint32_t value = ASNDecOIDItem(pos, data);
        if (first && pos - before == 1) {
            appendDecimal(out, value / 40);
            value %= 40;
        }
        first = false;
        out.push_back('.');
        appendDecimal(out, value);
    }
}

AsnItemHead readItemHead(int& start, std::string_view buffer) {
    AsnItemHead head;
    const int n = readableSize(buffer);
    if (start < 1 || start + 1 > n) return head;
    head.tag = octetAt(buffer, start++);
    const std::int32_t len = ASNDecLen(start, buffer);
    if (len < 0) {
        start = n + 1;
        return head;
    }
    if (static_cast<std::int64_t>(start) + len - 1 > n) return head;
    head.content = buffer.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(len));
    head.complete = true;
    if (!(head.tag & kAsnConstructed)) start += len;
    return head;
}

std::int32_t contentAsSigned(std::string_view content) {
    std::uint32_t value = 0;
    if (!content.empty() && (static_cast<std::uint8_t>(content[0]) & 0x80)) value = UINT32_MAX;
    for (char c : content) value = (value << 8) | static_cast<std::uint8_t>(c);
    return static_cast<std::int32_t>(value);
}

std::int32_t contentAsUnsigned(std::string_view content) {
    std::uint32_t value = 0;
    for (char c : content) value = (value << 8) | static_cast<std::uint8_t>(c);
    return static_cast<std::int32_t>(value);
}

void appendValueText(std::string& out, int tag, std::string_view content) {
    switch (tag) {
        case kAsnBoolean:
        case kAsnInteger:
        case kAsnEnumerated:
            appendDecimal(out, contentAsSigned(content));
            break;
        case kAsnNull:
            break;
        case kAsnObjectId:
            appendMibText(out, content);
            break;
        case kAsnIpAddress:
            appendDottedOctets(out, content);
            break;
        case kAsnCounter:
        case kAsnGauge:
        case kAsnTimeTicks:
            appendDecimal(out, contentAsUnsigned(content));
            break;
        default:
            out.append(content);
            break;
    }
}

std::string ASNItem(int& start, std::string_view buffer, int& valueType) {
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

void appendDecimal(std::string& out, std::int64_t value) {
    char digits[20];
    int count = 0;
    const bool negative = value < 0;
    // Work in unsigned so that the most negative value needs no special case.
    std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value)
                                       : static_cast<std::uint64_t>(value);
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    if (negative) out.push_back('-');
    while (count) out.push_back(digits[--count]);
}

std::int32_t decimalOrZero(std::string_view text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    if (i == text.size()) return 0;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return 0;
        value = value * 10 + (c - '0');
        if (value > static_cast<std::int64_t>(INT32_MAX) + 1) return 0;
    }
    if (negative) value = -value;
    if (value > INT32_MAX || value < INT32_MIN) return 0;
    return static_cast<std::int32_t>(value);
}

}  // namespace ups
