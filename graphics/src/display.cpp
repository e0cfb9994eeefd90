// Display: window, device start-up, screen frames, full-screen scaling and the window callback.
#include "graphics/display.h"
#include "graphics/effect.h"
#include "graphics/font.h"
#include "graphics/layer.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <new>

#include "component/class_names.h"
#include "component/component_registry.h"
#include "component/object_interfaces.h"
#include "graphics/graphics.h"
#include "graphics/graphics_classes.h"
#include "graphics/particles/particle_library.h"
#include "graphics/render_target.h"
#include "graphics/renderer.h"
#include "graphics/src/effect_device.h"
#include "graphics/texture.h"
#include "graphics/tile_manager.h"
#include "objects/system.h"
#include "platform/kd.h"

namespace {

constexpr const char* kTag = "Display";
constexpr const char* kTitle = "Harbor Haven";
constexpr KDint32 kEnterKey = static_cast<KDint32>(KD_INPUT_KEY_BASE) + static_cast<KDint32>(KD_KEY_ENTER);
constexpr std::uint32_t kAltHeld = 0x20000000u;
constexpr KDint32 kHandledEvents[] = {KD_EVENT_WINDOW_CLOSE, KD_EVENT_WINDOW_FOCUS, KD_EVENT_INPUT,
                                      KD_EVENT_INPUT_POINTER};

Display* g_live = nullptr;

void postEvent(KDint32 type, KDint32 property = 0) {
    KDEvent* event = kdCreateEvent();
    if (event == nullptr) {
        return;
    }
    event->type = type;
    event->userptr = nullptr;
    event->data.windowproperty.pname = property;
    kdPostEvent(event);
}

// Format names of the mode log line, by the format identifiers of the mode table.
const char* formatName(Uint32 format) {
    switch (format) {
    case SDL_PIXELFORMAT_RGB565:
        return "R5G6B5";
    case SDL_PIXELFORMAT_RGB555:
        return "X1R5G5B5";
    case SDL_PIXELFORMAT_ARGB1555:
        return "A1R5G5B5";
    case SDL_PIXELFORMAT_ARGB8888:
        return "A8R8G8B8";
    // Unknown deep-colour desktops count as 32-bit X8R8G8B8, the format the device asks for.
    default:
        return "X8R8G8B8";
    }
}

} // namespace

const MethodTable& Display::scriptMethods() {
    static const MethodTable table{
        scriptMethod<Display>("CreateRenderTarget", &Display::CreateRenderTarget),
        scriptMethod<Display>("GetWidth", &Display::GetWidth),
        scriptMethod<Display>("GetHeight", &Display::GetHeight),
        scriptMethod<Display>("IsWindowed", &Display::IsWindowed),
        scriptMethod<Display>("SetWindowed", &Display::SetWindowed),
        scriptMethod<Display>("ShowKeyboard", &Display::ShowKeyboard),
    };
    return table;
}

Display::Display() = default;

Display::~Display() {
    Shutdown();
}

Display* Display::live() {
    return g_live;
}

