#include "audio/src/channel_slides.h"

#include <algorithm>

#include "audio/channel_control.h"
#include "audio/src/audio_system.h"

bool slideVolume(AudioSystem& system, ChannelControl& record, float volume, std::int32_t durationMs) {
    const std::int32_t channel = record.channel;
    if (!system.isPlaying(channel)) {
        return false;
    }
    if (durationMs > 0) {
        record.targetVolume = volume;
        record.volumeRate =
            (std::max(volume, 0.0f) - system.volume(channel)) / static_cast<float>(durationMs);
        return true;
    }
    if (volume < 0.0f) {
        return system.stop(channel);
    }
    record.volumeRate = 0.0f;
    return system.setVolume(channel, volume);
}

bool slideFrequency(AudioSystem& system, ChannelControl& record, float hz, std::int32_t durationMs) {
    const std::int32_t channel = record.channel;
    if (!system.isPlaying(channel)) {
        return false;
    }
    if (durationMs > 0) {
        record.targetFrequency = std::max(hz, 0.0f);
        record.frequencyRate =
            (record.targetFrequency - system.frequency(channel)) / static_cast<float>(durationMs);
        return true;
    }
    record.frequencyRate = 0.0f;
    return system.setFrequency(channel, hz);
}

bool slidePan(AudioSystem& system, ChannelControl& record, float pan, std::int32_t durationMs) {
    const std::int32_t channel = record.channel;
    if (!system.isPlaying(channel)) {
        return false;
    }
    if (durationMs > 0) {
        // The channel's pan stops at the sides, so a target beyond them would never be reached.
        record.targetPan = std::clamp(pan, -1.0f, 1.0f);
        record.panRate = (record.targetPan - system.pan(channel)) / static_cast<float>(durationMs);
        return true;
    }
    record.panRate = 0.0f;
    return system.setPan(channel, pan);
}

namespace {

// current + elapsed × rate, held at the target once it is passed (which ends the slide).
float stepTowards(float current, float target, float& rate, float elapsedMs) {
    const float value = current + elapsedMs * rate;
    if ((rate > 0.0f && value >= target) || (rate < 0.0f && value <= target)) {
        rate = 0.0f;
        return target;
    }
    return value;
}

} // namespace

void advanceSlides(AudioSystem& system, ChannelControl& record, float elapsedMs) {
    const std::int32_t channel = record.channel;
    if (!system.isRunning(channel)) {
        return;
    }
    if (record.volumeRate != 0.0f) {
        const float rate = record.volumeRate;
        float volume = system.volume(channel) + elapsedMs * rate;
        const bool done = rate > 0.0f ? volume >= std::min(record.targetVolume, 1.0f)
                                      : volume <= std::max(record.targetVolume, 0.0f);
        if (done) {
            if (record.targetVolume < 0.0f) {
                system.stop(channel); // zeroes the record
                return;
            }
            volume = record.targetVolume;
            record.volumeRate = 0.0f;
        }
        system.setVolume(channel, volume);
    }
    if (record.frequencyRate != 0.0f) {
        system.setFrequency(channel, stepTowards(system.frequency(channel), record.targetFrequency,
                                                 record.frequencyRate, elapsedMs));
    }
    if (record.panRate != 0.0f) {
        system.setPan(channel, stepTowards(system.pan(channel), record.targetPan, record.panRate, elapsedMs));
    }
}

bool isSliding(const AudioSystem& system, const ChannelControl& record) {
    return system.isRunning(record.channel) &&
           (record.volumeRate != 0.0f || record.frequencyRate != 0.0f || record.panRate != 0.0f);
}
