// The threads layer: the per-thread record slot and the application's thread-local pointer.
#pragma once

namespace platform {

void startThreads(); // creates the two slots and registers the main thread's record
void stopThreads();  // deletes the two slots

} // namespace platform