bool Display::Init(std::int32_t width, std::int32_t height) {
    logInfo(kTag, "Init: %dx%d", width, height);
    if (m_started) {
        return true;
    }
    // A missing DisplayWidth/DisplayHeight would divide by zero in the full-screen scale below.
    if (width <= 0 || height <= 0) {
        logError(kTag, "Can't init");
        return false;
    }
    m_window = kdCreateWindow();
    if (m_window == nullptr) {
        logError(kTag, "Can't init");
        return false;
    }
    const bool embedded = std::getenv("KD_PARENT_WINDOW") != nullptr;
    if (embedded) {
        KDint32 size[2] = {width, height};
        if (kdGetWindowPropertyiv(m_window, KD_WINDOWPROPERTY_SIZE, size) == 0 && size[0] > 0 &&
            size[1] > 0) {
            width = size[0];
            height = size[1];
        }
    } else {
        const KDint32 size[2] = {width, height};
        kdSetWindowPropertyiv(m_window, KD_WINDOWPROPERTY_SIZE, size);
    }
    kdSetWindowPropertycv(m_window, KD_WINDOWPROPERTY_CAPTION, kTitle);
    for (KDint32 type : kHandledEvents) {
        kdInstallCallback(&Display::onWindowEvent, type, m_window);
    }
    g_live = this;
    kdRealizeWindow(m_window);
    m_width = width;
    m_height = height;

    SDL_DisplayMode desktop{};
    if (SDL_GetDesktopDisplayMode(0, &desktop) != 0 || desktop.w <= 0 || desktop.h <= 0) {
        logError(kTag, "Can't determine desktop video mode");
        Shutdown();
        return false;
    }
    m_fullWidth = desktop.w;
    m_fullHeight = desktop.h;
    if (!embedded) {
        m_windowedX = (m_fullWidth - width) / 2;
        m_windowedY = (m_fullHeight - height) / 2;
        const KDint32 position[2] = {m_windowedX, m_windowedY};
        kdSetWindowPropertyiv(m_window, KD_WINDOWPROPERTY_POSITION, position);
        SDL_Rect usable{};
        m_fits = SDL_GetDisplayUsableBounds(0, &usable) != 0 || (width <= usable.w && height <= usable.h);
    }
    logInfo(kTag, "Full screen mode: %d x %d x %s\n", m_fullWidth, m_fullHeight, formatName(desktop.format));

    if (!Gfx_Start(kdGetNativeWindow(m_window))) {
        logError(kTag, "Can't init");
        Shutdown();
        return false;
    }
    m_started = true;
    m_graphics = new Graphics;
    m_effectDevice.reset(new (std::nothrow) EffectDevice);
    m_particles = m_effectDevice ? particles::Library::create() : nullptr;
    if (!m_particles) {
        logError(kTag, "Can't init Pyro");
        Shutdown();
        return false;
    }
    m_particles->initialise(m_effectDevice.get());

    if (!embedded) {
        const double scale =
            std::min(static_cast<double>(m_fullWidth) / width, static_cast<double>(m_fullHeight) / height);
        if (scale != 1.0) {
            m_screenTarget = CreateRenderTarget(static_cast<std::int32_t>(m_fullWidth / scale),
                                                static_cast<std::int32_t>(m_fullHeight / scale));
            if (!m_screenTarget) {
                logError(kTag, "Can't create render target for full screen");
                Shutdown();
                return false;
            }
            const auto s = static_cast<float>(scale);
            m_scale = Matrix3(Vector2{s, 0.0f}, Vector2{0.0f, s}, Vector2{0.0f, 0.0f});
            m_inputTransform = m_scale.Inverse();
        }
    }
    return true;
}

IInputHandler* Display::inputHandler() const {
    if (m_inputHandler != nullptr) return m_inputHandler;
    // Without an explicit handler the game's input goes to the running System object.
    return System::live();
}

void Display::Shutdown() {
    if (m_window == nullptr && !m_started) {
        return;
    }
    m_screenTarget.reset();
    // Effects may outlive the display: their textures go now, while the device still exists.
    if (m_particles) {
        m_particles->shutdown();
        m_particles.reset();
    }
    m_effectDevice.reset();
    if (m_graphics != nullptr) {
        m_graphics->Release();
        m_graphics = nullptr;
    }
    Gfx_Stop();
    m_started = false;
    if (m_window != nullptr) {
        for (KDint32 type : kHandledEvents) {
            kdInstallCallback(nullptr, type, m_window);
        }
        kdDestroyWindow(m_window);
        m_window = nullptr;
    }
    if (g_live == this) {
        g_live = nullptr;
    }
}

std::int32_t Display::GetWidth() {
    if (m_windowed) {
        return m_width;
    }
    return m_screenTarget ? m_screenTarget->GetWidth() : m_fullWidth;
}

std::int32_t Display::GetHeight() {
    if (m_windowed) {
        return m_height;
    }
    return m_screenTarget ? m_screenTarget->GetHeight() : m_fullHeight;
}

IGraphics* Display::Begin(ICamera* camera) {
    if (!m_started) {
        return nullptr;
    }
    if (!m_windowed && m_screenTarget) {
        IGraphics* graphics = m_screenTarget->Begin(camera);
        m_screenTargetOpen = graphics != nullptr;
        return graphics;
    }
    if (!Gfx_BeginScene(nullptr)) {
        return nullptr;
    }
    m_graphics->BeginFrame(GetWidth(), GetHeight(), camera);
    return m_graphics;
}

void Display::End() {
    if (!m_started) {
        return;
    }
    if (m_screenTargetOpen) {
        m_screenTargetOpen = false;
        m_screenTarget->End();
        if (!Gfx_BeginScene(nullptr)) {
            return;
        }
        // The game-sized picture, scaled up to the desktop.
        m_graphics->BeginFrame(m_fullWidth, m_fullHeight, nullptr);
        m_graphics->SetTransform(m_scale);
        m_graphics->SetClip(Rect(0, 0, m_fullWidth, m_fullHeight));
        m_graphics->Clear(0xFF000000u);
        const auto tw = static_cast<float>(m_screenTarget->GetWidth());
        const auto th = static_cast<float>(m_screenTarget->GetHeight());
        m_graphics->DrawTexture(m_screenTarget->GetTexture(), RectF(0, 0, tw, th), RectF(0, 0, tw, th));
    } else if (!Gfx_InScene()) {
        return;
    }
    m_graphics->EndFrame();
    Gfx_EndScene();
}

