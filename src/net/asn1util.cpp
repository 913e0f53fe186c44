#include "net/asn1util.h"

#include <array>
#include <climits>
#include <cstring>

namespace ups {

namespace {

// Cursors are ints; a longer text is read as if it ended here, so that `start + 1` and
// `start + length` can never overflow (the same limit as readItemHead's).
constexpr std::size_t kMaxReadable = 0x3FFFFFFF;

int readableSize(std::string_view buffer) {
    return static_cast<int>(buffer.size() < kMaxReadable ? buffer.size() : kMaxReadable);
}

std::uint8_t octetAt(std::string_view buffer, int pos) {
    return static_cast<std::uint8_t>(buffer[static_cast<std::size_t>(pos - 1)]);
}

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

std::size_t decimalDigits(std::uint32_t value) {
    std::size_t count = 1;
    for (; value >= 10000; value /= 10000) count += 4;
    if (value >= 1000) return count + 3;
    if (value >= 100) return count + 2;
    return value >= 10 ? count + 1 : count;
}

// Writes `value` in decimal at `dst` and returns the number of characters (at most 10). Received
// identifiers and values are turned into text in bulk, so this works two digits at a time.
std::size_t formatUnsigned(char* dst, std::uint32_t value) {
    if (value < 10) {
        dst[0] = static_cast<char>('0' + value);
        return 1;
    }
    const std::size_t count = decimalDigits(value);
    char* p = dst + count;
    while (value >= 100) {
        const std::uint32_t pair = value % 100;
        value /= 100;
        *--p = kDigitPairs[2 * pair + 1];
        *--p = kDigitPairs[2 * pair];
    }
    if (value >= 10) {
        *--p = kDigitPairs[2 * value + 1];
        *--p = kDigitPairs[2 * value];
    } else {
        *--p = static_cast<char>('0' + value);
    }
    return count;
}

// ".0" to ".255": the text of every octet of an IpAddress and of every sub-identifier that fits
// in one octet, which is nearly all of them, ready to be copied four characters at a time.
struct DottedSmall {
    char text[4];
    std::uint8_t length;
};

constexpr auto kDottedSmall = [] {
    std::array<DottedSmall, 256> table{};
    for (unsigned value = 0; value < 256; ++value) {
        DottedSmall& entry = table[value];
        entry.text[0] = '.';
        if (value >= 100) {
            entry.text[1] = static_cast<char>('0' + value / 100);
            entry.text[2] = static_cast<char>('0' + value / 10 % 10);
            entry.text[3] = static_cast<char>('0' + value % 10);
            entry.length = 4;
        } else if (value >= 10) {
            entry.text[1] = static_cast<char>('0' + value / 10);
            entry.text[2] = static_cast<char>('0' + value % 10);
            entry.length = 3;
        } else {
            entry.text[1] = static_cast<char>('0' + value);
            entry.length = 2;
        }
    }
    return table;
}();

void appendDottedOctets(std::string& out, std::string_view content) {
    if (content.empty()) return;
    char text[256];
    // The first octet goes without its dot.
    const DottedSmall& first = kDottedSmall[static_cast<std::uint8_t>(content[0])];
    std::memcpy(text, first.text + 1, 3);
    std::size_t used = first.length - 1u;
    for (const char octet : content.substr(1)) {
        if (used + 4 > sizeof text) {
            out.append(text, used);
            used = 0;
        }
        const DottedSmall& entry = kDottedSmall[static_cast<std::uint8_t>(octet)];
        std::memcpy(text + used, entry.text, 4);
        used += entry.length;
    }
    out.append(text, used);
}

}  // namespace

std::string ASNEncLen(std::uint32_t len) {
    std::string out;
    appendLength(out, len);
    return out;
}

void appendLength(std::string& out, std::uint32_t len) {
    if (len < 0x80) {
        out.push_back(static_cast<char>(len));
        return;
    }
    char octets[5];
    std::size_t count = 0;
    for (std::uint32_t rest = len; rest; rest >>= 8) ++count;
    octets[0] = static_cast<char>(0x80 | count);
    for (std::size_t i = count; i > 0; --i, len >>= 8) octets[i] = static_cast<char>(len & 0xFF);
    out.append(octets, count + 1);
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
    return unsignedContent(bits);
}

std::string unsignedContent(std::uint32_t value) {
    int shift = 24;
    while (shift > 0 && ((value >> shift) & 0xFF) == 0) shift -= 8;
    std::string out;
    if ((value >> shift) & 0x80) out.push_back('\0');
    for (; shift >= 0; shift -= 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
    return out;
}

std::string ipAddressContent(std::string_view dotted) {
    std::string octets(4, '\0');
    std::size_t from = 0;
    for (std::size_t i = 0; i < octets.size(); ++i) {
        const std::size_t dot = dotted.find('.', from);
        const std::string_view piece =
            dotted.substr(from, dot == std::string_view::npos ? dotted.npos : dot - from);
        octets[i] = static_cast<char>(decimalOrZero(piece) & 0xFF);
        if (dot == std::string_view::npos) break;
        from = dot + 1;
    }
    return octets;
}

std::string ASNObject(std::string_view data, int asnType) {
    std::string out;
    appendObject(out, data, asnType);
    return out;
}

void appendObject(std::string& out, std::string_view data, int asnType) {
    out.push_back(static_cast<char>(asnType & 0xFF));
    appendLength(out, static_cast<std::uint32_t>(data.size()));
    out.append(data);
}

void appendOIDItem(std::string& out, std::uint32_t value) {
    if (value < 0x80) {
        out.push_back(static_cast<char>(value));
        return;
    }
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
    std::string out;
    std::uint32_t firstTwo[2] = {0, 0};
    int index = 0;
    // The piece being read: its value so far, and whether it is still a number.
    std::uint64_t value = 0;
    bool digitsOnly = true;
    bool empty = true;
    const auto endPiece = [&] {
        const auto number = digitsOnly && !empty ? static_cast<std::uint32_t>(value) : 0u;
        if (index < 2) {
            firstTwo[index] = number;
        } else {
            if (index == 2) appendOIDItem(out, firstTwo[0] * 40 + firstTwo[1]);
            appendOIDItem(out, number);
        }
        ++index;
        value = 0;
        digitsOnly = true;
        empty = true;
    };
    for (const char c : mib) {
        if (c == '.') {
            endPiece();
            continue;
        }
        empty = false;
        if (!digitsOnly) continue;
        if (c < '0' || c > '9') {
            digitsOnly = false;
            continue;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
        if (value > UINT32_MAX) digitsOnly = false;
    }
    endPiece();
    if (index <= 2) appendOIDItem(out, firstTwo[0] * 40 + firstTwo[1]);
    return out;
}

std::string IdToMib(std::string_view data) {
    std::string out;
    appendMibText(out, data);
    return out;
}

void appendMibText(std::string& out, std::string_view data) {
    // The text is gathered in a local buffer and appended in pieces: a sub-identifier gives at
    // most eleven characters, the first one (split in two) at most fourteen.
    char text[512];
    std::size_t used = 0;
    const auto* p = reinterpret_cast<const std::uint8_t*>(data.data());
    const auto* const end = p + data.size();
    bool first = true;
    while (p < end) {
        if (used + 24 > sizeof text) {
            out.append(text, used);
            used = 0;
        }
        if (*p < 0x80) {
            std::uint8_t value = *p++;
            if (first) {
                // One octet holds both first numbers: 40 * a + b, with a at most 3.
                text[used++] = static_cast<char>('0' + value / 40);
                value %= 40;
                first = false;
            }
            std::memcpy(text + used, kDottedSmall[value].text, 4);
            used += kDottedSmall[value].length;
            continue;
        }
        // A sub-identifier with its continuation bit, read as ASNDecOIDItem reads it. Cut at the
        // end of the content it may still have taken only one octet, and is then split as above.
        const auto* const start = p;
        std::uint32_t value = 0;
        std::uint8_t octet;
        do {
            octet = *p++;
            value = (value << 7) | (octet & 0x7F);
        } while ((octet & 0x80) && p < end);
        if (first && p - start == 1) {
            text[used++] = static_cast<char>('0' + value / 40);
            value %= 40;
        }
        first = false;
        text[used++] = '.';
        used += formatUnsigned(text + used, value);
    }
    out.append(text, used);
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

std::int32_t valueTextAsNumber(int tag, std::string_view content) {
    if (tag & kAsnConstructed) return decimalOrZero(content);
    std::string text;
    appendValueText(text, tag, content);
    return decimalOrZero(text);
}

void appendDecimal(std::string& out, std::int64_t value) {
    if (value >= INT32_MIN && value <= static_cast<std::int64_t>(UINT32_MAX)) {
        char text[11];
        std::size_t used = 0;
        if (value < 0) text[used++] = '-';
        const auto magnitude = static_cast<std::uint32_t>(value < 0 ? -value : value);
        used += formatUnsigned(text + used, magnitude);
        out.append(text, used);
        return;
    }
    char digits[20];
    int count = 0;
    const bool negative = value < 0;
    // Work in unsigned so that the most negative value needs no special case.
    std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
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

std::uint32_t unsignedOrZero(std::string_view text) {
    std::size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative || (!text.empty() && text[0] == '+')) ++i;
    if (i == text.size()) return 0;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return 0;
        value = value * 10 + (text[i] - '0');
        if (value > UINT32_MAX) return 0;
    }
    if (negative) {
        if (value > static_cast<std::int64_t>(INT32_MAX) + 1) return 0;
        value = -value;
    }
    return static_cast<std::uint32_t>(value);
}

}  // namespace ups
