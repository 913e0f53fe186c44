#include "net/asn1util.h"

#include <algorithm>
#include <array>
#include <bit>
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

// ---- Encoding ------------------------------------------------------------------------------

constexpr std::size_t base128Size(std::uint32_t value) {
    return value < (1u << 7)    ? 1
           : value < (1u << 14) ? 2
           : value < (1u << 21) ? 3
           : value < (1u << 28) ? 4
                                : 5;
}

char* writeBase128(char* at, std::uint32_t value) {
    if (value < 0x80) {
        *at = static_cast<char>(value);
        return at + 1;
    }
    const std::size_t count = base128Size(value);
    at[count - 1] = static_cast<char>(value & 0x7F);
    for (std::size_t i = count - 1; i > 0; --i) {
        value >>= 7;
        at[i - 1] = static_cast<char>(0x80 | (value & 0x7F));
    }
    return at + count;
}

// Calls `emit` with each sub-identifier of dotted text, in order. A piece counts as 0 unless it
// is a non-empty run of digits worth at most UINT32_MAX.
template <typename Emit>
void forEachSubIdentifier(std::string_view dotted, Emit&& emit) {
    const char* p = dotted.data();
    const char* const end = p + dotted.size();
    std::uint32_t first = 0;
    for (int index = 0;; ++index) {
        std::uint32_t piece = 0;
        const unsigned lead = p < end ? static_cast<unsigned char>(*p) - unsigned{'0'} : 10u;
        if (lead <= 9 && (p + 1 == end || p[1] == '.')) {
            // Most pieces of the identifiers in use are one digit.
            piece = lead;
            ++p;
        } else {
            std::uint64_t value = 0;
            bool number = p < end && *p != '.';
            for (; p < end && *p != '.'; ++p) {
                const unsigned digit = static_cast<unsigned char>(*p) - unsigned{'0'};
                if (digit > 9 || value > UINT32_MAX) {
                    number = false;
                    value = 0;
                } else {
                    value = value * 10 + digit;
                }
            }
            if (number && value <= UINT32_MAX) piece = static_cast<std::uint32_t>(value);
        }
        if (index == 0) {
            first = piece;
        } else {
            emit(index == 1 ? first * 40 + piece : piece);
        }
        if (p == end) {
            // A text of one piece still gives the first sub-identifier, 40 * a.
            if (index == 0) emit(first * 40);
            return;
        }
        ++p;  // past the dot
    }
}

// ---- Decoding ------------------------------------------------------------------------------

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

