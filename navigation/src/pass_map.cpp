#include "navigation/pass_map.h"

#include "platform/kd.h"
#include "script/script_call.h"
#include "script/script_host.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <new>

namespace {

constexpr char kTag[] = "PassMap";
constexpr std::int32_t kHeaderSize = 17;
// Cells of a map whose size the stream cannot vouch for are read this much at a time.
constexpr std::int32_t kReadChunk = 64 * 1024;

// The script's codes, in the order other modules keep them.
constexpr struct {
    const char* name;
    std::int32_t CellValueCodes::*field;
} kCodeNames[] = {
    {"CELL_VALUE_Clean", &CellValueCodes::clean},
    {"CELL_VALUE_Occupied", &CellValueCodes::occupied},
    {"CELL_VALUE_OccupiedByTransport", &CellValueCodes::occupiedByTransport},
    {"CELL_VALUE_Plant", &CellValueCodes::plant},
    {"CELL_VALUE_RoadBroken", &CellValueCodes::roadBroken},
    {"CELL_VALUE_Road", &CellValueCodes::road},
    {"CELL_VALUE_RoadIndestructible", &CellValueCodes::roadIndestructible},
    {"CELL_VALUE_RoadConstruction", &CellValueCodes::roadConstruction},
    {"CELL_VALUE_ForestMin", &CellValueCodes::forestMin},
    {"CELL_VALUE_ForestMax", &CellValueCodes::forestMax},
    {"CELL_VALUE_ForestBurnt", &CellValueCodes::forestBurnt},
    {"CELL_VALUE_ForestCutted", &CellValueCodes::forestCutted},
    {"CELL_VALUE_Waste", &CellValueCodes::waste},
    {"CELL_VALUE_RoadInvisible", &CellValueCodes::roadInvisible},
};

// An integer member (a float truncated toward zero); anything else reads 0.
std::int32_t integerOf(const ScriptValue& value) {
    if (value.type() == OT_INTEGER) {
        return static_cast<std::int32_t>(value.object()._unVal.nInteger);
    }
    if (value.type() == OT_FLOAT) {
        double f = value.object()._unVal.fFloat;
        return std::isfinite(f) && std::fabs(f) < 2147483648.0 ? static_cast<std::int32_t>(f) : 0;
    }
    return 0;
}

// The value truncated toward zero when it fits [low, high].
bool truncatedFits(double value, double low, double high, std::int64_t& out) {
    if (!std::isfinite(value)) {
        return false;
    }
    double t = std::trunc(value);
    if (t < low || t > high) {
        return false;
    }
    out = static_cast<std::int64_t>(t);
    return true;
}

void put(unsigned char* out, std::int64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out[i] = static_cast<unsigned char>(static_cast<std::uint64_t>(value) >> (8 * i));
}

std::int32_t get32(const unsigned char* in) {
    return static_cast<std::int32_t>(std::uint32_t(in[0]) | std::uint32_t(in[1]) << 8 |
                                     std::uint32_t(in[2]) << 16 | std::uint32_t(in[3]) << 24);
}

std::int16_t get16(const unsigned char* in) {
    return static_cast<std::int16_t>(std::uint16_t(in[0] | in[1] << 8));
}

} // namespace

const MethodTable& PassMap::scriptMethods() {
    static const MethodTable table{
        scriptMethod<PassMap>("GetWidth", &PassMap::GetWidth),
        scriptMethod<PassMap>("GetHeight", &PassMap::GetHeight),
        scriptMethod<PassMap>("GetCellValue", &PassMap::GetCellValue),
        scriptMethod<PassMap>("SetCellValue", &PassMap::SetCellValue),
        scriptMethod<PassMap>("AddRenderer", &PassMap::addRendererFromScript),
        scriptMethod<PassMap>("RemoveRenderer", &PassMap::removeRendererFromScript),
    };
    return table;
}

PassMap::PassMap()
    : m_renderLayer(static_cast<std::int32_t>(ScriptHost::getInt(ScriptHost::root(), "LAYER_PassMap"))) {}

