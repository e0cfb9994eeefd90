#pragma once
// The sound synthesiser behind hh-synth: a readable description of tones in, 16-bit mono samples out.
//
// The description is line based; '#' starts a comment; times are milliseconds, frequencies hertz (or note
// names such as A4, C#5, Bb3), volumes 0 ... 1:
//
//     rate 22050                        # sample rate (8000 ... 48000), default 22050
//     length 1200                       # total length; default: the end of the last tone
//     wave square                       # sine, square, triangle, saw or noise, for the tones that follow
//     envelope 5 120                    # attack and release in ms for the tones that follow
//     vibrato 6 0.01                    # rate (Hz) and depth (fraction of the frequency), 0 0 for none
//     tone 0 200 440 880 0.5            # start, duration, frequency, [end frequency,] volume
//     notes 400 150 0.4 C4 E4 G4 - C5   # start, step per note, volume, then notes ('-' rests, '~' holds on)
//     echo 180 0.35                     # after everything: adds a delayed copy (delay, gain)
//
// Tones add up; the result is scaled down only when it would clip. Every value is range-checked, and the
// longest sound is 5 minutes.

#include <cstdint>
#include <string>
#include <vector>

struct SynthResult {
    std::int32_t rate = 22050;
    std::vector<std::int16_t> samples;
    std::string error; // "line N: ..." on failure
};

bool synthesize(const std::string& description, SynthResult& out);

// A canonical 16-bit mono PCM RIFF/WAVE file of the samples.
std::vector<std::uint8_t> encodeWav(const SynthResult& sound);
