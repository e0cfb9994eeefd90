// TileAnimationData and TileAnimation.
#include "world/tile_animation.h"

#include <cmath>
#include <numbers>

#include "platform/kd.h"
#include "script/script_host.h"

namespace {

constexpr char kDataTag[] = "TileAnimationData";
constexpr char kTag[] = "TileAnimation";

// A script number as an integer (floats truncated toward zero); anything else is 0.
std::int32_t numberAt(HSQUIRRELVM v, SQInteger idx) {
    switch (sq_gettype(v, idx)) {
    case OT_INTEGER: {
        SQInteger i = 0;
        sq_getinteger(v, idx, &i);
        return static_cast<std::int32_t>(i);
    }
    case OT_FLOAT: {
        SQFloat f = 0;
        sq_getfloat(v, idx, &f);
        if (!(f > -2147483648.0f && f < 2147483648.0f)) {
            return 0;
        }
        return static_cast<std::int32_t>(f);
    }
    default:
        return 0;
    }
}

// Reads the table at the top of the stack as one animation.
TileAnimationRecord readAnimation(HSQUIRRELVM v) {
    TileAnimationRecord record;
    sq_pushstring(v, "Time", -1);
    if (SQ_SUCCEEDED(sq_get(v, -2))) {
        record.time = numberAt(v, -1);
        sq_poptop(v);
    }
    sq_pushstring(v, "Channels", -1);
    if (SQ_SUCCEEDED(sq_get(v, -2))) {
        if (sq_gettype(v, -1) == OT_ARRAY) {
            const SQInteger channels = sq_getsize(v, -1);
            for (SQInteger c = 0; c < channels; ++c) {
                sq_pushinteger(v, c);
                if (SQ_FAILED(sq_get(v, -2))) {
                    continue;
                }
                std::vector<std::int32_t>& tiles = record.channels.emplace_back();
                if (sq_gettype(v, -1) == OT_ARRAY) {
                    const SQInteger count = sq_getsize(v, -1);
                    for (SQInteger i = 0; i < count; ++i) {
                        sq_pushinteger(v, i);
                        if (SQ_SUCCEEDED(sq_get(v, -2))) {
                            tiles.push_back(numberAt(v, -1));
                            sq_poptop(v);
                        }
                    }
                }
                sq_poptop(v);
            }
        }
        sq_poptop(v);
    }
    return record;
}

void setDataFromScript(TileAnimation& a, ITileAnimationData* data) {
    a.SetAnimationData(data);
}
const char* nameFromScript(TileAnimation& a) {
    return a.GetAnimationName();
}
std::int32_t timeFromScript(TileAnimation& a, const char* name) {
    return a.GetAnimationTime(name);
}

} // namespace

// --- data
// ----------------------------------------------------------------------------------------------------

const MethodTable& TileAnimationData::scriptMethods() {
    static const MethodTable table{};
    return table;
}

const TileAnimationRecord* TileAnimationData::FindAnimation(const char* name) {
    if (name == nullptr) {
        return nullptr;
    }
    auto found = m_map.animations.find(std::string_view(name));
    return found != m_map.animations.end() ? &found->second : nullptr;
}

bool TileAnimationData::LoadFromScript(const ScriptValue& value) {
    HSQUIRRELVM v = ScriptHost::vm();
    if (v == nullptr || value.type() != OT_TABLE) {
        logWarning(kDataTag, "Animation data must be a table");
        return false;
    }
    TileAnimationMap loaded;
    const SQInteger top = sq_gettop(v);
    value.push();
    sq_pushnull(v);
    while (SQ_SUCCEEDED(sq_next(v, -2))) {
        // Stack: table, iterator, key, value.
        const SQChar* key = nullptr;
        if (sq_gettype(v, -2) != OT_STRING || sq_gettype(v, -1) != OT_TABLE ||
            SQ_FAILED(sq_getstring(v, -2, &key))) {
            logWarning(kDataTag, "Skipped an entry that is not a named table");
        } else {
            loaded.animations[key] = readAnimation(v);
        }
        sq_pop(v, 2);
    }
    sq_settop(v, top);
    m_map = std::move(loaded);
    return true;
}

// --- player
// --------------------------------------------------------------------------------------------------

const MethodTable& TileAnimation::scriptMethods() {
    static const MethodTable table{
        scriptMethod<TileAnimation>("SetAnimationData", &setDataFromScript),
        scriptMethod<TileAnimation>("GetAnimationName", &nameFromScript),
        scriptMethod<TileAnimation>("GetAnimationTime", &timeFromScript),
    };
    return table;
}

void TileAnimation::SetPositionable(IAbstract* positionable) {
    m_positionable.reset(queryInterface<IPositionable>(positionable));
}

void TileAnimation::SetSlaveObject(IAbstract* slave) {
    m_tileObject.reset(queryInterface<ITileObject>(slave));
}

const TileAnimationMap* TileAnimation::GetAnimations() {
    return m_data ? &m_data->GetAnimations() : nullptr;
}

bool TileAnimation::SetAnimation(const char* name, float phase) {
    if (!m_data) {
        return false;
    }
    const TileAnimationRecord* record = m_data->FindAnimation(name);
    if (record == nullptr) {
        logWarning(kTag, "Animation \"%s\" is not found", name != nullptr ? name : "");
        m_current.clear();
        if (m_tileObject) {
            m_tileObject->SetTile(-1);
        }
        return false;
    }
    m_current = name;
    // Only the fraction of a cycle counts; a negative phase counts back from the end.
    double fraction = std::isfinite(phase) ? double(phase) - std::floor(double(phase)) : 0.0;
    m_elapsed = static_cast<std::uint32_t>(static_cast<std::int64_t>(double(record->time) * fraction));
    return true;
}

void TileAnimation::Update(std::int32_t, std::int32_t elapsed) {
    m_elapsed += static_cast<std::uint32_t>(elapsed);
    if (m_current.empty() || !m_data || !m_tileObject || !m_positionable) {
        return;
    }
    const TileAnimationRecord* record = m_data->FindAnimation(m_current.c_str());
    if (record == nullptr || record->channels.empty()) {
        return;
    }
    const Matrix3 m = m_positionable->GetPosition();
    constexpr double twoPi = 2.0 * std::numbers::pi;
    double angle = std::atan2(double(m.m[0][1]), double(m.m[0][0]));
    angle = std::fmod(angle + twoPi, twoPi);
    const auto n = static_cast<std::int64_t>(record->channels.size());
    std::int64_t channel = static_cast<std::int64_t>(std::floor(angle * double(n) / twoPi)) % n;
    if (channel < 0) {
        channel += n;
    }
    const std::vector<std::int32_t>& tiles = record->channels[static_cast<std::size_t>(channel)];
    if (tiles.empty()) {
        return;
    }
    const auto count = static_cast<std::uint32_t>(tiles.size());
    const std::uint32_t frame =
        record->time > 0 ? (m_elapsed * count / static_cast<std::uint32_t>(record->time)) % count : 0;
    m_tileObject->SetTile(tiles[frame]);
}

const char* TileAnimation::GetAnimationName() {
    if (m_current.empty() || !m_data || m_data->FindAnimation(m_current.c_str()) == nullptr) {
        return "";
    }
    return m_current.c_str();
}

std::int32_t TileAnimation::GetAnimationTime(const char* name) {
    const TileAnimationRecord* record = m_data ? m_data->FindAnimation(name) : nullptr;
    return record != nullptr ? record->time : -1;
}

void TileAnimation::Shutdown() {
    m_data.reset();
    m_tileObject.reset();
    m_positionable.reset();
    m_current.clear();
}
