// The effect source compiler.
#include "tools/effect_compiler/effect_source.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>

namespace {

using particles::Curve;
using particles::CurveKey;
using Words = std::vector<std::string>;

// A picture being painted: RGBA, straight alpha.
struct Canvas {
    int width = 0, height = 0;
    std::vector<float> alpha;  // coverage 0..1
    std::vector<float> colour; // RGB 0..1, three per pixel
};

struct Compiler {
    EffectSource& out;
    int lineNumber = 0;
    std::map<std::string, std::uint32_t> images, textures, bitmaps;
    // Blocks being read.
    Canvas canvas;
    std::string canvasName;
    bool inImage = false;
    particles::EmitterDef* emitter = nullptr;
    particles::LayerDef* layer = nullptr;
    bool layerHasBitmap = false;

    explicit Compiler(EffectSource& o) : out(o) {}

    bool fail(const std::string& text) {
        out.error = "line " + std::to_string(lineNumber) + ": " + text;
        return false;
    }

    static bool parseFloat(const std::string& word, float& value) {
        if (word.empty()) {
            return false;
        }
        errno = 0;
        char* end = nullptr;
        const float v = std::strtof(word.c_str(), &end);
        if (errno != 0 || end == nullptr || *end != '\0' || !std::isfinite(v)) {
            return false;
        }
        value = v;
        return true;
    }
    bool real(const Words& w, std::size_t i, float lo, float hi, float& value, const char* what) {
        if (i >= w.size()) {
            return fail(std::string("missing ") + what);
        }
        if (!parseFloat(w[i], value) || value < lo || value > hi) {
            std::ostringstream text;
            text << "bad " << what << " '" << w[i] << "' (" << lo << " ... " << hi << ")";
            return fail(text.str());
        }
        return true;
    }
    bool integer(const Words& w, std::size_t i, std::int64_t lo, std::int64_t hi, std::int64_t& value,
                 const char* what) {
        if (i >= w.size()) {
            return fail(std::string("missing ") + what);
        }
        errno = 0;
        char* end = nullptr;
        const long long v = std::strtoll(w[i].c_str(), &end, 10);
        if (w[i].empty() || errno != 0 || *end != '\0' || v < lo || v > hi) {
            return fail(std::string("bad ") + what + " '" + w[i] + "' (" + std::to_string(lo) + " ... " +
                        std::to_string(hi) + ")");
        }
        value = v;
        return true;
    }
    bool arity(const Words& w, std::size_t lo, std::size_t hi) {
        if (w.size() - 1 < lo || w.size() - 1 > hi) {
            return fail("'" + w[0] + "' takes " +
                        (lo == hi ? std::to_string(lo) : std::to_string(lo) + " to " + std::to_string(hi)) +
                        " value(s)");
        }
        return true;
    }
    bool name(const Words& w, std::size_t i, std::string& value) {
        if (i >= w.size()) {
            return fail("missing name");
        }
        if (w[i].size() > particles::kMaxNameLength) {
            return fail("name too long");
        }
        value = w[i];
        return true;
    }

    // Keys: "value", "value~variation", "time:value" or "time:value~variation", then optionally "smooth".
    bool curve(const Words& w, std::size_t from, Curve& c, float lo, float hi) {
        c = Curve();
        for (std::size_t i = from; i < w.size(); ++i) {
            if (w[i] == "smooth" && i + 1 == w.size() && i > from) {
                c.smooth = true;
                break;
            }
            CurveKey key;
            std::string word = w[i];
            const std::size_t colon = word.find(':');
            if (colon != std::string::npos) {
                if (!parseFloat(word.substr(0, colon), key.time)) {
                    return fail("bad key time in '" + word + "'");
                }
                word = word.substr(colon + 1);
            } else if (w.size() - from > 1) {
                return fail("keys of a changing curve need times ('time:value')");
            }
            const std::size_t tilde = word.find('~');
            if (tilde != std::string::npos) {
                if (!parseFloat(word.substr(tilde + 1), key.variation) || key.variation < 0.0f) {
                    return fail("bad variation in '" + w[i] + "'");
                }
                word = word.substr(0, tilde);
            }
            if (!parseFloat(word, key.value) || key.value < lo || key.value > hi) {
                std::ostringstream text;
                text << "bad value in '" << w[i] << "' (" << lo << " ... " << hi << ")";
                return fail(text.str());
            }
            if (!c.keys.empty() && key.time < c.keys.back().time) {
                return fail("key times must not decrease");
            }
            if (c.keys.size() >= particles::kMaxKeys) {
                return fail("too many keys");
            }
            c.keys.push_back(key);
        }
        if (c.keys.empty()) {
            return fail("'" + w[0] + "' needs at least one key");
        }
        return true;
    }