void Display::SetWindowed(bool windowed) {
    if (windowed && !m_fits) {
        return;
    }
    if (Gfx_InScene()) {
        return;
    }
    if (!m_started || windowed == m_windowed) {
        m_windowed = windowed;
        return;
    }
    m_windowed = windowed;
    auto* sdl = static_cast<SDL_Window*>(kdGetNativeWindow(m_window));
    SDL_SetWindowFullscreen(sdl, windowed ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
    if (windowed) {
        SDL_SetWindowSize(sdl, m_width, m_height);
        SDL_SetWindowPosition(sdl, m_windowedX, m_windowedY);
    }
    confineCursor(!windowed);
    postEvent(KD_EVENT_WINDOWPROPERTY_CHANGE, KD_WINDOWPROPERTY_SIZE);
}

void Display::confineCursor(bool confine) {
    auto* sdl = static_cast<SDL_Window*>(kdGetNativeWindow(m_window));
    if (sdl == nullptr) {
        return;
    }
    const SDL_Rect full{0, 0, m_fullWidth, m_fullHeight};
    SDL_SetWindowMouseRect(sdl, confine ? &full : nullptr);
}

void Display::ShowKeyboard(bool show) {
    kdKeyboardShow(show ? 1 : 0);
}

ComponentRef<ITexture> Display::CreateTexture() {
    return ComponentRef<ITexture>::adopt(new (std::nothrow) Texture);
}

ComponentRef<IRenderTarget> Display::CreateRenderTarget(std::int32_t width, std::int32_t height) {
    if (!Gfx_IsStarted() || width <= 0 || height <= 0) {
        logError(kTag, "Can't create render target texture");
        return nullptr;
    }
    Gfx_AdjustTextureSize(width, height);
    DeviceTarget* target = Gfx_CreateTarget(width, height);
    if (target == nullptr) {
        return nullptr;
    }
    auto* object = new (std::nothrow) RenderTarget(target);
    if (object == nullptr) {
        Gfx_ReleaseTarget(target);
        return nullptr;
    }
    return ComponentRef<IRenderTarget>::adopt(object);
}

ComponentRef<> Display::CreateEffect() {
    auto* effect = new (std::nothrow) Effect(m_particles);
    return effect != nullptr ? ComponentRef<>::adopt(handOverNew(effect)) : nullptr;
}

void Display::onWindowEvent(const KDEvent* event) {
    if (g_live != nullptr && event != nullptr) {
        g_live->handleWindowEvent(*event);
    }
}

void Display::handleWindowEvent(const KDEvent& event) {
    switch (event.type) {
    case KD_EVENT_WINDOW_CLOSE:
        logInfo(kTag, "close window");
        postEvent(KD_EVENT_WINDOW_CLOSE);
        break;
    case KD_EVENT_WINDOW_FOCUS: {
        const bool focused = event.data.windowfocus.focusstate != 0;
        postEvent(focused ? KD_EVENT_RESUME : KD_EVENT_PAUSE);
        if (!m_windowed) {
            confineCursor(focused);
        }
        break;
    }
    case KD_EVENT_INPUT: {
        const auto value = static_cast<std::uint64_t>(event.data.input.value);
        if (event.data.input.index == kEnterKey && static_cast<std::uint32_t>(value) != 0 &&
            (static_cast<std::uint32_t>(value >> 32) & kAltHeld) != 0) {
            SetWindowed(!IsWindowed());
            break;
        }
        if (IInputHandler* handler = inputHandler()) {
            handler->HandleKeyEvent(event);
        }
        break;
    }
    case KD_EVENT_INPUT_POINTER: {
        KDEvent mapped = event;
        if (!m_windowed && m_screenTarget && event.data.inputpointer.index != KD_INPUT_POINTER_WHEEL) {
            const auto x = static_cast<float>(event.data.inputpointer.x);
            const auto y = static_cast<float>(event.data.inputpointer.y);
            const Matrix3& m = m_inputTransform;
            mapped.data.inputpointer.x = static_cast<KDint32>(x * m.m[0][0] + y * m.m[1][0] + m.m[2][0]);
            mapped.data.inputpointer.y = static_cast<KDint32>(x * m.m[0][1] + y * m.m[1][1] + m.m[2][1]);
        }
        if (IInputHandler* handler = inputHandler()) {
            handler->HandlePointerEvent(mapped);
        }
        break;
    }
    default:
        break;
    }
}

void registerGraphicsClasses(ComponentRegistry& registry) {
    registry.provideFactory(classId(ClassName::Display), &createSingleInstance<Display>);
    registry.provideFactory(classId(ClassName::TileManager), &createSingleInstance<TileManager>);
    registry.provideFactory(classId(ClassName::Font), &createComponent<Font>);
    registry.provideFactory(classId(ClassName::Layer), &createComponent<Layer>);
}
