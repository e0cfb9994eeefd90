#include "audio/sound_driver.h"

#include <cmath>

#include "audio/audio_errors.h"
#include "audio/music.h"
#include "audio/sound.h"
#include "audio/src/audio_system.h"
#include "platform/kd.h"

namespace {

constexpr char kTag[] = "SoundDriver";

std::uint32_t clockMs() {
    return static_cast<std::uint32_t>(kdGetTimeUST() / 1'000'000);
}

template <class T> ComponentRef<ISound> makeSound() {
    T* sound = new (std::nothrow) T();
    return sound != nullptr ? ComponentRef<ISound>::adopt(sound) : nullptr;
}

} // namespace

const MethodTable& SoundDriver::scriptMethods() {
    static const MethodTable table{
        scriptMethod<SoundDriver>("Start", &SoundDriver::Start),
        scriptMethod<SoundDriver>("Stop", &SoundDriver::Stop),
        scriptMethod<SoundDriver>("Pause", &SoundDriver::Pause),
        scriptMethod<SoundDriver>("GetVolume", &SoundDriver::GetVolume),
        scriptMethod<SoundDriver>("SetVolume", &SoundDriver::SetVolume),
    };
    return table;
}

SoundDriver::SoundDriver() : m_lastUpdate(clockMs()) {}

SoundDriver::~SoundDriver() {
    Shutdown();
}

bool SoundDriver::start(std::int32_t loopbackRate) {
    if (m_system != nullptr) {
        return true;
    }
    if (AudioError error = AudioSystem::start(loopbackRate, m_system); error != AudioError::None) {
        logAudioError(kTag, error);
        m_system.reset();
        return false;
    }
    logPlain(kTag, "Device: %s", m_system->deviceName());
    m_lastUpdate = clockMs();
    return true;
}

bool SoundDriver::Init(KDWindow*) {
    return start(0);
}

bool SoundDriver::InitLoopback(std::int32_t sampleRate) {
    if (sampleRate <= 0) {
        logAudioError(kTag, AudioError::NoDevice);
        return false;
    }
    return start(sampleRate);
}

bool SoundDriver::RenderSamples(float* out, std::int32_t frames) {
    return m_system != nullptr && m_system->render(out, frames);
}

ComponentRef<ISound> SoundDriver::CreateSound() {
    return makeSound<Sound>();
}

ComponentRef<ISound> SoundDriver::CreateMusic() {
    return makeSound<Music>();
}

bool SoundDriver::Start() {
    if (m_system == nullptr) {
        logAudioError(kTag, AudioError::Uninitialized);
        return false;
    }
    m_system->setMasterPaused(false);
    return true;
}

bool SoundDriver::Stop() {
    if (m_system == nullptr) {
        logAudioError(kTag, AudioError::Uninitialized);
        return false;
    }
    m_system->stopAll();
    return true;
}

bool SoundDriver::Pause() {
    if (m_system == nullptr) {
        logAudioError(kTag, AudioError::Uninitialized);
        return false;
    }
    m_system->setMasterPaused(true);
    return true;
}

std::int32_t SoundDriver::GetVolume() {
    if (m_system == nullptr) {
        logAudioError(kTag, AudioError::Uninitialized);
        return -1;
    }
    return static_cast<std::int32_t>(std::floor(m_system->masterVolume() * 100.0f + 0.5f));
}

bool SoundDriver::SetVolume(std::int32_t percent) {
    if (m_system == nullptr) {
        logAudioError(kTag, AudioError::Uninitialized);
        return false;
    }
    m_system->setMasterVolume(static_cast<float>(percent) * 0.01f);
    return true;
}

void SoundDriver::Update(std::int32_t, std::int32_t) {
    updateAt(clockMs());
}

void SoundDriver::updateAt(std::uint32_t nowMs) {
    const std::uint32_t elapsed = nowMs - m_lastUpdate; // wraps with the 32-bit clock
    m_lastUpdate = nowMs;
    if (m_system != nullptr) {
        m_system->update(static_cast<float>(elapsed));
    }
}

void SoundDriver::Shutdown() {
    m_system.reset();
}
