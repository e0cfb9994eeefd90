// The mount chain: kdFopen's path rules, forwarding of the file operations to the handle's handler, kdStat
// and kdMapFile.
#include "platform/src/fs_file_system.h"
#include "platform/src/fs_last_error.h"
#include "platform/src/fs_paths.h"

#include <cstring>
#include <new>
#include <string>
#include <vector>

struct KDMount {
    std::string handlerName;
    std::string path;
    std::unique_ptr<platform::FileSystem> fileSystem;
};

namespace {

// First mounted first: that is the order in which kdFopen asks.
std::vector<std::unique_ptr<KDMount>> g_chain;

// The largest file kdMapFile copies into memory for a handler that cannot map (an HTTP Content-Length is not
// trusted beyond this).
constexpr KDoff kMaxMapCopy = KDoff(1) << 30;

KDFile* openThroughChain(const std::string& path, const KDchar* mode) {
    for (auto& mount : g_chain) {
        if (KDFile* file = mount->fileSystem->open(path.c_str(), mode)) return file;
    }
    return nullptr;
}

bool checkHandle(const void* handle) {
    if (handle) return true;
    kdSetError(KD_EINVAL);
    return false;
}

} // namespace

KDMount* kdMount(const KDchar* handlerName, const KDchar* path, platform::MountInit* init) {
    KDint error = -1;
    std::unique_ptr<platform::FileSystem> fileSystem = init(path, &error);
    if (!fileSystem) {
        kdLogMessage("error: %d, can't mount %s(%s)\n", error, handlerName, path);
        return nullptr;
    }
    auto mount = std::make_unique<KDMount>();
    mount->handlerName = handlerName;
    mount->path = path;
    mount->fileSystem = std::move(fileSystem);
    g_chain.push_back(std::move(mount));
    kdLogMessage("mount: %s(%s)\n", handlerName, path);
    return g_chain.back().get();
}

void kdUnmountAll() {
    while (!g_chain.empty()) {
        // Log first: the name must be printed while the record still exists, and an archive mount closes its
        // file through the chain before it goes.
        kdLogMessage("unmount: %s(%s)\n", g_chain.back()->handlerName.c_str(), g_chain.back()->path.c_str());
        std::unique_ptr<KDMount> last = std::move(g_chain.back());
        last->fileSystem.reset();
        g_chain.pop_back();
    }
}

KDFile* kdFopen(const KDchar* path, const KDchar* mode) {
    if (!path || !mode) {
        kdSetError(KD_EINVAL);
        return nullptr;
    }
    std::string_view rest = platform::skipLeadingDotsAndSlashes(path);
    if (rest.substr(0, 4) == "res/") {
        std::string_view locale = kdGetLocale();
        std::string_view inner = rest.substr(4);
        if (!locale.empty()) {
            std::string tryPath = "res_" + std::string(locale) + "/" + std::string(inner);
            if (KDFile* file = openThroughChain(tryPath, mode)) return file;
            if (locale.size() > 2) {
                tryPath = "res_" + std::string(locale.substr(0, 2)) + "/" + std::string(inner);
                if (KDFile* file = openThroughChain(tryPath, mode)) return file;
            }
        }
    }
    KDint before = kdGetError();
    KDFile* file = openThroughChain(std::string(rest), mode);
    if (!file && kdGetError() == before) kdSetError(KD_ENOENT);
    return file;
}

KDint kdFclose(KDFile* file) {
    if (!checkHandle(file)) return KD_EOF;
    KDint result = file->close();
    delete file;
    return result;
}

KDint kdFflush(KDFile* file) {
    return checkHandle(file) ? file->flush() : KD_EOF;
}

KDsize kdFread(void* buffer, KDsize size, KDsize count, KDFile* file) {
    if (!checkHandle(file) || size == 0 || count == 0) return 0;
    if (count > SIZE_MAX / size) {
        kdSetError(KD_EINVAL);
        return 0;
    }
    return file->read(buffer, size * count) / size;
}

KDsize kdFwrite(const void* buffer, KDsize size, KDsize count, KDFile* file) {
    if (!checkHandle(file) || size == 0 || count == 0) return 0;
    if (count > SIZE_MAX / size) {
        kdSetError(KD_EINVAL);
        return 0;
    }
    return file->write(buffer, size * count) / size;
}

KDint kdGetc(KDFile* file) {
    return checkHandle(file) ? file->getc() : KD_EOF;
}

KDint kdPutc(KDint c, KDFile* file) {
    return checkHandle(file) ? file->putc(c) : KD_EOF;
}

KDchar* kdFgets(KDchar* buffer, KDsize buffersize, KDFile* file) {
    if (!checkHandle(file) || !buffer || buffersize == 0) return nullptr;
    return file->gets(buffer, buffersize);
}

KDint kdFEOF(KDFile* file) {
    return checkHandle(file) ? file->eof() : KD_EOF;
}

KDint kdFerror(KDFile* file) {
    return checkHandle(file) ? file->error() : KD_EOF;
}

void kdClearerr(KDFile* file) {
    if (checkHandle(file)) file->clearerr();
}

KDint kdFseek(KDFile* file, KDoff offset, KDfileSeekOrigin origin) {
    if (!checkHandle(file)) return -1;
    if (origin != KD_SEEK_SET && origin != KD_SEEK_CUR && origin != KD_SEEK_END) {
        kdSetError(KD_EINVAL);
        return -1;
    }
    return file->seek(offset, origin);
}

KDoff kdFtell(KDFile* file) {
    return checkHandle(file) ? file->tell() : -1;
}

KDint kdFstat(KDFile* file, KDStat* buf) {
    if (!checkHandle(file) || !checkHandle(buf)) return -1;
    return file->fstat(buf);
}

KDint kdStat(const KDchar* path, KDStat* buf) {
    if (!checkHandle(path) || !checkHandle(buf)) return -1;
    for (auto& mount : g_chain) {
        if (mount->fileSystem->stat(path, buf) == 0) return 0;
    }
    return -1;
}

void* kdMapFile(KDFile* file, KDsize* size) {
    if (!checkHandle(file) || !checkHandle(size)) return nullptr;
    *size = 0;
    if (file->canMap()) return file->map(size);
    if (file->m_mapCopy) {
        kdSetError(KD_EBUSY); // one mapping per handle
        return nullptr;
    }
    KDStat st{};
    if (file->fstat(&st) != 0) return nullptr;
    if (st.st_size < 0 || st.st_size > kMaxMapCopy) {
        kdSetError(KD_EFBIG);
        return nullptr;
    }
    KDsize length = KDsize(st.st_size);
    std::unique_ptr<unsigned char[]> copy(new (std::nothrow) unsigned char[length ? length : 1]);
    if (!copy) {
        kdSetError(KD_ENOMEM);
        return nullptr;
    }
    file->seek(0, KD_SEEK_SET);
    KDsize got = 0;
    while (got < length) {
        KDsize n = file->read(copy.get() + got, length - got);
        if (n == 0) break;
        got += n;
    }
    // A body shorter than announced, or a file that shrank, must not hand out uninitialised bytes.
    if (got != length) {
        kdSetError(KD_EIO);
        return nullptr;
    }
    file->m_mapCopy = std::move(copy);
    *size = length;
    return file->m_mapCopy.get();
}

KDint kdUnmapFile(KDFile* file, void* data) {
    if (!checkHandle(file)) return -1;
    if (file->canMap()) return file->unmap(data);
    if (!data || data != file->m_mapCopy.get()) {
        kdSetError(KD_EINVAL);
        return -1;
    }
    file->m_mapCopy.reset();
    return 0;
}
