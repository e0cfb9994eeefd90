#pragma once
// A piece of music streamed from its file: a few device buffers queued on the channel's source and refilled
// by the audio system's update as the source plays them. Looping rewinds the decoder at the end of the file;
// a buffer never spans the rewind, so the play position is always one buffer's start plus an offset.
// Nothing is allocated once the stream is open.

#include <array>
#include <cstdint>
#include <vector>

#include "audio/audio_errors.h"
#include "audio/src/sound_file.h"

class AudioStream {
public:
    static constexpr int kBufferCount = 4;
    static constexpr int kBufferFrames = 4096;

    AudioStream() = default;
    ~AudioStream();
    AudioStream(const AudioStream&) = delete;
    AudioStream& operator=(const AudioStream&) = delete;

    // Opens the file and makes the device buffers; needs a running audio system. Stop any channel playing
    // the stream before closing it.
    AudioError open(const char* path);
    void close();

    int channels() const { return m_file.channels(); }
    int sampleRate() const { return m_file.sampleRate(); }
    // The length in frames (0 when the decoder does not know it).
    std::int64_t lengthFrames() const { return m_file.frames(); }
    void setLoop(bool loop);

    // For the audio system. Clears the source's queue, moves the decoder to `frame` and queues the first
    // buffers; false when there is nothing to play from there.
    bool start(std::uint32_t source, std::int64_t frame);
    // Takes back the buffers the source has played and queues new data in them; the buffers still queued.
    int service(std::uint32_t source);
    // The frame the source is playing.
    std::int64_t positionFrames(std::uint32_t source) const;
    // Stops the source and takes every buffer back.
    void detach(std::uint32_t source);

private:
    struct Queued {
        std::uint32_t buffer;
        std::int64_t start;
        std::int64_t frames;
    };

    // Decodes the next buffer's worth into `buffer` and queues it; false at the end (without loop).
    bool queueNext(std::uint32_t source, std::uint32_t buffer);

    SoundFile m_file;
    std::array<std::uint32_t, kBufferCount> m_buffers{};
    bool m_haveBuffers = false;
    std::vector<std::int16_t> m_scratch;
    std::array<Queued, kBufferCount> m_queue{}; // in the source's queue order
    int m_queued = 0;
    std::int64_t m_decodePosition = 0;
    bool m_loop = false;
    bool m_ended = false;
};
