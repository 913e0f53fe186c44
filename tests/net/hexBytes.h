#pragma once
// Byte texts written as hex in tests: "30 29 02 01" and "302902" give the same octets.
#include <string>
#include <string_view>

namespace ups::test {

inline std::string bytes(std::string_view hex) {
    std::string out;
    int high = -1;
    for (char c : hex) {
        int nibble;
        if (c >= '0' && c <= '9') {
            nibble = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            nibble = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            nibble = c - 'A' + 10;
        } else {
            continue;
        }
        if (high < 0) {
            high = nibble;
        } else {
            out.push_back(static_cast<char>(high * 16 + nibble));
            high = -1;
        }
    }
    return out;
}

inline std::string hexOf(std::string_view octets) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : octets) {
        if (!out.empty()) out.push_back(' ');
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}

}  // namespace ups::test
