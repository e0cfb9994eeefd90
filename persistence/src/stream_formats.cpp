#include "persistence/stream_formats.h"

#include "platform/kd.h"

#include <algorithm>
#include <new>

namespace qx {
namespace {

// Texts whose length the stream cannot vouch for are read this much at a time.
constexpr std::int32_t kReadChunk = 64 * 1024;

bool fail(const char* helper) {
    logError(nullptr, "%s failed", helper);
    return false;
}

std::string_view upToZero(std::string_view text) {
    return text.substr(0, std::min(text.find('\0'), text.size()));
}

// Reads exactly count bytes into text (replacing it), in chunks when the stream cannot say how many bytes it
// still holds. False, with text empty, on a short read, a count beyond what is left, or exhausted memory.
bool readExactly(IInputStream* stream, std::int32_t count, std::string& text) {
    text.clear();
    std::int64_t available = stream->Available();
    if (count < 0 || (available >= 0 && count > available)) {
        return false;
    }
    try {
        if (available >= 0) {
            text.resize(static_cast<std::size_t>(count));
            if (count > 0 && stream->Read(text.data(), count) != count) {
                text.clear();
                return false;
            }
            return true;
        }
        while (static_cast<std::int32_t>(text.size()) < count) {
            std::int32_t done = static_cast<std::int32_t>(text.size());
            std::int32_t step = std::min(kReadChunk, count - done);
            text.resize(static_cast<std::size_t>(done + step));
            if (stream->Read(text.data() + done, step) != step) {
                text.clear();
                return false;
            }
        }
    } catch (const std::bad_alloc&) {
        text.clear();
        return false;
    }
    return true;
}

} // namespace

bool readSimple(IInputStream* stream, std::uint32_t& value, int width) {
    value = 0;
    unsigned char bytes[4] = {};
    if (stream == nullptr || width < 1 || width > 4 || stream->Read(bytes, width) != width) {
        return fail("qx::readSimple");
    }
    for (int i = width - 1; i >= 0; --i) {
        value = (value << 8) | bytes[i];
    }
    return true;
}

bool writeSimple(IOutputStream* stream, std::uint32_t value, int width) {
    unsigned char bytes[4];
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<unsigned char>(value >> (8 * i));
    }
    if (stream == nullptr || width < 1 || width > 4 || stream->Write(bytes, width) != width) {
        return fail("qx::writeSimple");
    }
    return true;
}

bool readString(IInputStream* stream, std::string& text) {
    text.clear();
    std::uint32_t length = 0;
    if (!readSimple(stream, length, 4)) {
        return false;
    }
    if (!readExactly(stream, static_cast<std::int32_t>(length), text)) {
        return fail("qx::readSimple");
    }
    text.resize(upToZero(text).size());
    return true;
}

bool writeString(IOutputStream* stream, std::string_view text) {
    text = upToZero(text);
    if (text.size() > static_cast<std::size_t>(INT32_MAX)) {
        return fail("qx::writeSimple");
    }
    std::int32_t length = static_cast<std::int32_t>(text.size());
    if (!writeSimple(stream, static_cast<std::uint32_t>(length), 4)) {
        return false;
    }
    if (length > 0 && stream->Write(text.data(), length) != length) {
        return fail("qx::writeSimple");
    }
    return true;
}

bool readChars(IInputStream* stream, std::int32_t count, std::string& text) {
    if (stream == nullptr || !readExactly(stream, count, text)) {
        return fail("qx::readChars");
    }
    text.resize(upToZero(text).size());
    return true;
}

bool writeChars(IOutputStream* stream, std::string_view text, std::int32_t count) {
    if (stream == nullptr || count < 0) {
        return fail("qx::writeChars");
    }
    text = upToZero(text);
    std::int32_t used =
        static_cast<std::int32_t>(std::min<std::size_t>(text.size(), static_cast<std::size_t>(count)));
    if (used > 0 && stream->Write(text.data(), used) != used) {
        return fail("qx::writeChars");
    }
    // The padding goes out a block of zeros at a time; the bytes are the same as one zero per write.
    static const char zeros[4096] = {};
    for (std::int32_t left = count - used; left > 0;) {
        std::int32_t step = std::min<std::int32_t>(left, sizeof zeros);
        if (stream->Write(zeros, step) != step) {
            return fail("qx::writeChars");
        }
        left -= step;
    }
    return true;
}

bool writeBuffer(IOutputStream* stream, std::string_view text, std::int32_t count) {
    if (stream == nullptr) {
        return fail("qx::writeBuffer");
    }
    // A count beyond the text would read past the script's string, and a negative one is no size at all.
    std::int32_t clamped = std::clamp<std::int64_t>(
        count, 0, static_cast<std::int64_t>(std::min<std::size_t>(text.size(), INT32_MAX)));
    if (clamped > 0 && stream->Write(text.data(), clamped) != clamped) {
        return fail("qx::writeBuffer");
    }
    return true;
}

} // namespace qx
