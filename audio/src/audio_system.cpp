#include "audio/src/audio_system.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "audio/src/audio_stream.h"
#include "audio/src/channel_slides.h"

namespace {

AudioSystem* g_current = nullptr;

// OpenAL's stereo angles are counter-clockwise from straight ahead: the left channel sits at +30°.
constexpr float kStereoHalfAngle = std::numbers::pi_v<float> / 6.0f;
constexpr float kQuarterTurn = std::numbers::pi_v<float> / 2.0f;

void resetSource(ALuint source) {
    alSourceStop(source);
    alSourcei(source, AL_BUFFER, 0);
    alSourcei(source, AL_LOOPING, AL_FALSE);
    alSourcef(source, AL_GAIN, 1.0f);
    alSourcef(source, AL_PITCH, 1.0f);
    alSourceRewind(source);
}

} // namespace

AudioSystem* AudioSystem::current() {
    return g_current;
}

AudioError AudioSystem::start(int loopbackRate, std::unique_ptr<AudioSystem>& system) {
    system.reset();
    if (g_current != nullptr) {
        return AudioError::Device;
    }
    std::unique_ptr<AudioSystem> made(new (std::nothrow) AudioSystem());
    if (!made) {
        return AudioError::Memory;
    }
    std::vector<ALCint> attributes;
    if (loopbackRate > 0) {
        auto openLoopback = reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(
            alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
        if (openLoopback == nullptr) {
            return AudioError::NoDevice;
        }
        made->m_device = openLoopback(nullptr);
        made->m_loopback = true;
        // Rendered samples are compared exactly: no head-related filters, no limiter.
        attributes = {ALC_FORMAT_CHANNELS_SOFT,
                      ALC_STEREO_SOFT,
                      ALC_FORMAT_TYPE_SOFT,
                      ALC_FLOAT_SOFT,
                      ALC_FREQUENCY,
                      loopbackRate,
                      ALC_HRTF_SOFT,
                      ALC_FALSE,
                      ALC_OUTPUT_LIMITER_SOFT,
                      ALC_FALSE};
    } else {
        made->m_device = alcOpenDevice(nullptr);
    }
    if (made->m_device == nullptr) {
        return AudioError::NoDevice;
    }
    attributes.insert(attributes.end(),
                      {ALC_MONO_SOURCES, kChannelCount, ALC_STEREO_SOURCES, kChannelCount, 0});
    made->m_context = alcCreateContext(made->m_device, attributes.data());
    if (made->m_context == nullptr || alcMakeContextCurrent(made->m_context) != ALC_TRUE) {
        return AudioError::Device; // the destructor closes what was opened
    }
    alGetError();
    for (Channel& channel : made->m_channels) {
        ALuint source = 0;
        alGenSources(1, &source);
        if (alGetError() != AL_NO_ERROR) {
            return AudioError::Device;
        }
        channel.source = source;
        // Sources sit around the listener at distance 1, with no distance attenuation: only pan moves them.
        alSourcei(source, AL_SOURCE_RELATIVE, AL_TRUE);
        alSourcef(source, AL_ROLLOFF_FACTOR, 0.0f);
        made->applyPan(channel);
    }
    alListenerf(AL_GAIN, 1.0f);
    g_current = made.get();
    system = std::move(made);
    return AudioError::None;
}

AudioSystem::~AudioSystem() {
    if (g_current == this) {
        stopAll();
        // A client may remove itself while it lets go: work on a copy.
        std::vector<AudioClient*> clients;
        clients.swap(m_clients);
        for (AudioClient* client : clients) {
            client->releaseAudio();
        }
        for (Channel& channel : m_channels) {
            if (channel.source != 0) {
                alDeleteSources(1, &channel.source);
                channel.source = 0;
            }
        }
        g_current = nullptr;
    }
    if (m_context != nullptr) {
        alcMakeContextCurrent(nullptr);
        alcDestroyContext(m_context);
    }
    if (m_device != nullptr) {
        alcCloseDevice(m_device);
    }
}

const char* AudioSystem::deviceName() const {
    const ALCchar* name = alcGetString(m_device, ALC_DEVICE_SPECIFIER);
    return name != nullptr ? name : "";
}

bool AudioSystem::render(float* out, int frames) {
    static const auto renderSamples =
        reinterpret_cast<LPALCRENDERSAMPLESSOFT>(alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
    if (!m_loopback || renderSamples == nullptr || out == nullptr || frames <= 0) {
        return false;
    }
    renderSamples(m_device, out, frames);
    return true;
}

void AudioSystem::addClient(AudioClient* client) {
    if (std::find(m_clients.begin(), m_clients.end(), client) == m_clients.end()) {
        m_clients.push_back(client);
    }
}

void AudioSystem::removeClient(AudioClient* client) {
    m_clients.erase(std::remove(m_clients.begin(), m_clients.end(), client), m_clients.end());
}

std::uint32_t AudioSystem::createBuffer(const std::int16_t* samples, std::size_t count, int channels,
                                        int rate, AudioError& error) {
    const std::size_t bytes = count * sizeof(std::int16_t);
    if (samples == nullptr || count == 0 ||
        bytes > static_cast<std::size_t>(std::numeric_limits<ALsizei>::max())) {
        error = AudioError::Memory;
        return 0;
    }
    alGetError();
    ALuint buffer = 0;
    alGenBuffers(1, &buffer);
    if (alGetError() != AL_NO_ERROR) {
        error = AudioError::Library;
        return 0;
    }
    alBufferData(buffer, channels == 2 ? AL_FORMAT_STEREO16 : AL_FORMAT_MONO16, samples,
                 static_cast<ALsizei>(bytes), rate);
    if (ALenum failure = alGetError(); failure != AL_NO_ERROR) {
        alDeleteBuffers(1, &buffer);
        error = failure == AL_OUT_OF_MEMORY ? AudioError::Memory : AudioError::Library;
        return 0;
    }
    error = AudioError::None;
    return buffer;
}

void AudioSystem::deleteBuffer(std::uint32_t buffer) {
    if (buffer != 0) {
        ALuint name = buffer;
        alDeleteBuffers(1, &name);
    }
}

bool AudioSystem::createStreamBuffers(std::uint32_t* buffers, int count) {
    alGetError();
    alGenBuffers(count, buffers);
    return alGetError() == AL_NO_ERROR;
}

void AudioSystem::deleteStreamBuffers(const std::uint32_t* buffers, int count) {
    alDeleteBuffers(count, buffers);
}

void AudioSystem::setMasterVolume(float volume) {
    m_masterVolume = std::clamp(volume, 0.0f, 1.0f);
    alListenerf(AL_GAIN, m_masterVolume);
}

void AudioSystem::setMasterPaused(bool paused) {
    if (paused == m_masterPaused) {
        return;
    }
    m_masterPaused = paused;
    for (const Channel& channel : m_channels) {
        if (channel.handle == 0) {
            continue;
        }
        if (paused) {
            alSourcePause(channel.source);
        } else {
            resumeSource(channel);
        }
    }
}

void AudioSystem::stopAll() {
    for (Channel& channel : m_channels) {
        if (channel.handle != 0) {
            end(channel);
        }
    }
}

AudioSystem::Channel* AudioSystem::find(std::int32_t handle) {
    if (handle <= 0) {
        return nullptr;
    }
    for (Channel& channel : m_channels) {
        if (channel.handle == handle) {
            return &channel;
        }
    }
    return nullptr;
}

const AudioSystem::Channel* AudioSystem::find(std::int32_t handle) const {
    return const_cast<AudioSystem*>(this)->find(handle);
}

std::int32_t AudioSystem::nextHandle() {
    for (;;) {
        m_lastHandle = m_lastHandle == std::numeric_limits<std::int32_t>::max() ? 1 : m_lastHandle + 1;
        if (find(m_lastHandle) == nullptr) {
            return m_lastHandle;
        }
    }
}

void AudioSystem::applyPan(const Channel& channel) {
    if (channel.channels == 2) {
        // Both channels of a stereo source turn together, each held inside the front half.
        const float shift = -channel.pan * kQuarterTurn;
        const ALfloat angles[2] = {std::clamp(kStereoHalfAngle + shift, -kQuarterTurn, kQuarterTurn),
                                   std::clamp(-kStereoHalfAngle + shift, -kQuarterTurn, kQuarterTurn)};
        alSourcefv(channel.source, AL_STEREO_ANGLES, angles);
    } else {
        // A mono source moves on the unit circle in front of the listener: -1 left, 0 ahead, 1 right.
        alSource3f(channel.source, AL_POSITION, channel.pan, 0.0f,
                   -std::sqrt(std::max(0.0f, 1.0f - channel.pan * channel.pan)));
    }
}

void AudioSystem::resumeSource(const Channel& channel) {
    if (channel.paused || m_masterPaused) {
        return;
    }
    ALint state = AL_STOPPED;
    alGetSourcei(channel.source, AL_SOURCE_STATE, &state);
    // A stopped source would start again from the beginning; its end is update's business.
    if (state == AL_PAUSED || state == AL_INITIAL) {
        alSourcePlay(channel.source);
    }
}

std::int32_t AudioSystem::play(const PlayRequest& request, ChannelControl* record, AudioError& error) {
    Channel* channel = nullptr;
    for (Channel& candidate : m_channels) {
        if (candidate.handle == 0) {
            channel = &candidate;
            break;
        }
    }
    if (channel == nullptr) {
        error = AudioError::ChannelsInUse;
        return -1;
    }
    if (request.buffer == 0 && request.stream == nullptr) {
        error = AudioError::Uninitialized;
        return -1;
    }
    alGetError();
    resetSource(channel->source);
    if (request.stream != nullptr) {
        if (!request.stream->start(channel->source, 0)) {
            request.stream->detach(channel->source);
            error = AudioError::Format;
            return -1;
        }
    } else {
        alSourcei(channel->source, AL_BUFFER, static_cast<ALint>(request.buffer));
        alSourcei(channel->source, AL_LOOPING, request.loop ? AL_TRUE : AL_FALSE);
    }
    if (alGetError() != AL_NO_ERROR) {
        resetSource(channel->source);
        error = AudioError::Library;
        return -1;
    }
    channel->handle = nextHandle();
    channel->stream = request.stream;
    channel->channels = request.channels;
    channel->baseRate = request.baseRate > 0.0f ? request.baseRate : 1.0f;
    channel->paused = false;
    channel->record = record;
    setVolume(channel->handle, request.volume);
    setFrequency(channel->handle, request.frequency);
    setPan(channel->handle, request.pan);
    if (record != nullptr) {
        *record = ChannelControl{};
        record->channel = channel->handle;
    }
    resumeSource(*channel);
    error = AudioError::None;
    return channel->handle;
}

bool AudioSystem::isPlaying(std::int32_t handle) const {
    return find(handle) != nullptr;
}

bool AudioSystem::isPaused(std::int32_t handle) const {
    const Channel* channel = find(handle);
    return channel != nullptr && channel->paused;
}

bool AudioSystem::isRunning(std::int32_t handle) const {
    const Channel* channel = find(handle);
    return channel != nullptr && !channel->paused && !m_masterPaused;
}

bool AudioSystem::setPaused(std::int32_t handle, bool paused) {
    Channel* channel = find(handle);
    if (channel == nullptr) {
        return false;
    }
    channel->paused = paused;
    if (paused) {
        alSourcePause(channel->source);
    } else {
        resumeSource(*channel);
    }
    return true;
}

bool AudioSystem::stop(std::int32_t handle) {
    Channel* channel = find(handle);
    if (channel == nullptr) {
        return false;
    }
    end(*channel);
    return true;
}

void AudioSystem::detach(std::int32_t handle) {
    if (Channel* channel = find(handle)) {
        channel->record = nullptr;
    }
}

void AudioSystem::end(Channel& channel) {
    if (channel.record != nullptr) {
        *channel.record = ChannelControl{};
        channel.record = nullptr;
    }
    if (channel.stream != nullptr) {
        channel.stream->detach(channel.source);
        channel.stream = nullptr;
    }
    resetSource(channel.source);
    channel.handle = 0;
    channel.paused = false;
}

float AudioSystem::volume(std::int32_t handle) const {
    const Channel* channel = find(handle);
    return channel != nullptr ? channel->volume : 0.0f;
}

bool AudioSystem::setVolume(std::int32_t handle, float volume) {
    Channel* channel = find(handle);
    if (channel == nullptr) {
        return false;
    }
    channel->volume = std::isfinite(volume) ? std::clamp(volume, 0.0f, 1.0f) : 0.0f;
    alSourcef(channel->source, AL_GAIN, channel->volume);
    return true;
}

float AudioSystem::frequency(std::int32_t handle) const {
    const Channel* channel = find(handle);
    return channel != nullptr ? channel->frequency : 0.0f;
}

bool AudioSystem::setFrequency(std::int32_t handle, float hz) {
    Channel* channel = find(handle);
    if (channel == nullptr) {
        return false;
    }
    channel->frequency = std::isfinite(hz) ? std::max(hz, 0.0f) : 0.0f;
    alSourcef(channel->source, AL_PITCH, channel->frequency / channel->baseRate);
    return true;
}

float AudioSystem::pan(std::int32_t handle) const {
    const Channel* channel = find(handle);
    return channel != nullptr ? channel->pan : 0.0f;
}

bool AudioSystem::setPan(std::int32_t handle, float pan) {
    Channel* channel = find(handle);
    if (channel == nullptr) {
        return false;
    }
    channel->pan = std::isfinite(pan) ? std::clamp(pan, -1.0f, 1.0f) : 0.0f;
    applyPan(*channel);
    return true;
}

bool AudioSystem::setLoop(std::int32_t handle, bool loop) {
    Channel* channel = find(handle);
    if (channel == nullptr) {
        return false;
    }
    if (channel->stream != nullptr) {
        channel->stream->setLoop(loop);
    } else {
        alSourcei(channel->source, AL_LOOPING, loop ? AL_TRUE : AL_FALSE);
    }
    return true;
}

std::int64_t AudioSystem::positionMs(std::int32_t handle) const {
    const Channel* channel = find(handle);
    if (channel == nullptr) {
        return -1;
    }
    ALint rate = 0;
    std::int64_t frame = 0;
    if (channel->stream != nullptr) {
        frame = channel->stream->positionFrames(channel->source);
        rate = channel->stream->sampleRate();
    } else {
        ALint offset = 0;
        ALint buffer = 0;
        alGetSourcei(channel->source, AL_SAMPLE_OFFSET, &offset);
        alGetSourcei(channel->source, AL_BUFFER, &buffer);
        alGetBufferi(static_cast<ALuint>(buffer), AL_FREQUENCY, &rate);
        frame = offset;
    }
    return rate > 0 ? frame * 1000 / rate : 0;
}

AudioError AudioSystem::setPositionMs(std::int32_t handle, std::int64_t ms) {
    Channel* channel = find(handle);
    if (channel == nullptr) {
        return AudioError::InvalidHandle;
    }
    ms = std::max<std::int64_t>(ms, 0);
    if (channel->stream != nullptr) {
        AudioStream& stream = *channel->stream;
        const std::int64_t frame = ms * stream.sampleRate() / 1000;
        const std::int64_t length = stream.lengthFrames();
        if (length > 0 && frame >= length && frame > 0) {
            return AudioError::InvalidPosition;
        }
        if (!stream.start(channel->source, frame)) {
            return AudioError::InvalidPosition;
        }
        // Restarted sources begin in the initial state: run it unless the channel is held.
        resumeSource(*channel);
        return AudioError::None;
    }
    ALint buffer = 0;
    ALint rate = 0;
    ALint bytes = 0;
    ALint channels = 1;
    alGetSourcei(channel->source, AL_BUFFER, &buffer);
    alGetBufferi(static_cast<ALuint>(buffer), AL_FREQUENCY, &rate);
    alGetBufferi(static_cast<ALuint>(buffer), AL_SIZE, &bytes);
    alGetBufferi(static_cast<ALuint>(buffer), AL_CHANNELS, &channels);
    const std::int64_t length = channels > 0 ? bytes / (2 * channels) : 0;
    const std::int64_t frame = ms * rate / 1000;
    if (frame >= length && frame > 0) {
        return AudioError::InvalidPosition;
    }
    alSourcei(channel->source, AL_SAMPLE_OFFSET, static_cast<ALint>(frame));
    return AudioError::None;
}

void AudioSystem::update(float elapsedMs) {
    for (Channel& channel : m_channels) {
        if (channel.handle == 0) {
            continue;
        }
        int queued = 0;
        if (channel.stream != nullptr) {
            queued = channel.stream->service(channel.source);
        }
        ALint state = AL_STOPPED;
        alGetSourcei(channel.source, AL_SOURCE_STATE, &state);
        if (state != AL_STOPPED) {
            continue;
        }
        if (queued > 0) {
            // The stream ran dry before this update refilled it: carry on with the new data.
            alSourceRewind(channel.source);
            resumeSource(channel);
        } else {
            end(channel);
        }
    }
    for (Channel& channel : m_channels) {
        if (channel.handle != 0 && channel.record != nullptr) {
            advanceSlides(*this, *channel.record, elapsedMs);
        }
    }
}
