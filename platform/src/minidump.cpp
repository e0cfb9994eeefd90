#include "platform/src/minidump.h"

#include <cpuid.h>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <elf.h>
#include <fcntl.h>
#include <initializer_list>
#include <link.h>
#include <sys/syscall.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace platform {
namespace {

using namespace minidump;

constexpr uint32_t kStreamCount = 6;
constexpr uint32_t kHeaderSize = 32;
constexpr uint32_t kDirectoryEntrySize = 12;
constexpr uint64_t kStackBytesBelowSp = 128;    // the red zone below the stack pointer
constexpr uint64_t kStackBytesMax = 256 * 1024; // enough for a debugger to walk the innermost frames

void put16(uint8_t* at, uint16_t v) {
    std::memcpy(at, &v, 2);
}
void put32(uint8_t* at, uint32_t v) {
    std::memcpy(at, &v, 4);
}
void put64(uint8_t* at, uint64_t v) {
    std::memcpy(at, &v, 8);
}

// Appends blocks to the dump file at 4-byte aligned offsets and remembers whether every write succeeded.
struct DumpFile {
    int fd;
    uint32_t end;
    bool ok = true;

    bool writeAt(uint32_t offset, const void* data, size_t size) {
        const char* bytes = static_cast<const char*>(data);
        while (size > 0) {
            // The raw system call: stack memory holds sanitizer red zones that a checked pwrite would refuse.
            long n = syscall(SYS_pwrite64, fd, bytes, size, static_cast<off_t>(offset));
            if (n <= 0) return ok = false;
            bytes += n;
            offset += static_cast<uint32_t>(n);
            size -= static_cast<size_t>(n);
        }
        return true;
    }

    uint32_t append(const void* data, size_t size) {
        end = (end + 3) & ~3u;
        uint32_t rva = end;
        writeAt(rva, data, size);
        end += static_cast<uint32_t>(size);
        return rva;
    }
};

// A MINIDUMP_STRING: byte length, then UTF-16 code units and a terminating zero. Decodes UTF-8 (BMP only).
uint32_t appendString(DumpFile& file, const char* text) {
    uint8_t buffer[4 + 2 * 600];
    size_t units = 0;
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    while (*s && units < 599) {
        uint32_t c = *s++;
        if (c >= 0xc0 && c < 0xe0 && (*s & 0xc0) == 0x80) {
            c = ((c & 0x1f) << 6) | (*s++ & 0x3f);
        } else if (c >= 0xe0 && c < 0xf0 && (s[0] & 0xc0) == 0x80 && (s[1] & 0xc0) == 0x80) {
            c = ((c & 0x0f) << 12) | ((s[0] & 0x3f) << 6) | (s[1] & 0x3f);
            s += 2;
        } else if (c >= 0x80) {
            c = '?';
            while ((*s & 0xc0) == 0x80) ++s;
        }
        put16(buffer + 4 + 2 * units++, static_cast<uint16_t>(c));
    }
    put16(buffer + 4 + 2 * units, 0);
    put32(buffer, static_cast<uint32_t>(2 * units));
    return file.append(buffer, 4 + 2 * units + 2);
}

// The signal context has no ds and es; they are the same flat selectors for every thread of the process.
uint16_t dataSegment() {
    uint16_t value = 0;
    asm("mov %%ds, %0" : "=r"(value));
    return value;
}

uint16_t extraSegment() {
    uint16_t value = 0;
    asm("mov %%es, %0" : "=r"(value));
    return value;
}

// The AMD64 CONTEXT record from the signal's register state.
void fillContext(uint8_t* ctx, const ucontext_t* uc) {
    const greg_t* g = uc->uc_mcontext.gregs;
    const auto csgsfs = static_cast<uint64_t>(g[REG_CSGSFS]);
    put32(ctx + 0x30, kContextAmd64 | 0x1 | 0x2 | 0x4 | 0x8); // control, integer, segments, floating point
    put16(ctx + 0x38, static_cast<uint16_t>(csgsfs));
    put16(ctx + 0x3a, dataSegment());
    put16(ctx + 0x3c, extraSegment());
    put16(ctx + 0x3e, static_cast<uint16_t>(csgsfs >> 32));
    put16(ctx + 0x40, static_cast<uint16_t>(csgsfs >> 16));
    put16(ctx + 0x42, static_cast<uint16_t>(csgsfs >> 48));
    put32(ctx + 0x44, static_cast<uint32_t>(g[REG_EFL]));
    const int order[] = {REG_RAX, REG_RCX, REG_RDX, REG_RBX, REG_RSP, REG_RBP, REG_RSI, REG_RDI, REG_R8,
                         REG_R9,  REG_R10, REG_R11, REG_R12, REG_R13, REG_R14, REG_R15, REG_RIP};
    for (size_t i = 0; i < sizeof order / sizeof order[0]; ++i)
        put64(ctx + 0x78 + 8 * i, static_cast<uint64_t>(g[order[i]]));
    if (uc->uc_mcontext.fpregs) {
        std::memcpy(ctx + 0x100, uc->uc_mcontext.fpregs, 512); // the FXSAVE area, as the record keeps it
        put32(ctx + 0x34, uc->uc_mcontext.fpregs->mxcsr);
    }
}

// Reads /proc/self/maps line by line without the heap.
struct MapsReader {
    int fd = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    char buffer[4096];
    size_t used = 0;
    size_t start = 0;

