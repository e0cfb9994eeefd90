// libFuzzer target for the navigation stream readers: the input's first byte chooses the record (pass map,
// route, or a transport record read into a registered transport) and whether the stream tells its remaining
// size; the rest is the stream. Every read must end cleanly, a failed read must leave the object as it was,
// and what was read must write back to exactly the bytes it took. The readers log their failures: run with
// -close_fd_mask=2 and XDG_DATA_HOME pointing at a scratch folder (the log file goes there).
#include "navigation/pass_map.h"
#include "navigation/route.h"
#include "navigation/transport_mover.h"

#include "component/component_ref.h"
#include "component/stream_interfaces.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

class InputBytes final : public IInputStream {
public:
    InputBytes(const std::uint8_t* data, std::size_t size, bool tellsSize)
        : m_data(data), m_size(size), m_tellsSize(tellsSize) {}
    void* QueryInterface(InterfaceId id) override { return queryAmong<IInputStream>(this, id); }
    std::int32_t Read(void* buffer, std::int32_t count) override {
        if (count <= 0) return 0;
        std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(count), m_size - m_at);
        if (buffer != nullptr && n > 0) std::memcpy(buffer, m_data + m_at, n);
        m_at += n;
        return static_cast<std::int32_t>(n);
    }
    std::int64_t Available() override { return m_tellsSize ? static_cast<std::int64_t>(m_size - m_at) : -1; }
    std::size_t consumed() const { return m_at; }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
    bool m_tellsSize;
};

class OutputBytes final : public IOutputStream {
public:
    void* QueryInterface(InterfaceId id) override { return queryAmong<IOutputStream>(this, id); }
    std::int32_t Write(const void* buffer, std::int32_t count) override {
        if (count <= 0) return 0;
        m_bytes.append(static_cast<const char*>(buffer), static_cast<std::size_t>(count));
        return count;
    }
    std::string m_bytes;
};

class Vehicle final : public IPositionable {
public:
    void* QueryInterface(InterfaceId id) override { return queryAmong<IPositionable>(this, id); }
    void SetPosition(const Matrix3& position) override { m_position = position; }
    Matrix3 GetPosition() override { return m_position; }

private:
    Matrix3 m_position;
};

// What was read writes back to the bytes it took.
void checkWritesBack(IWriteable* written, const std::uint8_t* data, const InputBytes& in) {
    OutputBytes out;
    if (!written->WriteTo(&out) || out.m_bytes.size() != in.consumed() ||
        std::memcmp(out.m_bytes.data(), data, in.consumed()) != 0) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::uint8_t choice = data[0];
    const std::uint8_t* body = data + 1;
    const std::size_t bodySize = size - 1;
    InputBytes in(body, bodySize, (choice & 1) != 0);
    switch ((choice >> 1) % 3) {
    case 0: {
        auto map = ComponentRef<PassMap>::adopt(new PassMap());
        map->resize(2, 1);
        if (map->ReadFrom(&in)) {
            // The width and height fields are signed 16 bits, so a negative size never reads.
            if (map->GetWidth() < 0 || map->GetHeight() < 0) std::abort();
            // Written back, the record has the same length, translation, size and cells (the scales may round
            // through single precision, and the constant byte is always written as 1).
            OutputBytes out;
            if (!map->WriteTo(&out) || out.m_bytes.size() != in.consumed() ||
                std::memcmp(out.m_bytes.data() + 9, body + 9, in.consumed() - 9) != 0) {
                std::abort();
            }
        } else if (map->GetWidth() != 2 || map->GetHeight() != 1) {
            std::abort();
        }
        break;
    }
    case 1: {
        auto route = ComponentRef<Route>::adopt(new Route());
        route->AddPosition(Vector2(1.0f, 2.0f));
        if (route->ReadFrom(&in)) {
            checkWritesBack(route.get(), body, in);
        } else if (route->path().pointCount() != 1) {
            std::abort();
        }
        break;
    }
    default: {
        auto mover = ComponentRef<TransportMover>::adopt(new TransportMover());
        auto vehicle = ComponentRef<Vehicle>::adopt(new Vehicle());
        mover->AddTransport(vehicle.get());
        if (mover->ReadTransportFromStream(&in, vehicle.get())) {
            OutputBytes out;
            if (!mover->WriteTransportToStream(&out, vehicle.get()) || out.m_bytes.size() != in.consumed()) {
                std::abort();
            }
            mover->SetSpeed(50.0f);
            mover->Update(2, 16);
        }
        break;
    }
    }
    return 0;
}
