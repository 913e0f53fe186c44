#pragma once
// The regedit export format ("Windows Registry Editor Version 5.00", or REGEDIT4) read into a
// document and written back: sections below HKEY_LOCAL_MACHINE are keys, "Name"=hex:.. lines are
// binary values, dword: and string values read with their types. Everything the document holds
// besides the values written through it goes back as it was read, so a file people or regedit
// wrote keeps its other keys, its comments and its layout. Text only: reading and replacing the
// file is the platform's business.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/registryStore.h"

namespace ups {

// One logical line as written (a value may span several physical lines), so that whatever is not
// rewritten goes back unchanged.
struct RegEntry {
    std::vector<std::string> lines;
    bool isValue = false;
    std::string valueName;
    RegValue value;

    bool operator==(const RegEntry& other) const;
};

struct RegSection {
    std::string headerLine;
    // Relative to HKEY_LOCAL_MACHINE; unset for other roots and for deletion sections ("[-...]").
    std::optional<std::string> keyPath;
    std::vector<RegEntry> entries;

    bool operator==(const RegSection&) const = default;
};

// Key paths are taken as the store takes them ("\Software\Korvan"); key and value names compare
// without regard to letter case, as on Windows.
struct RegDocument {
    std::vector<RegEntry> preamble;
    std::vector<RegSection> sections;

    // The bytes of a file: 8-bit text (with or without the UTF-8 mark) or regedit's default
    // UTF-16LE behind its byte-order mark, line ends LF or CRLF. Nothing when the text does not
    // start like a regedit export, or is a cut or damaged UTF-16 text: such a file is not ours.
    static std::optional<RegDocument> parse(std::string_view bytes);
    // The 8-bit form with CRLF line ends, which regedit imports too.
    std::string serialize() const;

    // A key exists when its section does, or a section below it: importing creates the parents.
    bool keyExists(std::string_view keyPath) const;
    // The last occurrence of the value, which is the one an import keeps; Missing when none.
    RegValue readValue(std::string_view keyPath, std::string_view name) const;
    // A section for the key at the end, behind a header when the document has none yet; false
    // (and nothing changed) when the key exists already.
    bool addKey(std::string_view keyPath);
    // Replaces the value where it stands, or adds it at the end of the key's last section (a new
    // section when the key has none of its own).
    void setBinaryValue(std::string_view keyPath, std::string_view name,
                        const std::vector<std::uint8_t>& data);

    bool operator==(const RegDocument&) const = default;
};

}  // namespace ups
