// kdLogMessage, the level helpers and the log receivers.
#include "platform/kd.h"
#include "platform/src/log_output.h"
#include "platform/src/user_data_folder.h"

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr off_t kLogFileLimit = 1 << 20; // a log past this size is started afresh, else it grows without end
constexpr int kNotOpened = -2;

std::atomic<int> g_logFd{kNotOpened};
KDLogHook* g_hook = nullptr;
void* g_hookUser = nullptr;
thread_local bool t_inHook = false;

void writeAll(int fd, const char* text, size_t length) {
    while (length > 0) {
        ssize_t n = write(fd, text, length);
        if (n < 0) {
            if (errno == EINTR) continue;
            return;
        }
        text += n;
        length -= static_cast<size_t>(n);
    }
}

int logFd() {
    int fd = g_logFd.load(std::memory_order_acquire);
    if (fd != kNotOpened) return fd;
    openLogFile();
    return g_logFd.load(std::memory_order_acquire);
}

} // namespace

void openLogFile() {
    if (g_logFd.load(std::memory_order_acquire) != kNotOpened) return;
    int fd = -1;
    std::string folder = userDataFolder();
    if (makeFolderPath(folder)) {
        std::string path = folder + "/kdLogMessage.txt";
        // Appending keeps the report of a crash in the previous run until it has been sent.
        fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        struct stat st {};
        if (fd >= 0 && fstat(fd, &st) == 0 && st.st_size > kLogFileLimit) (void)ftruncate(fd, 0);
    }
    int expected = kNotOpened;
    if (!g_logFd.compare_exchange_strong(expected, fd) && fd >= 0) close(fd);
}

void logWriteRaw(const char* text, size_t length) {
    writeAll(STDERR_FILENO, text, length);
    int fd = logFd();
    if (fd >= 0) writeAll(fd, text, length);
}

void logWrite(const char* text, size_t length) {
    logWriteRaw(text, length);
    // A hook that logs itself must not recurse into itself.
    if (g_hook && !t_inHook) {
        t_inHook = true;
        g_hook(text, g_hookUser);
        t_inHook = false;
    }
}

} // namespace platform

namespace {

void logV(const KDchar* format, va_list args) {
    if (!format) return;
    char small[1024];
    va_list copy;
    va_copy(copy, args);
    int length = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (length < 0) return;
    if (static_cast<size_t>(length) < sizeof small) {
        platform::logWrite(small, static_cast<size_t>(length));
        return;
    }
    std::unique_ptr<char[]> big(new (std::nothrow) char[static_cast<size_t>(length) + 1]);
    if (!big) return;
    std::vsnprintf(big.get(), static_cast<size_t>(length) + 1, format, args);
    platform::logWrite(big.get(), static_cast<size_t>(length));
}

const char* levelPrefix(LogLevel level) {
    switch (level) {
    case LogLevel::Info:
        return "info: ";
    case LogLevel::Warning:
        return "warning: ";
    case LogLevel::Error:
        return "error: ";
    case LogLevel::Plain:
        break;
    }
    return "";
}

void logTaggedV(LogLevel level, const KDchar* tag, const KDchar* format, va_list args) {
    char message[1024]; // longer messages are cut to 1023 characters
    if (!format || std::vsnprintf(message, sizeof message, format, args) < 0) message[0] = '\0';
    if (tag)
        kdLogMessage("[%s] %s%s\n", tag, levelPrefix(level), message);
    else
        kdLogMessage("%s%s\n", levelPrefix(level), message);
}

} // namespace

void kdLogMessage(const KDchar* format, ...) {
    va_list args;
    va_start(args, format);
    logV(format, args);
    va_end(args);
}

void logTagged(LogLevel level, const KDchar* tag, const KDchar* format, ...) {
    va_list args;
    va_start(args, format);
    logTaggedV(level, tag, format, args);
    va_end(args);
}

void logPlain(const KDchar* tag, const KDchar* format, ...) {
    va_list args;
    va_start(args, format);
    logTaggedV(LogLevel::Plain, tag, format, args);
    va_end(args);
}

void logInfo(const KDchar* tag, const KDchar* format, ...) {
    va_list args;
    va_start(args, format);
    logTaggedV(LogLevel::Info, tag, format, args);
    va_end(args);
}

void logWarning(const KDchar* tag, const KDchar* format, ...) {
    va_list args;
    va_start(args, format);
    logTaggedV(LogLevel::Warning, tag, format, args);
    va_end(args);
}

void logError(const KDchar* tag, const KDchar* format, ...) {
    va_list args;
    va_start(args, format);
    logTaggedV(LogLevel::Error, tag, format, args);
    va_end(args);
}

void kdSetLogHook(KDLogHook* hook, void* user) {
    platform::g_hook = hook;
    platform::g_hookUser = user;
}
