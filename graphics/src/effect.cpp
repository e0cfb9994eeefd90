// Effect and EffectEmitter: the particle library's effects and emitters as components.
#include "graphics/effect.h"

#include <new>

#include "binding/binding.h"
#include "graphics/particles/particle_library.h"
#include "graphics/src/effect_device.h"
#include "platform/kd.h"
#include "script/script_host.h"
#include "script/script_value.h"

namespace {

constexpr char kTag[] = "Effect";

// The library reads effect files through the engine's file system.
class KdFileReader final : public particles::FileReader {
public:
    explicit KdFileReader(KDFile* file) : m_file(file) {}
    std::size_t read(void* buffer, std::size_t size) override { return kdFread(buffer, 1, size, m_file); }

private:
    KDFile* m_file;
};

// Instance seeds: each emitter made gets the next one, so several emitters of one effect do not move in
// step, while a run that makes the same emitters in the same order repeats itself exactly.
std::uint32_t g_instanceSeed = 0;

ComponentRef<IEffectEmitter> createEmitterFromScript(Effect& effect, const char* name) {
    return effect.CreateEmitter(name);
}

void resetFromScript(EffectEmitter& emitter) {
    emitter.Reset();
}
void setRenderLayerFromScript(EffectEmitter& emitter, std::int32_t layer) {
    emitter.SetRenderLayer(layer);
}
void setEnabledFromScript(EffectEmitter& emitter, bool enabled) {
    emitter.SetEnabled(enabled);
}
void setLocalModeFromScript(EffectEmitter& emitter, bool local) {
    emitter.SetLocalMode(local);
}
void setLocalMatrixFromScript(EffectEmitter& emitter, Matrix3 matrix) {
    emitter.SetLocalMatrix(matrix);
}

} // namespace

// --- Effect ---------------------------------------------------------------------------------------------

const MethodTable& Effect::scriptMethods() {
    static const MethodTable table{
        scriptMethod<Effect>("CreateEmitter", &createEmitterFromScript),
    };
    return table;
}

Effect::Effect(std::shared_ptr<particles::Library> library) : m_library(std::move(library)) {}

Effect::~Effect() = default;

bool Effect::LoadFromFile(const char* path) {
    m_file.reset();
    if (path == nullptr) {
        return false;
    }
    if (!m_library || m_library->device() == nullptr) {
        logError(kTag, "Can't load %s: the display has no particle library", path);
        return false;
    }
    KDFile* stream = kdFopen(path, "rb");
    if (stream == nullptr) {
        return false;
    }
    KdFileReader reader(stream);
    std::string error;
    std::shared_ptr<particles::EffectFile> file = m_library->load(reader, error);
    kdFclose(stream);
    if (!file) {
        logError(kTag, "Can't read %s: %s", path, error.c_str());
        return false;
    }
    if (!file->createTextures()) {
        logWarning(kTag, "%s: not every texture could be created", path);
    }
    m_file = std::move(file);
    logPlain(kTag, "Loaded %s (emitters: %i)", path, static_cast<int>(m_file->emitterCount()));
    return true;
}

bool Effect::LoadFromScript(const ScriptValue& value) {
    HSQUIRRELVM v = ScriptHost::vm();
    if (v == nullptr || value.type() != OT_TABLE) {
        logWarning(kTag, "loadFromScript expects a table");
        return false;
    }
    const SQInteger top = sq_gettop(v);
    value.push();
    sq_pushstring(v, "BoundingRect", -1);
    if (SQ_SUCCEEDED(sq_get(v, -2))) {
        if (const RectF* rect = getInstance<RectF>(v, -1)) {
            m_boundingRect = *rect;
        } else {
            logWarning(kTag, "BoundingRect is not a RectF");
        }
    }
    sq_settop(v, top);
    return true;
}

ComponentRef<IEffectEmitter> Effect::CreateEmitter(const char* name) {
    if (!m_file || m_file->emitterCount() == 0) {
        return nullptr;
    }
    const std::int32_t index = name == nullptr ? 0 : m_file->findEmitter(name);
    if (index < 0) {
        return nullptr;
    }
    std::unique_ptr<particles::Emitter> emitter = m_file->createEmitter(static_cast<std::size_t>(index));
    if (!emitter) {
        return nullptr;
    }
    emitter->setSeed(++g_instanceSeed);
    emitter->restart();
    auto* made = new (std::nothrow) EffectEmitter(*this, std::move(emitter));
    return made != nullptr ? ComponentRef<IEffectEmitter>::adopt(made) : nullptr;
}

// --- EffectEmitter --------------------------------------------------------------------------------------

const MethodTable& EffectEmitter::scriptMethods() {
    static const MethodTable table{
        scriptMethod<EffectEmitter>("Reset", &resetFromScript),
        scriptMethod<EffectEmitter>("SetRenderLayer", &setRenderLayerFromScript),
        scriptMethod<EffectEmitter>("SetEnabled", &setEnabledFromScript),
        scriptMethod<EffectEmitter>("SetLocalMode", &setLocalModeFromScript),
        scriptMethod<EffectEmitter>("SetLocalMatrix", &setLocalMatrixFromScript),
    };
    return table;
}

