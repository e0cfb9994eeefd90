#pragma once
// `Display`: the game window's surface and the OpenGL device behind it; one per process. `Init` opens the
// window and the renderer, `Begin`/`End` frame the screen, and the display turns window events into the
// application's events (close, pause/resume, Alt+Enter full-screen toggle, key and pointer input).
//
// Full screen draws into a `ScreenTarget` of the game's size scaled to the desktop; pointer positions are
// mapped back so scripts always see game coordinates.

#include <cstdint>
#include <memory>

#include "binding/binding_script_object.h"
#include "component/component_factory.h"
#include "component/component_ref.h"
#include "component/frame_interfaces.h"
#include "component/group_interfaces.h"
#include "component/media_interfaces.h"
#include "math/matrix3.h"

class EffectDevice;
class Graphics;
class RenderTarget;
namespace particles {
class Library;
}

class Display final : public IDisplay,
                      public IShutdownable,
                      public ScriptObjectBase<Display>,
                      public SingleInstance<Display> {
public:
    static constexpr char ScriptTypeName[] = "Display";
    // CreateRenderTarget, GetWidth, GetHeight, IsWindowed, SetWindowed, ShowKeyboard.
    static const MethodTable& scriptMethods();

    Display();
    ~Display() override;

    void* QueryInterface(InterfaceId id) override {
        return queryAmong<IDisplay, IRenderTarget, IShutdownable, IScriptObject>(this, id);
    }

    // IRenderTarget (the screen)
    IGraphics* Begin(ICamera* camera) override;
    void End() override;
    std::int32_t GetWidth() override;
    std::int32_t GetHeight() override;
    ITexture* GetTexture() override { return nullptr; }

    // IDisplay
    bool Init(std::int32_t width, std::int32_t height) override;
    bool IsWindowed() override { return m_windowed; }
    void SetWindowed(bool windowed) override;
    KDWindow* GetWindow() override { return m_window; }
    void ShowKeyboard(bool show) override;
    ComponentRef<ITexture> CreateTexture() override;
    ComponentRef<IRenderTarget> CreateRenderTarget(std::int32_t width, std::int32_t height) override;
    // A new, empty Effect on the display's particle library (which it cannot load from before Init).
    ComponentRef<> CreateEffect() override;

    // IShutdownable: releases the device and the window.
    void Shutdown() override;

    // Where key and pointer events go once the display has looked at them. Not a reference; null (the
    // default) hands them to the live System object's input handler, and drops them when there is none.
    void SetInputHandler(IInputHandler* handler) { m_inputHandler = handler; }
    // The full-screen scale (identity until a ScreenTarget exists).
    const Matrix3& GetScaleMatrix() const { return m_scale; }
    // The live display, or null (the window callback's way back to it).
    static Display* live();
    // The particle library (null before Init and after Shutdown).
    const std::shared_ptr<particles::Library>& particleLibrary() const { return m_particles; }

private:
    static void onWindowEvent(const KDEvent* event);
    void handleWindowEvent(const KDEvent& event);
    void confineCursor(bool confine);
    IInputHandler* inputHandler() const;

    KDWindow* m_window = nullptr;
    Graphics* m_graphics = nullptr;
    // The particle library and the device adapter it draws through.
    std::shared_ptr<particles::Library> m_particles;
    std::unique_ptr<EffectDevice> m_effectDevice;
    ComponentRef<IRenderTarget> m_screenTarget;
    IInputHandler* m_inputHandler = nullptr;
    Matrix3 m_scale;
    Matrix3 m_inputTransform;
    bool m_windowed = true;
    bool m_fits = true;
    bool m_started = false;
    bool m_screenTargetOpen = false;
    std::int32_t m_width = 800;
    std::int32_t m_height = 600;
    std::int32_t m_fullWidth = 0;
    std::int32_t m_fullHeight = 0;
    std::int32_t m_windowedX = 0;
    std::int32_t m_windowedY = 0;
};