    ~MapsReader() {
        if (fd >= 0) close(fd);
    }

    // One line, or null at the end.
    const char* next() {
        for (;;) {
            char* newline = static_cast<char*>(std::memchr(buffer + start, '\n', used - start));
            if (newline) {
                *newline = '\0';
                const char* line = buffer + start;
                start = static_cast<size_t>(newline - buffer) + 1;
                return line;
            }
            std::memmove(buffer, buffer + start, used - start);
            used -= start;
            start = 0;
            if (fd < 0 || used == sizeof buffer) return nullptr;
            ssize_t n = read(fd, buffer + used, sizeof buffer - used);
            if (n <= 0) return nullptr;
            used += static_cast<size_t>(n);
        }
    }
};

uint64_t parseHex(const char*& s) {
    uint64_t value = 0;
    for (;; ++s) {
        char c = *s;
        if (c >= '0' && c <= '9')
            value = value * 16 + static_cast<uint64_t>(c - '0');
        else if (c >= 'a' && c <= 'f')
            value = value * 16 + static_cast<uint64_t>(c - 'a' + 10);
        else
            return value;
    }
}

// The readable stack bytes from just below the stack pointer upwards. After a stack overflow the stack
// pointer lies below the stack's mapping; the stack then starts at the mapping's low end.
void findStack(uint64_t sp, uint64_t& start, uint64_t& size) {
    start = size = 0;
    uint64_t bestLow = 0, bestHigh = 0;
    MapsReader maps;
    while (const char* line = maps.next()) {
        uint64_t low = parseHex(line);
        if (*line++ != '-') continue;
        uint64_t high = parseHex(line);
        if (*line++ != ' ' || *line != 'r') continue;
        if (low <= sp && sp < high) {
            bestLow = low;
            bestHigh = high;
            break;
        }
        if (low > sp && (bestHigh == 0 || low < bestLow)) {
            bestLow = low;
            bestHigh = high;
        }
    }
    if (bestHigh == 0) return;
    start = sp - kStackBytesBelowSp;
    if (start < bestLow || start >= bestHigh) start = bestLow;
    size = bestHigh - start;
    if (size > kStackBytesMax) size = kStackBytesMax;
}

struct ModuleScan {
    CrashModule* modules;
    int capacity;
    int count;
};

void readBuildId(const dl_phdr_info* info, CrashModule& module) {
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& ph = info->dlpi_phdr[i];
        if (ph.p_type != PT_NOTE) continue;
        auto* at = reinterpret_cast<const uint8_t*>(info->dlpi_addr + ph.p_vaddr);
        const uint8_t* end = at + ph.p_memsz;
        while (at + sizeof(ElfW(Nhdr)) <= end) {
            auto* note = reinterpret_cast<const ElfW(Nhdr)*>(at);
            const uint8_t* name = at + sizeof(ElfW(Nhdr));
            const uint8_t* desc = name + ((note->n_namesz + 3) & ~3u);
            if (desc + note->n_descsz > end) break;
            if (note->n_type == NT_GNU_BUILD_ID && note->n_namesz == 4 && std::memcmp(name, "GNU", 4) == 0 &&
                note->n_descsz <= sizeof module.buildId) {
                std::memcpy(module.buildId, desc, note->n_descsz);
                module.buildIdSize = note->n_descsz;
                return;
            }
            at = desc + ((note->n_descsz + 3) & ~3u);
        }
    }
}