EffectEmitter::EffectEmitter(Effect& effect, std::unique_ptr<particles::Emitter> emitter)
    : m_effect(&effect), m_owner(&effect), m_emitter(std::move(emitter)) {
    float z = 0.0f;
    m_emitter->getOffset(m_offset[0], m_offset[1], z);
}

EffectEmitter::~EffectEmitter() {
    Shutdown();
}

void EffectEmitter::Shutdown() {
    m_emitter.reset();
    m_positionable.reset();
    m_effect.reset();
    m_owner = nullptr;
}

void EffectEmitter::Reset() {
    if (m_emitter) {
        m_emitter->restart();
    }
    m_lifeTime = 0;
    m_enabled = true;
    m_hadParticles = false;
}

void EffectEmitter::SetPositionable(IAbstract* positionable) {
    IPositionable* source = queryInterface<IPositionable>(positionable);
    // Following itself would recurse without end in GetPosition.
    if (source == static_cast<IPositionable*>(this)) {
        source = nullptr;
    }
    if (source != nullptr) {
        m_ownPosition = source->GetPosition();
    }
    m_positionable.reset(source);
}

void EffectEmitter::SetPosition(const Matrix3& position) {
    if (!m_positionable) {
        m_ownPosition = position;
    }
}

Matrix3 EffectEmitter::GetPosition() {
    return m_positionable ? m_positionable->GetPosition() : m_ownPosition;
}

void EffectEmitter::Update(std::int32_t, std::int32_t elapsed) {
    if (elapsed <= 0 || !m_emitter) {
        return;
    }
    const double t = double(m_lifeTime) * 0.001;
    const float dt = static_cast<float>(elapsed) * 0.001f;
    m_lifeTime += static_cast<std::uint32_t>(elapsed);

    const Matrix3 w = m_localMatrix * GetPosition();
    if (m_localMode) {
        m_emitter->setLocalMatrix(w.m[0][0], w.m[0][1], w.m[1][0], w.m[1][1], w.m[2][0], w.m[2][1]);
        // The offset turns and scales with the emitter, as a direction through W's axes.
        const Vector2 offset = w.MultVect(Vector2{m_offset[0], m_offset[1]});
        m_emitter->setOffset(offset.x, offset.y, 0.0f);
        m_emitter->prepare(t, dt, 0.0f, 0.0f, 0.0f, m_enabled);
    } else {
        // World-space particles are drawn as they are: a local matrix and offset left over from local mode
        // would move them a second time.
        m_emitter->setLocalMatrix(1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f);
        m_emitter->setOffset(m_offset[0], m_offset[1], 0.0f);
        m_emitter->prepare(t, dt, w.m[2][0], w.m[2][1], 0.0f, m_enabled);
    }
    m_emitter->move(t, dt);
    if (!m_hadParticles && m_emitter->liveParticles() > 0) {
        m_hadParticles = true;
    }
}

bool EffectEmitter::IsExpired() {
    return m_hadParticles && (!m_emitter || m_emitter->liveParticles() == 0);
}

void EffectEmitter::Render(IGraphics* graphics, ClassMask) {
    if (!m_visible || graphics == nullptr || !m_emitter || m_owner == nullptr) {
        return;
    }
    auto* device = dynamic_cast<EffectDevice*>(m_owner->library() ? m_owner->library()->device() : nullptr);
    if (device == nullptr) {
        return;
    }
    // Culled like tiles: only under a plain scale-and-move transform, by the effect's bounding rectangle
    // placed at the emitter's origin.
    const RectF& bounds = m_owner->boundingRect();
    if (!bounds.IsEmpty()) {
        const Matrix3 t = graphics->GetTransform();
        if (t.m[0][1] == 0.0f && t.m[1][0] == 0.0f && t.m[0][0] > 0.0f && t.m[1][1] > 0.0f) {
            const Matrix3 w = m_localMatrix * GetPosition();
            const double x = double(bounds.X) + w.m[2][0];
            const double y = double(bounds.Y) + w.m[2][1];
            const double left = x * t.m[0][0] + t.m[2][0];
            const double top = y * t.m[1][1] + t.m[2][1];
            const double right = left + double(bounds.Width) * t.m[0][0];
            const double bottom = top + double(bounds.Height) * t.m[1][1];
            const Rect clip = graphics->GetClip();
            if (right <= clip.X || bottom <= clip.Y || left >= double(clip.X) + clip.Width ||
                top >= double(clip.Y) + clip.Height) {
                return;
            }
        }
    }
    device->setFrameContext(graphics);
    m_emitter->render(*device);
    device->setFrameContext(nullptr);
}
