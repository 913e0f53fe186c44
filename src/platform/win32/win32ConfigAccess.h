#pragma once
// The one step of the installation that needs an administrator and the program's own code: the
// configuration key lives under HKEY_LOCAL_MACHINE, where an ordinary user may only read, yet the
// monitor saves its configuration as whoever is logged on.

namespace ups {

// Creates the configuration key in the registry's 32-bit view when it is missing and grants the
// local Users group (S-1-5-32-545) read and write on it and on the product's key above it
// (\Software\Korvan\Ups), inherited by any subkey; the maker's key is left as it is. The other
// entries of the key's access list are kept, and a second grant changes nothing. False when the key
// cannot be created or its access list cannot be changed (not elevated).
bool grantUsersConfigAccess();

}  // namespace ups
