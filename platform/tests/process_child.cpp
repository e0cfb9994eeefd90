// A small program around the platform's process entry, run by the entry and crash tests as a child process.
//   process_child wait        prints "ready", waits for its stdin to close, then tells whether a second copy
//                             asked it to come to the front; exit code 7
//   process_child env NAME    prints the value of NAME (or "(null)"); exit code 3
//   process_child crash KIND  crashes: null, divide, abort, overflow, trap, thread (null write on a second
//   thread) process_child exit        calls exit(4) from inside kdMain
#include "platform/kd.h"
#include "platform/platform_hooks.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <unistd.h>

namespace {

volatile int g_zero = 0;
volatile int* volatile g_nullTarget = nullptr;

// The sanitizers would turn these faults into their own reports; the crash handler is what is under test.
__attribute__((noinline, no_sanitize("address", "undefined"))) void writeThroughNull() {
    *g_nullTarget = 1;
}

__attribute__((noinline, no_sanitize("address", "undefined"))) int divideByZero() {
    return 100 / g_zero;
}

// Recurses until the stack runs out; the limit only exists to keep the compiler from calling it endless.
__attribute__((noinline, no_sanitize("address", "undefined"))) int recurseDeeply(int depth, int limit) {
    volatile char frame[512];
    frame[depth % sizeof frame] = static_cast<char>(depth);
    if (depth == limit) return frame[0];
    return recurseDeeply(depth + 1, limit) + frame[0];
}

int crash(const char* kind) {
    if (std::strcmp(kind, "null") == 0) writeThroughNull();
    if (std::strcmp(kind, "divide") == 0) return divideByZero();
    if (std::strcmp(kind, "abort") == 0) std::abort();
    if (std::strcmp(kind, "overflow") == 0) return recurseDeeply(0, g_zero - 1);
    if (std::strcmp(kind, "trap") == 0) __builtin_trap();
    if (std::strcmp(kind, "thread") == 0) std::thread(writeThroughNull).join();
    return 2;
}

} // namespace

int kdMain() {
    int argc = processArgumentCount();
    char** argv = processArguments();
    if (argc >= 2 && std::strcmp(argv[1], "wait") == 0) {
        std::printf("ready\n");
        std::fflush(stdout);
        char buffer[64];
        while (read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
        }
        std::printf("come to front: %s\n", platform::takeComeToFrontRequest() ? "asked" : "not asked");
        return 7;
    }
    if (argc >= 3 && std::strcmp(argv[1], "env") == 0) {
        const char* value = kdGetEnv(argv[2]);
        std::printf("%s\n", value ? value : "(null)");
        return 3;
    }
    if (argc >= 3 && std::strcmp(argv[1], "crash") == 0) return crash(argv[2]);
    if (argc >= 2 && std::strcmp(argv[1], "exit") == 0) std::exit(4); // ends without the platform's shutdown
    return 5;
}

int main(int argc, char** argv) {
    return platformMain(argc, argv);
}
