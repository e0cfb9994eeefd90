// The per-user data folder: saves, the log file and crash dumps live here.
#pragma once

#include <string>

namespace platform {

// "$XDG_DATA_HOME/Harbor Haven", or "$HOME/.local/share/Harbor Haven" when XDG_DATA_HOME is unset or empty (a
// relative XDG_DATA_HOME is ignored, as the XDG rules ask). Read from the environment at each call; empty
// when neither variable gives a usable base.
std::string userDataFolder();

// Creates the folder and its missing parents (mode 0755). True when it exists afterwards.
bool makeFolderPath(const std::string& path);

} // namespace platform
