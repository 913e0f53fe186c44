#include "base/windowsText.h"

#include <array>

namespace ups {

namespace {

// Bytes 0x80 to 0x9F. The five bytes the code page leaves undefined map to the C1 control of the
// same number, as Windows itself converts them, so every byte survives a round trip.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char toByte(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == c) return static_cast<char>(0x80 + i);
    }
    return kUnmappable;
}

}  // namespace

bool isWindows1252(char32_t c) {
    return c == U'?' || toByte(c) != kUnmappable;
}

std::string toWindows1252(std::u32string_view text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (char32_t c : text) bytes += toByte(c);
    return bytes;
}

std::u32string fromWindows1252(std::string_view bytes) {
    std::u32string text;
    text.reserve(bytes.size());
    for (char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        text += (u >= 0x80 && u < 0xA0) ? kHighControls[u - 0x80] : static_cast<char32_t>(u);
    }
    return text;
}

}  // namespace ups
