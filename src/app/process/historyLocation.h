#pragma once
// Where the event history lives: historial.db in the program's folder under the user's data
// folder (~/.local/share/korvan-ups on Linux, %LOCALAPPDATA%\korvan-ups on Windows).
#include <string>

namespace ups {

// The file's path, the folder created when missing; empty when there is no data folder.
std::string historyDatabasePath();

}  // namespace ups
