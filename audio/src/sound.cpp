#include "audio/sound.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "audio/audio_errors.h"
#include "audio/src/audio_system.h"
#include "audio/src/channel_slides.h"
#include "audio/src/sound_file.h"
#include "platform/kd.h"

namespace {

constexpr char kTag[] = "Sound";

} // namespace

const MethodTable& Sound::scriptMethods() {
    static const MethodTable table{
        scriptMethod<Sound>("Play", &Sound::Play),
        scriptMethod<Sound>("Stop", &Sound::Stop),
        scriptMethod<Sound>("StopChannel", &Sound::StopChannel),
        scriptMethod<Sound>("Pause", &Sound::Pause),
        scriptMethod<Sound>("Resume", &Sound::Resume),
        scriptMethod<Sound>("SetVolume", &Sound::SetVolume),
        scriptMethod<Sound>("SetChannelVolume", &Sound::SetChannelVolume),
        scriptMethod<Sound>("SetChannelPan", &Sound::SetChannelPan),
        scriptMethod<Sound>("SetLoop", &Sound::SetLoop),
        scriptMethod<Sound>("IsActive", &Sound::IsPlaying),
        scriptMethod<Sound>("IsPaused", &Sound::IsPaused),
        scriptMethod<Sound>("IsSliding", &Sound::IsSliding),
    };
    return table;
}

Sound::~Sound() {
    unload();
}

void Sound::unload() {
    AudioSystem* system = AudioSystem::current();
    if (system != nullptr) {
        // Detach first: ending the channel must not write into records that are going away.
        for (ChannelControl& record : m_records) {
            if (record.channel != 0) {
                const std::int32_t channel = record.channel;
                system->detach(channel);
                system->stop(channel);
            }
        }
        system->deleteBuffer(m_buffer);
        system->removeClient(this);
    }
    m_records.fill(ChannelControl{});
    m_buffer = 0;
}

void Sound::releaseAudio() {
    unload();
}

bool Sound::LoadFromFile(const char* path) {
    unload();
    m_path = path != nullptr ? path : "";
    AudioSystem* system = AudioSystem::current();
    if (system == nullptr) {
        logAudioError(kTag, AudioError::Uninitialized);
        return false;
    }
    SoundFile file;
    std::vector<std::int16_t> samples;
    AudioError error = file.open(path);
    if (error == AudioError::None) {
        error = file.readAll(samples);
    }
    if (error == AudioError::None) {
        m_buffer =
            system->createBuffer(samples.data(), samples.size(), file.channels(), file.sampleRate(), error);
    }
    if (error != AudioError::None) {
        logAudioError(kTag, error);
        return false;
    }
    system->addClient(this);
    m_fileChannels = file.channels();
    m_fileFrequency = static_cast<float>(file.sampleRate());
    m_frequency = m_fileFrequency;
    m_volume = 1.0f;
    m_pan = 0.0f;
    logPlain(kTag, "Loaded: %s", m_path.c_str());
    return true;
}

ChannelControl* Sound::record(std::int32_t handle) {
    if (handle <= 0) {
        return nullptr;
    }
    for (ChannelControl& record : m_records) {
        if (record.channel == handle) {
            return &record;
        }
    }
    return nullptr;
}

int Sound::activeChannels() const {
    return static_cast<int>(std::count_if(m_records.begin(), m_records.end(),
                                          [](const ChannelControl& r) { return r.channel != 0; }));
}

std::int32_t Sound::Play(bool restart) {
    if (!restart && IsPaused()) {
        Resume();
        for (const ChannelControl& record : m_records) {
            if (record.channel != 0) {
                return record.channel;
            }
        }
        return -1;
    }
    auto free = std::find_if(m_records.begin(), m_records.end(),
                             [](const ChannelControl& r) { return r.channel == 0; });
    if (free == m_records.end()) {
        return -1;
    }
    AudioSystem* system = AudioSystem::current();
    if (system == nullptr || !isLoaded()) {
        logAudioError(kTag, AudioError::Uninitialized);
        return -1;
    }
    PlayRequest request;
    request.buffer = m_buffer;
    request.channels = m_fileChannels;
    request.baseRate = m_fileFrequency;
    request.frequency = m_frequency;
    request.volume = m_volume;
    request.pan = m_pan;
    request.loop = m_loop;
    AudioError error = AudioError::None;
    const std::int32_t handle = system->play(request, &*free, error);
    if (handle < 0) {
        logAudioError(kTag, error);
    }
    return handle;
}

bool Sound::Stop() {
    if (AudioSystem* system = AudioSystem::current()) {
        for (ChannelControl& record : m_records) {
            if (record.channel != 0) {
                system->stop(record.channel); // zeroes the record
            }
        }
    }
    return true;
}

