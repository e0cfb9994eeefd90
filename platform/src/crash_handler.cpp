// The crash handler. On a fatal signal it writes the report to the log (process info, exception, registers,
// symbolised stack trace, loaded modules), writes "kdCrashDump.dmp" to the user data folder through the
// safe-replace steps, shows the crash message and lets the process die of the same signal.
//
// It runs on a 1 MiB alternate stack so that a stack overflow can be reported, and writes the report on a
// second 1 MiB stack of its own, since libdw needs far more than a default signal stack and other threads may
// have small alternate stacks of their own. The report goes out through write(2) line by line; the symbol
// lookups allocate, which is acceptable for a process that is about to die, and an alarm ends the process
// should the handler ever hang.
#include "platform/src/crash_handler.h"
#include "platform/platform_hooks.h"
#include "platform/src/fs_safe_replace.h"
#include "platform/src/log_output.h"
#include "platform/src/minidump.h"
#include "platform/src/user_data_folder.h"

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <elfutils/libdwfl.h>
#include <execinfo.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/utsname.h>
#include <ucontext.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr size_t kAltStackSize = 1 << 20;
constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP};
constexpr int kMaxFrames = 64;
constexpr int kMaxModules = 512;
constexpr unsigned kHandlerTimeoutSeconds = 30;
constexpr long kStackOverflowReach = 64 * 1024; // a fault this close to the stack pointer is an overflow

constexpr char kMessageCaption[] = "Exception";
constexpr char kMessageText[] = "This application has halted due to an unexpected error.\n"
                                "A crash report and minidump file were saved to disk:\n\n"
                                "kdCrashDump.dmp\n"
                                "kdLogMessage.txt\n\n"
                                "Please send these files to developers to help us analyse\n"
                                "and solve this problem.\n";

std::atomic<pid_t> g_handlingThread{0};
CrashMessageHook* g_messageHook = nullptr;
bool g_installed = false;
char g_dumpPath[PATH_MAX];
char g_dumpTempPath[PATH_MAX];
char g_line[2048];
CrashModule g_modules[kMaxModules];

void report(const char* format, ...) __attribute__((format(printf, 1, 2)));
void report(const char* format, ...) {
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(g_line, sizeof g_line, format, args);
    va_end(args);
    if (length < 0) return;
    logWriteRaw(g_line, static_cast<size_t>(length) < sizeof g_line ? static_cast<size_t>(length)
                                                                    : sizeof g_line - 1);
}

size_t readSmallFile(const char* path, char* buffer, size_t size) {
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    size_t used = 0;
    ssize_t n;
    while (used < size - 1 && (n = read(fd, buffer + used, size - 1 - used)) > 0)
        used += static_cast<size_t>(n);
    close(fd);
    buffer[used] = '\0';
    return used;
}

bool debuggerAttached() {
    char status[4096];
    readSmallFile("/proc/self/status", status, sizeof status);
    const char* tracer = std::strstr(status, "TracerPid:");
    return tracer && std::atoi(tracer + 10) != 0;
}

const char* exceptionName(int signal, const siginfo_t* info, const ucontext_t* uc) {
    int code = info->si_code;
    switch (signal) {
    case SIGSEGV: {
        long fault = static_cast<long>(reinterpret_cast<uintptr_t>(info->si_addr));
        long sp = static_cast<long>(uc->uc_mcontext.gregs[REG_RSP]);
        long distance = fault > sp ? fault - sp : sp - fault;
        return distance <= kStackOverflowReach ? "STACK_OVERFLOW" : "ACCESS_VIOLATION";
    }
    case SIGBUS:
        return code == BUS_ADRALN ? "DATATYPE_MISALIGNMENT" : "IN_PAGE_ERROR";
    case SIGILL:
        return code == ILL_PRVOPC || code == ILL_PRVREG ? "PRIV_INSTRUCTION" : "ILLEGAL_INSTRUCTION";
    case SIGFPE:
        switch (code) {
        case FPE_INTDIV:
            return "INT_DIVIDE_BY_ZERO";
        case FPE_INTOVF:
            return "INT_OVERFLOW";
        case FPE_FLTDIV:
            return "FLT_DIVIDE_BY_ZERO";
        case FPE_FLTOVF:
            return "FLT_OVERFLOW";
        case FPE_FLTUND:
            return "FLT_UNDERFLOW";
        case FPE_FLTRES:
            return "FLT_INEXACT_RESULT";
        case FPE_FLTINV:
            return "FLT_INVALID_OPERATION";
        case FPE_FLTSUB:
            return "ARRAY_BOUNDS_EXCEEDED";
        default:
            return "UNKNOWN_ERROR";
        }
    case SIGTRAP:
        if (code == TRAP_BRKPT || code == SI_KERNEL) return "BREAKPOINT";
        if (code == TRAP_TRACE) return "SINGLE_STEP";
        return "UNKNOWN_ERROR";
    default:
        return "UNKNOWN_ERROR";
    }
}

