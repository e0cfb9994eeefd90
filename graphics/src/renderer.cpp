// The OpenGL renderer: one context, one streaming vertex buffer of 4000 vertices filled on the processor
// and uploaded per batch, one static index buffer for 1000 quads, and one small shader program per
// combination of texturing, colour add and alpha test, each built on first use. The fragment stage is most
// of a frame's cost on a software rasteriser, so each program does only the work its state needs instead of
// branching on uniforms; the projection lives in the renderer and reaches a program when it draws with values
// older than the current ones. The view transform is applied on the processor as vertices are queued, so
// drawing calls under different transforms (every string of a text-heavy screen) share one batch.
#include "graphics/renderer.h"

#include <SDL.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>
#include <vector>

#include "platform/kd.h"

struct DeviceTexture {
    GLuint id = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    DeviceFormat format = DeviceFormat::ARGB8;
};

struct DeviceTarget {
    GLuint framebuffer = 0;
    DeviceTexture* texture = nullptr;
};

namespace {

constexpr const char* kTag = "Display";
constexpr int kMaxQuads = 1000;
constexpr int kMaxLines = 2000;
constexpr int kMaxVertices = 4000;
constexpr int kIndexCount = 6000;

enum class Kind { Lines = 2, Triangles = 3, Quads = 4 };

const char* const kVertexShader = R"(
layout(location = 0) in vec3 position;
layout(location = 1) in vec4 colour;
layout(location = 2) in vec2 texCoord;
uniform vec4 projection; // x scale, x offset, y scale, y offset
noperspective out vec4 vColour;
noperspective out vec2 vTexCoord;
void main() {
    gl_Position = vec4(position.x * projection.x + projection.y, position.y * projection.z + projection.w,
                       position.z, 1.0);
    vColour = colour;
    vTexCoord = texCoord;
}
)";

// Without a texture the stage reads white. Colour add sums the colours and still multiplies alpha; texels
// whose final alpha is below 1/255 are discarded (the alpha test). With blending on such a texel leaves the
// 8-bit target unchanged anyway (its weight rounds to 0), so only the unblended programs test. A textured
// batch whose vertices are all opaque white (sprites drawn in the default colour) skips the multiplication
// by a colour of 1.0, and with it the colour's interpolation.
const char* const kFragmentShader = R"(
noperspective in vec4 vColour;
noperspective in vec2 vTexCoord;
uniform sampler2D image;
out vec4 fragColour;
void main() {
#if TEXTURED
    vec4 t = texture(image, vTexCoord);
#else
    vec4 t = vec4(1.0);
#endif
#if COLOUR_ADD
    vec4 c = vec4(min(t.rgb + vColour.rgb, vec3(1.0)), t.a * vColour.a);
#elif WHITE
    vec4 c = t;
#else
    vec4 c = t * vColour;
#endif
#if ALPHA_TEST
    if (c.a < 0.5 / 255.0) {
        discard;
    }
#endif
    fragColour = c;
}
)";

// Program variants: a bit each for texturing, colour add, the alpha test and all-white vertices.
constexpr int kTexturedBit = 1;
constexpr int kColourAddBit = 2;
constexpr int kAlphaTestBit = 4;
constexpr int kWhiteBit = 8;
constexpr int kProgramCount = 16;

struct Program {
    GLuint id = 0;
    GLint projection = -1;
    std::uint32_t uniforms = 0; // the uniform version it holds
    bool failed = false;        // built once without success: its batches are dropped
};

struct RendererState {
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    GLuint vertexShader = 0;
    Program programs[kProgramCount];
    int program = -1; // the variant in use
    GLuint vertexArray = 0;
    GLuint vertexBuffer = 0;
    GLuint indexBuffer = 0;
    // Mesa's software rasteriser (llvmpipe) fills a draw of exactly two triangles that form an axis-aligned
    // rectangle as one rectangle: no edge tests, no block shaded twice along the diagonal, a fifth to a third
    // less work per quad. There a batch of such quads goes out as one glMultiDrawElements of a six-index draw
    // per quad (still one call); other drivers, and batches with a turned quad (each separate draw would only
    // cost the driver time), take one glDrawElements.
    bool drawQuadsSeparately = false;
    GLsizei quadIndexCounts[kMaxQuads];
    const void* quadIndexOffsets[kMaxQuads];
    GLuint samplers[2] = {0, 0}; // linear, point
    // The view transform queued vertices go through; identity skips the arithmetic, a pure translation
    // (text placed string by string) takes the short form.
    Matrix3 view;
    bool viewIdentity = true;
    bool viewTranslation = true;
    // The uniform every variant shares, and its version (bumped on change).
    float projection[4] = {1.0f, 0.0f, 1.0f, 0.0f}; // x scale, x offset, y scale, y offset
    std::uint32_t uniforms = 1;

    // The batch.
    Vertex vertices[kMaxVertices];
    int count = 0;
    // The AND of every queued quad vertex's colour: 0xFFFFFFFF while all are opaque white.
    std::uint32_t white = 0xFFFFFFFFu;
    // Whether every queued quad is an axis-aligned rectangle.
    bool rectangles = true;
    Kind kind = Kind::Quads;
    std::int32_t blend = BLEND_DEFAULT;
    DeviceTexture* texture = nullptr;
    bool inScene = false;
    bool clipEmpty = false;
    // The clip in force (clamped to the target); a width of -1 until the scene's first clip.
    std::int64_t clip[4] = {0, 0, -1, -1};

