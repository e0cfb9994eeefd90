// The ".bar" archive handler: a read-only 7z archive, itself opened through the mount chain and read by
// libarchive through callbacks. At mount the headers are indexed by name; each open decodes one entry into
// its own buffer.
#include "platform/src/fs_file_system.h"
#include "platform/src/fs_last_error.h"

#include <algorithm>
#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <clocale>
#include <cstring>
#include <locale.h>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

namespace {

// Entries larger than this are refused rather than trusted to a header's size field.
constexpr KDoff kMaxEntrySize = KDoff(1) << 30;
constexpr size_t kReadChunk = 32768;
constexpr unsigned char kSignature[6] = {0x37, 0x7A, 0xBC, 0xAF, 0x27, 0x1C};

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

// libarchive converts the archive's UTF-16 names to the thread's character set; under the "C" locale
// non-ASCII names are lost. Switch this thread to UTF-8 while libarchive runs, without touching the process
// locale.
class Utf8NamesScope {
public:
    Utf8NamesScope() {
        static locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr));
        if (utf8) m_previous = uselocale(utf8);
    }
    ~Utf8NamesScope() {
        if (m_previous) uselocale(m_previous);
    }
    Utf8NamesScope(const Utf8NamesScope&) = delete;
    Utf8NamesScope& operator=(const Utf8NamesScope&) = delete;

private:
    locale_t m_previous = locale_t(nullptr);
};

// A libarchive reader over the archive file, read through the kd file operations.
class ArchiveReader {
public:
    explicit ArchiveReader(KDFile* file) : m_file(file) {}
    ~ArchiveReader() {
        if (m_archive) archive_read_free(m_archive);
    }
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;

    // Opens the reader at the start of the archive; on failure *error is libarchive's code (-1 when it has
    // none).
    bool open(KDint* error) {
        *error = -1;
        if (kdFseek(m_file, 0, KD_SEEK_SET) != 0) return false;
        m_archive = archive_read_new();
        if (!m_archive) return false;
        archive_read_support_format_7zip(m_archive);
        archive_read_set_read_callback(m_archive, &ArchiveReader::readCallback);
        archive_read_set_seek_callback(m_archive, &ArchiveReader::seekCallback);
        archive_read_set_skip_callback(m_archive, &ArchiveReader::skipCallback);
        archive_read_set_callback_data(m_archive, this);
        if (archive_read_open1(m_archive) == ARCHIVE_OK) return true;
        *error = archiveError();
        return false;
    }

    // The next header, or null at the end (*failed tells an error from the end).
    archive_entry* next(bool* failed) {
        archive_entry* entry = nullptr;
        int result = archive_read_next_header(m_archive, &entry);
        *failed = result != ARCHIVE_OK && result != ARCHIVE_WARN && result != ARCHIVE_EOF;
        return result == ARCHIVE_OK || result == ARCHIVE_WARN ? entry : nullptr;
    }

    la_ssize_t readData(void* buffer, size_t bytes) { return archive_read_data(m_archive, buffer, bytes); }

    KDint archiveError() const {
        int error = m_archive ? archive_errno(m_archive) : 0;
        return error ? error : -1;
    }

private:
    static la_ssize_t readCallback(archive*, void* self, const void** buffer) {
        auto* reader = static_cast<ArchiveReader*>(self);
        *buffer = reader->m_buffer;
        KDsize got = kdFread(reader->m_buffer, 1, kReadChunk, reader->m_file);
        if (got == 0 && kdFerror(reader->m_file)) return -1;
        return la_ssize_t(got);
    }

    static la_int64_t seekCallback(archive*, void* self, la_int64_t offset, int whence) {
        auto* reader = static_cast<ArchiveReader*>(self);
        KDfileSeekOrigin origin = whence == SEEK_CUR   ? KD_SEEK_CUR
                                  : whence == SEEK_END ? KD_SEEK_END
                                                       : KD_SEEK_SET;
        if (kdFseek(reader->m_file, offset, origin) != 0) return ARCHIVE_FATAL;
        return kdFtell(reader->m_file);
    }

    static la_int64_t skipCallback(archive*, void* self, la_int64_t request) {
        auto* reader = static_cast<ArchiveReader*>(self);
        // 0 makes libarchive fall back to reading and discarding.
        return kdFseek(reader->m_file, request, KD_SEEK_CUR) == 0 ? request : 0;
    }

