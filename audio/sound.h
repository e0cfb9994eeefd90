#pragma once
// `Sound`: a short effect decoded into memory when it is loaded, playable on up to 8 channels at once. Made
// by the sound driver (`CreateSound`), normally through the resource manager (`GetSound`).
//
// The sound keeps defaults that every new channel starts with: volume (1), pan (0) and frequency (the file's
// own rate). Changing the volume, pan or frequency changes the default and slides every playing channel
// there over the given milliseconds (0: at once). A negative volume fades the channels to silence and then
// stops them; it leaves the default alone, so the next `Play` is heard again. The "not set" values -1
// (volume, frequency) and -101 (pan) change nothing; a frequency of 0 means the file's own rate.
//
// Channel handles are what `Play` returns: positive integers, -1 for "no channel". A handle outlives its
// channel harmlessly: once the channel has ended, `StopChannel` and the per-channel setters answer false.
//
// Script methods: `Play`(restart) → handle, `Stop`(), `StopChannel`(handle), `Pause`(), `Resume`(),
// `SetVolume`(percent, ms), `SetChannelVolume`(handle, percent, ms), `SetChannelPan`(handle, percent, ms),
// `SetLoop`(bool), `IsActive`(), `IsPaused`(), `IsSliding`(). Loading logs "Loaded: %s"; failures are logged
// as "(%d) %s" with the tag "Sound".

#include <array>
#include <cstdint>
#include <string>

#include "audio/audio_client.h"
#include "audio/channel_control.h"
#include "binding/binding_script_object.h"
#include "component/media_interfaces.h"
#include "component/stream_interfaces.h"

class Sound final : public ISound, public ILoadable, public ScriptObjectBase<Sound>, private AudioClient {
public:
    static constexpr char ScriptTypeName[] = "Sound";
    static const MethodTable& scriptMethods();
    static constexpr int kChannels = 8;

    Sound() = default;
    ~Sound() override;

    void* QueryInterface(InterfaceId id) override {
        return queryAmong<ISound, ILoadable, IScriptObject>(this, id);
    }

    // ILoadable: decodes the whole file through the engine's file system.
    bool LoadFromFile(const char* path) override;

    // ISound
    std::int32_t Play(bool restart) override;
    bool Stop() override;
    bool Pause() override;
    bool Resume() override;
    std::int32_t GetFrequency() override;
    bool SetFrequency(std::int32_t hz, std::int32_t durationMs) override;
    std::int32_t GetVolume() override;
    bool SetVolume(std::int32_t percent, std::int32_t durationMs) override;
    std::int32_t GetPan() override;
    bool SetPan(std::int32_t percent, std::int32_t durationMs) override;
    bool SetLoop(bool loop) override;
    bool IsPlaying() override;
    bool IsPaused() override;
    bool IsSliding() override;

    bool StopChannel(std::int32_t handle);
    bool SetChannelVolume(std::int32_t handle, std::int32_t percent, std::int32_t durationMs);
    bool SetChannelPan(std::int32_t handle, std::int32_t percent, std::int32_t durationMs);

    // The number of channels playing (or paused) now.
    int activeChannels() const;

private:
    void releaseAudio() override;
    // Ends every channel without letting the ends touch the records, then frees the device buffer.
    void unload();
    ChannelControl* record(std::int32_t handle);
    bool isLoaded() const { return m_buffer != 0; }

    std::uint32_t m_buffer = 0;
    int m_fileChannels = 1;
    std::array<ChannelControl, kChannels> m_records{};
    float m_fileFrequency = 0.0f;
    float m_frequency = 0.0f;
    float m_volume = 1.0f;
    float m_pan = 0.0f;
    bool m_loop = false;
    std::string m_path;
};
