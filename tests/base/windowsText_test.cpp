// The single-byte Windows-1252 text the configuration records keep.
#include "base/windowsText.h"

#include <gtest/gtest.h>

namespace ups {
namespace {

TEST(WindowsText, LatinLettersAndTheHighControlsMapToOneByteEach) {
    EXPECT_EQ(toWindows1252(U"Clave"), "Clave");
    EXPECT_EQ(toWindows1252(U"ñÁü"), "\xF1\xC1\xFC");
    EXPECT_EQ(toWindows1252(U"€‰Ÿ"), "\x80\x89\x9F");
    EXPECT_EQ(toWindows1252(U"жx"), "?x");
}

TEST(WindowsText, TellsWhichCharactersTheCodePageHolds) {
    for (char32_t c : {U'a', U'?', U'ñ', U'€', U'\u00ff', U'\u0081'}) {
        EXPECT_TRUE(isWindows1252(c)) << static_cast<unsigned>(c);
    }
    for (char32_t c : {U'ж', U'\u0100', U'\u2603', U'\U0001F600'}) {
        EXPECT_FALSE(isWindows1252(c)) << static_cast<unsigned>(c);
    }
}

TEST(WindowsText, EveryByteSurvivesARoundTrip) {
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(toWindows1252(fromWindows1252(all)), all);
    EXPECT_EQ(fromWindows1252("\x80\xE9"), U"€é");
}

}  // namespace
}  // namespace ups
