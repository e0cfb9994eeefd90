#pragma once
// An audio file read through the engine's file system (kdFopen "rb": language folders, archives, HTTP) and
// decoded by libsndfile: WAV, Ogg Vorbis, FLAC, MP3 and whatever else it reads. Samples come out as
// interleaved signed 16-bit frames. Only mono and stereo files at 1 Hz ... 768 kHz are accepted; everything
// libsndfile reports about the file is checked before it is used, and reading never trusts the frame count
// the header claims.

#include <cstdint>
#include <vector>

#include "audio/audio_errors.h"

struct KDFile;
struct sf_private_tag;

class SoundFile {
public:
    // The most samples (frames × channels) decoded into memory at once: 256 MiB of 16-bit samples.
    static constexpr std::int64_t kMaxDecodedSamples = std::int64_t(1) << 27;

    SoundFile() = default;
    ~SoundFile();
    SoundFile(const SoundFile&) = delete;
    SoundFile& operator=(const SoundFile&) = delete;

    // Opens and identifies the file; a previous file is closed first.
    AudioError open(const char* path);
    void close();
    bool isOpen() const { return m_sound != nullptr; }

    int channels() const { return m_channels; }
    int sampleRate() const { return m_sampleRate; }
    // The length in frames as the decoder reports it (0 when it does not know).
    std::int64_t frames() const { return m_frames; }

    // Up to `frames` frames into `out` (frames × channels samples); the frames read, 0 at the end or on
    // error.
    std::int64_t read(std::int16_t* out, std::int64_t frames);
    // Moves to frame `frame` (0 = the beginning). False when the decoder cannot go there.
    bool seek(std::int64_t frame);
    // The whole rest of the file, up to kMaxDecodedSamples; Memory when it is longer, Format when it holds no
    // frame at all.
    AudioError readAll(std::vector<std::int16_t>& out);

private:
    static std::int64_t fileLength(void* user);
    static std::int64_t fileSeek(std::int64_t offset, int whence, void* user);
    static std::int64_t fileRead(void* buffer, std::int64_t count, void* user);
    static std::int64_t fileWrite(const void* buffer, std::int64_t count, void* user);
    static std::int64_t fileTell(void* user);

    KDFile* m_file = nullptr;
    std::int64_t m_size = 0;
    sf_private_tag* m_sound = nullptr;
    int m_channels = 0;
    int m_sampleRate = 0;
    std::int64_t m_frames = 0;
};
