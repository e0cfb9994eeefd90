// The native file system handler ("file"): stdio files, the user data mapping and the safe-replace protocol.
#include "platform/src/fs_file_system.h"
#include "platform/src/fs_last_error.h"
#include "platform/src/fs_paths.h"
#include "platform/src/fs_safe_replace.h"
#include "platform/src/user_data_folder.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

KDmode kdModeOf(const struct stat& st) {
    return S_ISDIR(st.st_mode) ? KD_S_IFDIR : KD_S_IFREG;
}

class NativeFile final : public KDFile {
public:
    // commitTarget is X when the file is "X.kdtmp" of a safe replace, else empty.
    NativeFile(FILE* file, std::string commitTarget)
        : m_file(file), m_commitTarget(std::move(commitTarget)) {}

    ~NativeFile() override {
        if (m_file) fclose(m_file);
        if (m_map) munmap(m_map, m_mapSize);
    }

    KDint close() override {
        FILE* file = m_file;
        m_file = nullptr;
        if (m_map) {
            munmap(m_map, m_mapSize);
            m_map = nullptr;
        }
        if (!m_commitTarget.empty()) return commitReplace(file, m_commitTarget, m_writeError);
        if (fclose(file) != 0) {
            setErrorFromErrno(errno);
            return -1;
        }
        return 0;
    }

    KDint flush() override {
        if (fflush(m_file) == 0) return 0;
        noteWriteError();
        return -1;
    }

    KDsize read(void* buffer, KDsize bytes) override {
        KDsize got = fread(buffer, 1, bytes, m_file);
        if (got < bytes && ferror(m_file)) setErrorFromErrno(errno);
        return got;
    }

    KDsize write(const void* buffer, KDsize bytes) override {
        KDsize put = fwrite(buffer, 1, bytes, m_file);
        if (put < bytes) noteWriteError();
        return put;
    }

    KDint getc() override { return fgetc(m_file); }
    KDint putc(KDint c) override {
        KDint put = fputc(c, m_file);
        if (put == EOF) noteWriteError();
        return put;
    }
    KDchar* gets(KDchar* buffer, KDsize size) override {
        return fgets(buffer, int(size > INT32_MAX ? INT32_MAX : size), m_file);
    }
    KDint eof() override { return feof(m_file); }
    KDint error() override { return ferror(m_file); }
    void clearerr() override { ::clearerr(m_file); }

    KDint seek(KDoff offset, KDfileSeekOrigin origin) override {
        static constexpr int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
        // Seeking writes out the buffer first; a failure there is a lost write, not a bad position.
        if (fflush(m_file) != 0) {
            noteWriteError();
            return -1;
        }
        return check(fseeko(m_file, offset, kWhence[origin]));
    }

    KDoff tell() override {
        KDoff position = ftello(m_file);
        if (position < 0) setErrorFromErrno(errno);
        return position;
    }

    KDint fstat(KDStat* buf) override {
        struct stat st {};
        if (::fstat(fileno(m_file), &st) != 0) return check(-1);
        *buf = {kdModeOf(st), KDoff(st.st_size), KDtime(st.st_mtim.tv_sec)};
        return 0;
    }

    bool canMap() const override { return true; }

    void* map(KDsize* size) override {
        if (m_map) {
            kdSetError(KD_EBUSY);
            return nullptr;
        }
        struct stat st {};
        if (fflush(m_file) != 0 || ::fstat(fileno(m_file), &st) != 0) {
            setErrorFromErrno(errno);
            return nullptr;
        }
        if (st.st_size == 0) {
            // mmap refuses an empty range; an empty file maps to an empty buffer.
            static unsigned char empty;
            *size = 0;
            return &empty;
        }
        void* data = mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_PRIVATE, fileno(m_file), 0);
        if (data == MAP_FAILED) {
            setErrorFromErrno(errno);
            return nullptr;
        }
        m_map = data;
        m_mapSize = size_t(st.st_size);
        *size = m_mapSize;
        return data;
    }

    KDint unmap(void* data) override {
        if (data && data == m_map) {
            munmap(m_map, m_mapSize);
            m_map = nullptr;
            return 0;
        }
        if (data && !m_map) return 0; // the empty-file buffer
        kdSetError(KD_EINVAL);
        return -1;
    }