    // What the GL currently has, so state changes only reach it when they differ.
    std::int32_t appliedBlend = BLEND_DEFAULT;
    DeviceTexture* boundTexture = nullptr;
    bool boundTextured = false;
    std::int32_t filter = 0;

    DeviceTarget* target = nullptr; // null: the screen
    bool targetBound = false;
    std::vector<DeviceTexture*> textures;
    std::vector<DeviceTarget*> targets;
    TextureRules rules;
    std::uint64_t drawCalls = 0;
    std::uint64_t primitives = 0;
    // HH_FIRST_FRAME_CLOCK set: the first presented frame logs the monotonic clock.
    bool reportFirstFrame = false;
};

RendererState* g_state = nullptr;
bool g_submit = true;

const char* glErrorName(GLenum error) {
    switch (error) {
    case GL_INVALID_ENUM:
        return "GL_INVALID_ENUM";
    case GL_INVALID_VALUE:
        return "GL_INVALID_VALUE";
    case GL_INVALID_OPERATION:
        return "GL_INVALID_OPERATION";
    case GL_INVALID_FRAMEBUFFER_OPERATION:
        return "GL_INVALID_FRAMEBUFFER_OPERATION";
    case GL_OUT_OF_MEMORY:
        return "GL_OUT_OF_MEMORY";
    case GL_FRAMEBUFFER_UNSUPPORTED:
        return "GL_FRAMEBUFFER_UNSUPPORTED";
    case GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT:
        return "GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT";
    case GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT:
        return "GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT";
    default:
        return "GL_ERROR";
    }
}

// "%s: %s" with the error's symbolic name, or the message alone for no error.
void logDeviceError(const char* message, GLenum error) {
    if (error == GL_NO_ERROR) {
        logError(kTag, "%s", message);
    } else {
        logError(kTag, "%s: %s", message, glErrorName(error));
    }
}

void drainErrors() {
    while (glGetError() != GL_NO_ERROR) {
    }
}

std::int32_t targetWidth() {
    if (g_state->target != nullptr) {
        return g_state->target->texture->width;
    }
    std::int32_t w = 0, h = 0;
    Gfx_GetBackBufferSize(w, h);
    return w;
}

std::int32_t targetHeight() {
    if (g_state->target != nullptr) {
        return g_state->target->texture->height;
    }
    std::int32_t w = 0, h = 0;
    Gfx_GetBackBufferSize(w, h);
    return h;
}

// Maps (left, top, width, height) of the target onto clip space. The screen's rows run bottom-up in GL,
// offscreen targets are drawn upside down so that their first row is the top one.
void setProjection(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height) {
    if (width <= 0 || height <= 0) {
        return;
    }
    const float sx = 2.0f / static_cast<float>(width);
    const float ox = -2.0f * static_cast<float>(left) / static_cast<float>(width) - 1.0f;
    float sy = 2.0f / static_cast<float>(height);
    float oy = -2.0f * static_cast<float>(top) / static_cast<float>(height) - 1.0f;
    if (g_state->target == nullptr) {
        sy = -sy;
        oy = -oy;
    }
    float* p = g_state->projection;
    p[0] = sx;
    p[1] = ox;
    p[2] = sy;
    p[3] = oy;
    ++g_state->uniforms;
}

void setViewport(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) {
    const std::int32_t glY = g_state->target == nullptr ? targetHeight() - y - height : y;
    glViewport(x, glY, width, height);
}

void applyBlend(std::int32_t mode) {
    RendererState& s = *g_state;
    const std::int32_t old = s.appliedBlend;
    if ((mode == -1) != (old == -1)) {
        if (mode == -1) {
            glDisable(GL_BLEND);
        } else {
            glEnable(GL_BLEND);
        }
    }
    // -1 has every bit set: compare bits of the real modes only where blending stays meaningful.
    if (((mode ^ old) & BLEND_ALPHABLEND) != 0 || old == -1 || mode == -1) {
        glBlendFunc(GL_SRC_ALPHA, (mode & BLEND_ALPHABLEND) != 0 ? GL_ONE_MINUS_SRC_ALPHA : GL_ONE);
    }
    s.appliedBlend = mode;
}

void applyTexture(DeviceTexture* texture) {
    RendererState& s = *g_state;
    const bool textured = texture != nullptr && texture->id != 0;
    s.boundTextured = textured;
    if (textured && texture != s.boundTexture) {
        glBindTexture(GL_TEXTURE_2D, texture->id);
    }
    s.boundTexture = texture;
}

// Positions through the view transform as a row vector (p' = p * M), the third column taken as (0, 0, 1);
// the order of operations is the one the vertex stage used when it did this, and a translation adds the
// same sums (x * 1 + y * 0 is x).
void transformVertices(Vertex* v, int count, const RendererState& s) {
    const auto& m = s.view.m;
    if (s.viewTranslation) {
        const float dx = m[2][0];
        const float dy = m[2][1];
        for (int i = 0; i < count; ++i) {
            v[i].x += dx;
            v[i].y += dy;
        }
        return;
    }
    for (int i = 0; i < count; ++i) {
        const float x = v[i].x;
        const float y = v[i].y;
        v[i].x = x * m[0][0] + y * m[1][0] + m[2][0];
        v[i].y = x * m[0][1] + y * m[1][1] + m[2][1];
    }
}

