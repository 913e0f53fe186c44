// Any byte text read item by item with ASNItem, from a cursor the first octet chooses: the cursor
// never moves backwards or past the end, every read finishes, and a walk ends within as many reads
// as there are octets.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

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
    return 0;
}
