// Start and stop of the video layer. Filled in by the window area.
#include "platform/platform_hooks.h"

namespace platform {

void startVideo() {}
void stopVideo() {}

} // namespace platform
