#pragma once
// Record images built byte by byte from the stored layout, independent of the structs, so that
// tests compare what the code writes with what the storage format says.
#include <cstdint>
#include <cstring>
#include <vector>

namespace ups::test {

using Bytes = std::vector<std::uint8_t>;

inline void putI32(Bytes& b, std::size_t offset, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    for (std::size_t i = 0; i < 4; ++i) b.at(offset + i) = static_cast<std::uint8_t>(u >> (8 * i));
}

inline std::int32_t getI32(const Bytes& b, std::size_t offset) {
    std::uint32_t u = 0;
    for (std::size_t i = 0; i < 4; ++i)
        u |= static_cast<std::uint32_t>(b.at(offset + i)) << (8 * i);
    return static_cast<std::int32_t>(u);
}

// A record image whose every byte differs from its neighbours, to see which bytes moved.
inline Bytes patternImage(std::size_t size, std::uint8_t seed) {
    Bytes b(size);
    for (std::size_t i = 0; i < size; ++i) b[i] = static_cast<std::uint8_t>(seed + i * 7);
    return b;
}

// Zero-filled records after the defaults have been written.
inline Bytes defaultUpsImage() {
    Bytes b(356, 0);
    b[0] = 1;            // pswUnset
    putI32(b, 288, -1);  // comPort
    putI32(b, 292, 5);   // tmpFail
    putI32(b, 296, 30);  // tmpBat
    putI32(b, 300, 30);  // tmpLowB
    putI32(b, 328, 3);   // testMode
    putI32(b, 340, 7);   // testInterval
    b[344] = 1;          // askStart
    return b;
}

inline Bytes defaultSnmpImage() {
    Bytes b(72, 0);
    putI32(b, 24, 27431);  // enterprise
    return b;
}

}  // namespace ups::test
