#pragma once
// `Music`: a long piece streamed from its file on one channel. Loading only remembers the path; the file is
// opened by the first `Play` (and again by the first `Play` after a `Stop`, which closes it), so a piece
// costs nothing until it plays. Made by the sound driver (`CreateMusic`), normally through the resource
// manager
// (`GetMusic`).
//
// Volume, pan and frequency requested before the file is open are kept and applied when it opens; the "not
// set" values -1 (volume, frequency) and -101 (pan) change nothing. Like `Sound`, a negative volume fades out
// and then stops the channel (the file stays open; `Play` starts it from the beginning).
//
// Script methods: `Play`(restart) → channel handle or -1, `Stop`(), `Pause`(), `Resume`(), `SetPosition`(
// seconds) → bool (false past the end), `GetPosition`() → seconds (-1 without a channel),
// `SetVolume`(percent, ms), `SetLoop`(bool), `IsActive`(), `IsPaused`(). Opening logs "Loaded: %s", `Stop`
// "Unloaded: %s"; failures are logged as "(%d) %s" with the tag "Music".

#include <cstdint>
#include <memory>
#include <string>

#include "audio/audio_client.h"
#include "audio/channel_control.h"
#include "binding/binding_script_object.h"
#include "component/media_interfaces.h"
#include "component/stream_interfaces.h"

class AudioStream;

class Music final : public ISound, public ILoadable, public ScriptObjectBase<Music>, private AudioClient {
public:
    static constexpr char ScriptTypeName[] = "Music";
    static const MethodTable& scriptMethods();

    Music();
    ~Music() override;

    void* QueryInterface(InterfaceId id) override {
        return queryAmong<ISound, ILoadable, IScriptObject>(this, id);
    }

    // ILoadable: keeps the path (the file is opened when the piece first plays).
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

    bool SetPosition(float seconds);
    float GetPosition();

    bool isOpen() const;

private:
    void releaseAudio() override;
    bool open();
    // Ends the channel without letting the end touch the record, then closes the stream.
    void close();

    std::unique_ptr<AudioStream> m_stream;
    ChannelControl m_record{};
    std::string m_path;
    float m_fileFrequency = 0.0f;
    // Requested settings; the negative markers mean "not set".
    float m_frequency = -1.0f;
    float m_volume = -1.0f;
    float m_pan = -1.01f;
    bool m_loop = false;
};