void* PassMap::QueryInterface(InterfaceId id) {
    return queryAmong<IGridMap, IPositionable, IScriptLoadable, IShutdownable, IIdentifiable, IReadable,
                      IWriteable, IRenderable, IVisible, IScriptObject>(this, id);
}

std::int64_t PassMap::indexOf(std::int32_t x, std::int32_t y) const {
    std::int64_t index = std::int64_t(y) * m_width + x;
    return index >= 0 && index < std::int64_t(m_cells.size()) ? index : -1;
}

std::int32_t PassMap::GetCellValue(std::int32_t x, std::int32_t y) {
    std::int64_t index = indexOf(x, y);
    return index < 0 ? -1 : m_cells[static_cast<std::size_t>(index)];
}

void PassMap::SetCellValue(std::int32_t x, std::int32_t y, std::int32_t value) {
    std::int64_t index = indexOf(x, y);
    if (index < 0 || m_cells[static_cast<std::size_t>(index)] == value) {
        return;
    }
    m_cells[static_cast<std::size_t>(index)] = static_cast<std::uint8_t>(value);
    ++m_revision;

    ScriptValue callback;
    HSQUIRRELVM v = ScriptHost::vm();
    if (v == nullptr || refCount() <= 0 || !scriptExtension().getMember("OnCellChange", callback)) {
        return;
    }
    pushComponent(v, abstractOf(this));
    ScriptValue self = ScriptValue::fromStack(-1);
    sq_poptop(v);
    if (ScriptCall::begin(callback, self)) {
        ScriptCall::pushInt(x);
        ScriptCall::pushInt(y);
        ScriptCall::pushInt(value);
        ScriptCall::end();
    }
}

void PassMap::AddRenderer(const ComponentRef<IGridRenderer>& renderer) {
    if (renderer) {
        m_renderers.push_back(renderer);
    }
}

void PassMap::RemoveRenderer(const ComponentRef<IGridRenderer>& renderer) {
    IAbstract* identity = abstractOf(renderer.get());
    std::erase_if(m_renderers, [identity](const ComponentRef<IGridRenderer>& entry) {
        return abstractOf(entry.get()) == identity;
    });
}

namespace {

IGridRenderer* gridRendererOf(IAbstract* component, const char* method) {
    IGridRenderer* renderer = queryInterface<IGridRenderer>(component);
    if (component != nullptr && renderer == nullptr) {
        logWarning(kTag, "%s: the object is not a grid renderer; nothing changes", method);
    }
    return renderer;
}

} // namespace

void PassMap::addRendererFromScript(IAbstract* component) {
    AddRenderer(ComponentRef<IGridRenderer>(gridRendererOf(component, "AddRenderer")));
}

void PassMap::removeRendererFromScript(IAbstract* component) {
    if (IGridRenderer* renderer = gridRendererOf(component, "RemoveRenderer")) {
        RemoveRenderer(ComponentRef<IGridRenderer>(renderer));
    }
}

bool PassMap::LoadFromScript(const ScriptValue& value) {
    if (!scriptExtension().attach(this, value)) {
        return false;
    }
    for (const auto& code : kCodeNames) {
        ScriptValue member;
        scriptExtension().getMember(code.name, member);
        m_codes.*code.field = integerOf(member);
    }
    return true;
}

void PassMap::Shutdown() {
    // Emptied through a swap: releasing an overlay may reach back into this map.
    std::vector<ComponentRef<IGridRenderer>> renderers;
    renderers.swap(m_renderers);
    renderers.clear();
    scriptExtension().shutdown();
}

void PassMap::Render(IGraphics* graphics, ClassMask) {
    if (!m_visible) {
        return;
    }
    // By index, each overlay held for its call: an overlay may remove itself or others while it draws.
    for (std::size_t i = 0; i < m_renderers.size(); ++i) {
        ComponentRef<IGridRenderer> renderer = m_renderers[i];
        renderer->Render(graphics);
    }
}

