#pragma once
// The in-memory stream the world's fuzz targets read their input from and write back into. `tells` says
// whether it answers Available() with the bytes left, so both kinds of stream a reader meets are covered.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "component/stream_interfaces.h"

class FuzzBytes final : public IInputStream, public IOutputStream {
public:
    FuzzBytes(const std::uint8_t* data, std::size_t size, bool tells)
        : m_in(data, data + size), m_tells(tells) {}
    void* QueryInterface(InterfaceId id) override {
        return queryAmong<IInputStream, IOutputStream>(this, id);
    }
    std::int32_t Read(void* buffer, std::int32_t count) override {
        const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(count), m_in.size() - m_at);
        if (buffer != nullptr && n > 0) {
            std::memcpy(buffer, m_in.data() + m_at, n);
        }
        m_at += n;
        return static_cast<std::int32_t>(n);
    }
    std::int64_t Available() override { return m_tells ? static_cast<std::int64_t>(m_in.size() - m_at) : -1; }
    std::int32_t Write(const void* buffer, std::int32_t count) override {
        const auto* p = static_cast<const std::uint8_t*>(buffer);
        m_out.insert(m_out.end(), p, p + count);
        return count;
    }
    std::vector<std::uint8_t> m_in, m_out;
    std::size_t m_at = 0;
    bool m_tells;
};
