#pragma once
// `ChannelControl`: the slide record of one playing channel. A `Sound` keeps eight, a `Music` one. While its
// channel plays, the sound driver points at the record; when the channel ends (it played out, was stopped, or
// a fade to a negative volume finished) the driver zeroes the whole record, so `channel` == 0 means "free".
// A sound that goes away first detaches its records, so the driver never writes to a destroyed one.

#include <cstdint>

struct ChannelControl {
    float targetVolume = 0.0f;
    float volumeRate = 0.0f; // change per millisecond; 0 = no slide
    float targetFrequency = 0.0f;
    float frequencyRate = 0.0f;
    float targetPan = 0.0f;
    float panRate = 0.0f;
    // The channel handle given to scripts (never 0 or negative while the channel lives), 0 when free.
    std::int32_t channel = 0;
};
