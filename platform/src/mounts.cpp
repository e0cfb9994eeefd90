// The mount chain's start and stop steps. Filled in by the file system.
#include "platform/platform_hooks.h"

namespace platform {

void mountFileSystems() {}
void unmountFileSystems() {}

} // namespace platform