    // "time:#RRGGBB" keys (or one "#RRGGBB") into the three colour curves.
    bool colourCurve(const Words& w) {
        Words reds{w[0]}, greens{w[0]}, blues{w[0]};
        for (std::size_t i = 1; i < w.size(); ++i) {
            if (w[i] == "smooth") {
                reds.push_back(w[i]), greens.push_back(w[i]), blues.push_back(w[i]);
                continue;
            }
            const std::size_t hash = w[i].find('#');
            const std::string prefix = w[i].substr(0, hash);
            const std::string hex = hash == std::string::npos ? "" : w[i].substr(hash + 1);
            char* end = nullptr;
            const unsigned long rgb = std::strtoul(hex.c_str(), &end, 16);
            if (hex.size() != 6 || *end != '\0') {
                return fail("bad colour '" + w[i] + "' (#RRGGBB)");
            }
            auto part = [&](int shift) {
                return prefix + std::to_string(float((rgb >> shift) & 0xFF) / 255.0f);
            };
            reds.push_back(part(16));
            greens.push_back(part(8));
            blues.push_back(part(0));
        }
        return curve(reds, 1, layer->red, 0, 1) && curve(greens, 1, layer->green, 0, 1) &&
               curve(blues, 1, layer->blue, 0, 1);
    }

    // --- pictures ---------------------------------------------------------------------------------------

    void plot(int x, int y, float a, const float rgb[3]) {
        if (x < 0 || y < 0 || x >= canvas.width || y >= canvas.height || a <= 0.0f) {
            return;
        }
        const std::size_t i = static_cast<std::size_t>(y) * static_cast<std::size_t>(canvas.width) +
                              static_cast<std::size_t>(x);
        // "Over" with straight alpha.
        const float under = canvas.alpha[i];
        const float total = a + under * (1.0f - a);
        for (int c = 0; c < 3; ++c) {
            float& dst = canvas.colour[i * 3 + static_cast<std::size_t>(c)];
            dst = total > 0.0f ? (rgb[c] * a + dst * under * (1.0f - a)) / total : 0.0f;
        }
        canvas.alpha[i] = total;
    }

