// fs_memory_file.h — a read-only file whose contents are in memory: a decoded archive entry, an HTTP reply
// body. Platform-internal.
#pragma once

#include "platform/src/fs_file_system.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace platform {

// Reads, lines, seeks and maps over m_data. Lines drop carriage returns and end after a line feed or when the
// caller's buffer has one byte left. A seek outside 0…size fails and leaves the position. Subclasses that
// fill m_data late (HTTP sends its request on first use) do so in ready(), which every reading operation
// calls first.
class MemoryFile : public KDFile {
public:
    KDsize read(void* buffer, KDsize bytes) override {
        ready();
        KDsize count = m_position < m_data.size() ? std::min(bytes, m_data.size() - m_position) : 0;
        if (count) std::memcpy(buffer, m_data.data() + m_position, count);
        m_position += count;
        return count;
    }

    KDint getc() override {
        ready();
        return m_position < m_data.size() ? m_data[m_position++] : KD_EOF;
    }

    KDchar* gets(KDchar* buffer, KDsize size) override {
        ready();
        if (m_position >= m_data.size()) return nullptr;
        KDsize out = 0;
        while (out + 1 < size && m_position < m_data.size()) {
            uint8_t c = m_data[m_position++];
            if (c == '\r') continue;
            buffer[out++] = KDchar(c);
            if (c == '\n') break;
        }
        buffer[out] = '\0';
        return buffer;
    }

    KDint eof() override { return m_position >= m_data.size(); }

    KDint seek(KDoff offset, KDfileSeekOrigin origin) override {
        ready();
        KDsize base = origin == KD_SEEK_SET ? 0 : origin == KD_SEEK_CUR ? m_position : m_data.size();
        // Positions are unsigned: a step before the start wraps and is refused like one past the end.
        KDsize target = base + KDsize(offset);
        if (target > m_data.size()) {
            kdSetError(KD_EINVAL);
            return -1;
        }
        m_position = target;
        return 0;
    }

    KDoff tell() override { return KDoff(m_position); }

protected:
    virtual void ready() {}

    std::vector<uint8_t> m_data;
    KDsize m_position = 0;
};

} // namespace platform
