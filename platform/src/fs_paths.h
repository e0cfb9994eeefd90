// fs_paths.h — the path rules shared by kdFopen, the native handler and the by-path operations.
// Platform-internal.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The path without its leading '.' and '/' characters ("./res/a.png" → "res/a.png", "/data/x" → "data/x").
std::string_view skipLeadingDotsAndSlashes(std::string_view path);

// The native path for an engine path: "data/rest" becomes the user data folder (the working folder's "data"
// when there is none) joined with rest, after resolving "." and ".." steps; other paths stay as they are.
// False, with KD_EINVAL set, when the ".." steps of a "data/" path would leave that folder.
bool mapUserDataPath(std::string_view path, std::string* nativePath);

// True when the path names something inside the user data folder ("data/...").
bool isUserDataPath(std::string_view path);

} // namespace platform
