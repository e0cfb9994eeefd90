#include "audio/src/audio_stream.h"

#include <AL/al.h>

#include <algorithm>

#include "audio/src/audio_system.h"

AudioStream::~AudioStream() {
    close();
}

AudioError AudioStream::open(const char* path) {
    close();
    AudioSystem* system = AudioSystem::current();
    if (system == nullptr) {
        return AudioError::Uninitialized;
    }
    if (AudioError error = m_file.open(path); error != AudioError::None) {
        return error;
    }
    m_scratch.assign(static_cast<std::size_t>(kBufferFrames * m_file.channels()), 0);
    if (!system->createStreamBuffers(m_buffers.data(), kBufferCount)) {
        m_file.close();
        return AudioError::Library;
    }
    m_haveBuffers = true;
    m_queued = 0;
    m_decodePosition = 0;
    m_ended = false;
    return AudioError::None;
}

void AudioStream::close() {
    if (m_haveBuffers) {
        // Without a system the device is gone and its buffers with it.
        if (AudioSystem* system = AudioSystem::current()) {
            system->deleteStreamBuffers(m_buffers.data(), kBufferCount);
        }
        m_haveBuffers = false;
    }
    m_file.close();
    m_queued = 0;
    m_decodePosition = 0;
    m_ended = false;
}

void AudioStream::setLoop(bool loop) {
    m_loop = loop;
    if (loop) {
        m_ended = false;
    }
}

bool AudioStream::queueNext(std::uint32_t source, std::uint32_t buffer) {
    if (m_ended) {
        return false;
    }
    std::int64_t got = m_file.read(m_scratch.data(), kBufferFrames);
    if (got == 0 && m_loop && m_decodePosition > 0 && m_file.seek(0)) {
        m_decodePosition = 0;
        got = m_file.read(m_scratch.data(), kBufferFrames);
    }
    if (got == 0) {
        m_ended = true;
        return false;
    }
    const ALenum format = m_file.channels() == 2 ? AL_FORMAT_STEREO16 : AL_FORMAT_MONO16;
    alBufferData(
        buffer, format, m_scratch.data(),
        static_cast<ALsizei>(got * m_file.channels() * static_cast<std::int64_t>(sizeof(std::int16_t))),
        m_file.sampleRate());
    alSourceQueueBuffers(source, 1, &buffer);
    if (alGetError() != AL_NO_ERROR) {
        m_ended = true;
        return false;
    }
    m_queue[static_cast<std::size_t>(m_queued++)] = Queued{buffer, m_decodePosition, got};
    m_decodePosition += got;
    return true;
}

bool AudioStream::start(std::uint32_t source, std::int64_t frame) {
    detach(source);
    // A stopped source counts every queued buffer as played; an initial one plays them from the first.
    alSourceRewind(source);
    if (!m_haveBuffers || !m_file.seek(frame)) {
        return false;
    }
    m_decodePosition = frame;
    m_ended = false;
    for (std::uint32_t buffer : m_buffers) {
        if (!queueNext(source, buffer)) {
            break;
        }
    }
    return m_queued > 0;
}

int AudioStream::service(std::uint32_t source) {
    if (!m_haveBuffers) {
        return 0;
    }
    ALint processed = 0;
    alGetSourcei(source, AL_BUFFERS_PROCESSED, &processed);
    processed = std::min(processed, static_cast<ALint>(m_queued));
    std::array<std::uint32_t, kBufferCount> freed{};
    int freedCount = 0;
    for (ALint i = 0; i < processed; ++i) {
        ALuint buffer = 0;
        alSourceUnqueueBuffers(source, 1, &buffer);
        freed[static_cast<std::size_t>(freedCount++)] = m_queue[0].buffer;
        std::copy(m_queue.begin() + 1, m_queue.begin() + m_queued, m_queue.begin());
        --m_queued;
    }
    // Buffers left unqueued because the file ended earlier are free too, once a loop makes more data.
    for (std::uint32_t buffer : m_buffers) {
        const bool queued = std::any_of(m_queue.begin(), m_queue.begin() + m_queued,
                                        [buffer](const Queued& q) { return q.buffer == buffer; });
        const bool justFreed =
            std::find(freed.begin(), freed.begin() + freedCount, buffer) != freed.begin() + freedCount;
        if (!queued && !justFreed) {
            freed[static_cast<std::size_t>(freedCount++)] = buffer;
        }
    }
    for (int i = 0; i < freedCount; ++i) {
        if (!queueNext(source, freed[static_cast<std::size_t>(i)])) {
            break;
        }
    }
    return m_queued;
}

std::int64_t AudioStream::positionFrames(std::uint32_t source) const {
    ALint offset = 0;
    alGetSourcei(source, AL_SAMPLE_OFFSET, &offset);
    std::int64_t rest = std::max<ALint>(offset, 0);
    for (int i = 0; i < m_queued; ++i) {
        const Queued& q = m_queue[static_cast<std::size_t>(i)];
        if (rest < q.frames) {
            return q.start + rest;
        }
        rest -= q.frames;
    }
    return m_decodePosition;
}

void AudioStream::detach(std::uint32_t source) {
    alSourceStop(source);
    alSourcei(source, AL_BUFFER, 0);
    m_queued = 0;
}
