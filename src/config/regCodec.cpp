#include "config/regCodec.h"

#include <utility>

namespace ups {

namespace {

constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kRootName = "HKEY_LOCAL_MACHINE";
constexpr std::string_view kLineEnd = "\r\n";
// regedit wraps hex data so that no line exceeds 80 characters.
constexpr std::size_t kHexWrapColumn = 77;

// ---- text helpers ----------------------------------------------------------------------------

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Windows compares key and value names without regard to letter case.
bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    }
    return true;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && sameName(text.substr(0, prefix.size()), prefix);
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = lowerAscii(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::optional<std::uint32_t> parseHexNumber(std::string_view s, std::size_t maxDigits) {
    if (s.empty() || s.size() > maxDigits) return std::nullopt;
    std::uint32_t v = 0;
    for (char c : s) {
        const int d = hexDigit(c);
        if (d < 0) return std::nullopt;
        v = v * 16 + static_cast<std::uint32_t>(d);
    }
    return v;
}

// Key paths arrive as "\Software\Korvan"; sections name them without the leading backslash.
std::string normalizeKeyPath(std::string_view keyPath) {
    while (!keyPath.empty() && keyPath.front() == '\\') keyPath.remove_prefix(1);
    while (!keyPath.empty() && keyPath.back() == '\\') keyPath.remove_suffix(1);
    return std::string(keyPath);
}

// Reads a quoted text starting at s[pos] == '"'; regedit escapes only the backslash and the
// quote. On success pos is just past the closing quote.
std::optional<std::string> parseQuoted(std::string_view s, std::size_t& pos) {
    if (pos >= s.size() || s[pos] != '"') return std::nullopt;
    std::string out;
    for (std::size_t i = pos + 1; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"') {
            pos = i + 1;
            return out;
        }
        if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
            out.push_back(s[++i]);
            continue;
        }
        out.push_back(c);
    }
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> parseHexBytes(std::string_view list) {
    std::vector<std::uint8_t> bytes;
    list = trim(list);
    if (list.empty()) return bytes;
    if (list.back() == ',') list.remove_suffix(1);
    while (true) {
        const std::size_t comma = list.find(',');
        const auto byte = parseHexNumber(trim(list.substr(0, comma)), 2);
        if (!byte) return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(*byte));
        if (comma == std::string_view::npos) break;
        list.remove_prefix(comma + 1);
    }
    return bytes;
}

RegValueType typeOfHexKind(std::uint32_t kind) {
    switch (kind) {
        case 1:  // REG_SZ
        case 2:  // REG_EXPAND_SZ
            return RegValueType::String;
        case 3:
            return RegValueType::Binary;
        case 4:
            return RegValueType::Dword;
        default:
            return RegValueType::Other;
    }
}

RegValue errorValue() {
    RegValue v;
    v.status = RegReadStatus::Error;
    return v;
}

RegValue okValue(RegValueType type, std::vector<std::uint8_t> data) {
    RegValue v;
    v.status = RegReadStatus::Ok;
    v.type = type;
    v.data = std::move(data);
    return v;
}

RegValue parseValueData(std::string_view data) {
    data = trim(data);
    if (data == "-") return RegValue{};  // an import that deletes the value
    if (!data.empty() && data.front() == '"') {
        std::size_t pos = 0;
        auto text = parseQuoted(data, pos);
        if (!text || pos != data.size()) return errorValue();
        return okValue(RegValueType::String, std::vector<std::uint8_t>(text->begin(), text->end()));
    }
    if (startsWithNoCase(data, "dword:")) {
        const auto number = parseHexNumber(trim(data.substr(6)), 8);
        if (!number) return errorValue();
        std::vector<std::uint8_t> bytes(4);
        for (std::size_t i = 0; i < 4; ++i)
            bytes[i] = static_cast<std::uint8_t>(*number >> (8 * i));
        return okValue(RegValueType::Dword, std::move(bytes));
    }
    if (startsWithNoCase(data, "hex:")) {
        auto bytes = parseHexBytes(data.substr(4));
        if (!bytes) return errorValue();
        return okValue(RegValueType::Binary, std::move(*bytes));
    }
    if (startsWithNoCase(data, "hex(")) {
        const std::size_t close = data.find("):");
        if (close == std::string_view::npos) return errorValue();
        const auto kind = parseHexNumber(data.substr(4, close - 4), 8);
        auto bytes = parseHexBytes(data.substr(close + 2));
        if (!kind || !bytes) return errorValue();
        return okValue(typeOfHexKind(*kind), std::move(*bytes));
    }
    return errorValue();
}

