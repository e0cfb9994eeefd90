#include "persistence/blob.h"

#include "platform/kd.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

namespace {

constexpr char kTag[] = "Blob";

// Stream lengths are 32-bit counts; big blobs move through them in pieces of this size.
constexpr std::uint32_t kPiece = 1u << 30;
// A record whose length the source stream cannot vouch for is read this much at a time.
constexpr std::uint32_t kReadChunk = 64 * 1024;

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

const MethodTable& Blob::scriptMethods() {
    static const MethodTable table{
        scriptMethod<Blob>("SetHeaderSize", &Blob::SetHeaderSize),
    };
    return table;
}

void* Blob::QueryInterface(InterfaceId id) {
    return queryAmong<IInputStream, IOutputStream, IReadable, IWriteable, IScriptLoadable, IScriptSaveable,
                      IScriptObject>(this, id);
}

std::int32_t Blob::Read(void* buffer, std::int32_t count) {
    if (count <= 0) {
        return 0;
    }
    std::uint32_t left = static_cast<std::uint32_t>(m_data.size()) - m_position;
    std::uint32_t n = std::min(static_cast<std::uint32_t>(count), left);
    if (buffer != nullptr && n > 0) {
        std::memcpy(buffer, m_data.data() + m_position, n);
    }
    m_position += n;
    return static_cast<std::int32_t>(n);
}

std::int64_t Blob::Available() {
    return static_cast<std::int64_t>(m_data.size()) - m_position;
}

std::int32_t Blob::Write(const void* buffer, std::int32_t count) {
    if (count <= 0 || buffer == nullptr) {
        return 0;
    }
    // The end is formed in 64 bits: a 32-bit sum could wrap and grow the buffer too little.
    std::uint64_t end = std::uint64_t(m_position) + std::uint64_t(count);
    if (end > UINT32_MAX) {
        logError(kTag, "a write of %d bytes at %u would pass 4 GiB", count, m_position);
        return 0;
    }
    try {
        // Writing before the end drops what followed the written bytes.
        m_data.resize(end);
    } catch (const std::bad_alloc&) {
        logError(kTag, "out of memory for %llu bytes", static_cast<unsigned long long>(end));
        return 0;
    }
    std::memcpy(m_data.data() + m_position, buffer, static_cast<std::size_t>(count));
    m_position = static_cast<std::uint32_t>(end);
    return count;
}

bool Blob::WriteTo(IOutputStream* stream) {
    if (stream == nullptr) {
        return false;
    }
    std::uint64_t length = m_data.size();
    // Without a header there is no length to cut; with 1…3 bytes it must fit whole.
    if (m_headerSize > 0 && m_headerSize < 4 && length >> (8 * m_headerSize) != 0) {
        logError(kTag, "%llu bytes do not fit a %d-byte length", static_cast<unsigned long long>(length),
                 m_headerSize);
        return false;
    }
    unsigned char header[4];
    for (int i = 0; i < 4; ++i) {
        header[i] = static_cast<unsigned char>(length >> (8 * i));
    }
    if (m_headerSize > 0 && stream->Write(header, m_headerSize) != m_headerSize) {
        return false;
    }
    for (std::uint64_t done = 0; done < length;) {
        std::int32_t step = static_cast<std::int32_t>(std::min<std::uint64_t>(kPiece, length - done));
        if (stream->Write(m_data.data() + done, step) != step) {
            return false;
        }
        done += static_cast<std::uint64_t>(step);
    }
    return true;
}

bool Blob::ReadFrom(IInputStream* stream) {
    if (stream == nullptr) {
        return false;
    }
    unsigned char header[4] = {};
    if (m_headerSize > 0 && stream->Read(header, m_headerSize) != m_headerSize) {
        logError(kTag, "record header cut short");
        return false;
    }
    std::uint32_t length = std::uint32_t(header[0]) | std::uint32_t(header[1]) << 8 |
                           std::uint32_t(header[2]) << 16 | std::uint32_t(header[3]) << 24;
    m_position = 0;
    std::int64_t available = stream->Available();
    if (available >= 0 && length > available) {
        logError(kTag, "record of %u bytes, but the stream holds %lld", length,
                 static_cast<long long>(available));
        return false;
    }
    // Filled aside and swapped in, so a short stream leaves the old contents; without a known size the
    // buffer grows only as bytes really arrive.
    std::vector<std::uint8_t> incoming;
    try {
        std::uint32_t chunk = available >= 0 ? kPiece : kReadChunk;
        while (incoming.size() < length) {
            std::size_t done = incoming.size();
            std::uint32_t step = std::min<std::uint32_t>(chunk, length - static_cast<std::uint32_t>(done));
            incoming.resize(done + step);
            if (stream->Read(incoming.data() + done, static_cast<std::int32_t>(step)) !=
                static_cast<std::int32_t>(step)) {
                logError(kTag, "record of %u bytes cut short", length);
                return false;
            }
        }
    } catch (const std::bad_alloc&) {
        logError(kTag, "out of memory for %u bytes", length);
        return false;
    }
    m_data.swap(incoming);
    return true;
}

bool Blob::LoadFromScript(const ScriptValue& value) {
    if (value.type() != OT_STRING) {
        return false;
    }
    HSQOBJECT object = value.object();
    const char* text = sq_objtostring(&object);
    if (text == nullptr) {
        return false;
    }
    std::size_t length = std::strlen(text) / 2; // an odd last digit is ignored
    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(length);
    } catch (const std::bad_alloc&) {
        logError(kTag, "out of memory for %zu bytes", length);
        return false;
    }
    for (std::size_t i = 0; i < length; ++i) {
        int high = hexDigit(text[2 * i]);
        int low = hexDigit(text[2 * i + 1]);
        if (high < 0 || low < 0) {
            logError(kTag, "not a hexadecimal digit pair at %zu", 2 * i);
            return false;
        }
        bytes[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    m_data.swap(bytes);
    // The position is kept, but never past the new end.
    m_position = std::min<std::uint32_t>(m_position, static_cast<std::uint32_t>(m_data.size()));
    return true;
}

ScriptValue Blob::SaveToScript() {
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    try {
        text.resize(m_data.size() * 2);
    } catch (const std::bad_alloc&) {
        logError(kTag, "out of memory for its script form");
        return ScriptValue();
    }
    for (std::size_t i = 0; i < m_data.size(); ++i) {
        text[2 * i] = digits[m_data[i] >> 4];
        text[2 * i + 1] = digits[m_data[i] & 15];
    }
    return ScriptValue::fromString(text.c_str());
}

void Blob::SetHeaderSize(std::int32_t size) {
    m_headerSize = std::clamp<std::int32_t>(size, 0, 4);
}
