#include "audio/src/sound_file.h"

#include <sndfile.h>

#include <algorithm>
#include <new>

#include "platform/kd.h"

namespace {

constexpr int kMaxSampleRate = 768000;
constexpr std::int64_t kReadChunkFrames = 16384;

} // namespace

SoundFile::~SoundFile() {
    close();
}

std::int64_t SoundFile::fileLength(void* user) {
    return static_cast<SoundFile*>(user)->m_size;
}

std::int64_t SoundFile::fileSeek(std::int64_t offset, int whence, void* user) {
    auto* self = static_cast<SoundFile*>(user);
    const KDfileSeekOrigin origin = whence == SEEK_CUR   ? KD_SEEK_CUR
                                    : whence == SEEK_END ? KD_SEEK_END
                                                         : KD_SEEK_SET;
    if (kdFseek(self->m_file, offset, origin) != 0) {
        return -1;
    }
    return kdFtell(self->m_file);
}

std::int64_t SoundFile::fileRead(void* buffer, std::int64_t count, void* user) {
    if (count <= 0) {
        return 0;
    }
    return static_cast<std::int64_t>(
        kdFread(buffer, 1, static_cast<KDsize>(count), static_cast<SoundFile*>(user)->m_file));
}

std::int64_t SoundFile::fileWrite(const void*, std::int64_t, void*) {
    return 0; // read-only
}

std::int64_t SoundFile::fileTell(void* user) {
    return kdFtell(static_cast<SoundFile*>(user)->m_file);
}

AudioError SoundFile::open(const char* path) {
    close();
    if (path == nullptr || path[0] == '\0') {
        return AudioError::FileNotFound;
    }
    m_file = kdFopen(path, "rb");
    if (m_file == nullptr) {
        return AudioError::FileNotFound;
    }
    KDStat stat{};
    if (kdFstat(m_file, &stat) != 0 || stat.st_size < 0) {
        close();
        return AudioError::FileBad;
    }
    m_size = stat.st_size;

    static SF_VIRTUAL_IO io{&SoundFile::fileLength, &SoundFile::fileSeek, &SoundFile::fileRead,
                            &SoundFile::fileWrite, &SoundFile::fileTell};
    SF_INFO info{};
    SNDFILE* sound = sf_open_virtual(&io, SFM_READ, &info, this);
    if (sound == nullptr) {
        close();
        return AudioError::Format;
    }
    m_sound = sound;
    if (info.channels < 1 || info.channels > 2 || info.samplerate < 1 || info.samplerate > kMaxSampleRate) {
        close();
        return AudioError::Format;
    }
    m_channels = info.channels;
    m_sampleRate = info.samplerate;
    m_frames = std::max<std::int64_t>(info.frames, 0);
    return AudioError::None;
}

void SoundFile::close() {
    if (m_sound != nullptr) {
        sf_close(m_sound);
        m_sound = nullptr;
    }
    if (m_file != nullptr) {
        kdFclose(m_file);
        m_file = nullptr;
    }
    m_size = 0;
    m_channels = 0;
    m_sampleRate = 0;
    m_frames = 0;
}

std::int64_t SoundFile::read(std::int16_t* out, std::int64_t frames) {
    if (m_sound == nullptr || out == nullptr || frames <= 0) {
        return 0;
    }
    const sf_count_t got = sf_readf_short(m_sound, out, frames);
    return got > 0 ? std::min<std::int64_t>(got, frames) : 0;
}

bool SoundFile::seek(std::int64_t frame) {
    if (m_sound == nullptr || frame < 0) {
        return false;
    }
    return sf_seek(m_sound, frame, SEEK_SET) == frame;
}

AudioError SoundFile::readAll(std::vector<std::int16_t>& out) {
    out.clear();
    if (m_sound == nullptr) {
        return AudioError::Format;
    }
    const std::int64_t limitFrames = kMaxDecodedSamples / m_channels;
    try {
        // The header's frame count only sizes the first allocation, and only when it is believable.
        if (m_frames > 0 && m_frames <= limitFrames && m_frames <= m_size * 64) {
            out.reserve(static_cast<std::size_t>(m_frames * m_channels));
        }
        std::int64_t total = 0;
        for (;;) {
            const std::int64_t want = std::min(kReadChunkFrames, limitFrames - total);
            if (want <= 0) {
                // One more frame would pass the limit: the file is too long, unless it ends exactly here.
                std::int16_t probe[2];
                if (read(probe, 1) > 0) {
                    out.clear();
                    out.shrink_to_fit();
                    return AudioError::Memory;
                }
                break;
            }
            out.resize(static_cast<std::size_t>((total + want) * m_channels));
            const std::int64_t got = read(out.data() + total * m_channels, want);
            total += got;
            if (got < want) {
                break;
            }
        }
        out.resize(static_cast<std::size_t>(total * m_channels));
        out.shrink_to_fit();
        return total > 0 ? AudioError::None : AudioError::Format;
    } catch (const std::bad_alloc&) {
        out.clear();
        out.shrink_to_fit();
        return AudioError::Memory;
    }
}
