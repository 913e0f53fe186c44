// The guard at process entry: a normal end gives the program's own status; an exception that
// escapes is shown in the error box and the process ends with a failure status.
#include "app/rules/entryGuard.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "support/scriptedMessageBoxes.h"

namespace ups {
namespace {

TEST(EntryGuard, AnEscapedExceptionIsShownAndFails) {
    test::ScriptedMessageBoxes boxes;
    EXPECT_EQ(runGuarded(boxes, [] { return 3; }), 3);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_NE(runGuarded(boxes, []() -> int { throw std::runtime_error("Sin ventana: é"); }), 0);
    EXPECT_NE(runGuarded(boxes, []() -> int { throw 42; }), 0);
    EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"Sin ventana: é", "Error inesperado."}));
    for (const test::ShownBox& box : boxes.shown) {
        EXPECT_EQ(box.title, "! ERROR !");
        EXPECT_EQ(box.icon, MbIcon::Error);
    }
}

}  // namespace
}  // namespace ups
