// Any bytes as the store's file into RegDocument::parse: it must finish, keep what it holds in
// proportion to the file, answer the queries a load makes, and a document it parsed, written out,
// must parse into the same document again.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "config/cfgRecords.h"
#include "config/regCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    const std::optional<ups::RegDocument> doc = ups::RegDocument::parse(file);
    if (!doc) return 0;

    for (const std::string_view key : {ups::kKeySoftware, ups::kKeyUps, ups::kKeyConfig}) {
        (void)doc->keyExists(key);
    }
    // A value's data comes from its own text, never more octets than that text has.
    for (const std::string_view name : {ups::kValueCfgUps, ups::kValueCfgSnmp}) {
        if (doc->readValue(ups::kKeyConfig, name).data.size() > size) __builtin_trap();
    }

    // Every line gains at most a CR, and the last one an LF too; text read from UTF-16 takes at
    // most one and a half times its octets in the 8-bit form.
    const std::string written = doc->serialize();
    if (written.size() > 2 * size + 2) __builtin_trap();

    const std::optional<ups::RegDocument> again = ups::RegDocument::parse(written);
    if (!again || !(*again == *doc)) __builtin_trap();
    return 0;
}
