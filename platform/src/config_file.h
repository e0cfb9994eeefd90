// The configuration file: NAME=VALUE lines applied to the process environment at start-up.
#pragma once

#include <string>

namespace platform {

// The running executable's full path (from /proc/self/exe) with ".cfg" appended; empty when it is unknown.
std::string configFilePath();

// Applies every line of the file to the environment: "NAME=VALUE" sets NAME, "NAME=" removes it, anything
// else is ignored. A line ends at LF; a CR before it is dropped so that a file written on Windows works.
// Lines have no length limit. A missing or unreadable file changes nothing. Returns the number of lines
// applied.
int applyConfigFile(const std::string& path);

} // namespace platform