// Corners in order around an axis-aligned rectangle (either way round, starting at any corner).
bool isRectangle(const Vertex* v) {
    const bool across = v[0].y == v[1].y && v[1].x == v[2].x && v[2].y == v[3].y && v[3].x == v[0].x;
    const bool down = v[0].x == v[1].x && v[1].y == v[2].y && v[2].x == v[3].x && v[3].y == v[0].y;
    return across || down;
}

bool useProgram();

// Uploads the batch and draws it with the current program.
void submitBatch(RendererState& s) {
    const int vertexCount = s.kind == Kind::Quads   ? 4 * s.count
                            : s.kind == Kind::Lines ? 2 * s.count
                                                    : 3 * s.count;
    // Orphan the buffer so the driver need not wait for the previous batch.
    glBufferData(GL_ARRAY_BUFFER, sizeof s.vertices, nullptr, GL_STREAM_DRAW);
    glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(vertexCount * sizeof(Vertex)), s.vertices);
    if (s.kind == Kind::Quads && s.drawQuadsSeparately && s.rectangles) {
        glMultiDrawElements(GL_TRIANGLES, s.quadIndexCounts, GL_UNSIGNED_SHORT, s.quadIndexOffsets, s.count);
    } else if (s.kind == Kind::Quads) {
        glDrawElements(GL_TRIANGLES, 6 * s.count, GL_UNSIGNED_SHORT, nullptr);
    } else if (s.kind == Kind::Lines) {
        glDrawArrays(GL_LINES, 0, vertexCount);
    } else {
        glDrawArrays(GL_TRIANGLES, 0, vertexCount);
    }
}

void flush() {
    RendererState& s = *g_state;
    if (s.count == 0) {
        return;
    }
    s.primitives += static_cast<std::uint64_t>(s.count);
    if (!g_submit) {
        ++s.drawCalls;
    } else if (useProgram()) {
        submitBatch(s);
        ++s.drawCalls;
    }
    s.count = 0;
    s.white = 0xFFFFFFFFu;
    s.rectangles = true;
}

