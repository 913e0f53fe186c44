#pragma once
// Settings that earlier installations left elsewhere are taken over once, so that an upgrade
// keeps them. The configuration key lives in the registry's 32-bit view; before it held anything,
// the settings may be in the user's VirtualStore copy (a 32-bit monitor that ran without the
// right to write the machine's key) or in the 64-bit view (earlier 64-bit builds).
#include <windows.h>

#include <string>

namespace ups {

// Where the settings came from.
enum class EarlierConfig { None, VirtualStore, View64 };

// When the key in the 32-bit view has no "CfgUps", copies every value of the first earlier key
// that has one into it (the key is created when missing); the earlier keys are left as they
// are. None when there was nothing to take, or it could not be written.
EarlierConfig adoptEarlierConfig(HKEY machine = HKEY_LOCAL_MACHINE, HKEY user = HKEY_CURRENT_USER);

}  // namespace ups