void reportProcessInfo() {
    char commandLine[512];
    size_t length = readSmallFile("/proc/self/cmdline", commandLine, sizeof commandLine);
    for (size_t i = 0; i < length; ++i)
        if (commandLine[i] == '\0') commandLine[i] = ' ';
    while (length > 0 && commandLine[length - 1] == ' ') commandLine[--length] = '\0';
    report("\nProcess info:\n");
    report("Cmd line: %.65s\n", commandLine);
    report("Version compiled %s, %s\n", "Oct  3 2011", "17:12:51");
    struct utsname names {};
    uname(&names);
    int major = 0, minor = 0, patch = 0;
    std::sscanf(names.release, "%d.%d.%d", &major, &minor, &patch);
    report("Platform: Linux OS version %d.%d build %d %s\n\n", major, minor, patch, names.version);
}

void reportRegisters(const ucontext_t* uc) {
    const greg_t* g = uc->uc_mcontext.gregs;
    auto r = [g](int index) { return static_cast<unsigned long>(g[index]); };
    auto csgsfs = static_cast<unsigned long>(g[REG_CSGSFS]);
    unsigned short ds = 0, es = 0;
    asm("mov %%ds, %0" : "=r"(ds));
    asm("mov %%es, %0" : "=r"(es));
    report("Registers:\n");
    report("rax=%016lx rbx=%016lx rcx=%016lx rdx=%016lx\n", r(REG_RAX), r(REG_RBX), r(REG_RCX), r(REG_RDX));
    report("rsi=%016lx rdi=%016lx rbp=%016lx rsp=%016lx\n", r(REG_RSI), r(REG_RDI), r(REG_RBP), r(REG_RSP));
    report("r8=%016lx  r9=%016lx  r10=%016lx r11=%016lx\n", r(REG_R8), r(REG_R9), r(REG_R10), r(REG_R11));
    report("r12=%016lx r13=%016lx r14=%016lx r15=%016lx\n", r(REG_R12), r(REG_R13), r(REG_R14), r(REG_R15));
    report("rip=%016lx efl=%08lx\n", r(REG_RIP), r(REG_EFL));
    report("cs=%04lx  ss=%04lx  ds=%04x  es=%04x  fs=%04lx  gs=%04lx\n", csgsfs & 0xffff,
           (csgsfs >> 48) & 0xffff, ds, es, (csgsfs >> 32) & 0xffff, (csgsfs >> 16) & 0xffff);
}

// "ns::f(int, char*)" becomes "ns::f": the report's own parentheses hold the parameters.
const char* withoutParameterTypes(char* name) {
    size_t length = std::strlen(name);
    if (length == 0 || name[length - 1] != ')') return name;
    int depth = 0;
    for (size_t i = length; i-- > 0;) {
        if (name[i] == ')') ++depth;
        if (name[i] == '(' && --depth == 0) {
            if (i > 0) name[i] = '\0';
            break;
        }
    }
    return name;
}

