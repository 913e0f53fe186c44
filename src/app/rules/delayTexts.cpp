#include "app/rules/delayTexts.h"

#include <cstdio>

namespace ups {

namespace {

std::string formatted(const char* format, int value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

std::string delaySecondsText(int seconds) {
    return formatted("%3d seg.", seconds);
}
std::string delayMinutesPartText(int seconds) {
    return formatted("%02d min.", seconds / 60);
}
std::string delaySecondsPartText(int seconds) {
    return formatted("%02d seg.", seconds % 60);
}

}  // namespace ups
