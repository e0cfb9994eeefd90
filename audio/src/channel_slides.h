#pragma once
// Timed linear slides of a channel's volume, frequency and pan, kept in its ChannelControl record and
// advanced by the audio system's update. Values are in the channel's units: volume 0 ... 1, frequency in Hz,
// pan -1 ... 1. A duration of 0 or less sets the value at once.
//
// Volume: a slide ends at min(target, 1) going up and at max(target, 0) going down; a negative target fades
// to silence and then stops the channel (at once with no duration). Frequency and pan end at their target.
// Nothing moves while the channel is paused.

#include <cmath>
#include <cstdint>

class AudioSystem;
struct ChannelControl;

bool slideVolume(AudioSystem& system, ChannelControl& record, float volume, std::int32_t durationMs);
bool slideFrequency(AudioSystem& system, ChannelControl& record, float hz, std::int32_t durationMs);
bool slidePan(AudioSystem& system, ChannelControl& record, float pan, std::int32_t durationMs);
// One step of `elapsedMs`; may end the channel (which zeroes the record).
void advanceSlides(AudioSystem& system, ChannelControl& record, float elapsedMs);
// Whether the channel runs and any slide is under way.
bool isSliding(const AudioSystem& system, const ChannelControl& record);

// What the sounds' setters take for "not set" (they change nothing then).
constexpr std::int32_t kVolumeNotSet = -1;
constexpr std::int32_t kPanNotSet = -101;
constexpr std::int32_t kFrequencyNotSet = -1;

// A channel value as the whole number the sounds report (percent or Hz), halves rounded up.
inline std::int32_t roundHalfUp(float value) {
    return static_cast<std::int32_t>(std::floor(value + 0.5f));
}
