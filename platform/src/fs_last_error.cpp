// The process-wide last error and the errno translation table.
#include "platform/src/fs_last_error.h"

#include <cerrno>

namespace {
KDint g_lastError = 0;
}

KDint kdGetError() {
    return g_lastError;
}

void kdSetError(KDint error) {
    g_lastError = error;
}

namespace platform {

KDint translateErrno(int osError) {
    switch (osError) {
    case EAGAIN:
        return KD_EAGAIN; // EWOULDBLOCK is the same number on Linux
    case EBADF:
        return KD_EBADF;
    case EBUSY:
        return KD_EBUSY;
    case EDEADLK:
        return KD_EDEADLK;
    case EEXIST:
        return KD_EEXIST;
    case EFBIG:
        return KD_EFBIG;
    case EINVAL:
        return KD_EINVAL;
    case EIO:
        return KD_EIO;
    case EISDIR:
        return KD_EISDIR;
    case EMFILE:
    case ENFILE:
        return KD_EMFILE;
    case ENAMETOOLONG:
        return KD_ENAMETOOLONG;
    case ENOENT:
    case ENOTDIR:
        return KD_ENOENT;
    case ENOMEM:
        return KD_ENOMEM;
    case ENOSPC:
        return KD_ENOSPC;
    case ENOSYS:
    case ENOTSUP:
        return KD_ENOSYS;
    case EPERM:
        return KD_EPERM;
    default:
        return KD_EACCES;
    }
}

void setErrorFromErrno(int osError) {
    kdSetError(translateErrno(osError));
}

} // namespace platform
