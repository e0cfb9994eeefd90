// kd_file.h — files, folders, the mount chain, archives, HTTP files and the user data folder.
// Included by kd.h; do not include directly.
#pragma once
