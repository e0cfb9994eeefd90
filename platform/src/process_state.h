// Process-wide state kept by the process entry, for the platform's own parts.
#pragma once

namespace platform {

// Records main's arguments for processArgumentCount/processArguments.
void setProcessArguments(int argc, char** argv);

} // namespace platform
