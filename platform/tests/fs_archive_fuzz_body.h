// The archive mount and open path fed with arbitrary bytes: shared by the libFuzzer target (fuzz_archive.cpp)
// and the mutation test that runs in every build (test_fs_archive_mutations.cpp).
#pragma once

#include "platform/kd.h"
#include "platform/src/fs_file_system.h"
#include "platform/src/fs_memory_file.h"
#include "platform/src/fs_seven_zip.h"

#include <algorithm>
#include <cstring>
#include <lzma.h>
#include <string>
#include <vector>

namespace fs_fuzz {

// A file held in memory, so that the hostile bytes reach the archive handler through the chain like a real
// file.
class FuzzFile final : public platform::MemoryFile {
public:
    explicit FuzzFile(const std::string& bytes) { m_data.assign(bytes.begin(), bytes.end()); }
    KDint fstat(KDStat* buf) override {
        *buf = {KD_S_IFREG, KDoff(m_data.size()), 0};
        return 0;
    }
};

class MemoryFileSystem final : public platform::FileSystem {
public:
    static std::string& bytes() {
        static std::string current;
        return current;
    }
    KDFile* open(const KDchar* path, const KDchar*) override {
        return std::strcmp(path, "fuzz.bar") == 0 ? new FuzzFile(bytes()) : nullptr;
    }
    KDint stat(const KDchar*, KDStat*) override { return -1; }
    KDint access(const KDchar*, KDint) override { return -1; }
};

inline std::unique_ptr<platform::FileSystem> mountMemory(const KDchar*, KDint*) {
    return std::make_unique<MemoryFileSystem>();
}

// Names worth asking for: what the seed archives hold, in other cases too.
inline const char* const kProbeNames[] = {"a.txt",     "A.TXT", "dir", "dir/b.bin",
                                          "dir/c.bin", "empty", "x",   ""};

// The bytes with the start header's and the header's CRCs made right again, so that damage inside the header
// reaches the parser instead of stopping at the checksum. Empty when the bytes have no usable start header.
inline std::string withFixedChecksums(const uint8_t* data, size_t size) {
    if (size < 32 || data[0] != 0x37 || data[1] != 0x7A) return {};
    std::string fixed(reinterpret_cast<const char*>(data), size);
    auto* bytes = reinterpret_cast<uint8_t*>(fixed.data());
    uint64_t offset = 0, length = 0;
    for (int i = 0; i < 8; ++i) {
        offset |= uint64_t(bytes[12 + i]) << (8 * i);
        length |= uint64_t(bytes[20 + i]) << (8 * i);
    }
    auto store = [](uint8_t* at, uint32_t value) {
        for (int i = 0; i < 4; ++i) at[i] = uint8_t(value >> (8 * i));
    };
    if (offset <= size - 32 && length <= size - 32 - offset)
        store(bytes + 28, lzma_crc32(bytes + 32 + offset, size_t(length), 0));
    store(bytes + 8, lzma_crc32(bytes + 12, 20, 0));
    return fixed;
}

inline void runOnce(const std::string& bytes);

inline void run(const uint8_t* data, size_t size) {
    runOnce(std::string(reinterpret_cast<const char*>(data), size));
    std::string fixed = withFixedChecksums(data, size);
    if (!fixed.empty()) runOnce(fixed);
}

inline void runOnce(const std::string& bytes) {
    MemoryFileSystem::bytes() = bytes;

    // The reader directly: every entry the header lists, decoded.
    struct Source final : platform::sevenzip::Source {
        bool readAt(uint64_t offset, void* buffer, size_t bytes) override {
            const std::string& all = MemoryFileSystem::bytes();
            if (offset > all.size() || bytes > all.size() - offset) return false;
            if (bytes > 0)
                std::memcpy(buffer, all.data() + offset, bytes); // an empty read may pass no buffer
            return true;
        }
        uint64_t size() const override { return MemoryFileSystem::bytes().size(); }
    } source;
    platform::sevenzip::Archive archive;
    if (platform::sevenzip::readArchive(source, &archive) == 0) {
        for (const auto& entry : archive.entries) {
            std::vector<uint8_t> contents;
            if (platform::sevenzip::readEntry(source, archive, entry, &contents) == 0 &&
                contents.size() != entry.size)
                __builtin_trap(); // a decoded entry must have exactly its stated size
        }
    }

    // The same bytes through the chain: mount, stat, open, read, map.
    kdMount("mem", "", mountMemory);
    if (kdMount("bar", "fuzz.bar", platform::mountArchive)) {
        for (const char* name : kProbeNames) {
            KDStat st{};
            kdStat(name, &st);
            if (KDFile* file = kdFopen(name, "rb")) {
                char buffer[256];
                while (kdFread(buffer, 1, sizeof buffer, file) > 0) {
                }
                kdFseek(file, -1, KD_SEEK_END);
                KDsize mapped = 0;
                if (void* map = kdMapFile(file, &mapped)) kdUnmapFile(file, map);
                kdFclose(file);
            }
        }
    }
    kdUnmountAll();
}

} // namespace fs_fuzz
