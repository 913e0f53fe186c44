#pragma once
// The words of the UPS network protocol's lines: a request is words separated by spaces, a word
// with spaces or quotes inside is written between double quotes, and a backslash makes the next
// character part of the word whatever it is.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ups {

// The words of one line (without its line end). Nothing when a quote is left open or the line
// ends in a lone backslash: such a line has no meaning, and the answer is an error.
std::optional<std::vector<std::string>> splitWords(std::string_view line);

// The value between double quotes, with `"` and `\` escaped by a backslash. Call it as
// ups::quoted: given a std::string, an unqualified call may pick std::quoted instead.
std::string quoted(std::string_view value);

}  // namespace ups