GLuint compileShader(GLenum type, const char* source, const char* defines = "") {
    GLuint shader = glCreateShader(type);
    const char* parts[3] = {"#version 330 core\n", defines, source};
    glShaderSource(shader, 3, parts, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok != GL_TRUE) {
        char log[512] = {};
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        logError(kTag, "shader: %s", log);
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

// Builds the variant on first use; 0 (logged once) when it does not build.
GLuint buildProgram(int variant) {
    RendererState& s = *g_state;
    Program& program = s.programs[variant];
    if (program.id != 0 || program.failed) {
        return program.id;
    }
    char defines[128];
    std::snprintf(defines, sizeof defines,
                  "#define TEXTURED %d\n#define COLOUR_ADD %d\n#define ALPHA_TEST %d\n#define WHITE %d\n",
                  (variant & kTexturedBit) != 0 ? 1 : 0, (variant & kColourAddBit) != 0 ? 1 : 0,
                  (variant & kAlphaTestBit) != 0 ? 1 : 0, (variant & kWhiteBit) != 0 ? 1 : 0);
    const GLuint fs = compileShader(GL_FRAGMENT_SHADER, kFragmentShader, defines);
    if (fs == 0) {
        program.failed = true;
        return 0;
    }
    const GLuint id = glCreateProgram();
    glAttachShader(id, s.vertexShader);
    glAttachShader(id, fs);
    glLinkProgram(id);
    glDetachShader(id, s.vertexShader);
    glDeleteShader(fs);
    GLint linked = GL_FALSE;
    glGetProgramiv(id, GL_LINK_STATUS, &linked);
    if (linked != GL_TRUE) {
        logError(kTag, "shader program does not link");
        glDeleteProgram(id);
        program.failed = true;
        return 0;
    }
    program.id = id;
    program.projection = glGetUniformLocation(id, "projection");
    program.uniforms = 0;
    glUseProgram(id);
    glUniform1i(glGetUniformLocation(id, "image"), 0);
    s.program = variant;
    return id;
}

// Makes the variant for the applied texture and blend mode current, with the current uniforms. False when
// it cannot be built.
bool useProgram() {
    RendererState& s = *g_state;
    const std::int32_t blend = s.appliedBlend;
    const bool colourAdd = blend != -1 && (blend & BLEND_COLORADD) != 0;
    const int variant = (s.boundTextured ? kTexturedBit : 0) | (colourAdd ? kColourAddBit : 0) |
                        (blend == -1 ? kAlphaTestBit : 0) |
                        (s.boundTextured && !colourAdd && s.white == 0xFFFFFFFFu ? kWhiteBit : 0);
    Program& program = s.programs[variant];
    if (program.id == 0 && buildProgram(variant) == 0) {
        return false;
    }
    if (s.program != variant) {
        glUseProgram(program.id);
        s.program = variant;
    }
    if (program.uniforms != s.uniforms) {
        glUniform4fv(program.projection, 1, s.projection);
        program.uniforms = s.uniforms;
    }
    return true;
}

bool createDeviceObjects() {
    RendererState& s = *g_state;
    s.vertexShader = compileShader(GL_VERTEX_SHADER, kVertexShader);
    // The common variant is built now, so a device whose shaders do not build fails at start.
    if (s.vertexShader == 0 || buildProgram(kTexturedBit) == 0) {
        return false;
    }
    s.view = Matrix3();
    s.viewIdentity = true;
    s.viewTranslation = true;

    drainErrors();
    glGenVertexArrays(1, &s.vertexArray);
    glBindVertexArray(s.vertexArray);
    glGenBuffers(1, &s.vertexBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, s.vertexBuffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof s.vertices, nullptr, GL_STREAM_DRAW);
    if (GLenum error = glGetError(); error != GL_NO_ERROR) {
        logDeviceError("Can't create D3D vertex buffer", error);
        return false;
    }
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex),
                          reinterpret_cast<void*>(offsetof(Vertex, x)));
    // ARGB in a little-endian word is B, G, R, A in memory: the BGRA attribute size reads it as RGBA.
    glVertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(Vertex),
                          reinterpret_cast<void*>(offsetof(Vertex, colour)));
    glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, sizeof(Vertex),
                          reinterpret_cast<void*>(offsetof(Vertex, u)));
    for (GLuint i = 0; i < 3; ++i) {
        glEnableVertexAttribArray(i);
    }

    std::uint16_t indices[kIndexCount];
    for (int n = 0; n < kMaxQuads; ++n) {
        s.quadIndexCounts[n] = 6;
        s.quadIndexOffsets[n] =
            reinterpret_cast<const void*>(static_cast<std::uintptr_t>(n) * 6 * sizeof *indices);
        const auto first = static_cast<std::uint16_t>(4 * n);
        const std::uint16_t quad[6] = {first,
                                       static_cast<std::uint16_t>(first + 1),
                                       static_cast<std::uint16_t>(first + 2),
                                       static_cast<std::uint16_t>(first + 2),
                                       static_cast<std::uint16_t>(first + 3),
                                       first};
        std::memcpy(indices + 6 * n, quad, sizeof quad);
    }
    glGenBuffers(1, &s.indexBuffer);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, s.indexBuffer);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, sizeof indices, indices, GL_STATIC_DRAW);
    if (GLenum error = glGetError(); error != GL_NO_ERROR) {
        logDeviceError("Can't create D3D index buffer", error);
        return false;
    }

    glGenSamplers(2, s.samplers);
    const GLint filters[2] = {GL_LINEAR, GL_NEAREST};
    for (int i = 0; i < 2; ++i) {
        glSamplerParameteri(s.samplers[i], GL_TEXTURE_MIN_FILTER, filters[i]);
        glSamplerParameteri(s.samplers[i], GL_TEXTURE_MAG_FILTER, filters[i]);
    }
    glBindSampler(0, s.samplers[0]);
    glActiveTexture(GL_TEXTURE0);

    // Render states: no culling, no depth, blending SRCALPHA / INVSRCALPHA.
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    s.appliedBlend = BLEND_DEFAULT;
    s.blend = BLEND_DEFAULT;
    s.kind = Kind::Quads;
    return true;
}

// The context must be current before any GL call; a context that cannot be made current (lost) fails the
// frame instead of crashing.
bool makeCurrent() {
    if (SDL_GL_GetCurrentContext() == g_state->context) {
        return true;
    }
    if (SDL_GL_MakeCurrent(g_state->window, g_state->context) != 0) {
        logError(kTag, "OpenGL context lost: %s", SDL_GetError());
        return false;
    }
    return true;
}

void bindTarget(DeviceTarget* target) {
    glBindFramebuffer(GL_FRAMEBUFFER, target != nullptr ? target->framebuffer : 0);
}

} // namespace

bool Gfx_Start(void* sdlWindow) {
    if (g_state != nullptr) {
        return true;
    }
    g_state = new (std::nothrow) RendererState;
    if (g_state == nullptr) {
        return false;
    }
    RendererState& s = *g_state;
    s.window = static_cast<SDL_Window*>(sdlWindow);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    s.context = s.window != nullptr ? SDL_GL_CreateContext(s.window) : nullptr;
    if (s.context == nullptr) {
        logError(kTag, "Can't create D3D device: %s", SDL_GetError());
        delete g_state;
        g_state = nullptr;
        return false;
    }
    SDL_GL_MakeCurrent(s.window, s.context);
    const char* vendor = reinterpret_cast<const char*>(glGetString(GL_VENDOR));
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    int v[4] = {0, 0, 0, 0};
    if (version != nullptr) {
        std::sscanf(version, "%d.%d.%d.%d", &v[0], &v[1], &v[2], &v[3]);
    }
    logInfo(kTag, "D3D Driver: %s", vendor != nullptr ? vendor : "");
    logInfo(kTag, "Description: %s", renderer != nullptr ? renderer : "");
    logInfo(kTag, "Version: %d.%d.%d.%d", v[0], v[1], v[2], v[3]);
    s.drawQuadsSeparately = renderer != nullptr && std::strstr(renderer, "llvmpipe") != nullptr;
    if (epoxy_gl_version() < 33 || !createDeviceObjects()) {
        logError(kTag, "Can't create D3D device");
        Gfx_Stop();
        return false;
    }
    s.reportFirstFrame = std::getenv("HH_FIRST_FRAME_CLOCK") != nullptr;
    // Vsynced presentation where the driver offers it; frame pacing never depends on it.
    SDL_GL_SetSwapInterval(1);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    return true;
}

