// Any byte text read item by item with ASNItem, from a cursor the first octet chooses: the cursor
// never moves backwards or past the end, every read finishes, and a walk ends within as many reads
// as there are octets.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "net/asn1util.h"

namespace {

// IdToMib the plain way: ASNDecOIDItem and std::to_string.
std::string referenceMibText(std::string_view content) {
    std::string text;
    int cursor = 1;
    bool first = true;
    while (cursor <= static_cast<int>(content.size())) {
        const int before = cursor;
        std::uint32_t value = ups::ASNDecOIDItem(cursor, content);
        if (first && cursor - before == 1) {
            text += std::to_string(value / 40);
            value %= 40;
        }
        first = false;
        text += "." + std::to_string(value);
    }
    return text;
}

// MibToId the plain way: split at the dots, then read each piece.
std::string referenceMibToId(std::string_view dotted) {
    std::vector<std::uint32_t> numbers;
    for (std::size_t from = 0;;) {
        const std::size_t dot = dotted.find('.', from);
        const std::string_view piece =
            dotted.substr(from, dot == dotted.npos ? dotted.npos : dot - from);
        std::uint64_t value = piece.empty() ? 1ull << 33 : 0;
        for (char c : piece) {
            value =
                c >= '0' && c <= '9' && value <= UINT32_MAX ? value * 10 + (c - '0') : 1ull << 33;
        }
        numbers.push_back(value > UINT32_MAX ? 0 : static_cast<std::uint32_t>(value));
        if (dot == dotted.npos) break;
        from = dot + 1;
    }
    numbers.resize(std::max<std::size_t>(numbers.size(), 2));
    std::string content = ups::ASNEncOIDItem(numbers[0] * 40 + numbers[1]);
    for (std::size_t i = 2; i < numbers.size(); ++i) content += ups::ASNEncOIDItem(numbers[i]);
    return content;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const int end = static_cast<int>(text.size()) + 1;
    int cursor = 1 + data[0] % 4;
    for (std::size_t reads = 0;; ++reads) {
        if (reads > text.size() + 1) __builtin_trap();
        const int before = cursor;
        int type = -1;
        const std::string value = ups::ASNItem(cursor, text, type);
        if (type < 0 || type > 0xFF) __builtin_trap();
        if (cursor < before || (before <= end && cursor > end)) __builtin_trap();
        if (value.size() > 4 * text.size() + 16) __builtin_trap();
        if (cursor == before) break;
    }

    int lengthCursor = 1;
    const std::int32_t length = ups::ASNDecLen(lengthCursor, text);
    if (length < -1 || lengthCursor > end) __builtin_trap();

    // The dotted text of any content is what reading it one sub-identifier at a time gives.
    const std::string dotted = ups::IdToMib(text);
    if (dotted != referenceMibText(text)) __builtin_trap();
    ups::MibToId(dotted);
    // And any text read as dotted decimal gives what reading it piece by piece gives.
    if (ups::MibToId(text) != referenceMibToId(text)) __builtin_trap();
    return 0;
}
