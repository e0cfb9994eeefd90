// The sound synthesiser: notes land where and how long the description says, mixing never clips, the WAV
// header describes the samples, and faults name their line.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "tools/sound_synth/synth.h"

namespace {

// Zero crossings from below in samples [first, last): twice the... once per period of a plain tone.
int risingCrossings(const SynthResult& sound, std::size_t first, std::size_t last) {
    int count = 0;
    for (std::size_t i = first + 1; i < last && i < sound.samples.size(); ++i)
        if (sound.samples[i - 1] < 0 && sound.samples[i] >= 0) ++count;
    return count;
}

TEST(SoundSynth, ToneHasItsPitchPlaceAndLength) {
    SynthResult sound;
    ASSERT_TRUE(synthesize("rate 8000\nenvelope 0 0\ntone 100 500 A4 0.5\n", sound)) << sound.error;
    EXPECT_EQ(sound.rate, 8000);
    EXPECT_EQ(sound.samples.size(), 4800u); // ends with the tone: 600 ms
    for (std::size_t i = 0; i < 800; ++i)
        ASSERT_EQ(sound.samples[i], 0) << "silence before the tone, sample " << i;
    EXPECT_NEAR(risingCrossings(sound, 800, 4800), 220, 2); // 440 Hz for half a second
    int peak = 0;
    for (std::int16_t s : sound.samples) peak = std::max(peak, std::abs(int(s)));
    EXPECT_NEAR(peak, 16384, 200); // volume 0.5
}

TEST(SoundSynth, NotesRestsHoldsAndLoudMixesScaleDown) {
    SynthResult sound;
    ASSERT_TRUE(synthesize("rate 8000\nlength 1000\nenvelope 0 0\nwave square\n"
                           "notes 0 100 1 C4 - E4 ~ G4\ntone 0 1000 100 1\ntone 0 1000 150 1\n",
                           sound))
        << sound.error;
    EXPECT_EQ(sound.samples.size(), 8000u);
    int peak = 0;
    for (std::int16_t s : sound.samples) peak = std::max(peak, std::abs(int(s)));
    EXPECT_EQ(peak, 32767) << "three full-volume tones are scaled to fit, not clipped";
}

TEST(SoundSynth, FaultsNameTheirLine) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"tone 0 100 440 2\n", "line 1: tone out of range"},
        {"\nwave organ\n", "line 2: unknown wave 'organ'"},
        {"notes 0 100 0.5 H4\n", "line 1: bad note 'H4'"},
        {"rate 100\n", "line 1: rate takes 8000 ... 48000"},
        {"tone 0 400000 440 0.5\n", "line 1: tone out of range"},
        {"# nothing\n", "the description makes no sound"},
        {"beep\n", "line 1: unknown command 'beep'"},
    };
    for (const auto& c : cases) {
        SynthResult sound;
        EXPECT_FALSE(synthesize(c.text, sound)) << c.text;
        EXPECT_EQ(sound.error, c.error) << c.text;
    }
}

TEST(SoundSynth, WavHeaderDescribesTheSamples) {
    SynthResult sound;
    sound.rate = 22050;
    sound.samples = {1, -2, 3};
    const std::vector<std::uint8_t> wav = encodeWav(sound);
    ASSERT_EQ(wav.size(), 44u + 6);
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_EQ(wav[4], 42); // file size - 8
    EXPECT_EQ(std::string(wav.begin() + 8, wav.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(wav[24] | wav[25] << 8, 22050);
    EXPECT_EQ(std::string(wav.begin() + 36, wav.begin() + 40), "data");
    EXPECT_EQ(wav[40], 6);
    EXPECT_EQ(wav[46] | wav[47] << 8, 0xFFFE); // -2, little-endian
}

} // namespace