void Gfx_Stop() {
    if (g_state == nullptr) {
        return;
    }
    RendererState& s = *g_state;
    if (s.context != nullptr && makeCurrent()) {
        // Textures and targets still held elsewhere lose their device object now; releasing them later
        // only frees their records.
        for (DeviceTexture* texture : s.textures) {
            glDeleteTextures(1, &texture->id);
            texture->id = 0;
        }
        for (DeviceTarget* target : s.targets) {
            glDeleteFramebuffers(1, &target->framebuffer);
            target->framebuffer = 0;
        }
        glDeleteSamplers(2, s.samplers);
        glDeleteBuffers(1, &s.vertexBuffer);
        glDeleteBuffers(1, &s.indexBuffer);
        glDeleteVertexArrays(1, &s.vertexArray);
        for (Program& program : s.programs) {
            glDeleteProgram(program.id);
        }
        glDeleteShader(s.vertexShader);
        SDL_GL_MakeCurrent(s.window, nullptr);
        SDL_GL_DeleteContext(s.context);
    }
    delete g_state;
    g_state = nullptr;
}

bool Gfx_IsStarted() {
    return g_state != nullptr;
}

void Gfx_GetBackBufferSize(std::int32_t& width, std::int32_t& height) {
    width = 0;
    height = 0;
    if (g_state != nullptr && g_state->window != nullptr) {
        SDL_GL_GetDrawableSize(g_state->window, &width, &height);
    }
}

namespace {
TextureRules g_rules;
}

void Gfx_SetTextureRules(TextureRules rules) {
    g_rules = rules;
}
TextureRules Gfx_GetTextureRules() {
    return g_rules;
}

void Gfx_AdjustTextureSize(std::int32_t& width, std::int32_t& height) {
    if (g_rules.squareOnly) {
        width = height = std::max(width, height);
    }
    if (g_rules.powerOfTwo) {
        auto roundUp = [](std::int32_t v) {
            std::int32_t p = 1;
            while (p < v && p < (1 << 30)) {
                p <<= 1;
            }
            return p;
        };
        width = roundUp(width);
        height = roundUp(height);
    }
}

bool Gfx_BeginScene(DeviceTarget* target) {
    if (g_state == nullptr || !makeCurrent()) {
        return false;
    }
    RendererState& s = *g_state;
    if (s.inScene) {
        logError(kTag, "Gfx_BeginScene: Scene is already being rendered");
        return false;
    }
    if (target != nullptr && target->framebuffer == 0) {
        logError(kTag, "Gfx_BeginScene: Can't set render target");
        return false;
    }
    if (target != s.target || !s.targetBound) {
        bindTarget(target);
        if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
            logError(kTag, "Gfx_BeginScene: Can't set render target");
            bindTarget(s.target);
            return false;
        }
        s.target = target;
        s.targetBound = true;
        const std::int32_t w = targetWidth();
        const std::int32_t h = targetHeight();
        glViewport(0, 0, w, h);
        setProjection(0, 0, w, h);
        s.view = Matrix3();
        s.viewIdentity = true;
        s.viewTranslation = true;
    }
    s.inScene = true;
    s.count = 0;
    s.white = 0xFFFFFFFFu;
    s.rectangles = true;
    s.clipEmpty = false;
    s.clip[2] = -1;
    return true;
}

