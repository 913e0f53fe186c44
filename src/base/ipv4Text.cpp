#include "base/ipv4Text.h"

#include <array>

namespace ups {

namespace {

constexpr std::uint32_t kAllOnes = 0xFFFFFFFFu;

int digitValue(char c, unsigned base) {
    int v = -1;
    if (c >= '0' && c <= '9')
        v = c - '0';
    else if (c >= 'a' && c <= 'f')
        v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        v = c - 'A' + 10;
    return v >= 0 && static_cast<unsigned>(v) < base ? v : -1;
}

// One part of the address; advances `pos` past it. Nothing for an empty or malformed part, or
// one that does not fit in 32 bits.
std::optional<std::uint32_t> readPart(std::string_view text, std::size_t& pos) {
    unsigned base = 10;
    bool anyDigit = false;
    if (pos < text.size() && text[pos] == '0') {
        base = 8;
        anyDigit = true;  // "0" alone is a valid part
        ++pos;
        if (pos < text.size() && (text[pos] == 'x' || text[pos] == 'X')) {
            base = 16;
            anyDigit = false;
            ++pos;
        }
    }
    std::uint64_t value = 0;
    while (pos < text.size() && text[pos] != '.') {
        const int d = digitValue(text[pos], base);
        if (d < 0) return std::nullopt;
        value = value * base + static_cast<unsigned>(d);
        if (value > kAllOnes) return std::nullopt;
        anyDigit = true;
        ++pos;
    }
    if (!anyDigit) return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

}  // namespace

std::optional<std::uint32_t> inetAddr(std::string_view text) {
    std::array<std::uint32_t, 4> parts{};
    std::size_t count = 0;
    std::size_t pos = 0;
    while (true) {
        if (count == parts.size()) return std::nullopt;
        auto part = readPart(text, pos);
        if (!part) return std::nullopt;
        parts[count++] = *part;
        if (pos == text.size()) break;
        ++pos;  // the "." that readPart stopped at
    }
    // Every part but the last is one byte; the last fills what is left.
    for (std::size_t i = 0; i + 1 < count; ++i) {
        if (parts[i] > 0xFF) return std::nullopt;
    }
    const std::uint32_t lastLimit = count == 1 ? kAllOnes : (kAllOnes >> (8 * (count - 1)));
    if (parts[count - 1] > lastLimit) return std::nullopt;
    std::uint32_t value = parts[count - 1];
    for (std::size_t i = 0; i + 1 < count; ++i) value |= parts[i] << (24 - 8 * i);
    if (value == kAllOnes) return std::nullopt;
    return value;
}

std::string inetNtoa(std::uint32_t address) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        if (!text.empty()) text += '.';
        text += std::to_string((address >> shift) & 0xFF);
    }
    return text;
}

std::optional<std::string> canonicalAddressText(std::string_view text) {
    auto value = inetAddr(text);
    if (!value) return std::nullopt;
    return inetNtoa(*value);
}

}  // namespace ups