// One stack frame: "#n  0xADDR in name () at file:line". Return addresses are looked up one byte back, inside
// the call instruction, so the line is the call's and not the next statement's.
void reportFrame(Dwfl* dwfl, int number, uintptr_t address, bool isReturnAddress) {
    uintptr_t lookup = isReturnAddress ? address - 1 : address;
    Dwfl_Module* module = dwfl ? dwfl_addrmodule(dwfl, lookup) : nullptr;
    const char* name = module ? dwfl_module_addrname(module, lookup) : nullptr;
    if (name) {
        int status = -1;
        char* demangled = abi::__cxa_demangle(name, nullptr, nullptr, &status);
        report("#%d  0x%08lx in %.200s (", number, static_cast<unsigned long>(address),
               status == 0 && demangled ? withoutParameterTypes(demangled) : name);
        std::free(demangled);
        // Parameter values would need the DWARF location lists of every frame; the list stays empty.
        report(")");
    } else {
        report("#%d  0x%08lx in (unknown function)", number, static_cast<unsigned long>(address));
    }
    Dwfl_Line* line = module ? dwfl_module_getsrc(module, lookup) : nullptr;
    int lineNumber = 0;
    const char* file = line ? dwfl_lineinfo(line, nullptr, &lineNumber, nullptr, nullptr, nullptr) : nullptr;
    if (file)
        report(" at %s:%d\n", file, lineNumber);
    else
        report("\n");
}

void reportStackTrace(const ucontext_t* uc, void* const* frames, int count) {
    report("\nStacktrace:\n");
    // The frames were walked from the handler through the signal frame into the crashed code; the crashed
    // frames start at the faulting instruction.
    auto rip = static_cast<uintptr_t>(uc->uc_mcontext.gregs[REG_RIP]);
    int first = 0;
    while (first < count && reinterpret_cast<uintptr_t>(frames[first]) != rip) ++first;

    static const Dwfl_Callbacks callbacks = {dwfl_linux_proc_find_elf, dwfl_standard_find_debuginfo, nullptr,
                                             nullptr};
    Dwfl* dwfl = dwfl_begin(&callbacks);
    if (dwfl &&
        (dwfl_linux_proc_report(dwfl, getpid()) != 0 || dwfl_report_end(dwfl, nullptr, nullptr) != 0)) {
        dwfl_end(dwfl);
        dwfl = nullptr;
    }
    int number = 0;
    if (first == count) {
        reportFrame(dwfl, ++number, rip, false); // the walk could not pass the faulting frame
    } else {
        for (int i = first; i < count; ++i) {
            auto address = reinterpret_cast<uintptr_t>(frames[i]);
            if (address != 0) reportFrame(dwfl, ++number, address, i != first);
        }
    }
    if (dwfl) dwfl_end(dwfl);
}