    KDFile* m_file;
    archive* m_archive = nullptr;
    unsigned char m_buffer[kReadChunk];
};

struct ArchiveEntry {
    std::string name;
    bool directory = false;
    KDoff size = 0;
    KDtime mtime = 0;
    uint32_t headerIndex = 0; // position among the archive's headers
    int32_t nextInBucket = -1;
};

// One open entry: its decoded contents and a read position.
class ArchiveFile final : public KDFile {
public:
    ArchiveFile(std::unique_ptr<unsigned char[]> data, KDsize size, KDtime mtime)
        : m_data(std::move(data)), m_size(size), m_mtime(mtime) {}

    KDsize read(void* buffer, KDsize bytes) override {
        KDsize count = m_position < m_size ? std::min(bytes, m_size - m_position) : 0;
        if (count) std::memcpy(buffer, m_data.get() + m_position, count);
        m_position += count;
        return count;
    }

    KDint getc() override { return m_position < m_size ? m_data[m_position++] : KD_EOF; }

    KDchar* gets(KDchar* buffer, KDsize size) override {
        if (m_position >= m_size) return nullptr;
        KDsize out = 0;
        while (out + 1 < size && m_position < m_size) {
            unsigned char c = m_data[m_position++];
            if (c == '\r') continue;
            buffer[out++] = KDchar(c);
            if (c == '\n') break;
        }
        buffer[out] = '\0';
        return buffer;
    }

    KDint eof() override { return m_position >= m_size; }

    KDint seek(KDoff offset, KDfileSeekOrigin origin) override {
        KDsize base = origin == KD_SEEK_SET ? 0 : origin == KD_SEEK_CUR ? m_position : m_size;
        // Positions are unsigned: a step before the start wraps and is refused like one past the end.
        KDsize target = base + KDsize(offset);
        if (target > m_size) {
            kdSetError(KD_EINVAL);
            return -1;
        }
        m_position = target;
        return 0;
    }

    KDoff tell() override { return KDoff(m_position); }

    KDint fstat(KDStat* buf) override {
        *buf = {KD_S_IFREG, KDoff(m_size), m_mtime};
        return 0;
    }

    bool canMap() const override { return true; }
    void* map(KDsize* size) override {
        *size = m_size;
        return m_data.get();
    }
    KDint unmap(void*) override { return 0; }

private:
    std::unique_ptr<unsigned char[]> m_data;
    KDsize m_size;
    KDsize m_position = 0;
    KDtime m_mtime;
};

class ArchiveFileSystem final : public FileSystem {
public:
    explicit ArchiveFileSystem(KDFile* archiveFile) : m_file(archiveFile) {}
    ~ArchiveFileSystem() override { kdFclose(m_file); }
    ArchiveFileSystem(const ArchiveFileSystem&) = delete;
    ArchiveFileSystem& operator=(const ArchiveFileSystem&) = delete;

    // Reads every header into the name index; on failure *error is libarchive's code.
    bool index(KDint* error) {
        Utf8NamesScope utf8;
        auto reader = std::make_unique<ArchiveReader>(m_file);
        if (!reader->open(error)) return false;
        bool failed = false;
        uint32_t headerIndex = 0;
        while (archive_entry* header = reader->next(&failed)) {
            const char* name = archive_entry_pathname(header);
            ArchiveEntry entry;
            entry.name = name ? name : "";
            entry.directory = archive_entry_filetype(header) == AE_IFDIR;
            // libarchive marks folders with a trailing '/'; lookups name them without it.
            while (!entry.name.empty() && entry.name.back() == '/') entry.name.pop_back();
            entry.size = archive_entry_size_is_set(header) ? archive_entry_size(header) : 0;
            entry.mtime = archive_entry_mtime_is_set(header) ? archive_entry_mtime(header) : 0;
            entry.headerIndex = headerIndex++;
            if (!entry.name.empty()) m_entries.push_back(std::move(entry));
        }
        if (failed) {
            *error = reader->archiveError();
            return false;
        }
        m_buckets.assign((m_entries.size() / 2) | 1, -1);
        for (size_t i = 0; i < m_entries.size(); ++i) {
            int32_t& head = m_buckets[nameHash(m_entries[i].name) % m_buckets.size()];
            m_entries[i].nextInBucket = head;
            head = int32_t(i);
        }
        return true;
    }

