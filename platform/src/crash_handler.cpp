#include "platform/src/crash_handler.h"

namespace platform {

void installCrashHandler() {}

} // namespace platform