// A value line whose name cannot be made out is not a value of any name; it stays a plain line.
std::optional<RegEntry> parseValueLine(std::string_view text) {
    std::string name;
    std::size_t pos = 0;
    if (text.front() == '@') {
        pos = 1;
    } else {
        auto quoted = parseQuoted(text, pos);
        if (!quoted) return std::nullopt;
        name = std::move(*quoted);
    }
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
    if (pos >= text.size() || text[pos] != '=') return std::nullopt;
    RegEntry entry;
    entry.isValue = true;
    entry.valueName = std::move(name);
    entry.value = parseValueData(text.substr(pos + 1));
    return entry;
}

std::optional<std::string> sectionKeyPath(std::string_view inner) {
    if (inner.empty() || inner.front() == '-') return std::nullopt;
    const std::size_t slash = inner.find('\\');
    if (!sameName(inner.substr(0, slash), kRootName)) return std::nullopt;
    if (slash == std::string_view::npos) return std::string();
    return normalizeKeyPath(inner.substr(slash + 1));
}

std::vector<std::string> splitLines(std::string_view content) {
    std::vector<std::string> lines;
    while (!content.empty()) {
        const std::size_t nl = content.find('\n');
        std::string_view line = content.substr(0, nl);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.emplace_back(line);
        if (nl == std::string_view::npos) break;
        content.remove_prefix(nl + 1);
    }
    return lines;
}

bool continues(std::string_view line) {
    const std::string_view t = trim(line);
    return !t.empty() && t.back() == '\\' && t.front() != ';';
}

// Joins a value's continuation lines into the one line they stand for.
std::string joinContinuation(const std::vector<std::string>& lines) {
    std::string joined;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string_view part = i == 0 ? std::string_view(lines[i]) : trim(lines[i]);
        if (i + 1 < lines.size()) {
            part = trim(part);
            part.remove_suffix(1);
        }
        joined.append(part);
    }
    return joined;
}

