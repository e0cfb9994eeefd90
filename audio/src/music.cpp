#include "audio/music.h"

#include <algorithm>
#include <cmath>

#include "audio/audio_errors.h"
#include "audio/src/audio_stream.h"
#include "audio/src/audio_system.h"
#include "audio/src/channel_slides.h"
#include "platform/kd.h"

namespace {

constexpr char kTag[] = "Music";
// Positions are taken in whole milliseconds; a billion seconds is far past any piece.
constexpr float kMaxPositionSeconds = 1.0e9f;

} // namespace

const MethodTable& Music::scriptMethods() {
    static const MethodTable table{
        scriptMethod<Music>("Play", &Music::Play),
        scriptMethod<Music>("Stop", &Music::Stop),
        scriptMethod<Music>("Pause", &Music::Pause),
        scriptMethod<Music>("Resume", &Music::Resume),
        scriptMethod<Music>("SetPosition", &Music::SetPosition),
        scriptMethod<Music>("GetPosition", &Music::GetPosition),
        scriptMethod<Music>("SetVolume", &Music::SetVolume),
        scriptMethod<Music>("SetLoop", &Music::SetLoop),
        scriptMethod<Music>("IsActive", &Music::IsPlaying),
        scriptMethod<Music>("IsPaused", &Music::IsPaused),
    };
    return table;
}

Music::Music() = default;

Music::~Music() {
    close();
}

bool Music::isOpen() const {
    return m_stream != nullptr;
}

void Music::releaseAudio() {
    close();
}

void Music::close() {
    AudioSystem* system = AudioSystem::current();
    if (system != nullptr) {
        if (m_record.channel != 0) {
            // Detach first: the end must not write into a record that may be going away.
            const std::int32_t channel = m_record.channel;
            system->detach(channel);
            system->stop(channel);
        }
        system->removeClient(this);
    }
    m_record = ChannelControl{};
    m_stream.reset();
}

bool Music::LoadFromFile(const char* path) {
    close();
    m_path = path != nullptr ? path : "";
    return true;
}

bool Music::open() {
    AudioSystem* system = AudioSystem::current();
    if (system == nullptr) {
        logAudioError(kTag, AudioError::Uninitialized);
        return false;
    }
    auto stream = std::make_unique<AudioStream>();
    if (AudioError error = stream->open(m_path.c_str()); error != AudioError::None) {
        logAudioError(kTag, error);
        return false;
    }
    m_stream = std::move(stream);
    system->addClient(this);
    // The file's own settings are full volume, centre, its own rate; requests made earlier replace them.
    m_fileFrequency = static_cast<float>(m_stream->sampleRate());
    if (m_volume < 0.0f) {
        m_volume = 1.0f;
    }
    if (m_pan < -1.0f) {
        m_pan = 0.0f;
    }
    logPlain(kTag, "Loaded: %s", m_path.c_str());
    return true;
}

std::int32_t Music::Play(bool restart) {
    AudioSystem* system = AudioSystem::current();
    if (system != nullptr && m_record.channel != 0) {
        if (restart) {
            system->setPositionMs(m_record.channel, 0);
        }
        system->setPaused(m_record.channel, false);
        return m_record.channel;
    }
    if (system == nullptr) {
        logAudioError(kTag, AudioError::Uninitialized);
        return -1;
    }
    if (m_stream == nullptr && !open()) {
        return -1;
    }
    m_stream->setLoop(m_loop);
    PlayRequest request;
    request.stream = m_stream.get();
    request.channels = m_stream->channels();
    request.baseRate = m_fileFrequency;
    request.frequency = m_frequency > 0.0f ? m_frequency : m_fileFrequency;
    request.volume = m_volume;
    request.pan = m_pan;
    AudioError error = AudioError::None;
    const std::int32_t handle = system->play(request, &m_record, error);
    if (handle < 0) {
        logAudioError(kTag, error);
    }
    return handle;
}

