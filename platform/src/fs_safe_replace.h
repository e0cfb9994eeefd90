// fs_safe_replace.h — crash-safe replacement of user data files: a save is written to "X.kdtmp" and only a
// fully written, flushed and synced copy replaces X, with the old version kept as "X.kdbak" while the swap
// happens. Platform-internal.
#pragma once

#include "platform/kd.h"

#include <cstdio>
#include <string>

namespace platform {

inline constexpr const char* kTempSuffix = ".kdtmp";
inline constexpr const char* kBackupSuffix = ".kdbak";

// Puts "X.kdbak" back as X after a commit was cut short, but only when X does not exist: a backup left beside
// a newer X must never replace it. A restore also deletes the stale "X.kdtmp" of the cut-short commit.
void restoreBackup(const std::string& target);

// Closes tempFile (the open "X.kdtmp") and makes it X. Every step is checked: a write error seen earlier
// (writeError, an errno value or 0; the caller notes every failed write, flush or seek), or a flush, sync or
// close error, deletes "X.kdtmp" and keeps X; a failed read does not count. A failed swap puts the old X
// back. 0, or -1 with the last error set; in every failure the previous complete version of X is still in
// place.
KDint commitReplace(FILE* tempFile, const std::string& target, int writeError);

} // namespace platform
