// Path rules: leading-character skipping and the user data mapping with its containment check.
#include "platform/src/fs_paths.h"

#include "platform/kd.h"
#include "platform/src/user_data_folder.h"

#include <vector>

namespace platform {

std::string_view skipLeadingDotsAndSlashes(std::string_view path) {
    size_t skip = 0;
    while (skip < path.size() && (path[skip] == '.' || path[skip] == '/')) ++skip;
    return path.substr(skip);
}

bool isUserDataPath(std::string_view path) {
    return path.substr(0, 5) == "data/";
}

bool mapUserDataPath(std::string_view path, std::string* nativePath) {
    if (!isUserDataPath(path)) {
        nativePath->assign(path);
        return true;
    }
    // Without a user data folder, "data/" names the folder "data" in the working folder; it is contained
    // just the same.
    std::string folder = userDataFolder();
    if (folder.empty()) folder = "data";
    // Resolve the steps ourselves so that no "data/" path can reach outside the folder, whatever exists on
    // disk.
    std::vector<std::string_view> steps;
    std::string_view rest = path.substr(5);
    while (!rest.empty()) {
        size_t slash = rest.find('/');
        std::string_view step = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (step.empty() || step == ".") continue;
        if (step == "..") {
            if (steps.empty()) {
                kdSetError(KD_EINVAL);
                return false;
            }
            steps.pop_back();
            continue;
        }
        steps.push_back(step);
    }
    *nativePath = folder;
    for (std::string_view step : steps) {
        nativePath->push_back('/');
        nativePath->append(step);
    }
    return true;
}

} // namespace platform