void Gfx_EndScene() {
    if (g_state == nullptr || !g_state->inScene) {
        return;
    }
    Gfx_RenderBatch(true);
    g_state->inScene = false;
    if (g_state->target == nullptr) {
        SDL_GL_SwapWindow(g_state->window);
        if (g_state->reportFirstFrame) {
            // Start-up measurements (bench/startup_time.py) subtract this from the launch time.
            g_state->reportFirstFrame = false;
            glFinish();
            timespec now{}, used{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
            logInfo(kTag,
                    "First frame presented at %lld us on the monotonic clock, %lld us of processor time",
                    static_cast<long long>(now.tv_sec) * 1000000LL + now.tv_nsec / 1000,
                    static_cast<long long>(used.tv_sec) * 1000000LL + used.tv_nsec / 1000);
        }
    }
}

bool Gfx_InScene() {
    return g_state != nullptr && g_state->inScene;
}

void Gfx_RenderBatch(bool) {
    if (g_state != nullptr) {
        flush();
    }
}

void Gfx_RenderQuad(const Quad& quad) {
    RendererState* s = g_state;
    if (s == nullptr || !s->inScene || s->clipEmpty) {
        return;
    }
    if (s->kind != Kind::Quads || s->count == kMaxQuads || quad.texture != s->texture ||
        quad.blend != s->blend) {
        flush();
        s->kind = Kind::Quads;
        if (quad.blend != s->blend || quad.blend != s->appliedBlend) {
            applyBlend(quad.blend);
            s->blend = quad.blend;
        }
        applyTexture(quad.texture);
        s->texture = quad.texture;
    }
    Vertex* out = &s->vertices[4 * s->count];
    std::memcpy(out, quad.v, sizeof quad.v);
    s->white &= quad.v[0].colour & quad.v[1].colour & quad.v[2].colour & quad.v[3].colour;
    if (!s->viewIdentity) {
        transformVertices(out, 4, *s);
    }
    if (s->drawQuadsSeparately && s->rectangles) {
        s->rectangles = isRectangle(out);
    }
    ++s->count;
}

void Gfx_RenderQuads(const Quad* quads, std::int32_t count, DeviceTexture* texture, std::int32_t blend) {
    RendererState* s = g_state;
    if (s == nullptr || !s->inScene || s->clipEmpty || count <= 0) {
        return;
    }
    if (s->kind != Kind::Quads || texture != s->texture || blend != s->blend) {
        flush();
        s->kind = Kind::Quads;
        applyBlend(blend);
        s->blend = blend;
        applyTexture(texture);
        s->texture = texture;
    }
    while (count > 0) {
        if (s->count == kMaxQuads) {
            flush();
        }
        const int n = std::min(count, kMaxQuads - s->count);
        Vertex* out = &s->vertices[4 * s->count];
        std::uint32_t white = s->white;
        for (int i = 0; i < n; ++i) {
            std::memcpy(out + 4 * i, quads[i].v, sizeof quads[i].v);
            white &=
                quads[i].v[0].colour & quads[i].v[1].colour & quads[i].v[2].colour & quads[i].v[3].colour;
        }
        s->white = white;
        if (!s->viewIdentity) {
            transformVertices(out, 4 * n, *s);
        }
        for (int i = 0; s->drawQuadsSeparately && s->rectangles && i < n; ++i) {
            s->rectangles = isRectangle(out + 4 * i);
        }
        s->count += n;
        quads += n;
        count -= n;
    }
}

void Gfx_RenderLine(float x1, float y1, float x2, float y2, std::uint32_t colour, float z) {
    RendererState* s = g_state;
    if (s == nullptr || !s->inScene || s->clipEmpty) {
        return;
    }
    if (s->kind != Kind::Lines || s->count == kMaxLines || s->texture != nullptr ||
        s->blend != BLEND_DEFAULT) {
        flush();
        s->kind = Kind::Lines;
        if (s->blend != BLEND_DEFAULT || s->appliedBlend != BLEND_DEFAULT) {
            applyBlend(BLEND_DEFAULT);
            s->blend = BLEND_DEFAULT;
        }
        applyTexture(nullptr);
        s->texture = nullptr;
    }
    Vertex* v = &s->vertices[2 * s->count];
    v[0] = Vertex{x1, y1, z, colour, 0.0f, 0.0f};
    v[1] = Vertex{x2, y2, z, colour, 0.0f, 0.0f};
    if (!s->viewIdentity) {
        transformVertices(v, 2, *s);
    }
    ++s->count;
}

void Gfx_SetBlendMode(std::int32_t mode) {
    if (g_state == nullptr) {
        return;
    }
    flush();
    applyBlend(mode);
    g_state->blend = mode;
}

void Gfx_SetClipping(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) {
    if (g_state == nullptr) {
        return;
    }
    const std::int64_t tw = targetWidth();
    const std::int64_t th = targetHeight();
    std::int64_t cx = x, cy = y, cw = width, ch = height;
    if (cx < 0) {
        cw += cx;
        cx = 0;
    }
    if (cy < 0) {
        ch += cy;
        cy = 0;
    }
    cw = std::max<std::int64_t>(0, std::min(cw, tw - cx));
    ch = std::max<std::int64_t>(0, std::min(ch, th - cy));
    RendererState& s = *g_state;
    // Setting the clip in force again (a saved drawing state put back) keeps the batch.
    if (s.clip[0] == cx && s.clip[1] == cy && s.clip[2] == cw && s.clip[3] == ch) {
        return;
    }
    flush();
    s.clip[0] = cx;
    s.clip[1] = cy;
    s.clip[2] = cw;
    s.clip[3] = ch;
    s.clipEmpty = cw == 0 || ch == 0;
    if (!s.clipEmpty) {
        setViewport(static_cast<std::int32_t>(cx), static_cast<std::int32_t>(cy),
                    static_cast<std::int32_t>(cw), static_cast<std::int32_t>(ch));
        setProjection(static_cast<std::int32_t>(cx), static_cast<std::int32_t>(cy),
                      static_cast<std::int32_t>(cw), static_cast<std::int32_t>(ch));
    }
}

void Gfx_SetTransform(const Matrix3& transform) {
    if (g_state == nullptr) {
        return;
    }
    // No flush: what is queued already went through the transform it was drawn under.
    RendererState& s = *g_state;
    s.view = transform;
    const auto& m = transform.m;
    s.viewTranslation = m[0][0] == 1.0f && m[0][1] == 0.0f && m[1][0] == 0.0f && m[1][1] == 1.0f;
    s.viewIdentity = s.viewTranslation && m[2][0] == 0.0f && m[2][1] == 0.0f;
}

void Gfx_SetTextureFilter(std::int32_t mode) {
    if (g_state == nullptr) {
        return;
    }
    const std::int32_t normalised = mode == 0 ? 0 : 1;
    if (normalised == g_state->filter) {
        return;
    }
    // Quads already queued keep the filter they were queued under.
    flush();
    glBindSampler(0, g_state->samplers[normalised]);
    g_state->filter = normalised;
}

void Gfx_Clear(std::uint32_t argb) {
    if (g_state == nullptr) {
        return;
    }
    flush();
    // The whole target, whatever the clip.
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    glViewport(0, 0, targetWidth(), targetHeight());
    glClearColor(static_cast<float>((argb >> 16) & 0xFF) / 255.0f,
                 static_cast<float>((argb >> 8) & 0xFF) / 255.0f, static_cast<float>(argb & 0xFF) / 255.0f,
                 static_cast<float>(argb >> 24) / 255.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
}

void Gfx_SetSubmitEnabled(bool enabled) {
    g_submit = enabled;
}

std::uint64_t Gfx_DrawCallCount() {
    return g_state != nullptr ? g_state->drawCalls : 0;
}
std::uint64_t Gfx_PrimitiveCount() {
    return g_state != nullptr ? g_state->primitives : 0;
}
void Gfx_ResetDrawCallCount() {
    if (g_state != nullptr) {
        g_state->drawCalls = 0;
        g_state->primitives = 0;
    }
}

bool Gfx_ReadPixels(DeviceTarget* target, std::int32_t x, std::int32_t y, std::int32_t width,
                    std::int32_t height, std::uint32_t* out) {
    if (g_state == nullptr || !makeCurrent() || width <= 0 || height <= 0) {
        return false;
    }
    RendererState& s = *g_state;
    if (target == s.target) {
        flush();
    }
    std::int32_t tw = 0, th = 0;
    if (target != nullptr) {
        tw = target->texture->width;
        th = target->texture->height;
    } else {
        Gfx_GetBackBufferSize(tw, th);
    }
    if (x < 0 || y < 0 || x + width > tw || y + height > th ||
        (target != nullptr && target->framebuffer == 0)) {
        return false;
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, target != nullptr ? target->framebuffer : 0);
    const std::int32_t glY = target != nullptr ? y : th - y - height;
    glReadPixels(x, glY, width, height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, out);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, s.target != nullptr ? s.target->framebuffer : 0);
    const std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (target == nullptr) {
        // The screen's rows come bottom-up.
        for (std::int32_t row = 0; row < height / 2; ++row) {
            std::swap_ranges(out + static_cast<std::size_t>(row) * width,
                             out + static_cast<std::size_t>(row + 1) * width,
                             out + static_cast<std::size_t>(height - 1 - row) * width);
        }
    }
    // Targets carry no alpha channel: they read as opaque.
    for (std::size_t i = 0; i < n; ++i) {
        out[i] |= 0xFF000000u;
    }
    return true;
}

DeviceTexture* Gfx_CreateTexture(std::int32_t width, std::int32_t height, DeviceFormat format) {
    if (g_state == nullptr || !makeCurrent() || width <= 0 || height <= 0) {
        logError(kTag, "Can't create texture");
        return nullptr;
    }
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    if (width > maxSize || height > maxSize) {
        logError(kTag, "Can't create texture: %s", "GL_INVALID_VALUE");
        return nullptr;
    }
    auto* texture = new (std::nothrow) DeviceTexture;
    if (texture == nullptr) {
        return nullptr;
    }
    texture->width = width;
    texture->height = height;
    texture->format = format;
    drainErrors();
    glGenTextures(1, &texture->id);
    glBindTexture(GL_TEXTURE_2D, texture->id);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    // Padding beyond the image (power-of-two sizes) starts transparent black.
    switch (format) {
    case DeviceFormat::ARGB8:
    case DeviceFormat::XRGB8: {
        const std::vector<std::uint32_t> zero(static_cast<std::size_t>(width) * height, 0);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                     zero.data());
        break;
    }
    case DeviceFormat::ARGB4: {
        const std::vector<std::uint16_t> zero(static_cast<std::size_t>(width) * height, 0);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA4, width, height, 0, GL_RGBA, GL_UNSIGNED_SHORT_4_4_4_4,
                     zero.data());
        break;
    }
    case DeviceFormat::DXT5: {
        const std::size_t bytes = static_cast<std::size_t>((width + 3) / 4) * ((height + 3) / 4) * 16;
        const std::vector<std::uint8_t> zero(bytes, 0);
        glCompressedTexImage2D(GL_TEXTURE_2D, 0, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, width, height, 0,
                               static_cast<GLsizei>(bytes), zero.data());
        break;
    }
    case DeviceFormat::TargetRGB:
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
        break;
    }
    const GLenum error = glGetError();
    if (g_state->boundTexture != nullptr && g_state->boundTexture->id != 0) {
        glBindTexture(GL_TEXTURE_2D, g_state->boundTexture->id);
    }
    if (error != GL_NO_ERROR) {
        logDeviceError("Can't create texture", error);
        glDeleteTextures(1, &texture->id);
        delete texture;
        return nullptr;
    }
    g_state->textures.push_back(texture);
    return texture;
}

