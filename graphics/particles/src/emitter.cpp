// Emitter instances: emission, particle motion and drawing.
#include <algorithm>
#include <cmath>

#include "graphics/particles/particle_library.h"

namespace particles {

namespace {

constexpr float kDegrees = 0.017453292f; // pi / 180
constexpr float kMinLife = 0.001f;

// 0..255; NaN (from curves of extreme values) counts as 0.
std::uint32_t channel(float v) {
    if (!(v > 0.0f)) {
        return 0;
    }
    return v >= 1.0f ? 255u : static_cast<std::uint32_t>(v * 255.0f + 0.5f);
}

// A non-negative count as an integer no larger than `limit` (NaN counts as 0).
std::uint64_t boundedCount(double value, std::uint64_t limit) {
    if (!(value > 0.0)) {
        return 0;
    }
    return value >= double(limit) ? limit : static_cast<std::uint64_t>(value);
}

} // namespace

Emitter::Emitter(std::shared_ptr<EffectFile> file, std::size_t index)
    : m_file(std::move(file)), m_def(m_file->emitter(index)) {
    m_layers.resize(m_def.layers.size());
    for (std::size_t i = 0; i < m_layers.size(); ++i) {
        m_layers[i].pool.resize(m_def.layers[i].capacity);
    }
    m_quads.resize(m_def.capacity());
    m_offset[0] = m_def.offset[0];
    m_offset[1] = m_def.offset[1];
    m_offset[2] = m_def.offset[2];
    restart();
}

void Emitter::restart() {
    for (LayerState& layer : m_layers) {
        layer.live = 0;
    }
    m_emitted = 0.0;
    m_burstEnd = -1.0;
    m_hasLast = false;
    m_prepared = false;
    // Xorshift needs a state other than zero.
    m_random = m_def.seed ^ (m_instanceSeed * 0x9E3779B9u);
    if (m_random == 0) {
        m_random = 0x6D2B79F5u;
    }
}

float Emitter::random01() {
    std::uint32_t x = m_random;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    m_random = x;
    return static_cast<float>(x >> 8) * (1.0f / 16777216.0f);
}

void Emitter::setLocalMatrix(float m00, float m01, float m10, float m11, float m20, float m21) {
    m_matrix[0] = m00;
    m_matrix[1] = m01;
    m_matrix[2] = m10;
    m_matrix[3] = m11;
    m_matrix[4] = m20;
    m_matrix[5] = m21;
}

void Emitter::setOffset(float x, float y, float z) {
    m_offset[0] = x;
    m_offset[1] = y;
    m_offset[2] = z;
}

void Emitter::getOffset(float& x, float& y, float& z) const {
    x = m_offset[0];
    y = m_offset[1];
    z = m_offset[2];
}

void Emitter::prepare(double time, float step, float x, float y, float, bool emissionEnabled) {
    if (m_hasLast) {
        m_lastX = m_x;
        m_lastY = m_y;
    } else {
        m_lastX = x;
        m_lastY = y;
        m_hasLast = true;
    }
    m_x = x;
    m_y = y;
    m_time = time;
    m_step = step;
    m_enabled = emissionEnabled;
    m_prepared = true;
}

std::uint32_t Emitter::burstsIn(double from, double to) const {
    const bool loop = (m_def.flags & EMITTER_LOOP) != 0 && m_def.duration > 0.0f;
    const double period = m_def.duration;
    std::uint64_t total = 0;
    for (const BurstDef& burst : m_def.bursts) {
        std::uint64_t fired = 0;
        if (!loop) {
            // Repeats c = 0 ... cycles - 1 at time + c x interval inside [from, to).
            if (burst.cycles == 1 || burst.interval <= 0.0f) {
                fired = (from <= burst.time && burst.time < to) ? 1 : 0;
            } else {
                const double first = std::max(0.0, std::ceil((from - burst.time) / burst.interval));
                const double last =
                    std::min(double(burst.cycles) - 1.0, std::ceil((to - burst.time) / burst.interval) - 1.0);
                fired = last >= first ? boundedCount(last - first + 1.0, capacity()) : 0;
            }
        } else {
            // Every repeat comes back once per period.
            for (std::uint32_t c = 0; c < burst.cycles; ++c) {
                const double at = burst.time + double(c) * burst.interval;
                const double first = std::max(0.0, std::ceil((from - at) / period));
                const double last = std::ceil((to - at) / period) - 1.0;
                if (last >= first) {
                    fired += boundedCount(last - first + 1.0, capacity());
                }
            }
        }
        total += fired * burst.count;
        if (total >= capacity()) {
            return capacity();
        }
    }
    return static_cast<std::uint32_t>(total);
}

void Emitter::spawn(float fraction) {
    const double born = m_time + double(fraction) * m_step;
    const bool loop = (m_def.flags & EMITTER_LOOP) != 0 && m_def.duration > 0.0f;
    const auto t = static_cast<float>(loop ? std::fmod(born, double(m_def.duration)) : born);

    const float life = std::max(kMinLife, m_def.life.evaluate(t, randomSigned()));
    const float speed = m_def.speed.evaluate(t, randomSigned());
    const float direction =
        (m_def.direction.evaluate(t, randomSigned()) + m_def.spread.evaluate(t) * (random01() - 0.5f)) *
        kDegrees;
    const float vx = std::cos(direction) * speed;
    const float vy = std::sin(direction) * speed;

    float sx = 0.0f, sy = 0.0f;
    const bool edge = (m_def.flags & EMITTER_EDGE) != 0;
    switch (m_def.shape) {
    case EmitShape::Point:
        break;
    case EmitShape::Line:
        sx = (random01() - 0.5f) * m_def.width;
        break;
    case EmitShape::Circle: {
        const float a = random01() * 6.2831853f;
        const float r = edge ? m_def.width : m_def.width * std::sqrt(random01());
        sx = std::cos(a) * r;
        sy = std::sin(a) * r;
        break;
    }
    case EmitShape::Rectangle: {
        const float w = m_def.width, h = m_def.height;
        if (edge && w + h > 0.0f) {
            // A point on the outline, uniform along its length.
            float d = random01() * 2.0f * (w + h);
            if (d < w) {
                sx = d - w * 0.5f, sy = -h * 0.5f;
            } else if ((d -= w) < h) {
                sx = w * 0.5f, sy = d - h * 0.5f;
            } else if ((d -= h) < w) {
                sx = w * 0.5f - d, sy = h * 0.5f;
            } else {
                sx = -w * 0.5f, sy = h * 0.5f - (d - w);
            }
        } else {
            sx = (random01() - 0.5f) * w;
            sy = (random01() - 0.5f) * h;
        }
        break;
    }
    }
    const float bx = m_lastX + (m_x - m_lastX) * fraction + sx;
    const float by = m_lastY + (m_y - m_lastY) * fraction + sy;
    const float lived = (1.0f - fraction) * m_step;

    for (std::size_t i = 0; i < m_layers.size(); ++i) {
        const LayerDef& def = m_def.layers[i];
        LayerState& layer = m_layers[i];
        float random[4] = {randomSigned(), randomSigned(), randomSigned(), randomSigned()};
        const float angle = def.angle + def.angleVariation * randomSigned();
        const auto frame = static_cast<std::uint32_t>(
            boundedCount(random01() * float(def.bitmapCount), def.bitmapCount - 1));
        if (layer.live >= layer.pool.size()) {
            continue; // full: the particle is dropped
        }
        Particle& p = layer.pool[layer.live++];
        p.vx = vx;
        p.vy = vy;
        p.life = life;
        p.age = lived;
        p.angle = angle;
        std::copy(random, random + 4, p.random);
        p.frame = frame;
        // Born part-way through the step: it has already lived the rest of it.
        const float multiplier = def.velocity.evaluate(0.0f, random[2]);
        p.fall = def.gravity.evaluate(0.0f, random[2]) * lived;
        p.dx = vx * multiplier;
        p.dy = vy * multiplier + p.fall;
        p.x = bx + p.dx * lived;
        p.y = by + p.dy * lived;
        p.angle += def.spin.evaluate(0.0f, random[3]) * lived;
    }
}

void Emitter::emit(std::uint32_t count, float fromFraction, float toFraction) {
    for (std::uint32_t i = 0; i < count; ++i) {
        spawn(fromFraction + (toFraction - fromFraction) * (float(i) + 0.5f) / float(count));
    }
}

void Emitter::move(double time, float step) {
    if (!m_prepared) {
        return;
    }
    m_prepared = false;
    m_time = time;
    m_step = step;
    if (!(step > 0.0f)) {
        return;
    }
    // Older particles first, kept in birth order so that younger ones draw on top.
    for (std::size_t i = 0; i < m_layers.size(); ++i) {
        const LayerDef& def = m_def.layers[i];
        LayerState& layer = m_layers[i];
        std::uint32_t kept = 0;
        for (std::uint32_t j = 0; j < layer.live; ++j) {
            Particle p = layer.pool[j];
            p.age += step;
            if (p.age >= p.life) {
                continue;
            }
            const float a = p.age / p.life;
            const float multiplier = def.velocity.evaluate(a, p.random[2]);
            p.fall += def.gravity.evaluate(a, p.random[2]) * step;
            p.dx = p.vx * multiplier;
            p.dy = p.vy * multiplier + p.fall;
            p.x += p.dx * step;
            p.y += p.dy * step;
            p.angle += def.spin.evaluate(a, p.random[3]) * step;
            layer.pool[kept++] = p;
        }
        layer.live = kept;
    }

    // Steps that follow each other share their window edge exactly, whatever the rounding of the times
    // the caller computed, so a burst on the edge fires once.
    const double from = std::fabs(time - m_burstEnd) < 1e-6 ? m_burstEnd : time;
    m_burstEnd = time + double(step);
    if (!m_enabled) {
        m_emitted = 0.0;
        return;
    }
    const bool loop = (m_def.flags & EMITTER_LOOP) != 0;
    const bool finished = m_def.duration > 0.0f && !loop && time >= m_def.duration;
    if (!finished) {
        const auto t = static_cast<float>(
            loop && m_def.duration > 0.0f ? std::fmod(time, double(m_def.duration)) : time);
        // More than a full pool in one step could not live anyway; the cap also keeps an infinite rate
        // from poisoning what is owed.
        double owed = m_emitted + double(m_def.rate.evaluate(t)) * step;
        if (!(owed > 0.0)) {
            owed = 0.0;
        } else if (owed > double(capacity())) {
            owed = capacity();
        }
        const double whole = std::floor(owed);
        m_emitted = owed - whole;
        emit(static_cast<std::uint32_t>(whole), 0.0f, 1.0f);
    }
    const std::uint32_t burst = burstsIn(from, m_burstEnd);
    for (std::uint32_t i = 0; i < burst; ++i) {
        spawn(0.0f);
    }
}

void Emitter::render() {
    if (Device* device = m_file->device()) {
        render(*device);
    }
}

void Emitter::render(Device& device) {
    const float* m = m_matrix;
    std::int32_t next = 0;
    for (std::size_t i = 0; i < m_layers.size(); ++i) {
        const LayerDef& def = m_def.layers[i];
        const LayerState& layer = m_layers[i];
        DeviceTexture* texture = m_file->bitmapTexture(def.bitmapFirst);
        if (layer.live == 0 || texture == nullptr) {
            continue;
        }
        const std::int32_t start = next;
        const bool align = (def.flags & LAYER_ALIGN) != 0;
        const bool randomFrame = (def.flags & LAYER_RANDOM_FRAME) != 0;
        for (std::uint32_t j = 0; j < layer.live; ++j) {
            const Particle& p = layer.pool[j];
            const float a = p.age / p.life;
            const float alpha = def.alpha.evaluate(a, p.random[1]);
            const float size = def.size.evaluate(a, p.random[0]);
            if (alpha <= 0.0f || size <= 0.0f) {
                continue;
            }
            const std::uint32_t colour =
                channel(alpha) << 24 | channel(def.red.evaluate(a, p.random[1])) << 16 |
                channel(def.green.evaluate(a, p.random[1])) << 8 | channel(def.blue.evaluate(a, p.random[1]));
            // Half axes in particle space: X along the angle (or the velocity), Y across it.
            float half = size * 0.5f;
            float cx = 1.0f, cy = 0.0f;
            float length = half;
            if (align) {
                const float speed = std::sqrt(p.dx * p.dx + p.dy * p.dy);
                if (speed > 0.0f) {
                    cx = p.dx / speed;
                    cy = p.dy / speed;
                }
                length = half + speed * def.stretch * 0.5f;
            } else if (p.angle != 0.0f) {
                cx = std::cos(p.angle * kDegrees);
                cy = std::sin(p.angle * kDegrees);
            }
            const float axX = cx * length, axY = cy * length;
            const float ayX = -cy * half, ayY = cx * half;
            // Through the local matrix, then the offset.
            const float px = p.x * m[0] + p.y * m[2] + m[4] + m_offset[0];
            const float py = p.x * m[1] + p.y * m[3] + m[5] + m_offset[1];
            const float ux = axX * m[0] + axY * m[2], uy = axX * m[1] + axY * m[3];
            const float vx = ayX * m[0] + ayY * m[2], vy = ayX * m[1] + ayY * m[3];

            std::uint32_t frame = def.bitmapFirst;
            if (randomFrame) {
                frame += p.frame;
            } else if (def.bitmapCount > 1) {
                frame +=
                    static_cast<std::uint32_t>(boundedCount(a * float(def.bitmapCount), def.bitmapCount - 1));
            }
            const float* uv = m_file->bitmapUv(frame);
            Quad& q = m_quads[static_cast<std::size_t>(next++)];
            q.v[0] = {px - ux - vx, py - uy - vy, 0.5f, colour, uv[0], uv[1]};
            q.v[1] = {px + ux - vx, py + uy - vy, 0.5f, colour, uv[2], uv[1]};
            q.v[2] = {px + ux + vx, py + uy + vy, 0.5f, colour, uv[2], uv[3]};
            q.v[3] = {px - ux + vx, py - uy + vy, 0.5f, colour, uv[0], uv[3]};
        }
        if (next > start) {
            device.setBlendFactors(BLEND_FACTOR_SRC_ALPHA, def.blend == LayerBlend::Additive
                                                               ? BLEND_FACTOR_ONE
                                                               : BLEND_FACTOR_INV_SRC_ALPHA);
            device.setTexture(texture);
            device.drawQuads(m_quads.data(), start, next - start);
        }
    }
}

std::uint32_t Emitter::liveParticles() const {
    std::uint32_t total = 0;
    for (const LayerState& layer : m_layers) {
        total += layer.live;
    }
    return total;
}

const Emitter::Particle* Emitter::layerParticles(std::size_t layer, std::uint32_t& count) const {
    if (layer >= m_layers.size()) {
        count = 0;
        return nullptr;
    }
    count = m_layers[layer].live;
    return m_layers[layer].pool.data();
}

} // namespace particles
