#include "platform/src/platform_start.h"
#include "platform/platform_hooks.h"
#include "platform/src/config_file.h"
#include "platform/src/crash_handler.h"
#include "platform/src/event_system.h"
#include "platform/src/threads.h"

#include <cstdlib>
#include <ctime>

namespace platform {

void platformStart() {
    applyConfigFile(configFilePath());
    startVideo();
    startThreads();
    // Step 4, the counter frequency, has nothing to read: the monotonic clock counts nanoseconds.
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    mountFileSystems();
    installCrashHandler();
}

void platformStop() {
    stopEventSystem();
    unmountFileSystems();
    stopThreads();
    stopVideo();
}

} // namespace platform
