#pragma once
// `SoundDriver`: the audio system of the process, one instance (the registry hands out the live one). `Init`
// opens the default output device; when there is none it logs the reason and answers false, and the game
// runs silent. The driver makes `Sound` and `Music` objects, exposes the master volume and pause, and on
// every update of the system layer (1) refills music streams, notices channels that have ended and advances
// every channel's volume, frequency and pan slides by the time it measured itself since the last update.
//
// Script methods: `Start`() → bool (lifts the master pause), `Stop`() → bool (ends every channel),
// `Pause`() → bool (holds every channel), `GetVolume`() → master volume in percent (-1 when not initialised),
// `SetVolume`(percent) → bool. Failures are logged as "(%d) %s" with the tag "SoundDriver".
//
// For offline rendering (tests, tools): `InitLoopback` opens a device that mixes only when asked, as float
// stereo at the given rate; `RenderSamples` mixes; `updateAt` is the update with the clock given in ms.

#include <cstdint>
#include <memory>

#include "binding/binding_script_object.h"
#include "component/component_factory.h"
#include "component/frame_interfaces.h"
#include "component/group_interfaces.h"
#include "component/media_interfaces.h"

class AudioSystem;

class SoundDriver final : public ISoundDriver,
                          public IUpdateable,
                          public IShutdownable,
                          public ScriptObjectBase<SoundDriver>,
                          public SingleInstance<SoundDriver> {
public:
    static constexpr char ScriptTypeName[] = "SoundDriver";
    // Start, Stop, Pause, GetVolume, SetVolume.
    static const MethodTable& scriptMethods();

    SoundDriver();
    ~SoundDriver() override;

    void* QueryInterface(InterfaceId id) override {
        return queryAmong<ISoundDriver, IUpdateable, IShutdownable, IScriptObject>(this, id);
    }

    // ISoundDriver. The window is not needed on this platform. Init on a running driver answers true.
    bool Init(KDWindow* window) override;
    ComponentRef<ISound> CreateSound() override;
    ComponentRef<ISound> CreateMusic() override;
    bool Start() override;
    bool Stop() override;
    bool Pause() override;
    std::int32_t GetVolume() override;
    bool SetVolume(std::int32_t percent) override;

    // IUpdateable: the system layer; the elapsed argument is not used.
    std::int32_t GetUpdateLayer() override { return 1; }
    void Init(std::int32_t) override {}
    void Update(std::int32_t layer, std::int32_t elapsed) override;
    // IShutdownable: ends every channel and closes the device; sounds and music stay, silent.
    void Shutdown() override;

    bool isInitialized() const { return m_system != nullptr; }
    bool InitLoopback(std::int32_t sampleRate);
    // Mixes `frames` frames of interleaved float stereo (loopback driver only).
    bool RenderSamples(float* out, std::int32_t frames);
    // The update as if the clock read `nowMs`.
    void updateAt(std::uint32_t nowMs);

private:
    bool start(std::int32_t loopbackRate);

    std::unique_ptr<AudioSystem> m_system;
    std::uint32_t m_lastUpdate = 0; // ms
};
