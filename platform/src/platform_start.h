// The platform's start-up and shutdown sequences, in their fixed orders.
#pragma once

namespace platform {

// 1 configuration file, 2 video and screen size, 3 threads layer, 4 clock, 5 random seed, 6 mounts,
// 7 crash handler.
void platformStart();
// 1 event system, 2 mounts (newest first), 3 threads layer; then the video layer.
void platformStop();

} // namespace platform
