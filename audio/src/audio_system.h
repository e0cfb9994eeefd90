#pragma once
// The audio device, its mixing context and the 32 channels every sound and piece of music plays on. There is
// at most one, alive while the sound driver is initialised (current() is null otherwise). Main thread only.
//
// A channel is an OpenAL source. Playing hands out a channel handle: a small positive integer that is never
// given to two channels alive at the same time and is not reused soon after, so a stale handle from a script
// finds no channel instead of another sound's. A channel may carry a slide record (ChannelControl) of the
// sound that started it; when the channel ends the record is zeroed and forgotten. Ends are found in
// update() (the source has stopped), or at once when a channel is stopped; both run on the main thread.
//
// Master controls: the volume is the listener's gain, pause holds every channel without touching their own
// paused flags, stop ends every channel.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/audio_client.h"
#include "audio/audio_errors.h"
#include "audio/channel_control.h"

struct ALCdevice_struct;
struct ALCcontext_struct;
class AudioStream;

// What a new channel plays and how it starts.
struct PlayRequest {
    std::uint32_t buffer = 0;      // a decoded sample, or
    AudioStream* stream = nullptr; // a stream; not owned (its owner stops the channel before it goes)
    int channels = 1;              // of the sample or stream: 1 or 2
    float baseRate = 44100.0f;     // its own sample rate: frequency / baseRate is the pitch
    float frequency = 44100.0f;
    float volume = 1.0f;
    float pan = 0.0f;
    bool loop = false;
};

class AudioSystem {
public:
    static constexpr int kChannelCount = 32;

    // The running system, or null.
    static AudioSystem* current();

    // Opens the default output device, or with loopbackRate > 0 a device that renders only on request
    // (float stereo at that rate, see render), and makes the new system current. None, NoDevice or Device.
    static AudioError start(int loopbackRate, std::unique_ptr<AudioSystem>& system);
    // Ends every channel, lets the clients drop their objects, closes the device.
    ~AudioSystem();
    AudioSystem(const AudioSystem&) = delete;
    AudioSystem& operator=(const AudioSystem&) = delete;

    const char* deviceName() const;
    // Mixes `frames` frames of interleaved float stereo into `out` (loopback systems only; false otherwise).
    bool render(float* out, int frames);

    void addClient(AudioClient* client);
    void removeClient(AudioClient* client);

    // A device buffer holding 16-bit interleaved samples; 0 (and the error) on failure.
    std::uint32_t createBuffer(const std::int16_t* samples, std::size_t count, int channels, int rate,
                               AudioError& error);
    void deleteBuffer(std::uint32_t buffer);
    // Device buffers for streams.
    bool createStreamBuffers(std::uint32_t* buffers, int count);
    void deleteStreamBuffers(const std::uint32_t* buffers, int count);

    // Master controls.
    float masterVolume() const { return m_masterVolume; }
    void setMasterVolume(float volume);
    bool masterPaused() const { return m_masterPaused; }
    void setMasterPaused(bool paused);
    void stopAll();

    // Starts a channel; its handle, or -1 (with the error). `record` (may be null) gets the handle in its
    // `channel` and is zeroed when the channel ends.
    std::int32_t play(const PlayRequest& request, ChannelControl* record, AudioError& error);
    // Whether the handle names a live channel (playing or paused).
    bool isPlaying(std::int32_t handle) const;
    // The channel's own paused flag (false for an unknown handle).
    bool isPaused(std::int32_t handle) const;
    bool setPaused(std::int32_t handle, bool paused);
    // Ends the channel now: its record is zeroed before this returns.
    bool stop(std::int32_t handle);
    // Forgets the channel's record, so ending it leaves the record alone.
    void detach(std::int32_t handle);
    // Whether the channel advances in time (live, not paused, master not paused).
    bool isRunning(std::int32_t handle) const;

    // Channel parameters; the getters answer 0 for an unknown handle, the setters false.
    float volume(std::int32_t handle) const;
    bool setVolume(std::int32_t handle, float volume); // clamped to 0 ... 1
    float frequency(std::int32_t handle) const;
    bool setFrequency(std::int32_t handle, float hz); // negative counts as 0
    float pan(std::int32_t handle) const;
    bool setPan(std::int32_t handle, float pan); // clamped to -1 ... 1
    bool setLoop(std::int32_t handle, bool loop);
    // The play position in milliseconds, or -1 for an unknown handle.
    std::int64_t positionMs(std::int32_t handle) const;
    // InvalidPosition for a position past the end; InvalidHandle for an unknown handle.
    AudioError setPositionMs(std::int32_t handle, std::int64_t ms);

    // Refills streams, ends the channels whose sources have stopped, then advances the slides of the live
    // channels by `elapsedMs`.
    void update(float elapsedMs);

private:
    struct Channel {
        std::uint32_t source = 0;
        std::int32_t handle = 0; // 0: free
        ChannelControl* record = nullptr;
        AudioStream* stream = nullptr;
        int channels = 1;
        float baseRate = 44100.0f;
        float volume = 1.0f;
        float frequency = 44100.0f;
        float pan = 0.0f;
        bool paused = false;
    };

    AudioSystem() = default;
    Channel* find(std::int32_t handle);
    const Channel* find(std::int32_t handle) const;
    std::int32_t nextHandle();
    void applyPan(const Channel& channel);
    // Runs the source when the channel should sound (not paused, master not paused).
    void resumeSource(const Channel& channel);
    void end(Channel& channel);

    ALCdevice_struct* m_device = nullptr;
    ALCcontext_struct* m_context = nullptr;
    bool m_loopback = false;
    std::array<Channel, kChannelCount> m_channels{};
    std::vector<AudioClient*> m_clients;
    std::int32_t m_lastHandle = 0;
    float m_masterVolume = 1.0f;
    bool m_masterPaused = false;
};
