// The ".bar" archive handler: a read-only 7z archive, itself opened through the mount chain. At mount the
// header is read once and indexed by name; each open decodes that entry's block alone into a buffer of its
// own.
#include "platform/src/fs_file_system.h"
#include "platform/src/fs_last_error.h"
#include "platform/src/fs_memory_file.h"
#include "platform/src/fs_seven_zip.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

namespace {

// Archive files are read in pieces of this size.
constexpr size_t kReadChunk = 32768;

unsigned char lowerAscii(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

uint32_t nameHash(std::string_view name) {
    uint32_t hash = 5381;
    for (char c : name) hash = hash * 33 + lowerAscii(static_cast<unsigned char>(c));
    return hash;
}

bool sameNameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(static_cast<unsigned char>(a[i])) != lowerAscii(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// The archive file through the kd file operations of the mount that opened it.
class ChainSource final : public sevenzip::Source {
public:
    explicit ChainSource(KDFile* file) : m_file(file) {
        KDStat st{};
        if (kdFstat(file, &st) == 0 && st.st_size > 0) m_size = uint64_t(st.st_size);
    }

    bool readAt(uint64_t offset, void* buffer, size_t bytes) override {
        if (offset > m_size || bytes > m_size - offset) return false;
        if (kdFseek(m_file, KDoff(offset), KD_SEEK_SET) != 0) return false;
        auto* out = static_cast<unsigned char*>(buffer);
        while (bytes > 0) {
            size_t piece = std::min(bytes, kReadChunk);
            if (kdFread(out, 1, piece, m_file) != piece) return false;
            out += piece;
            bytes -= piece;
        }
        return true;
    }

    uint64_t size() const override { return m_size; }

private:
    KDFile* m_file;
    uint64_t m_size = 0;
};

// One open entry: its decoded contents and a read position.
class ArchiveFile final : public MemoryFile {
public:
    ArchiveFile(std::vector<uint8_t> data, KDtime mtime) : m_mtime(mtime) { m_data = std::move(data); }

    KDint fstat(KDStat* buf) override {
        *buf = {KD_S_IFREG, KDoff(m_data.size()), m_mtime};
        return 0;
    }

    // The decoded buffer is the mapping.
    bool canMap() const override { return true; }
    void* map(KDsize* size) override {
        static uint8_t empty;
        *size = m_data.size();
        return m_data.empty() ? &empty : m_data.data();
    }
    KDint unmap(void*) override { return 0; }

private:
    KDtime m_mtime;
};

class ArchiveFileSystem final : public FileSystem {
public:
    explicit ArchiveFileSystem(KDFile* archiveFile) : m_file(archiveFile), m_source(archiveFile) {}
    ~ArchiveFileSystem() override { kdFclose(m_file); }
    ArchiveFileSystem(const ArchiveFileSystem&) = delete;
    ArchiveFileSystem& operator=(const ArchiveFileSystem&) = delete;

    // Reads the header and builds the name index: (entries / 2) | 1 buckets, each entry put at the front of
    // its bucket's chain. 0 or the reader's error code.
    KDint index() {
        if (KDint error = sevenzip::readArchive(m_source, &m_archive)) return error;
        for (sevenzip::Entry& entry : m_archive.entries) {
            // Folders may be stored with a trailing '/'; lookups name them without it.
            while (!entry.name.empty() && entry.name.back() == '/') entry.name.pop_back();
        }
        size_t count = m_archive.entries.size();
        m_buckets.assign((count / 2) | 1, -1);
        m_next.assign(count, -1);
        for (size_t i = 0; i < count; ++i) {
            if (m_archive.entries[i].name.empty()) continue;
            int32_t& head = m_buckets[nameHash(m_archive.entries[i].name) % m_buckets.size()];
            m_next[i] = head;
            head = int32_t(i);
        }
        return 0;
    }

    KDFile* open(const KDchar* path, const KDchar* mode) override {
        // A name this archive does not have, or a write, is not its business: the chain goes on and the error
        // the native file system gave stands.
        if (std::strpbrk(mode, "wa+")) return nullptr;
        const sevenzip::Entry* entry = find(path);
        if (!entry) return nullptr;
        std::vector<uint8_t> data;
        if (!entry->directory && sevenzip::readEntry(m_source, m_archive, *entry, &data) != 0) {
            kdSetError(KD_EIO);
            return nullptr;
        }
        auto* file = new (std::nothrow) ArchiveFile(std::move(data), entry->mtime);
        if (!file) kdSetError(KD_ENOMEM);
        return file;
    }

    KDint stat(const KDchar* path, KDStat* buf) override {
        const sevenzip::Entry* entry = find(path);
        if (!entry) return -1;
        *buf = {entry->directory ? KD_S_IFDIR : KD_S_IFREG, KDoff(entry->size), entry->mtime};
        return 0;
    }

    KDint access(const KDchar* path, KDint mode) override {
        if (!find(path)) {
            kdSetError(KD_ENOENT);
            return -1;
        }
        if (mode & KD_W_OK) {
            kdSetError(KD_EACCES);
            return -1;
        }
        return 0;
    }

private:
    const sevenzip::Entry* find(std::string_view name) const {
        if (m_buckets.empty()) return nullptr;
        for (int32_t i = m_buckets[nameHash(name) % m_buckets.size()]; i >= 0; i = m_next[size_t(i)]) {
            if (sameNameIgnoringCase(m_archive.entries[size_t(i)].name, name))
                return &m_archive.entries[size_t(i)];
        }
        return nullptr;
    }

    KDFile* m_file;
    ChainSource m_source;
    sevenzip::Archive m_archive;
    std::vector<int32_t> m_buckets;
    std::vector<int32_t> m_next;
};

} // namespace

std::unique_ptr<FileSystem> mountArchive(const KDchar* mountPath, KDint* error) {
    *error = -1;
    KDFile* file = kdFopen(mountPath, "rb");
    if (!file) return nullptr;
    auto fileSystem = std::make_unique<ArchiveFileSystem>(file);
    *error = fileSystem->index();
    if (*error != 0) return nullptr;
    return fileSystem;
}

} // namespace platform
