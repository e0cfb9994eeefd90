#include "platform/kd_libraries.h"

#include <dlfcn.h>
#include <link.h>

namespace platform {

void keepLoadedLibraries() {
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void*) {
            // The main program and the vdso have no path; everything else is a loaded library.
            if (info->dlpi_name != nullptr && info->dlpi_name[0] == '/') {
                dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            }
            return 0;
        },
        nullptr);
}

} // namespace platform
