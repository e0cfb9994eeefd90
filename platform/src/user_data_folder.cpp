#include "platform/src/user_data_folder.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>

namespace platform {

std::string userDataFolder() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/') return std::string(xdg) + "/Harbor Haven";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/.local/share/Harbor Haven";
    return {};
}

bool makeFolderPath(const std::string& path) {
    if (path.empty()) return false;
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        std::string parent = path.substr(0, slash);
        if (mkdir(parent.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) return false;
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace platform