void Gfx_ReleaseTexture(DeviceTexture* texture) {
    if (texture == nullptr) {
        return;
    }
    if (g_state != nullptr) {
        RendererState& s = *g_state;
        if (s.texture == texture || s.boundTexture == texture) {
            flush();
            s.texture = s.texture == texture ? nullptr : s.texture;
            s.boundTexture = nullptr;
            s.boundTextured = false;
        }
        std::erase(s.textures, texture);
        if (texture->id != 0 && makeCurrent()) {
            glDeleteTextures(1, &texture->id);
        }
    }
    delete texture;
}

std::int32_t Gfx_TextureWidth(const DeviceTexture* texture) {
    return texture != nullptr ? texture->width : 0;
}
std::int32_t Gfx_TextureHeight(const DeviceTexture* texture) {
    return texture != nullptr ? texture->height : 0;
}
DeviceFormat Gfx_TextureFormat(const DeviceTexture* texture) {
    return texture != nullptr ? texture->format : DeviceFormat::ARGB8;
}

bool Gfx_UploadTexture(DeviceTexture* texture, std::int32_t x, std::int32_t y, std::int32_t width,
                       std::int32_t height, const void* pixels, std::int32_t pitch) {
    if (g_state == nullptr || texture == nullptr || texture->id == 0 || !makeCurrent() || width <= 0 ||
        height <= 0) {
        return false;
    }
    RendererState& s = *g_state;
    if (s.texture == texture) {
        flush(); // queued quads sample the old contents
    }
    glBindTexture(GL_TEXTURE_2D, texture->id);
    drainErrors();
    switch (texture->format) {
    case DeviceFormat::ARGB8:
    case DeviceFormat::XRGB8:
        glPixelStorei(GL_UNPACK_ROW_LENGTH, pitch / 4);
        glTexSubImage2D(GL_TEXTURE_2D, 0, x, y, width, height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, pixels);
        break;
    case DeviceFormat::ARGB4:
        glPixelStorei(GL_UNPACK_ROW_LENGTH, pitch / 2);
        glTexSubImage2D(GL_TEXTURE_2D, 0, x, y, width, height, GL_RGBA, GL_UNSIGNED_SHORT_4_4_4_4, pixels);
        break;
    case DeviceFormat::DXT5: {
        // Block rows: the caller's pitch covers one row of 4x4 blocks.
        const std::int32_t blockRows = (height + 3) / 4;
        glCompressedTexSubImage2D(GL_TEXTURE_2D, 0, x, y, width, height, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT,
                                  pitch * blockRows, pixels);
        break;
    }
    case DeviceFormat::TargetRGB:
        break;
    }
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    const GLenum error = glGetError();
    if (s.boundTexture != nullptr && s.boundTexture->id != 0) {
        glBindTexture(GL_TEXTURE_2D, s.boundTexture->id);
    }
    if (error != GL_NO_ERROR) {
        logDeviceError("Can't lock texture", error);
        return false;
    }
    return true;
}

