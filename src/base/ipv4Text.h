#pragma once
// The address text of the SNMP agent, read and written the way the classic inet_addr and
// inet_ntoa do it on every platform, so an address typed on one machine means the same on all.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ups {

// One to four parts separated by "."; each part decimal, octal with a leading 0 or hexadecimal
// with 0x; the last part fills the bytes that remain. The value is in host order, first part in
// the highest byte. Nothing when the text is not an address, and also for 255.255.255.255 (and
// its other spellings), whose value is the one the classic call reserves for its error.
std::optional<std::uint32_t> inetAddr(std::string_view text);

// Dotted decimal, "a.b.c.d".
std::string inetNtoa(std::uint32_t address);

// The text that leaving the address field leaves in it: the canonical form of a valid address.
std::optional<std::string> canonicalAddressText(std::string_view text);

}  // namespace ups
