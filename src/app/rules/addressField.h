#pragma once
// The keystroke rule of the agent's address field in the configuration dialog.

namespace ups {

// What a typed character does in the address field.
enum class AddressKey { accept, discard, moveToCheck };
AddressKey addressKeyAction(char32_t typed);

}  // namespace ups