bool Sound::StopChannel(std::int32_t handle) {
    ChannelControl* found = record(handle);
    AudioSystem* system = AudioSystem::current();
    return found != nullptr && system != nullptr && system->stop(handle);
}

bool Sound::Pause() {
    if (AudioSystem* system = AudioSystem::current()) {
        for (const ChannelControl& record : m_records) {
            system->setPaused(record.channel, true);
        }
    }
    return true;
}

bool Sound::Resume() {
    if (AudioSystem* system = AudioSystem::current()) {
        for (const ChannelControl& record : m_records) {
            system->setPaused(record.channel, false);
        }
    }
    return true;
}

std::int32_t Sound::GetFrequency() {
    return isLoaded() ? roundHalfUp(m_frequency) : -1;
}

bool Sound::SetFrequency(std::int32_t hz, std::int32_t durationMs) {
    if (hz == kFrequencyNotSet) {
        return true;
    }
    m_frequency = hz == 0 ? m_fileFrequency : static_cast<float>(hz);
    AudioSystem* system = AudioSystem::current();
    if (system == nullptr) {
        return true;
    }
    for (ChannelControl& record : m_records) {
        if (record.channel != 0) {
            slideFrequency(*system, record, m_frequency, durationMs);
        }
    }
    return true;
}

std::int32_t Sound::GetVolume() {
    return isLoaded() ? roundHalfUp(m_volume * 100.0f) : -1;
}

bool Sound::SetVolume(std::int32_t percent, std::int32_t durationMs) {
    if (percent == kVolumeNotSet) {
        return true;
    }
    const float volume = static_cast<float>(percent) * 0.01f;
    // A negative volume means "fade out and stop" for the channels; new channels keep the old default.
    if (volume >= 0.0f) {
        m_volume = std::min(volume, 1.0f);
    }
    AudioSystem* system = AudioSystem::current();
    if (system == nullptr) {
        return true;
    }
    for (ChannelControl& record : m_records) {
        if (record.channel != 0) {
            slideVolume(*system, record, volume, durationMs);
        }
    }
    return true;
}

std::int32_t Sound::GetPan() {
    return isLoaded() ? roundHalfUp(m_pan * 100.0f) : -1;
}

bool Sound::SetPan(std::int32_t percent, std::int32_t durationMs) {
    if (percent == kPanNotSet) {
        return true;
    }
    m_pan = std::clamp(static_cast<float>(percent) * 0.01f, -1.0f, 1.0f);
    AudioSystem* system = AudioSystem::current();
    if (system == nullptr) {
        return true;
    }
    for (ChannelControl& record : m_records) {
        if (record.channel != 0) {
            slidePan(*system, record, m_pan, durationMs);
        }
    }
    return true;
}

bool Sound::SetChannelVolume(std::int32_t handle, std::int32_t percent, std::int32_t durationMs) {
    const float volume = static_cast<float>(percent) * 0.01f;
    if (volume >= 0.0f) {
        m_volume = std::min(volume, 1.0f);
    }
    ChannelControl* found = record(handle);
    AudioSystem* system = AudioSystem::current();
    return found != nullptr && system != nullptr && slideVolume(*system, *found, volume, durationMs);
}

bool Sound::SetChannelPan(std::int32_t handle, std::int32_t percent, std::int32_t durationMs) {
    if (percent == kPanNotSet) {
        return true;
    }
    m_pan = std::clamp(static_cast<float>(percent) * 0.01f, -1.0f, 1.0f);
    ChannelControl* found = record(handle);
    AudioSystem* system = AudioSystem::current();
    return found != nullptr && system != nullptr && slidePan(*system, *found, m_pan, durationMs);
}

bool Sound::SetLoop(bool loop) {
    m_loop = loop;
    if (AudioSystem* system = AudioSystem::current()) {
        for (const ChannelControl& record : m_records) {
            system->setLoop(record.channel, loop);
        }
    }
    return true;
}

bool Sound::IsPlaying() {
    AudioSystem* system = AudioSystem::current();
    return system != nullptr &&
           std::any_of(m_records.begin(), m_records.end(),
                       [system](const ChannelControl& r) { return system->isPlaying(r.channel); });
}

bool Sound::IsPaused() {
    AudioSystem* system = AudioSystem::current();
    if (system == nullptr) {
        return false;
    }
    bool any = false;
    for (const ChannelControl& record : m_records) {
        if (record.channel == 0) {
            continue;
        }
        if (!system->isPaused(record.channel)) {
            return false;
        }
        any = true;
    }
    return any;
}

bool Sound::IsSliding() {
    AudioSystem* system = AudioSystem::current();
    return system != nullptr &&
           std::any_of(m_records.begin(), m_records.end(),
                       [system](const ChannelControl& r) { return r.channel != 0 && isSliding(*system, r); });
}
