#pragma once
// The records hold single-byte Windows-1252 text (the SNMP password, the agent's address, the
// configuration password); the windows work in Unicode. These convert between the two.
#include <string>
#include <string_view>

namespace ups {

inline constexpr char kUnmappable = '?';

bool isWindows1252(char32_t c);

// A character that Windows-1252 cannot hold becomes kUnmappable.
std::string toWindows1252(std::u32string_view text);
std::u32string fromWindows1252(std::string_view bytes);

}  // namespace ups