void appendUtf8(std::string& out, std::uint32_t codePoint) {
    if (codePoint < 0x80) {
        out.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else if (codePoint < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
    }
}

bool isHighSurrogate(std::uint32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLowSurrogate(std::uint32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// A cut or damaged text (an odd count of octets, a surrogate without its partner) is not a clean
// export, and like any file that is not ours it is neither read nor replaced.
std::optional<std::string> utf8FromUtf16le(std::string_view octets) {
    if (octets.size() % 2 != 0) return std::nullopt;
    const auto unitAt = [&](std::size_t i) {
        return static_cast<std::uint32_t>(static_cast<std::uint8_t>(octets[i]) |
                                          static_cast<std::uint8_t>(octets[i + 1]) << 8);
    };
    std::string out;
    out.reserve(octets.size() + octets.size() / 2);
    for (std::size_t i = 0; i < octets.size(); i += 2) {
        std::uint32_t codePoint = unitAt(i);
        if (isLowSurrogate(codePoint)) return std::nullopt;
        if (isHighSurrogate(codePoint)) {
            if (octets.size() - i < 4 || !isLowSurrogate(unitAt(i + 2))) return std::nullopt;
            codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (unitAt(i + 2) - 0xDC00);
            i += 2;
        }
        appendUtf8(out, codePoint);
    }
    return out;
}

// regedit exports in UTF-16LE behind a byte-order mark unless told otherwise; the store itself
// writes, and parses, the 8-bit form.
std::optional<std::string> eightBitText(std::string content) {
    constexpr std::string_view kUtf16leMark = "\xFF\xFE";
    if (std::string_view(content).substr(0, 2) != kUtf16leMark) return content;
    return utf8FromUtf16le(std::string_view(content).substr(2));
}

std::optional<RegDocument> parseText(std::string_view content) {
    if (content.size() >= 3 && content.substr(0, 3) == "\xEF\xBB\xBF") content.remove_prefix(3);
    const std::vector<std::string> lines = splitLines(content);

    RegDocument doc;
    bool headerSeen = false;
    for (std::size_t i = 0; i < lines.size();) {
        RegEntry entry;
        entry.lines.push_back(lines[i++]);
        while (continues(entry.lines.back()) && i < lines.size()) entry.lines.push_back(lines[i++]);
        const std::string joined = joinContinuation(entry.lines);
        const std::string_view text = trim(joined);

        if (!headerSeen) {
            // A file that does not start like a regedit export is not ours to read or replace.
            if (!text.empty() && text != kHeader5 && text != kHeader4) return std::nullopt;
            headerSeen = !text.empty();
            doc.preamble.push_back(std::move(entry));
            continue;
        }
        if (text.size() >= 2 && text.front() == '[' && text.back() == ']') {
            RegSection section;
            section.headerLine = entry.lines.front();
            section.keyPath = sectionKeyPath(text.substr(1, text.size() - 2));
            for (std::size_t k = 1; k < entry.lines.size(); ++k) {
                section.entries.push_back(RegEntry{{entry.lines[k]}, false, {}, {}});
            }
            doc.sections.push_back(std::move(section));
            continue;
        }
        if (!doc.sections.empty() && !text.empty() &&
            (text.front() == '"' || text.front() == '@')) {
            if (auto value = parseValueLine(text)) {
                value->lines = std::move(entry.lines);
                entry = std::move(*value);
            }
        }
        (doc.sections.empty() ? doc.preamble : doc.sections.back().entries)
            .push_back(std::move(entry));
    }
    return doc;
}

bool isBlank(const RegEntry& e) {
    return !e.isValue && e.lines.size() == 1 && trim(e.lines.front()).empty();
}

bool sectionIs(const RegSection& s, std::string_view key) {
    return s.keyPath && sameName(*s.keyPath, key);
}

// Later lines win on import, so the last occurrence of a value is the one that counts.
template <typename Document>
auto findValue(Document& doc, std::string_view key, std::string_view name) {
    decltype(&doc.sections.front().entries.front()) found = nullptr;
    for (auto& s : doc.sections) {
        if (!sectionIs(s, key)) continue;
        for (auto& e : s.entries) {
            if (e.isValue && sameName(e.valueName, name)) found = &e;
        }
    }
    return found;
}

std::string escapeQuoted(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    return out;
}

std::vector<std::string> formatBinaryValue(std::string_view name,
                                           const std::vector<std::uint8_t>& data) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::vector<std::string> lines;
    std::string line = "\"" + escapeQuoted(name) + "\"=hex:";
    for (std::size_t i = 0; i < data.size(); ++i) {
        line.push_back(kDigits[data[i] >> 4]);
        line.push_back(kDigits[data[i] & 0x0F]);
        if (i + 1 == data.size()) break;
        line.push_back(',');
        if (line.size() >= kHexWrapColumn) {
            line.push_back('\\');
            lines.push_back(std::move(line));
            line = "  ";
        }
    }
    lines.push_back(std::move(line));
    return lines;
}

void appendLine(std::string& out, std::string_view line) {
    out.append(line);
    out.append(kLineEnd);
}

bool hasHeader(const RegDocument& doc) {
    for (const RegEntry& e : doc.preamble) {
        if (!trim(e.lines.front()).empty()) return true;
    }
    return false;
}

RegEntry blankLine() {
    return RegEntry{{""}, false, {}, {}};
}

RegSection& appendSection(RegDocument& doc, std::string_view key) {
    // Only an empty document, or one of blank lines, has no header yet.
    if (!hasHeader(doc)) {
        if (doc.preamble.empty()) doc.preamble.push_back(blankLine());
        doc.preamble.insert(doc.preamble.begin(), RegEntry{{std::string(kHeader5)}, false, {}, {}});
    }
    std::vector<RegEntry>& before =
        doc.sections.empty() ? doc.preamble : doc.sections.back().entries;
    if (before.empty() || !isBlank(before.back())) before.push_back(blankLine());
    RegSection section;
    section.headerLine =
        "[" + std::string(kRootName) + (key.empty() ? "" : "\\") + std::string(key) + "]";
    section.keyPath = std::string(key);
    section.entries.push_back(blankLine());
    doc.sections.push_back(std::move(section));
    return doc.sections.back();
}

// New values go after the last non-blank line of the section, so the blank separator stays last.
void appendValue(RegSection& section, RegEntry value) {
    auto pos = section.entries.end();
    while (pos != section.entries.begin() && isBlank(*(pos - 1))) --pos;
    section.entries.insert(pos, std::move(value));
}

}  // namespace

bool RegEntry::operator==(const RegEntry& other) const {
    return lines == other.lines && isValue == other.isValue && valueName == other.valueName &&
           value.status == other.value.status && value.type == other.value.type &&
           value.data == other.value.data;
}

std::optional<RegDocument> RegDocument::parse(std::string_view bytes) {
    const std::optional<std::string> text = eightBitText(std::string(bytes));
    if (!text) return std::nullopt;
    return parseText(*text);
}

std::string RegDocument::serialize() const {
    std::string out;
    for (const RegEntry& e : preamble) {
        for (const std::string& l : e.lines) appendLine(out, l);
    }
    for (const RegSection& s : sections) {
        appendLine(out, s.headerLine);
        for (const RegEntry& e : s.entries) {
            for (const std::string& l : e.lines) appendLine(out, l);
        }
    }
    return out;
}

bool RegDocument::keyExists(std::string_view keyPath) const {
    const std::string key = normalizeKeyPath(keyPath);
    for (const RegSection& s : sections) {
        if (!s.keyPath) continue;
        if (sameName(*s.keyPath, key)) return true;
        if (key.empty() || (s.keyPath->size() > key.size() && (*s.keyPath)[key.size()] == '\\' &&
                            sameName(std::string_view(*s.keyPath).substr(0, key.size()), key))) {
            return true;
        }
    }
    return false;
}

RegValue RegDocument::readValue(std::string_view keyPath, std::string_view name) const {
    const RegEntry* entry = findValue(*this, normalizeKeyPath(keyPath), name);
    return entry ? entry->value : RegValue{};
}

bool RegDocument::addKey(std::string_view keyPath) {
    if (keyExists(keyPath)) return false;
    appendSection(*this, normalizeKeyPath(keyPath));
    return true;
}

void RegDocument::setBinaryValue(std::string_view keyPath, std::string_view name,
                                 const std::vector<std::uint8_t>& data) {
    const std::string key = normalizeKeyPath(keyPath);
    RegEntry value;
    value.isValue = true;
    value.valueName = std::string(name);
    value.value = okValue(RegValueType::Binary, data);
    value.lines = formatBinaryValue(name, data);
    if (RegEntry* existing = findValue(*this, key, name)) {
        *existing = std::move(value);
        return;
    }
    RegSection* target = nullptr;
    for (RegSection& s : sections) {
        if (sectionIs(s, key)) target = &s;
    }
    appendValue(target ? *target : appendSection(*this, key), std::move(value));
}

}  // namespace ups
