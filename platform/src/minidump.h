// A writer of "minidump" crash dumps in the standard format (header, stream directory, system info, misc
// info, exception, thread list with context and stack memory, module list, memory list), so ordinary
// debuggers can open them. Everything here avoids the heap: it runs inside a signal handler.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ucontext.h>

namespace platform {

struct CrashModule {
    uint64_t base;       // address of the first loaded segment
    uint32_t size;       // bytes from the first segment's start to the last segment's end
    uint16_t version[4]; // from the numbers after ".so." in the file name, else zeros
    uint8_t buildId[32]; // the GNU build id, which debuggers match against the file on disk
    uint32_t buildIdSize;
    char path[512];
};

// Fills modules with the loaded ELF objects, the executable first; returns how many (at most capacity).
int collectCrashModules(CrashModule* modules, int capacity);

struct CrashSnapshot {
    int signal;
    int code;              // si_code
    uint64_t faultAddress; // si_addr
    const ucontext_t* context;
    uint32_t processId;
    uint32_t threadId;
    const CrashModule* modules;
    int moduleCount;
};

// Writes the dump of the crashing thread to an open file. False when a write failed.
bool writeMinidump(int fd, const CrashSnapshot& snapshot);

// Standard minidump numbers the tests check against.
namespace minidump {
constexpr uint32_t kSignature = 0x504d444d; // "MDMP"
constexpr uint32_t kVersion = 0xa793;
constexpr uint32_t kThreadListStream = 3;
constexpr uint32_t kModuleListStream = 4;
constexpr uint32_t kMemoryListStream = 5;
constexpr uint32_t kExceptionStream = 6;
constexpr uint32_t kSystemInfoStream = 7;
constexpr uint32_t kMiscInfoStream = 15;
constexpr uint32_t kContextSizeAmd64 = 1232;
constexpr uint32_t kContextAmd64 = 0x00100000;
constexpr uint32_t kThreadSize = 48;
constexpr uint32_t kModuleSize = 108;
constexpr uint16_t kArchitectureAmd64 = 9;
constexpr uint32_t kPlatformLinux = 0x8201;
constexpr size_t kContextRipOffset = 0xf8;
constexpr size_t kContextRspOffset = 0x98;
} // namespace minidump

} // namespace platform