void PassMap::resize(std::int16_t width, std::int16_t height, const std::uint8_t* cells) {
    m_width = std::max<std::int16_t>(width, 0);
    m_height = std::max<std::int16_t>(height, 0);
    std::size_t count = std::size_t(m_width) * std::size_t(m_height);
    m_cells.assign(count, 0);
    if (cells != nullptr && count > 0) {
        std::memcpy(m_cells.data(), cells, count);
    }
    ++m_revision;
}

bool PassMap::WriteTo(IOutputStream* stream) {
    if (stream == nullptr) {
        return false;
    }
    std::int64_t scaleX = 0, scaleY = 0, translationX = 0, translationY = 0;
    // Values the record cannot hold would come back as other values: refuse before writing anything.
    // A scale read from a record may have rounded up to 2^31 in single precision: that one is written as the
    // largest record value, so every map read can be written again.
    if (!truncatedFits(double(m_transform.m[0][0]) * 4096.0, -2147483648.0, 2147483648.0, scaleX) ||
        !truncatedFits(double(m_transform.m[1][1]) * 4096.0, -2147483648.0, 2147483648.0, scaleY) ||
        !truncatedFits(m_transform.m[2][0], -32768.0, 32767.0, translationX) ||
        !truncatedFits(m_transform.m[2][1], -32768.0, 32767.0, translationY)) {
        logError(kTag, "the grid transform does not fit the map record");
        return false;
    }
    scaleX = std::min<std::int64_t>(scaleX, INT32_MAX);
    scaleY = std::min<std::int64_t>(scaleY, INT32_MAX);
    unsigned char header[kHeaderSize];
    put(header, scaleX, 4);
    put(header + 4, scaleY, 4);
    header[8] = 1;
    put(header + 9, translationX, 2);
    put(header + 11, translationY, 2);
    put(header + 13, m_width, 2);
    put(header + 15, m_height, 2);
    if (stream->Write(header, kHeaderSize) != kHeaderSize) {
        return false;
    }
    auto count = static_cast<std::int32_t>(m_cells.size());
    return count == 0 || stream->Write(m_cells.data(), count) == count;
}

bool PassMap::ReadFrom(IInputStream* stream) {
    if (stream == nullptr) {
        return false;
    }
    unsigned char header[kHeaderSize];
    if (stream->Read(header, kHeaderSize) != kHeaderSize) {
        return false;
    }
    std::int16_t width = get16(header + 13);
    std::int16_t height = get16(header + 15);
    if (width < 0 || height < 0) {
        logError(kTag, "map record of size %d x %d", width, height);
        return false;
    }
    const std::int32_t count = std::int32_t(width) * height;
    std::int64_t available = stream->Available();
    if (available >= 0 && count > available) {
        logError(kTag, "map record of %d cells, but the stream holds %lld", count,
                 static_cast<long long>(available));
        return false;
    }
    // Read aside and swapped in, so a failed read leaves the map whole.
    std::vector<std::uint8_t> cells;
    try {
        std::int32_t chunk = available >= 0 ? std::max(count, 1) : kReadChunk;
        while (static_cast<std::int32_t>(cells.size()) < count) {
            auto done = static_cast<std::int32_t>(cells.size());
            std::int32_t step = std::min(chunk, count - done);
            cells.resize(static_cast<std::size_t>(done + step));
            if (stream->Read(cells.data() + done, step) != step) {
                return false;
            }
        }
    } catch (const std::bad_alloc&) {
        logError(kTag, "out of memory for %d cells", count);
        return false;
    }
    Matrix3 transform;
    transform.m[0][0] = static_cast<float>(get32(header) / 4096.0);
    transform.m[1][1] = static_cast<float>(get32(header + 4) / 4096.0);
    transform.m[2][0] = static_cast<float>(get16(header + 9));
    transform.m[2][1] = static_cast<float>(get16(header + 11));
    m_transform = transform;
    m_width = width;
    m_height = height;
    m_cells.swap(cells);
    ++m_revision;
    return true;
}
