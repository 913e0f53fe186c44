#include "upsnet/protocolText.h"

#include <gtest/gtest.h>

#include <random>

namespace ups {
namespace {

using Words = std::vector<std::string>;

TEST(ProtocolText, SplitsWordsWithQuotesAndEscapes) {
    const struct {
        std::string line;
        std::optional<Words> words;
    } cases[] = {
        {"GET VAR ups ups.status", Words{"GET", "VAR", "ups", "ups.status"}},
        {"  LIST\tUPS  ", Words{"LIST", "UPS"}},
        {"", Words{}},
        {"SET VAR ups ups.id \"My UPS\"", Words{"SET", "VAR", "ups", "ups.id", "My UPS"}},
        {"PASSWORD \"a \\\"b\\\" \\\\c\"", Words{"PASSWORD", "a \"b\" \\c"}},
        {"PASSWORD a\\ b", Words{"PASSWORD", "a b"}},
        {"x \"\" y", Words{"x", "", "y"}},
        {"x\"y z\"w", Words{"xy zw"}},
        {"GET \"VAR", std::nullopt},
        {"PASSWORD abc\\", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(splitWords(c.line), c.words) << c.line;
}

TEST(ProtocolText, AQuotedValueReadsBackAsItself) {
    EXPECT_EQ(ups::quoted("a \"b\" \\c"), "\"a \\\"b\\\" \\\\c\"");
    std::mt19937 random(7);
    for (int i = 0; i < 2000; ++i) {
        std::string value(random() % 20, ' ');
        for (char& c : value) c = "ab \"\\\t.x"[random() % 8];
        EXPECT_EQ(splitWords("VAR ups v " + ups::quoted(value)), (Words{"VAR", "ups", "v", value}))
            << value;
    }
}

}  // namespace
}  // namespace ups
