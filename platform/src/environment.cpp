// The process environment as the engine sees it, the screen size recorded at start-up, the process arguments
// and the engine's identity texts.
#include "platform/kd.h"
#include "platform/platform_hooks.h"
#include "platform/src/process_state.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sys/utsname.h>
#include <unistd.h>

namespace {

KDint g_screenWidth = 0;
KDint g_screenHeight = 0;
int g_argc = 0;
char** g_argv = nullptr;

} // namespace

namespace platform {

void setScreenSize(KDint width, KDint height) {
    g_screenWidth = width;
    g_screenHeight = height;
}

void setProcessArguments(int argc, char** argv) {
    g_argc = argc;
    g_argv = argv;
}

} // namespace platform

const KDchar* kdGetEnv(const KDchar* name) {
    if (!name) return nullptr;
    const char* value = std::getenv(name);
    if (value || std::strcmp(name, "KD_UDID") != 0) return value;
    value = std::getenv("COMPUTERNAME");
    if (value) return value;
    // Linux rarely sets COMPUTERNAME; the host name is the nearest device identity.
    static char hostName[256];
    static std::once_flag once;
    std::call_once(once, [] {
        if (gethostname(hostName, sizeof hostName - 1) != 0) hostName[0] = '\0';
    });
    return hostName[0] ? hostName : nullptr;
}

KDint kdGetScreenWidth() {
    return g_screenWidth;
}
KDint kdGetScreenHeight() {
    return g_screenHeight;
}

int processArgumentCount() {
    return g_argc;
}
char** processArguments() {
    return g_argv;
}

const KDchar* engineVersionText() {
    return "1.0.1 (Compiled Oct  3 2011 17:12:47)";
}
const KDchar* engineVendorText() {
    return "Harbor Haven Engine Team";
}

const KDchar* platformDescription() {
    static char text[128];
    static std::once_flag once;
    std::call_once(once, [] {
        long major = 0, minor = 0, patch = 0;
        struct utsname names {};
        if (uname(&names) == 0) std::sscanf(names.release, "%ld.%ld.%ld", &major, &minor, &patch);
        std::snprintf(text, sizeof text, "Linux v%ld.%ld.%ld", major, minor, patch);
    });
    return text;
}