// The dump goes to "kdCrashDump.dmp.kdtmp" first and replaces an older dump only once it is complete, through
// the same safe-replace commit as every save in the user data folder.
void writeDump(const CrashSnapshot& snapshot) {
    if (!g_dumpPath[0]) return;
    int fd = open(g_dumpTempPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return;
    int writeError = writeMinidump(fd, snapshot) ? 0 : EIO;
    FILE* file = fdopen(fd, "wb");
    if (!file) {
        close(fd);
        unlink(g_dumpTempPath);
        return;
    }
    commitReplace(file, g_dumpPath, writeError);
}

void showMessage() {
    if (g_messageHook && g_messageHook(kMessageCaption, kMessageText)) return;
    (void)!write(STDERR_FILENO, kMessageText, sizeof kMessageText - 1);
}

// Ends the process with the signal it crashed with, so that its parent sees the crash. A fault is left to
// happen again on return; a sent signal (abort) or a trap is raised anew.
void passOn(int signal, const siginfo_t* info) {
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    sigemptyset(&defaultAction.sa_mask);
    sigaction(signal, &defaultAction, nullptr);
    bool fault = info->si_code > 0 && signal != SIGTRAP && signal != SIGABRT;
    if (!fault) raise(signal);
}

// What the report needs of the crash, kept for the report stack.
struct CrashJob {
    int signal;
    const siginfo_t* info;
    const ucontext_t* context;
    pid_t thread;
    void* frames[kMaxFrames];
    int frameCount;
};
CrashJob g_job;

void writeReport() {
    const CrashJob& job = g_job;
    reportProcessInfo();
    report("Exception: %s\n\n", exceptionName(job.signal, job.info, job.context));
    reportRegisters(job.context);
    reportStackTrace(job.context, job.frames, job.frameCount);

    report("\n\nLoaded modules:\n");
    int moduleCount = collectCrashModules(g_modules, kMaxModules);
    for (int i = 0; i < moduleCount; ++i) {
        const CrashModule& module = g_modules[i];
        report("0x%08lx  %s (%d.%d.%d.%d, %d bytes)\n", static_cast<unsigned long>(module.base), module.path,
               module.version[0], module.version[1], module.version[2], module.version[3],
               static_cast<int>(module.size));
    }
    CrashSnapshot snapshot{job.signal,
                           job.info->si_code,
                           reinterpret_cast<uint64_t>(job.info->si_addr),
                           job.context,
                           static_cast<uint32_t>(getpid()),
                           static_cast<uint32_t>(job.thread),
                           g_modules,
                           moduleCount};
    writeDump(snapshot);
    showMessage();
}

// The report runs on a stack of its own: the signal may arrive on a thread whose alternate stack, set up by
// someone else (sanitizer runtimes do this), is far too small for the symbol lookups.
ucontext_t g_reportContext;
ucontext_t g_handlerContext;
void* g_reportStack = nullptr;

void onCrash(int signal, siginfo_t* info, void* rawContext) {
    auto* uc = static_cast<const ucontext_t*>(rawContext);
    auto self = static_cast<pid_t>(syscall(SYS_gettid));
    pid_t idle = 0;
    if (!g_handlingThread.compare_exchange_strong(idle, self)) {
        if (idle == self) return passOn(signal, info); // the handler itself crashed: let it go
        for (;;) pause();                              // another thread's report is being written
    }
    if (debuggerAttached()) return passOn(signal, info);

    struct sigaction alarmDefault {};
    alarmDefault.sa_handler = SIG_DFL;
    sigaction(SIGALRM, &alarmDefault, nullptr);
    alarm(kHandlerTimeoutSeconds);

    // The stack walk must happen on the crashed thread's own stacks, before switching.
    g_job.signal = signal;
    g_job.info = info;
    g_job.context = uc;
    g_job.thread = self;
    g_job.frameCount = backtrace(g_job.frames, kMaxFrames);

    if (g_reportStack && getcontext(&g_reportContext) == 0) {
        g_reportContext.uc_stack.ss_sp = g_reportStack;
        g_reportContext.uc_stack.ss_size = kAltStackSize;
        g_reportContext.uc_link = &g_handlerContext;
        makecontext(&g_reportContext, writeReport, 0);
        swapcontext(&g_handlerContext, &g_reportContext);
    } else {
        writeReport();
    }
    passOn(signal, info);
}

void setPath(char* target, const std::string& folder, const char* name) {
    std::snprintf(target, PATH_MAX, "%s/%s", folder.c_str(), name);
}

} // namespace

void installCrashHandler() {
    if (g_installed) return;
    g_installed = true;

    std::string folder = userDataFolder();
    if (makeFolderPath(folder) && folder.size() + 32 < PATH_MAX) {
        setPath(g_dumpPath, folder, "kdCrashDump.dmp");
        setPath(g_dumpTempPath, folder, (std::string("kdCrashDump.dmp") + kTempSuffix).c_str());
    }
    openLogFile();
    // The first backtrace() loads the unwinder library; do that now, not inside the handler.
    void* warmUp[2];
    backtrace(warmUp, 2);

    void* reportStack =
        mmap(nullptr, kAltStackSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (reportStack != MAP_FAILED) g_reportStack = reportStack;
    void* stack = mmap(nullptr, kAltStackSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (stack != MAP_FAILED) {
        stack_t altStack{};
        altStack.ss_sp = stack;
        altStack.ss_size = kAltStackSize;
        sigaltstack(&altStack, nullptr);
    }
    struct sigaction action {};
    action.sa_sigaction = onCrash;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int signal : kSignals) sigaction(signal, &action, nullptr);
}

void setCrashMessageHook(CrashMessageHook* hook) {
    g_messageHook = hook;
}

} // namespace platform
