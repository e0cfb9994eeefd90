// A stream over bytes in memory for the format tests: reads from the front, appends on write, and may hide
// how much it holds (as a network or pipe stream would) or stop accepting writes after a number of bytes.
#pragma once

#include "binding/binding_script_object.h"
#include "component/script_interfaces.h"
#include "component/stream_interfaces.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

class ByteStream final : public IInputStream, public IOutputStream, public ScriptObjectBase<ByteStream> {
public:
    static constexpr char ScriptTypeName[] = "ByteStream";
    static const MethodTable& scriptMethods() {
        static const MethodTable table{};
        return table;
    }

    ByteStream() = default;
    explicit ByteStream(std::string bytes) : m_bytes(std::move(bytes)) {}

    void* QueryInterface(InterfaceId id) override {
        return queryAmong<IInputStream, IOutputStream, IScriptObject>(this, id);
    }
    std::int32_t Read(void* buffer, std::int32_t count) override {
        std::int32_t n = std::clamp<std::int32_t>(static_cast<std::int32_t>(m_bytes.size() - m_position), 0,
                                                  std::max(count, 0));
        if (buffer != nullptr && n > 0) std::memcpy(buffer, m_bytes.data() + m_position, std::size_t(n));
        m_position += std::size_t(n);
        return n;
    }
    std::int64_t Available() override {
        return m_hideSize ? -1 : static_cast<std::int64_t>(m_bytes.size() - m_position);
    }
    std::int32_t Write(const void* buffer, std::int32_t count) override {
        std::size_t room = m_writeLimit > m_bytes.size() ? m_writeLimit - m_bytes.size() : 0;
        auto n = static_cast<std::int32_t>(std::min<std::size_t>(room, std::size_t(std::max(count, 0))));
        m_bytes.append(static_cast<const char*>(buffer), std::size_t(n));
        return n;
    }

    const std::string& bytes() const { return m_bytes; }
    void hideSize() { m_hideSize = true; }
    void limitWrites(std::size_t total) { m_writeLimit = total; }
    std::size_t position() const { return m_position; }

private:
    std::string m_bytes;
    std::size_t m_position = 0;
    std::size_t m_writeLimit = SIZE_MAX;
    bool m_hideSize = false;
};

inline std::string hexOf(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) out += {digits[c >> 4], digits[c & 15]};
    return out;
}

inline std::string bytesOfHex(const std::string& hex) {
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return out;
}