std::size_t decimalDigits(std::uint32_t value) {
    if (value < 100000) {
        return value < 10 ? 1 : value < 100 ? 2 : value < 1000 ? 3 : value < 10000 ? 4 : 5;
    }
    return value < 10000000     ? (value < 1000000 ? 6 : 7)
           : value < 100000000  ? 8
           : value < 1000000000 ? 9
                                : 10;
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

void assignDecimal(std::string& out, std::int32_t value) {
    char text[11];
    std::size_t used = 0;
    if (value < 0) text[used++] = '-';
    // Unsigned negation, so that the most negative value needs no special case.
    const auto bits = static_cast<std::uint32_t>(value);
    used += formatUnsigned(text + used, value < 0 ? 0u - bits : bits);
    out.clear();
    // Most values are a digit or two: those go in without a call into the library.
    if (used <= 2) {
        for (std::size_t i = 0; i < used; ++i) out.push_back(text[i]);
    } else {
        out.append(text, used);
    }
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

}  // namespace

std::size_t oidSize(std::string_view dotted) {
    std::size_t size = 0;
    forEachSubIdentifier(dotted, [&size](std::uint32_t value) { size += base128Size(value); });
    return size;
}

char* writeOid(char* at, std::string_view dotted) {
    forEachSubIdentifier(dotted, [&at](std::uint32_t value) { at = writeBase128(at, value); });
    return at;
}

char* writeIpAddress(char* at, std::string_view dotted) {
    std::memset(at, 0, kIpAddressSize);
    std::size_t from = 0;
    for (std::size_t i = 0; i < kIpAddressSize; ++i) {
        const std::size_t dot = dotted.find('.', from);
        const std::string_view piece =
            dotted.substr(from, dot == std::string_view::npos ? dotted.npos : dot - from);
        at[i] = static_cast<char>(decimalOrZero(piece) & 0xFF);
        if (dot == std::string_view::npos) break;
        from = dot + 1;
    }
    return at + kIpAddressSize;
}

std::string ASNEncLen(std::uint32_t len) {
    // The length octets are what the header writer puts after its tag.
    char header[6];
    char* end = writeHeader(header, 0, len);
    return std::string(header + 1, end);
}

std::string ASNEncInt(std::int32_t value) {
    std::string out(signedSize(value), '\0');
    writeSigned(out.data(), value);
    return out;
}

std::string ASNObject(std::string_view data, int asnType) {
    std::string out(itemSize(data.size()), '\0');
    char* at = writeHeader(out.data(), asnType, data.size());
    if (!data.empty()) std::memcpy(at, data.data(), data.size());
    return out;
}

std::string ASNEncOIDItem(std::uint32_t value) {
    std::string out(base128Size(value), '\0');
    writeBase128(out.data(), value);
    return out;
}

std::string MibToId(std::string_view mib) {
    std::string out(oidSize(mib), '\0');
    writeOid(out.data(), mib);
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

std::string IdToMib(std::string_view data) {
    std::string out;
    assignValueText(out, kAsnObjectId, data);
    return out;
}

namespace {

// A sub-identifier read as ASNDecOIDItem reads it, stopping at the end of the content.
std::uint32_t readSubIdentifier(const std::uint8_t*& p, const std::uint8_t* end) {
    std::uint32_t value = 0;
    std::uint8_t octet;
    do {
        octet = *p++;
        value = (value << 7) | (octet & 0x7F);
    } while ((octet & 0x80) && p < end);
    return value;
}

// "." and the number.
std::size_t formatDotted(char* text, std::uint32_t value) {
    if (value < kDottedSmall.size()) {
        std::memcpy(text, kDottedSmall[value].text, 4);
        return kDottedSmall[value].length;
    }
    text[0] = '.';
    return 1 + formatUnsigned(text + 1, value);
}

// Writes the text of the sub-identifiers of `content` from octet `from` on (the first octet of
// one) after the `used` characters already at `text`, and returns the length of the whole text.
// With kRecordEnds, `ends` receives at the index of each sub-identifier's last octet the length of
// the text after it. The text takes at most four characters per octet (".127" for one octet, at
// most eleven for a sub-identifier of three octets or more) and one more for the first octet's
// split, whose four-character copy starts after its first digit.
template <bool kRecordEnds>
std::size_t formatMibText(char* text, std::string_view content, std::size_t from = 0,
                          std::size_t used = 0, std::uint16_t* ends = nullptr) {
    const auto* const begin = reinterpret_cast<const std::uint8_t*>(content.data());
    const auto* p = begin + from;
    const auto* const end = begin + content.size();
    if (p == begin && p < end) {
        // A first sub-identifier of one octet (even one cut in its continuation) holds both
        // first numbers, 40 * a + b with a at most 3.
        std::uint32_t first = readSubIdentifier(p, end);
        if (p - begin == 1) {
            text[used++] = static_cast<char>('0' + first / 40);
            first %= 40;
        }
        used += formatDotted(text + used, first);
        if constexpr (kRecordEnds) ends[p - begin - 1] = static_cast<std::uint16_t>(used);
    }
    while (p < end) {
        if (*p < 0x80) {
            const DottedSmall& entry = kDottedSmall[*p++];
            std::memcpy(text + used, entry.text, 4);
            used += entry.length;
        } else {
            used += formatDotted(text + used, readSubIdentifier(p, end));
        }
        if constexpr (kRecordEnds) ends[p - begin - 1] = static_cast<std::uint16_t>(used);
    }
    return used;
}

// How many octets two byte texts share at their start, compared a word at a time.
std::size_t commonStart(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    std::size_t i = 0;
    if constexpr (std::endian::native == std::endian::little) {
        for (; i + 8 <= n; i += 8) {
            std::uint64_t x;
            std::uint64_t y;
            std::memcpy(&x, a.data() + i, 8);
            std::memcpy(&y, b.data() + i, 8);
            if (x != y) return i + static_cast<std::size_t>(std::countr_zero(x ^ y) / 8);
        }
    }
    while (i < n && a[i] == b[i]) ++i;
    return i;
}

// Each octet of an IpAddress in decimal, joined with ".": at most four characters per octet.
std::size_t formatDottedOctets(char* text, std::string_view content) {
    if (content.empty()) return 0;
    // The first octet goes without its dot.
    const DottedSmall& first = kDottedSmall[static_cast<std::uint8_t>(content[0])];
    std::memcpy(text, first.text + 1, 3);
    std::size_t used = first.length - 1u;
    for (const char octet : content.substr(1)) {
        const DottedSmall& entry = kDottedSmall[static_cast<std::uint8_t>(octet)];
        std::memcpy(text + used, entry.text, 4);
        used += entry.length;
    }
    return used;
}

// Sets `out` to what `format` writes in at most `room` characters: through a local buffer when
// it has the room (every identifier in use), else in place in a string made long enough and then
// cut to what was written.
template <typename Format>
void assignFormatted(std::string& out, std::size_t room, Format&& format) {
    char text[256];
    if (room <= sizeof text) {
        const std::size_t used = format(text);
        out.clear();
        out.append(text, used);
        return;
    }
    out.resize(room);
    out.resize(format(out.data()));
}

}  // namespace

void MibTextWriter::assign(std::string& out, std::string_view content) {
    std::size_t from = 0;
    std::size_t used = 0;
    if (content.size() > kMaxOctets) {
        earlier_ = {};
        assignValueText(out, kAsnObjectId, content);
        return;
    }
    // The shared start counts up to the end of the last whole sub-identifier in it: an octet
    // without its continuation bit. Its text is already at the start of text_.
    from = commonStart(content, earlier_);
    while (from > 0 && (static_cast<std::uint8_t>(content[from - 1]) & 0x80)) --from;
    if (from > 0) used = ends_[from - 1];
    used = formatMibText<true>(text_, content, from, used, ends_);
    earlier_ = content;
    out.clear();
    out.append(text_, used);
}

void assignValueText(std::string& out, int tag, std::string_view content) {
    switch (tag) {
        case kAsnBoolean:
        case kAsnInteger:
        case kAsnEnumerated:
            assignDecimal(out, contentAsSigned(content));
            break;
        case kAsnNull:
            out.clear();
            break;
        case kAsnObjectId:
            assignFormatted(out, 4 * content.size() + 1,
                            [content](char* text) { return formatMibText<false>(text, content); });
            break;
        case kAsnIpAddress:
            assignFormatted(out, 4 * content.size(),
                            [content](char* text) { return formatDottedOctets(text, content); });
            break;
        case kAsnCounter:
        case kAsnGauge:
        case kAsnTimeTicks:
            assignDecimal(out, contentAsUnsigned(content));
            break;
        default:
            out.clear();
            out.append(content);
            break;
    }
}

std::int32_t valueTextAsNumber(int tag, std::string_view content) {
    if (tag & kAsnConstructed) return decimalOrZero(content);
    std::string text;
    assignValueText(text, tag, content);
    return decimalOrZero(text);
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
