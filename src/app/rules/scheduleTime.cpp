#include "app/rules/scheduleTime.h"

#include <cctype>
#include <cstdio>

namespace ups {

namespace {

constexpr char kBlank = '_';
constexpr std::size_t kShownLength = 5;  // "HH:MM"

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// scanf's "%2d": skips blanks, then an optional sign and digits, two characters at most.
std::optional<int> scanNumber(std::string_view text, std::size_t& pos) {
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos]))) ++pos;
    std::size_t width = 2;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
        negative = text[pos] == '-';
        ++pos;
        --width;
    }
    int value = 0;
    std::size_t digits = 0;
    while (digits < width && pos < text.size() && isDigit(text[pos])) {
        value = value * 10 + (text[pos] - '0');
        ++pos;
        ++digits;
    }
    if (digits == 0) return std::nullopt;
    return negative ? -value : value;
}

}  // namespace

std::optional<std::string> maskedTimeText(std::string_view shown) {
    if (shown.size() != kShownLength || shown[2] != ':') return std::nullopt;
    std::string hourDigits;
    for (char c : shown.substr(0, 2)) {
        if (isDigit(c))
            hourDigits += c;
        else if (c != kBlank && c != ' ')
            return std::nullopt;
    }
    if (hourDigits.empty() || !isDigit(shown[3]) || !isDigit(shown[4])) return std::nullopt;
    if (hourDigits.size() == 1) hourDigits.insert(hourDigits.begin(), ' ');
    return hourDigits + ':' + std::string(shown.substr(3, 2));
}

std::optional<TimeOfDay> scanTimeText(std::string_view text) {
    std::size_t pos = 0;
    auto hour = scanNumber(text, pos);
    if (!hour || pos >= text.size() || text[pos] != ':') return std::nullopt;
    ++pos;
    auto minute = scanNumber(text, pos);
    if (!minute) return std::nullopt;
    return TimeOfDay{*hour, *minute};
}

bool isTimeOfDay(const TimeOfDay& t) {
    return t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59;
}

std::string timeText(int hour, int minute) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d", hour, minute);
    return text;
}

}  // namespace ups