void readVersion(CrashModule& module) {
    const char* base = std::strrchr(module.path, '/');
    const char* so = std::strstr(base ? base : module.path, ".so.");
    if (!so) return;
    const char* s = so + 4;
    for (int part = 0; part < 4 && *s >= '0' && *s <= '9'; ++part) {
        unsigned value = 0;
        while (*s >= '0' && *s <= '9') value = value * 10 + static_cast<unsigned>(*s++ - '0');
        module.version[part] = static_cast<uint16_t>(value);
        if (*s != '.') break;
        ++s;
    }
}

int addModule(dl_phdr_info* info, size_t, void* data) {
    auto* scan = static_cast<ModuleScan*>(data);
    if (scan->count == scan->capacity) return 1;
    uint64_t low = UINT64_MAX, high = 0;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& ph = info->dlpi_phdr[i];
        if (ph.p_type != PT_LOAD) continue;
        if (ph.p_vaddr < low) low = ph.p_vaddr;
        if (ph.p_vaddr + ph.p_memsz > high) high = ph.p_vaddr + ph.p_memsz;
    }
    if (high == 0) return 0;
    CrashModule& module = scan->modules[scan->count];
    std::memset(&module, 0, sizeof module);
    module.base = info->dlpi_addr + low;
    module.size = static_cast<uint32_t>(high - low);
    const char* name = info->dlpi_name;
    if (scan->count == 0 && (!name || !name[0])) {
        ssize_t n = readlink("/proc/self/exe", module.path, sizeof module.path - 1);
        module.path[n > 0 ? n : 0] = '\0';
    } else if (name) {
        std::strncpy(module.path, name, sizeof module.path - 1);
    }
    if (!module.path[0]) return 0;
    readBuildId(info, module);
    readVersion(module);
    ++scan->count;
    return 0;
}

} // namespace

int collectCrashModules(CrashModule* modules, int capacity) {
    ModuleScan scan{modules, capacity, 0};
    dl_iterate_phdr(addModule, &scan);
    return scan.count;
}