    // Shapes centred at (cx, cy) with radius r: coverage by distance.
    template <class Coverage> void paint(float cx, float cy, float r, const float rgb[3], Coverage coverage) {
        const int x0 = static_cast<int>(std::floor(cx - r)), x1 = static_cast<int>(std::ceil(cx + r));
        const int y0 = static_cast<int>(std::floor(cy - r)), y1 = static_cast<int>(std::ceil(cy + r));
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x) {
                const float dx = (x + 0.5f - cx) / r, dy = (y + 0.5f - cy) / r;
                plot(x, y, coverage(dx, dy), rgb);
            }
        }
    }

    bool drawCommand(const Words& w) {
        const std::string& op = w[0];
        float x = 0, y = 0, r = 0;
        const float limit = 4096.0f;
        if (op != "puff" && op != "dot" && op != "ring" && op != "spark") {
            return fail("unknown drawing '" + op + "' (puff, dot, ring, spark)");
        }
        if (!arity(w, 3, op == "spark" ? 5 : 4) || !real(w, 1, -limit, limit, x, "x") ||
            !real(w, 2, -limit, limit, y, "y") || !real(w, 3, 0.5f, limit, r, "radius")) {
            return false;
        }
        float rgb[3] = {1.0f, 1.0f, 1.0f};
        const std::size_t colourAt = op == "spark" ? 5 : 4;
        if (w.size() > colourAt) {
            char* end = nullptr;
            const std::string& word = w[colourAt];
            const unsigned long value = std::strtoul(word.c_str() + (word[0] == '#' ? 1 : 0), &end, 16);
            if (word.size() != 7 || word[0] != '#' || *end != '\0') {
                return fail("bad colour '" + word + "' (#RRGGBB)");
            }
            rgb[0] = float((value >> 16) & 0xFF) / 255.0f;
            rgb[1] = float((value >> 8) & 0xFF) / 255.0f;
            rgb[2] = float(value & 0xFF) / 255.0f;
        }
        if (op == "puff") {
            // Soft all the way to the rim.
            paint(x, y, r, rgb, [](float dx, float dy) {
                const float d = std::max(0.0f, 1.0f - std::sqrt(dx * dx + dy * dy));
                return d * d;
            });
        } else if (op == "dot") {
            // Solid with a soft last quarter.
            paint(x, y, r, rgb, [](float dx, float dy) {
                return std::clamp((1.0f - std::sqrt(dx * dx + dy * dy)) * 4.0f, 0.0f, 1.0f);
            });
        } else if (op == "ring") {
            paint(x, y, r, rgb, [](float dx, float dy) {
                const float d = std::fabs(std::sqrt(dx * dx + dy * dy) - 0.75f);
                return std::clamp(1.0f - d * 6.0f, 0.0f, 1.0f);
            });
        } else {
            std::int64_t rays = 4;
            if (w.size() > 4 && !integer(w, 4, 2, 16, rays, "ray count")) {
                return false;
            }
            const auto n = static_cast<float>(rays);
            paint(x, y, r, rgb, [n](float dx, float dy) {
                const float d = std::sqrt(dx * dx + dy * dy);
                const float core = std::max(0.0f, 1.0f - d * 2.5f);
                // Thin rays: sharp in angle, fading with distance.
                const float angle = std::atan2(dy, dx) * n * 0.5f;
                const float ray = std::pow(std::fabs(std::cos(angle)), 24.0f) * std::max(0.0f, 1.0f - d);
                return std::min(1.0f, core + ray);
            });
        }
        return true;
    }

    bool finishImage() {
        std::vector<std::uint8_t> rgba(static_cast<std::size_t>(canvas.width) * canvas.height * 4);
        for (std::size_t i = 0; i < canvas.alpha.size(); ++i) {
            for (std::size_t c = 0; c < 3; ++c) {
                rgba[i * 4 + c] = static_cast<std::uint8_t>(
                    std::clamp(canvas.colour[i * 3 + c], 0.0f, 1.0f) * 255.0f + 0.5f);
            }
            rgba[i * 4 + 3] =
                static_cast<std::uint8_t>(std::clamp(canvas.alpha[i], 0.0f, 1.0f) * 255.0f + 0.5f);
        }
        particles::ImageDef image;
        image.name = canvasName;
        image.bytes = encodeTgaRgba(canvas.width, canvas.height, rgba);
        image.width = canvas.width;
        image.height = canvas.height;
        images[canvasName] = static_cast<std::uint32_t>(out.data.images.size());
        out.data.images.push_back(std::move(image));
        inImage = false;
        return true;
    }

    // --- blocks -----------------------------------------------------------------------------------------

    bool topLevel(const Words& w) {
        const std::string& op = w[0];
        if (op == "image") {
            std::int64_t width = 0, height = 0;
            if (!arity(w, 3, 3) || !name(w, 1, canvasName) || !integer(w, 2, 1, 1024, width, "width") ||
                !integer(w, 3, 1, 1024, height, "height")) {
                return false;
            }
            if (images.count(canvasName) != 0) {
                return fail("image '" + canvasName + "' defined twice");
            }
            if (out.data.images.size() >= particles::kMaxImages) {
                return fail("too many images");
            }
            canvas = Canvas{static_cast<int>(width), static_cast<int>(height),
                            std::vector<float>(static_cast<std::size_t>(width * height), 0.0f),
                            std::vector<float>(static_cast<std::size_t>(width * height * 3), 1.0f)};
            inImage = true;
            return true;
        }
        if (op == "texture") {
            std::string textureName, imageName;
            if (!arity(w, 2, 2) || !name(w, 1, textureName) || !name(w, 2, imageName)) {
                return false;
            }
            auto image = images.find(imageName);
            if (image == images.end()) {
                return fail("unknown image '" + imageName + "'");
            }
            if (textures.count(textureName) != 0 || out.data.textures.size() >= particles::kMaxTextures) {
                return fail("texture '" + textureName + "' defined twice, or too many textures");
            }
            textures[textureName] = static_cast<std::uint32_t>(out.data.textures.size());
            out.data.textures.push_back({textureName, image->second});
            return true;
        }
        if (op == "bitmap") {
            std::string bitmapName, textureName;
            std::int64_t x = 0, y = 0, bw = 0, bh = 0;
            if (!arity(w, 6, 6) || !name(w, 1, bitmapName) || !name(w, 2, textureName) ||
                !integer(w, 3, 0, 1023, x, "x") || !integer(w, 4, 0, 1023, y, "y") ||
                !integer(w, 5, 1, 1024, bw, "width") || !integer(w, 6, 1, 1024, bh, "height")) {
                return false;
            }
            auto texture = textures.find(textureName);
            if (texture == textures.end()) {
                return fail("unknown texture '" + textureName + "'");
            }
            const particles::ImageDef& image = out.data.images[out.data.textures[texture->second].image];
            if (x + bw > image.width || y + bh > image.height) {
                return fail("bitmap '" + bitmapName + "' reaches outside its image");
            }
            if (bitmaps.count(bitmapName) != 0 || out.data.bitmaps.size() >= particles::kMaxBitmaps) {
                return fail("bitmap '" + bitmapName + "' defined twice, or too many bitmaps");
            }
            bitmaps[bitmapName] = static_cast<std::uint32_t>(out.data.bitmaps.size());
            out.data.bitmaps.push_back(
                {texture->second, std::int32_t(x), std::int32_t(y), std::int32_t(bw), std::int32_t(bh)});
            return true;
        }
        if (op == "emitter") {
            std::string emitterName;
            if (!arity(w, 1, 1) || !name(w, 1, emitterName)) {
                return false;
            }
            if (out.data.emitters.size() >= particles::kMaxEmitters) {
                return fail("too many emitters");
            }
            particles::EmitterDef def;
            def.name = emitterName;
            def.rate = Curve::constant(0.0f);
            def.life = Curve::constant(1.0f);
            def.speed = def.direction = def.spread = Curve::constant(0.0f);
            out.data.emitters.push_back(std::move(def));
            emitter = &out.data.emitters.back();
            return true;
        }
        if (op == "preview") {
            std::int64_t background = 0;
            char* end = nullptr;
            if (!arity(w, 1, 1)) {
                return false;
            }
            background = static_cast<std::int64_t>(std::strtoull(w[1].c_str(), &end, 16));
            if (w[1].size() != 8 || *end != '\0') {
                return fail("bad preview background '" + w[1] + "' (AARRGGBB)");
            }
            out.data.preview[0] = static_cast<std::uint32_t>(background);
            return true;
        }
        return fail("unknown statement '" + op + "' (image, texture, bitmap, emitter, preview)");
    }

    bool emitterLine(const Words& w) {
        const std::string& op = w[0];
        particles::EmitterDef& e = *emitter;
        constexpr float big = 1e6f;
        if (op == "layer") {
            std::string layerName;
            if (!arity(w, 1, 1) || !name(w, 1, layerName)) {
                return false;
            }
            if (e.layers.size() >= particles::kMaxLayers) {
                return fail("too many layers");
            }
            particles::LayerDef def;
            def.name = layerName;
            def.size = Curve::constant(8.0f);
            def.red = def.green = def.blue = def.alpha = def.velocity = Curve::constant(1.0f);
            def.spin = def.gravity = Curve::constant(0.0f);
            e.layers.push_back(std::move(def));
            layer = &e.layers.back();
            layerHasBitmap = false;
            return true;
        }
        if (op == "offset") {
            return arity(w, 2, 2) && real(w, 1, -big, big, e.offset[0], "x") &&
                   real(w, 2, -big, big, e.offset[1], "y");
        }
        if (op == "shape") {
            if (!arity(w, 1, 4)) {
                return false;
            }
            const std::string& kind = w[1];
            std::size_t next = 2;
            e.width = e.height = 0.0f;
            if (kind == "point") {
                e.shape = particles::EmitShape::Point;
            } else if (kind == "line" || kind == "circle") {
                e.shape = kind == "line" ? particles::EmitShape::Line : particles::EmitShape::Circle;
                if (!real(w, next++, 0.0f, big, e.width, kind == "line" ? "length" : "radius")) {
                    return false;
                }
            } else if (kind == "rectangle") {
                e.shape = particles::EmitShape::Rectangle;
                if (!real(w, next++, 0.0f, big, e.width, "width") ||
                    !real(w, next++, 0.0f, big, e.height, "height")) {
                    return false;
                }
            } else {
                return fail("unknown shape '" + kind + "' (point, line, circle, rectangle)");
            }
            e.flags &= ~std::uint32_t(particles::EMITTER_EDGE);
            if (next < w.size()) {
                if (w[next] != "edge" || next + 1 != w.size() || kind == "point" || kind == "line") {
                    return fail("only circles and rectangles take 'edge', as their last word");
                }
                e.flags |= particles::EMITTER_EDGE;
            }
            return true;
        }
        if (op == "seed") {
            std::int64_t seed = 0;
            if (!arity(w, 1, 1) || !integer(w, 1, 0, 0xFFFFFFFFll, seed, "seed")) {
                return false;
            }
            e.seed = static_cast<std::uint32_t>(seed);
            return true;
        }
        if (op == "duration") {
            if (!arity(w, 1, 2) || !real(w, 1, 0.0f, big, e.duration, "duration")) {
                return false;
            }
            e.flags &= ~std::uint32_t(particles::EMITTER_LOOP);
            if (w.size() == 3) {
                if (w[2] != "loop") {
                    return fail("'duration' takes 'loop' after the seconds");
                }
                e.flags |= particles::EMITTER_LOOP;
            }
            return true;
        }
        if (op == "burst") {
            float time = 0, interval = 0;
            std::int64_t count = 0, cycles = 1;
            if (!arity(w, 2, 4) || !real(w, 1, 0.0f, big, time, "time") ||
                !integer(w, 2, 0, particles::kMaxBurstCount, count, "count")) {
                return false;
            }
            if (w.size() != 3 &&
                (w.size() != 5 || !integer(w, 3, 1, particles::kMaxBurstCycles, cycles, "cycles") ||
                 !real(w, 4, 0.001f, big, interval, "interval"))) {
                return out.error.empty() ? fail("'burst' takes time count [cycles interval]") : false;
            }
            if (e.bursts.size() >= particles::kMaxBursts) {
                return fail("too many bursts");
            }
            e.bursts.push_back(
                {time, static_cast<std::uint32_t>(count), static_cast<std::uint32_t>(cycles), interval});
            return true;
        }
        if (op == "rate") return curve(w, 1, e.rate, 0.0f, 100000.0f);
        if (op == "life") return curve(w, 1, e.life, 0.001f, 3600.0f);
        if (op == "speed") return curve(w, 1, e.speed, -big, big);
        if (op == "direction") return curve(w, 1, e.direction, -3600.0f, 3600.0f);
        if (op == "spread") return curve(w, 1, e.spread, 0.0f, 360.0f);
        return fail("unknown emitter statement '" + op + "'");
    }

    bool layerLine(const Words& w) {
        const std::string& op = w[0];
        particles::LayerDef& l = *layer;
        if (op == "bitmap") {
            std::string bitmapName;
            std::int64_t frames = 1;
            if (!arity(w, 1, 2) || !name(w, 1, bitmapName) ||
                (w.size() == 3 && !integer(w, 2, 1, particles::kMaxBitmaps, frames, "frame count"))) {
                return false;
            }
            auto bitmap = bitmaps.find(bitmapName);
            if (bitmap == bitmaps.end()) {
                return fail("unknown bitmap '" + bitmapName + "'");
            }
            if (std::uint64_t(bitmap->second) + std::uint64_t(frames) > out.data.bitmaps.size()) {
                return fail("fewer bitmaps follow '" + bitmapName + "' than frames asked for");
            }
            for (std::uint32_t i = 1; i < frames; ++i) {
                if (out.data.bitmaps[bitmap->second + i].texture !=
                    out.data.bitmaps[bitmap->second].texture) {
                    return fail("the frames of a layer must share one texture");
                }
            }
            l.bitmapFirst = bitmap->second;
            l.bitmapCount = static_cast<std::uint32_t>(frames);
            layerHasBitmap = true;
            return true;
        }
        if (op == "blend") {
            if (!arity(w, 1, 1)) {
                return false;
            }
            if (w[1] == "additive") {
                l.blend = particles::LayerBlend::Additive;
            } else if (w[1] == "alpha") {
                l.blend = particles::LayerBlend::Alpha;
            } else {
                return fail("unknown blend '" + w[1] + "' (additive, alpha)");
            }
            return true;
        }
        if (op == "align") {
            l.flags |= particles::LAYER_ALIGN;
            return arity(w, 0, 1) && (w.size() == 1 || real(w, 1, 0.0f, 100.0f, l.stretch, "stretch"));
        }
        if (op == "randomframe") {
            l.flags |= particles::LAYER_RANDOM_FRAME;
            return arity(w, 0, 0);
        }
        if (op == "capacity") {
            std::int64_t capacity = 0;
            if (!arity(w, 1, 1) || !integer(w, 1, 1, particles::kMaxLayerCapacity, capacity, "capacity")) {
                return false;
            }
            l.capacity = static_cast<std::uint32_t>(capacity);
            return true;
        }
        if (op == "angle") {
            return arity(w, 1, 2) && real(w, 1, -3600.0f, 3600.0f, l.angle, "angle") &&
                   (w.size() == 2 || real(w, 2, 0.0f, 3600.0f, l.angleVariation, "angle variation"));
        }
        if (op == "size") return curve(w, 1, l.size, 0.0f, 4096.0f);
        if (op == "colour" || op == "color") return colourCurve(w);
        if (op == "red") return curve(w, 1, l.red, 0.0f, 1.0f);
        if (op == "green") return curve(w, 1, l.green, 0.0f, 1.0f);
        if (op == "blue") return curve(w, 1, l.blue, 0.0f, 1.0f);
        if (op == "alpha") return curve(w, 1, l.alpha, 0.0f, 1.0f);
        if (op == "velocity") return curve(w, 1, l.velocity, -100.0f, 100.0f);
        if (op == "spin") return curve(w, 1, l.spin, -36000.0f, 36000.0f);
        if (op == "gravity") return curve(w, 1, l.gravity, -100000.0f, 100000.0f);
        return fail("unknown layer statement '" + op + "'");
    }

    bool line(const Words& w) {
        if (inImage) {
            return w[0] == "end" ? (arity(w, 0, 0) && finishImage()) : drawCommand(w);
        }
        if (layer != nullptr) {
            if (w[0] == "end") {
                if (!layerHasBitmap) {
                    return fail("layer '" + layer->name + "' has no bitmap");
                }
                layer = nullptr;
                return arity(w, 0, 0);
            }
            return layerLine(w);
        }
        if (emitter != nullptr) {
            if (w[0] == "end") {
                if (emitter->layers.empty()) {
                    return fail("emitter '" + emitter->name + "' has no layer");
                }
                emitter = nullptr;
                return arity(w, 0, 0);
            }
            return emitterLine(w);
        }
        return topLevel(w);
    }
};

} // namespace

