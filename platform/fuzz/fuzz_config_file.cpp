// libFuzzer target for the configuration file: the input is the file. Every line of the form NAME=VALUE must
// leave NAME set to VALUE (up to a NUL byte, which the environment cannot hold) unless a later line names it
// again, NAME= must leave it unset, and anything else must change nothing. The environment is put back after
// every input.
#include "platform/src/config_file.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

std::string g_path;
std::vector<std::string> g_environment;

void restoreEnvironment() {
    clearenv();
    for (const std::string& entry : g_environment) {
        const std::size_t equals = entry.find('=');
        setenv(entry.substr(0, equals).c_str(), entry.substr(equals + 1).c_str(), 1);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    for (char** entry = environ; *entry != nullptr; ++entry) {
        g_environment.emplace_back(*entry);
    }
    char folder[] = "/tmp/hh-fuzz-config-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        std::abort();
    }
    g_path = std::string(folder) + "/harborhaven.cfg";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FILE* file = std::fopen(g_path.c_str(), "wb");
    if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) {
        std::abort();
    }

    // What the lines should leave: the last word on each name.
    std::map<std::string, std::optional<std::string>> expected;
    const std::string text(reinterpret_cast<const char*>(data), size);
    int lines = 0;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? text.size() : end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos || equals == 0 || line.find('\0') < equals) {
            continue;
        }
        const std::string value = line.substr(equals + 1);
        expected[line.substr(0, equals)] =
            value.empty() ? std::nullopt : std::optional<std::string>(value.substr(0, value.find('\0')));
        ++lines;
    }

    if (platform::applyConfigFile(g_path) != lines) {
        std::abort();
    }
    for (const auto& [name, value] : expected) {
        const char* now = std::getenv(name.c_str());
        if (value ? now == nullptr || *value != now : now != nullptr) {
            std::abort();
        }
    }
    restoreEnvironment();
    return 0;
}
