// The process entry: the single-instance guard, platform start-up, kdMain, platform shutdown.
#include "platform/kd.h"
#include "platform/src/instance_guard.h"
#include "platform/src/platform_start.h"
#include "platform/src/process_state.h"

#include <cstdlib>

int platformMain(int argc, char** argv) {
    platform::setProcessArguments(argc, argv);
    // Only the inherited environment counts here: the configuration file is read after the guard.
    if (!std::getenv("KD_PARENT_WINDOW")) {
        platform::GuardOutcome guard = platform::acquireInstanceGuard();
        if (guard.refused) return guard.exitCode;
    }
    platform::platformStart();
    int result = kdMain();
    platform::platformStop();
    platform::stopInstanceGuardListener();
    return result;
}