bool Music::Stop() {
    if (m_stream == nullptr) {
        return false;
    }
    close();
    logPlain(kTag, "Unloaded: %s", m_path.c_str());
    return true;
}

bool Music::Pause() {
    AudioSystem* system = AudioSystem::current();
    return system != nullptr && system->setPaused(m_record.channel, true);
}

bool Music::Resume() {
    AudioSystem* system = AudioSystem::current();
    return system != nullptr && system->setPaused(m_record.channel, false);
}

bool Music::SetPosition(float seconds) {
    AudioSystem* system = AudioSystem::current();
    if (system == nullptr || m_record.channel == 0) {
        return false;
    }
    const float clamped = std::isnan(seconds) ? 0.0f : std::clamp(seconds, 0.0f, kMaxPositionSeconds);
    const AudioError error =
        system->setPositionMs(m_record.channel, static_cast<std::int64_t>(clamped * 1000.0));
    if (error != AudioError::None) {
        logAudioError(kTag, error);
        return false;
    }
    return true;
}

float Music::GetPosition() {
    AudioSystem* system = AudioSystem::current();
    if (system == nullptr || m_record.channel == 0) {
        return -1.0f;
    }
    return static_cast<float>(system->positionMs(m_record.channel)) * 0.001f;
}

std::int32_t Music::GetFrequency() {
    if (m_frequency > 0.0f) {
        return roundHalfUp(m_frequency);
    }
    return m_stream != nullptr ? roundHalfUp(m_fileFrequency) : roundHalfUp(m_frequency);
}

bool Music::SetFrequency(std::int32_t hz, std::int32_t durationMs) {
    if (hz == kFrequencyNotSet) {
        return true;
    }
    m_frequency = static_cast<float>(std::max(hz, 0));
    AudioSystem* system = AudioSystem::current();
    if (system == nullptr || m_stream == nullptr || m_record.channel == 0) {
        return true;
    }
    return slideFrequency(*system, m_record, m_frequency > 0.0f ? m_frequency : m_fileFrequency, durationMs);
}

std::int32_t Music::GetVolume() {
    return roundHalfUp(m_volume * 100.0f);
}

bool Music::SetVolume(std::int32_t percent, std::int32_t durationMs) {
    if (percent == kVolumeNotSet) {
        return true;
    }
    const float volume = static_cast<float>(percent) * 0.01f;
    // A negative volume fades the channel out and stops it; the next Play starts at the old volume.
    if (volume >= 0.0f) {
        m_volume = std::min(volume, 1.0f);
    }
    AudioSystem* system = AudioSystem::current();
    if (system == nullptr || m_stream == nullptr || m_record.channel == 0) {
        return true;
    }
    return slideVolume(*system, m_record, volume, durationMs);
}

std::int32_t Music::GetPan() {
    return roundHalfUp(m_pan * 100.0f);
}

bool Music::SetPan(std::int32_t percent, std::int32_t durationMs) {
    if (percent == kPanNotSet) {
        return true;
    }
    m_pan = std::clamp(static_cast<float>(percent) * 0.01f, -1.0f, 1.0f);
    AudioSystem* system = AudioSystem::current();
    if (system == nullptr || m_stream == nullptr || m_record.channel == 0) {
        return true;
    }
    return slidePan(*system, m_record, m_pan, durationMs);
}

bool Music::SetLoop(bool loop) {
    m_loop = loop;
    if (m_stream != nullptr) {
        m_stream->setLoop(loop);
    }
    return true;
}

bool Music::IsPlaying() {
    AudioSystem* system = AudioSystem::current();
    return system != nullptr && system->isPlaying(m_record.channel);
}

bool Music::IsPaused() {
    AudioSystem* system = AudioSystem::current();
    return system != nullptr && system->isPaused(m_record.channel);
}

bool Music::IsSliding() {
    AudioSystem* system = AudioSystem::current();
    return system != nullptr && m_record.channel != 0 && isSliding(*system, m_record);
}