bool writeMinidump(int fd, const CrashSnapshot& snapshot) {
    DumpFile file{fd, kHeaderSize + kStreamCount * kDirectoryEntrySize};
    uint8_t directory[kStreamCount * kDirectoryEntrySize] = {};
    uint32_t streams = 0;
    auto addStream = [&](uint32_t type, uint32_t size, uint32_t rva) {
        uint8_t* entry = directory + kDirectoryEntrySize * streams++;
        put32(entry, type);
        put32(entry + 4, size);
        put32(entry + 8, rva);
    };

    // The crashing thread: its context and its stack memory.
    static uint8_t context[kContextSizeAmd64];
    std::memset(context, 0, sizeof context);
    fillContext(context, snapshot.context);
    uint32_t contextRva = file.append(context, sizeof context);

    uint64_t sp = static_cast<uint64_t>(snapshot.context->uc_mcontext.gregs[REG_RSP]);
    uint64_t stackStart, stackSize;
    findStack(sp, stackStart, stackSize);
    uint32_t stackRva = stackSize ? file.append(reinterpret_cast<const void*>(stackStart), stackSize) : 0;

    uint8_t threadList[4 + kThreadSize] = {};
    put32(threadList, 1);
    uint8_t* thread = threadList + 4;
    put32(thread, snapshot.threadId);
    put64(thread + 24, stackStart);
    put32(thread + 32, static_cast<uint32_t>(stackSize));
    put32(thread + 36, stackRva);
    put32(thread + 40, kContextSizeAmd64);
    put32(thread + 44, contextRva);
    addStream(kThreadListStream, sizeof threadList, file.append(threadList, sizeof threadList));

    // Linux dumps carry the signal number as the exception code and si_code as its flags.
    uint8_t exception[168] = {};
    put32(exception, snapshot.threadId);
    put32(exception + 8, static_cast<uint32_t>(snapshot.signal));
    put32(exception + 12, static_cast<uint32_t>(snapshot.code));
    put64(exception + 24, snapshot.faultAddress);
    put32(exception + 160, kContextSizeAmd64);
    put32(exception + 164, contextRva);
    addStream(kExceptionStream, sizeof exception, file.append(exception, sizeof exception));

    struct utsname names {};
    uname(&names);
    unsigned major = 0, minor = 0, patch = 0;
    const char* r = names.release;
    for (unsigned* part : {&major, &minor, &patch}) {
        while (*r >= '0' && *r <= '9') *part = *part * 10 + static_cast<unsigned>(*r++ - '0');
        if (*r == '.') ++r;
    }
    char description[sizeof names.release + sizeof names.version + 2];
    std::snprintf(description, sizeof description, "%s %s", names.release, names.version);
    uint32_t descriptionRva = appendString(file, description);
    uint8_t systemInfo[56] = {};
    put16(systemInfo, kArchitectureAmd64);
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(0, &eax, &ebx, &ecx, &edx)) {
        put32(systemInfo + 32, ebx); // the vendor text, in cpuid's register order
        put32(systemInfo + 36, edx);
        put32(systemInfo + 40, ecx);
    }
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx)) {
        put16(systemInfo + 2, static_cast<uint16_t>((eax >> 8) & 0xf)); // family
        put32(systemInfo + 44, eax);
        put32(systemInfo + 48, edx);
    }
    long processors = sysconf(_SC_NPROCESSORS_ONLN);
    systemInfo[6] = static_cast<uint8_t>(processors > 0 && processors < 256 ? processors : 1);
    systemInfo[7] = 1; // a workstation
    put32(systemInfo + 8, major);
    put32(systemInfo + 12, minor);
    put32(systemInfo + 16, patch);
    put32(systemInfo + 20, kPlatformLinux);
    put32(systemInfo + 24, descriptionRva);
    addStream(kSystemInfoStream, sizeof systemInfo, file.append(systemInfo, sizeof systemInfo));

    uint8_t miscInfo[24] = {};
    put32(miscInfo, sizeof miscInfo);
    put32(miscInfo + 4, 1); // the process id is valid
    put32(miscInfo + 8, snapshot.processId);
    addStream(kMiscInfoStream, sizeof miscInfo, file.append(miscInfo, sizeof miscInfo));

    // Module names and build-id records first, then the list that points at them.
    static uint32_t nameRvas[512], cvRvas[512], cvSizes[512];
    int moduleCount = snapshot.moduleCount < 512 ? snapshot.moduleCount : 512;
    for (int i = 0; i < moduleCount; ++i) {
        const CrashModule& module = snapshot.modules[i];
        nameRvas[i] = appendString(file, module.path);
        cvSizes[i] = cvRvas[i] = 0;
        if (module.buildIdSize) {
            uint8_t cv[4 + sizeof module.buildId];
            put32(cv, 0x4c457042); // "BpEL": an ELF build id follows
            std::memcpy(cv + 4, module.buildId, module.buildIdSize);
            cvSizes[i] = 4 + module.buildIdSize;
            cvRvas[i] = file.append(cv, cvSizes[i]);
        }
    }
    uint8_t count[4];
    put32(count, static_cast<uint32_t>(moduleCount));
    uint32_t moduleListRva = file.append(count, 4);
    for (int i = 0; i < moduleCount; ++i) {
        const CrashModule& module = snapshot.modules[i];
        uint8_t entry[kModuleSize] = {};
        put64(entry, module.base);
        put32(entry + 8, module.size);
        put32(entry + 20, nameRvas[i]);
        put32(entry + 24, 0xfeef04bd); // the fixed file-version record
        put32(entry + 28, 0x10000);
        put32(entry + 32, static_cast<uint32_t>(module.version[0]) << 16 | module.version[1]);
        put32(entry + 36, static_cast<uint32_t>(module.version[2]) << 16 | module.version[3]);
        put32(entry + 76, cvSizes[i]);
        put32(entry + 80, cvRvas[i]);
        file.writeAt(file.end, entry, sizeof entry); // the entries follow the count without padding
        file.end += sizeof entry;
    }
    addStream(kModuleListStream, 4 + kModuleSize * static_cast<uint32_t>(moduleCount), moduleListRva);

    uint8_t memoryList[4 + 16] = {};
    put32(memoryList, stackSize ? 1 : 0);
    put64(memoryList + 4, stackStart);
    put32(memoryList + 12, static_cast<uint32_t>(stackSize));
    put32(memoryList + 16, stackRva);
    addStream(kMemoryListStream, stackSize ? sizeof memoryList : 4,
              file.append(memoryList, sizeof memoryList));

    uint8_t header[kHeaderSize] = {};
    put32(header, kSignature);
    put32(header + 4, kVersion);
    put32(header + 8, streams);
    put32(header + 12, kHeaderSize);
    put32(header + 20, static_cast<uint32_t>(time(nullptr)));
    file.writeAt(0, header, sizeof header);
    file.writeAt(kHeaderSize, directory, sizeof directory);
    return file.ok;
}

} // namespace platform