DeviceTarget* Gfx_CreateTarget(std::int32_t width, std::int32_t height) {
    if (g_state == nullptr || !makeCurrent()) {
        logError(kTag, "Can't create render target texture");
        return nullptr;
    }
    DeviceTexture* texture = Gfx_CreateTexture(width, height, DeviceFormat::TargetRGB);
    auto* target = texture != nullptr ? new (std::nothrow) DeviceTarget : nullptr;
    if (target == nullptr) {
        logError(kTag, "Can't create render target texture");
        Gfx_ReleaseTexture(texture);
        return nullptr;
    }
    target->texture = texture;
    glGenFramebuffers(1, &target->framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, target->framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture->id, 0);
    const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    bindTarget(g_state->target);
    if (status != GL_FRAMEBUFFER_COMPLETE) {
        logDeviceError("Can't create render target texture", status);
        glDeleteFramebuffers(1, &target->framebuffer);
        Gfx_ReleaseTexture(texture);
        delete target;
        return nullptr;
    }
    g_state->targets.push_back(target);
    return target;
}

void Gfx_ReleaseTarget(DeviceTarget* target) {
    if (target == nullptr) {
        return;
    }
    if (g_state != nullptr) {
        RendererState& s = *g_state;
        if (s.target == target) {
            // Never leave a deleted framebuffer bound: fall back to the screen. A scene open on it ends.
            flush();
            s.inScene = false;
            s.target = nullptr;
            s.targetBound = false;
            if (makeCurrent()) {
                bindTarget(nullptr);
            }
        }
        std::erase(s.targets, target);
        if (target->framebuffer != 0 && makeCurrent()) {
            glDeleteFramebuffers(1, &target->framebuffer);
        }
    }
    Gfx_ReleaseTexture(target->texture);
    delete target;
}

std::int32_t Gfx_TargetWidth(const DeviceTarget* target) {
    return target != nullptr ? target->texture->width : 0;
}
std::int32_t Gfx_TargetHeight(const DeviceTarget* target) {
    return target != nullptr ? target->texture->height : 0;
}
DeviceTexture* Gfx_TargetTexture(DeviceTarget* target) {
    return target != nullptr ? target->texture : nullptr;
}