private:
    // The first write error decides what a failed commit reports (a full disk rather than a generic I/O
    // error).
    void noteWriteError() {
        if (!m_writeError) m_writeError = errno ? errno : EIO;
        setErrorFromErrno(m_writeError);
    }

    static KDint check(int result) {
        if (result == 0) return 0;
        setErrorFromErrno(errno);
        return -1;
    }

    FILE* m_file;
    std::string m_commitTarget;
    void* m_map = nullptr;
    size_t m_mapSize = 0;
    int m_writeError = 0;
};

// stdio mode without 't' (Linux has no text mode); empty when the mode is not an open mode.
std::string osMode(const KDchar* mode) {
    if (mode[0] != 'r' && mode[0] != 'w' && mode[0] != 'a') return {};
    std::string result;
    for (const KDchar* c = mode; *c; ++c) {
        if (*c == '+' || *c == 'b' || c == mode)
            result.push_back(*c);
        else if (*c != 't')
            return {};
    }
    return result;
}

bool isReplaceMode(const KDchar* mode) {
    return std::strcmp(mode, "w") == 0 || std::strcmp(mode, "wb") == 0 || std::strcmp(mode, "wt") == 0;
}

class NativeFileSystem final : public FileSystem {
public:
    KDFile* open(const KDchar* path, const KDchar* mode) override {
        std::string fopenMode = osMode(mode);
        if (fopenMode.empty()) {
            kdSetError(KD_EINVAL);
            return nullptr;
        }
        std::string target;
        if (!mapUserDataPath(path, &target)) return nullptr;
        std::string opened = target;
        std::string commitTarget;
        if (isUserDataPath(path)) {
            restoreBackup(target);
            if (isReplaceMode(mode)) {
                opened = target + kTempSuffix;
                commitTarget = target;
            }
        }
        FILE* file = fopen(opened.c_str(), (fopenMode + "e").c_str());
        if (!file) {
            setErrorFromErrno(errno);
            return nullptr;
        }
        // stdio opens folders for reading; a folder is no file to any caller.
        struct stat st {};
        if (::fstat(fileno(file), &st) == 0 && S_ISDIR(st.st_mode)) {
            fclose(file);
            kdSetError(KD_EISDIR);
            return nullptr;
        }
        auto* record = new (std::nothrow) NativeFile(file, std::move(commitTarget));
        if (!record) {
            fclose(file);
            kdSetError(KD_ENOMEM);
        }
        return record;
    }

    KDint stat(const KDchar* path, KDStat* buf) override {
        std::string native;
        if (!mapUserDataPath(path, &native)) return -1;
        // Answer as an open would: a save whose commit was cut short exists, restored from its backup.
        if (isUserDataPath(path)) restoreBackup(native);
        struct stat st {};
        if (::stat(native.c_str(), &st) != 0) {
            setErrorFromErrno(errno);
            return -1;
        }
        *buf = {kdModeOf(st), KDoff(st.st_size), KDtime(st.st_mtim.tv_sec)};
        return 0;
    }

    KDint access(const KDchar* path, KDint mode) override {
        std::string native;
        if (!mapUserDataPath(path, &native)) return -1;
        if (isUserDataPath(path)) restoreBackup(native);
        if (::access(native.c_str(), mode & (R_OK | W_OK | X_OK)) != 0) {
            setErrorFromErrno(errno);
            return -1;
        }
        return 0;
    }
};

} // namespace

std::unique_ptr<FileSystem> mountNative(const KDchar*, KDint*) {
    // A folder that cannot be made is not fatal: only "data/" files fail later.
    std::string folder = userDataFolder();
    if (!folder.empty() && !makeFolderPath(folder)) setErrorFromErrno(errno);
    return std::make_unique<NativeFileSystem>();
}

} // namespace platform
