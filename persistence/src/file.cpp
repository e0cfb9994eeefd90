#include "persistence/file.h"

namespace {
constexpr char kTag[] = "File";
}

const MethodTable& File::scriptMethods() {
    static const MethodTable table{
        scriptMethod<File>("Open", &File::Open),
    };
    return table;
}

File::~File() {
    close();
}

void* File::QueryInterface(InterfaceId id) {
    return queryAmong<IInputStream, IOutputStream, IScriptObject, IShutdownable>(this, id);
}

bool File::Open(const char* path, const char* mode) {
    close();
    if (path == nullptr || mode == nullptr) {
        logError(kTag, "Can't open %s: %d", path ? path : "(null)", KD_EINVAL);
        return false;
    }
    m_file = kdFopen(path, mode);
    if (m_file == nullptr) {
        logError(kTag, "Can't open %s: %d", path, kdGetError());
        return false;
    }
    m_path = path;
    return true;
}

std::int32_t File::Read(void* buffer, std::int32_t count) {
    if (m_file == nullptr || count <= 0) {
        return 0;
    }
    if (buffer == nullptr) {
        return kdFseek(m_file, count, KD_SEEK_CUR) == 0 ? count : 0;
    }
    return static_cast<std::int32_t>(kdFread(buffer, 1, static_cast<KDsize>(count), m_file));
}

std::int64_t File::Available() {
    if (m_file == nullptr) {
        return 0;
    }
    KDStat stat{};
    KDoff position = kdFtell(m_file);
    if (kdFstat(m_file, &stat) != 0 || position < 0) {
        return -1;
    }
    return stat.st_size > position ? stat.st_size - position : 0;
}

std::int32_t File::Write(const void* buffer, std::int32_t count) {
    if (m_file == nullptr || buffer == nullptr || count <= 0) {
        return 0;
    }
    return static_cast<std::int32_t>(kdFwrite(buffer, 1, static_cast<KDsize>(count), m_file));
}

void File::Shutdown() {
    close();
}

void File::close() {
    if (m_file == nullptr) {
        return;
    }
    KDFile* file = m_file;
    m_file = nullptr;
    // For a "data/" file written anew this is where the new contents replace the old: say when they did not.
    if (kdFclose(file) != 0) {
        logError(kTag, "Can't save %s: %d", m_path.c_str(), kdGetError());
    }
    m_path.clear();
}
