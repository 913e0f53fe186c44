#include "upsnet/protocolText.h"

namespace ups {

std::optional<std::vector<std::string>> splitWords(std::string_view line) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool inQuotes = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\\') {
            if (++i == line.size()) return std::nullopt;
            word += line[i];
            inWord = true;
        } else if (c == '"') {
            // A quote opens or closes a stretch of the word; "" is an empty word of its own.
            inQuotes = !inQuotes;
            inWord = true;
        } else if ((c == ' ' || c == '\t') && !inQuotes) {
            if (inWord) words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inQuotes) return std::nullopt;
    if (inWord) words.push_back(std::move(word));
    return words;
}

std::string quoted(std::string_view value) {
    std::string text;
    text.reserve(value.size() + 2);
    text += '"';
    for (const char c : value) {
        if (c == '"' || c == '\\') text += '\\';
        text += c;
    }
    text += '"';
    return text;
}

}  // namespace ups
