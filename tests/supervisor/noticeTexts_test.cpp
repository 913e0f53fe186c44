// The notice texts with their printf-style "%2d" fields.
#include "supervisor/noticeTexts.h"

#include <gtest/gtest.h>

using namespace ups::notice;

namespace {

struct Formatted {
    int value;
    const char* text;
};
// Shown by GoogleTest (and in the test list) by what it is rather than as bytes.
void PrintTo(const Formatted& c, std::ostream* os) {
    *os << c.value << " as \"" << c.text << '"';
}

class Pad2 : public ::testing::TestWithParam<Formatted> {};
TEST_P(Pad2, WritesLikePrintfPercentTwoD) {
    EXPECT_EQ(pad2(GetParam().value), GetParam().text);
}
INSTANTIATE_TEST_SUITE_P(Values, Pad2,
                         ::testing::Values(Formatted{0, " 0"}, Formatted{7, " 7"},
                                           Formatted{42, "42"}, Formatted{300, "300"},
                                           Formatted{-3, "-3"}, Formatted{-12, "-12"}));

class SecondsToClose : public ::testing::TestWithParam<Formatted> {};
TEST_P(SecondsToClose, UsesMinutesFromSixtySecondsUp) {
    EXPECT_EQ(secondsToClose(GetParam().value), GetParam().text);
}
INSTANTIATE_TEST_SUITE_P(Values, SecondsToClose,
                         ::testing::Values(Formatted{2, " 2 seg. para cerrar Sistema"},
                                           Formatted{59, "59 seg. para cerrar Sistema"},
                                           Formatted{60, " 1 min.  0 seg. para cerrar Sistema"},
                                           Formatted{125, " 2 min.  5 seg. para cerrar Sistema"},
                                           Formatted{300, " 5 min.  0 seg. para cerrar Sistema"}));

class UpsSwitchesOff : public ::testing::TestWithParam<Formatted> {};
TEST_P(UpsSwitchesOff, PicksTheSingularOrPluralOfMinutesAndHours) {
    EXPECT_EQ(upsSwitchesOffIn(GetParam().value), GetParam().text);
}
INSTANTIATE_TEST_SUITE_P(
    Minutes, UpsSwitchesOff,
    ::testing::Values(Formatted{1, "La UPS se apagará en  1 minuto."},
                      Formatted{2, "La UPS se apagará en  2 minutos."},
                      Formatted{59, "La UPS se apagará en 59 minutos."},
                      Formatted{60, "La UPS se apagará en  1 hora  0 minutos."},
                      Formatted{61, "La UPS se apagará en  1 hora  1 minutos."},
                      Formatted{119, "La UPS se apagará en  1 hora 59 minutos."},
                      Formatted{120, "La UPS se apagará en  2 horas  0 minutos."},
                      Formatted{605, "La UPS se apagará en 10 horas  5 minutos."}));

}  // namespace