    KDFile* open(const KDchar* path, const KDchar* mode) override {
        if (std::strpbrk(mode, "wa+")) {
            kdSetError(KD_EACCES);
            return nullptr;
        }
        const ArchiveEntry* entry = find(path);
        if (!entry) {
            kdSetError(KD_ENOENT);
            return nullptr;
        }
        std::unique_ptr<unsigned char[]> data;
        if (!entry->directory && !decode(*entry, &data)) return nullptr;
        if (!data) data.reset(new (std::nothrow) unsigned char[1]);
        auto* file =
            data ? new (std::nothrow)
                       ArchiveFile(std::move(data), KDsize(entry->directory ? 0 : entry->size), entry->mtime)
                 : nullptr;
        if (!file) kdSetError(KD_ENOMEM);
        return file;
    }

    KDint stat(const KDchar* path, KDStat* buf) override {
        const ArchiveEntry* entry = find(path);
        if (!entry) {
            kdSetError(KD_ENOENT);
            return -1;
        }
        *buf = {entry->directory ? KD_S_IFDIR : KD_S_IFREG, entry->size, entry->mtime};
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
    const ArchiveEntry* find(std::string_view name) const {
        if (m_buckets.empty()) return nullptr;
        for (int32_t i = m_buckets[nameHash(name) % m_buckets.size()]; i >= 0;
             i = m_entries[i].nextInBucket) {
            if (sameNameIgnoringCase(m_entries[i].name, name)) return &m_entries[i];
        }
        return nullptr;
    }

    // A fresh reader steps over the headers before the entry (their data is skipped by seeking, not decoded)
    // and decodes the entry whole. Sizes from the header are checked against what the decoder really
    // delivers.
    bool decode(const ArchiveEntry& entry, std::unique_ptr<unsigned char[]>* data) {
        if (entry.size < 0 || entry.size > kMaxEntrySize) {
            kdSetError(KD_EFBIG);
            return false;
        }
        Utf8NamesScope utf8;
        auto reader = std::make_unique<ArchiveReader>(m_file);
        KDint error = 0;
        if (!reader->open(&error)) {
            kdSetError(KD_EIO);
            return false;
        }
        bool failed = false;
        archive_entry* header = nullptr;
        for (uint32_t i = 0; i <= entry.headerIndex; ++i) {
            header = reader->next(&failed);
            if (!header) {
                kdSetError(KD_EIO);
                return false;
            }
        }
        if (archive_entry_size(header) != entry.size) {
            kdSetError(KD_EIO); // the archive changed under the mount
            return false;
        }
        KDsize size = KDsize(entry.size);
        data->reset(new (std::nothrow) unsigned char[size ? size : 1]);
        if (!*data) {
            kdSetError(KD_ENOMEM);
            return false;
        }
        KDsize got = 0;
        while (got < size) {
            la_ssize_t n = reader->readData(data->get() + got, size - got);
            if (n <= 0) break;
            got += KDsize(n);
        }
        unsigned char extra;
        if (got != size || reader->readData(&extra, 1) != 0) {
            data->reset();
            kdSetError(KD_EIO);
            return false;
        }
        return true;
    }

    KDFile* m_file;
    std::vector<ArchiveEntry> m_entries;
    std::vector<int32_t> m_buckets;
};

} // namespace

std::unique_ptr<FileSystem> mountArchive(const KDchar* mountPath, KDint* error) {
    *error = -1;
    KDFile* file = kdFopen(mountPath, "rb");
    if (!file) return nullptr;
    auto fileSystem = std::make_unique<ArchiveFileSystem>(file);
    unsigned char signature[8] = {};
    if (kdFread(signature, 1, sizeof signature, file) != sizeof signature ||
        std::memcmp(signature, kSignature, sizeof kSignature) != 0 || signature[6] != 0) {
        *error = EILSEQ; // the code libarchive gives a file that is not in its format
        return nullptr;
    }
    if (!fileSystem->index(error)) return nullptr;
    return fileSystem;
}

} // namespace platform
