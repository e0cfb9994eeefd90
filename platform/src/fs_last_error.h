// fs_last_error.h — translating OS error numbers into the platform's last-error codes. Platform-internal.
#pragma once

#include "platform/kd.h"

namespace platform {

// The kd code for an errno value (KD_EACCES for any number without its own code).
KDint translateErrno(int osError);
// kdSetError(translateErrno(osError)).
void setErrorFromErrno(int osError);

} // namespace platform
