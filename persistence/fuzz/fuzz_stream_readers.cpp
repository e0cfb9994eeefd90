// libFuzzer target for the stream readers: the input's first bytes choose a sequence of reads (primitives,
// strings, fixed-width texts, blob records with each header size), the rest is the stream they read, served
// once by a Blob (which tells its remaining size) and once by a stream that cannot tell it. Every read must
// end cleanly; a blob record must never take more than the stream held. The readers log their failures: run
// with -close_fd_mask=2 and XDG_DATA_HOME pointing at a scratch folder (the log file goes there).
#include "persistence/blob.h"
#include "persistence/stream_formats.h"

#include "component/component_ref.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

// Serves bytes without telling how many remain, so readers take the chunked path.
class OpaqueStream final : public IInputStream {
public:
    OpaqueStream(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    void* QueryInterface(InterfaceId id) override { return queryAmong<IInputStream>(this, id); }
    std::int32_t Read(void* buffer, std::int32_t count) override {
        if (count <= 0) return 0;
        std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(count), m_size - m_at);
        if (buffer != nullptr && n > 0) std::memcpy(buffer, m_data + m_at, n);
        m_at += n;
        return static_cast<std::int32_t>(n);
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

void runReads(IInputStream* stream, const std::uint8_t* ops, std::size_t opCount, std::size_t streamSize) {
    for (std::size_t i = 0; i < opCount; ++i) {
        std::uint8_t op = ops[i];
        switch (op & 7) {
        case 0:
        case 1: {
            std::uint32_t value = 0;
            const int widths[] = {1, 2, 4, 3};
            qx::readSimple(stream, value, widths[(op >> 3) & 3]);
            break;
        }
        case 2: {
            std::string text;
            qx::readString(stream, text);
            if (text.size() > streamSize) __builtin_trap();
            break;
        }
        case 3: {
            std::string text;
            // Counts from small to huge and negative.
            std::int32_t count =
                static_cast<std::int32_t>(static_cast<std::uint32_t>(op) * 0x01010101u) >> (op >> 3);
            qx::readChars(stream, count, text);
            if (text.size() > streamSize) __builtin_trap();
            break;
        }
        case 4:
            stream->Read(nullptr, op >> 3);
            break;
        default: {
            auto blob = ComponentRef<Blob>::adopt(new Blob());
            blob->SetHeaderSize((op >> 3) % 6);
            if (blob->ReadFrom(stream) && blob->data().size() > streamSize) __builtin_trap();
            break;
        }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    std::size_t opCount = std::min<std::size_t>(data[0] & 15, size - 1);
    const std::uint8_t* ops = data + 1;
    const std::uint8_t* bytes = ops + opCount;
    std::size_t byteCount = size - 1 - opCount;

    auto known = ComponentRef<Blob>::adopt(new Blob());
    if (byteCount > 0) known->Write(bytes, static_cast<std::int32_t>(byteCount));
    // Put the position back at 0 by reading the blob's own record from a second blob.
    auto carrier = ComponentRef<Blob>::adopt(new Blob());
    known->WriteTo(carrier.get());
    auto reader = ComponentRef<Blob>::adopt(new Blob());
    OpaqueStream record(carrier->data().data(), carrier->data().size());
    if (!reader->ReadFrom(&record)) __builtin_trap();
    runReads(reader.get(), ops, opCount, byteCount);

    OpaqueStream opaque(bytes, byteCount);
    runReads(&opaque, ops, opCount, byteCount);
    return 0;
}
