#include "platform/src/config_file.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace platform {

std::string configFilePath() {
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return {};
    return std::string(path, static_cast<size_t>(length)) + ".cfg";
}

int applyConfigFile(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return 0;
    int applied = 0;
    char* line = nullptr;
    size_t capacity = 0;
    ssize_t length;
    while ((length = getline(&line, &capacity, file)) >= 0) {
        std::string text(line, static_cast<size_t>(length));
        if (!text.empty() && text.back() == '\n') text.pop_back();
        if (!text.empty() && text.back() == '\r') text.pop_back();
        size_t equals = text.find('=');
        if (equals == std::string::npos || equals == 0) continue;
        std::string name = text.substr(0, equals);
        if (name.find('\0') != std::string::npos) continue;
        std::string value = text.substr(equals + 1);
        int result = value.empty() ? unsetenv(name.c_str()) : setenv(name.c_str(), value.c_str(), 1);
        if (result == 0) ++applied;
    }
    std::free(line);
    std::fclose(file);
    return applied;
}

} // namespace platform