std::vector<std::uint8_t> encodeTgaRgba(int width, int height, const std::vector<std::uint8_t>& rgba) {
    std::vector<std::uint8_t> out = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    for (int v : {width, height}) {
        out.push_back(static_cast<std::uint8_t>(v));
        out.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    out.push_back(32);
    out.push_back(0x28); // top-left origin, 8 alpha bits
    for (std::size_t i = 0; i + 3 < rgba.size(); i += 4) {
        out.insert(out.end(), {rgba[i + 2], rgba[i + 1], rgba[i], rgba[i + 3]});
    }
    return out;
}

bool compileEffectSource(const std::string& text, EffectSource& out) {
    out = EffectSource();
    Compiler compiler(out);
    // Emitters and layers are filled in place: no reallocation may move them.
    out.data.emitters.reserve(particles::kMaxEmitters);
    std::istringstream lines(text);
    std::string raw;
    while (std::getline(lines, raw)) {
        ++compiler.lineNumber;
        // '#' starts a comment, except where it begins a colour: six hex digits ending the word.
        std::string code;
        for (std::size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == '#') {
                std::size_t digits = 0;
                while (i + 1 + digits < raw.size() &&
                       std::isxdigit(static_cast<unsigned char>(raw[i + 1 + digits]))) {
                    ++digits;
                }
                const std::size_t after = i + 1 + digits;
                if (digits != 6 ||
                    (after < raw.size() && !std::isspace(static_cast<unsigned char>(raw[after])))) {
                    break;
                }
            }
            code += raw[i];
        }
        std::istringstream words(code);
        Words w;
        for (std::string word; words >> word;) {
            w.push_back(word);
        }
        if (w.empty()) {
            continue;
        }
        if (!compiler.line(w)) {
            return false;
        }
    }
    if (compiler.inImage || compiler.emitter != nullptr) {
        ++compiler.lineNumber;
        return compiler.fail("the last block has no 'end'");
    }
    if (out.data.emitters.empty()) {
        return compiler.fail("no emitter");
    }
    // The engine's reader has the last word.
    const std::vector<std::uint8_t> bytes = particles::writeEffectData(out.data);
    particles::EffectData check;
    std::string error;
    if (!particles::readEffectData(bytes.data(), bytes.size(), check, error)) {
        return compiler.fail("the result does not read back: " + error);
    }
    out.data = std::move(check);
    return true;
}
