// Music through real scripts and real decoded files: a stream that stays continuous across its buffer
// refills (and across the loop point), opening on first play and again after Stop, fades, position, pause,
// and the settings requested before the file is open.
#include "audio/music.h"
#include "audio/tests/audio_test_support.h"

namespace {

using namespace audio::test;

class MusicTest : public AudioTest {
protected:
    void load(const std::string& path, const Tone& t) {
        tone(path, t);
        run("::m <- resources.GetMusic(\"" + path + "\");");
        ASSERT_TRUE(holds("m != null")) << takeLog();
    }
    Music& music() { return *dynamic_cast<Music*>(rootComponent("m")); }
    static std::vector<float> tail(const std::vector<float>& mix, int ms, int channel = 0) {
        const std::size_t frames = mix.size() / 2;
        const std::size_t count = std::size_t(kRate) * std::size_t(ms) / 1000;
        return channelOf(mix, frames - std::min(frames, count), frames, channel);
    }
    // A gap, a repeated or a dropped piece of a sine shows as a step steeper than the sine ever is.
    static void expectSmoothSine(const std::vector<float>& samples, double hz, double tolerance) {
        float peak = 0.0f;
        for (float s : samples) {
            peak = std::max(peak, std::abs(s));
        }
        ASSERT_GT(peak, 0.05f);
        const double steepest = 2.0 * std::numbers::pi * hz * peak / kRate;
        std::size_t worst = 0;
        double worstStep = 0.0;
        for (std::size_t i = 1; i < samples.size(); ++i) {
            const double step = std::abs(double(samples[i]) - samples[i - 1]);
            if (step > worstStep) {
                worstStep = step;
                worst = i;
            }
        }
        EXPECT_LE(worstStep, steepest * tolerance) << "at sample " << worst << " of " << samples.size();
    }
};

TEST_F(MusicTest, StreamStaysContinuousAcrossBufferRefills) {
    struct Case {
        const char* path;
        int format;
        int rate;
        double tolerance;
    };
    const Case cases[] = {
        {"res/music.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 1.02},
        {"res/music.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 1.1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        takeLog();
        load(c.path, Tone{.hz = 440.0, .seconds = 2.0, .rate = c.rate, .format = c.format});
        EXPECT_FALSE(music().isOpen()); // nothing is opened before the first play
        EXPECT_EQ(takeLog().find("Loaded"), std::string::npos);
        EXPECT_GT(integer("m.Play(false)"), 0);
        EXPECT_NE(takeLog().find(std::string("[Music] Loaded: ") + c.path + "\n"), std::string::npos);
        std::vector<float> mix = advance(1504); // about 17 buffers played and refilled
        const std::vector<float> left = channelOf(mix, 480, mix.size() / 2, 0);
        expectSmoothSine(left, 440.0, c.tolerance);
        const double level = rms(channelOf(mix, 480, 960, 0));
        for (std::size_t window = 1; window < 150; ++window) {
            EXPECT_NEAR(rms(channelOf(mix, window * 480, (window + 1) * 480, 0)), level, 0.02 * level)
                << "10 ms window " << window;
        }
        EXPECT_NEAR(frequencyOf(left), 440.0, 0.5);
        EXPECT_NEAR(real("m.GetPosition()"), 1.504, 0.01);
        EXPECT_TRUE(holds("m.IsActive()"));
        // The piece plays out and the channel ends.
        advance(560);
        EXPECT_FALSE(holds("m.IsActive()"));
        EXPECT_TRUE(music().isOpen()); // until Stop
        EXPECT_TRUE(holds("m.Stop()"));
    }
}

TEST_F(MusicTest, LoopedStreamWrapsSeamlessly) {
    // 110 whole periods in 12000 frames: the loop point falls inside the third buffer.
    load("res/loop.wav", Tone{.hz = 440.0, .seconds = 0.25});
    run("m.SetLoop(true); m.Play(false);");
    std::vector<float> mix = advance(1200);
    EXPECT_TRUE(holds("m.IsActive()"));
    expectSmoothSine(channelOf(mix, 480, mix.size() / 2, 0), 440.0, 1.02);
    EXPECT_LT(real("m.GetPosition()"), 0.25);
    EXPECT_NEAR(real("m.GetPosition()"), 0.2, 0.01); // 1.2 s = 4 whole passes + 0.2 s
    run("m.SetLoop(false);");
    advance(600); // the rest of this pass and the buffers already queued
    EXPECT_FALSE(holds("m.IsActive()"));
}

TEST_F(MusicTest, StopClosesTheStreamAndPlayStartsAgainFromTheBeginning) {
    load("res/music.wav", Tone{.hz = 440.0, .seconds = 2.0});
    takeLog();
    EXPECT_FALSE(holds("m.Stop()")); // nothing open: false, and no message
    EXPECT_EQ(takeLog(), "");
    run("::first <- m.Play(false);");
    advance(504);
    EXPECT_NEAR(real("m.GetPosition()"), 0.504, 0.01);
    EXPECT_EQ(integer("m.Play(false) == first ? 1 : 0"), 1); // playing: the same channel goes on
    EXPECT_NEAR(real("m.GetPosition()"), 0.504, 0.01);
    takeLog();
    EXPECT_TRUE(holds("m.Stop()"));
    EXPECT_NE(takeLog().find("[Music] Unloaded: res/music.wav\n"), std::string::npos);
    EXPECT_FALSE(music().isOpen());
    EXPECT_FALSE(holds("m.IsActive()"));
    EXPECT_EQ(real("m.GetPosition()"), -1.0f);
    EXPECT_LT(rms(advance(48)), 1e-6);

    EXPECT_GT(integer("m.Play(false)"), 0);
    EXPECT_NE(takeLog().find("[Music] Loaded: res/music.wav\n"), std::string::npos);
    EXPECT_NEAR(real("m.GetPosition()"), 0.0, 0.001);
    advance(200);
    EXPECT_NEAR(real("m.GetPosition()"), 0.2, 0.01);
    // Play(true) on the live channel starts it over.
    EXPECT_GT(integer("m.Play(true)"), 0);
    EXPECT_NEAR(real("m.GetPosition()"), 0.0, 0.001);
}

TEST_F(MusicTest, NegativeVolumeFadesToSilenceThenStops) {
    load("res/music.wav", Tone{.hz = 440.0, .seconds = 3.0});
    run("m.Play(false);");
    const double full = rms(tail(advance(96), 64));
    EXPECT_TRUE(holds("m.SetVolume(-50, 1000)"));
    EXPECT_NEAR(rms(tail(advance(504), 8)) / full, 0.5, 0.03);
    advance(480);
    EXPECT_TRUE(holds("m.IsActive()"));
    advance(24);
    EXPECT_FALSE(holds("m.IsActive()"));
    EXPECT_LT(rms(tail(advance(48), 48)), 1e-6);
    EXPECT_TRUE(music().isOpen());
    // The stream stayed open; the next play starts from the beginning at the old volume.
    run("m.Play(false);");
    EXPECT_NEAR(real("m.GetPosition()"), 0.0, 0.001);
    EXPECT_NEAR(rms(tail(advance(96), 64)), full, 0.01);
    EXPECT_EQ(music().GetVolume(), 100);
}

TEST_F(MusicTest, PositionAndPause) {
    load("res/music.wav", Tone{.hz = 440.0, .seconds = 2.0});
    EXPECT_FALSE(holds("m.SetPosition(1.0) || m.Pause() || m.Resume() || m.IsPaused()")); // no channel yet
    run("m.Play(false);");
    EXPECT_TRUE(holds("m.SetPosition(1.0)"));
    EXPECT_NEAR(real("m.GetPosition()"), 1.0, 0.001);
    advance(200);
    EXPECT_NEAR(real("m.GetPosition()"), 1.2, 0.01);

    EXPECT_TRUE(holds("m.Pause() && m.IsPaused() && m.IsActive()"));
    const float held = real("m.GetPosition()");
    EXPECT_LT(rms(tail(advance(200), 192)), 1e-6);
    EXPECT_EQ(real("m.GetPosition()"), held);
    EXPECT_TRUE(holds("m.Resume() && !m.IsPaused()"));
    EXPECT_GT(rms(tail(advance(48), 32)), 0.1);

    // Past the end: refused, and the piece plays on where it was. Before the start: the start.
    takeLog();
    const float before = real("m.GetPosition()");
    EXPECT_FALSE(holds("m.SetPosition(1.0e30)"));
    EXPECT_FALSE(holds("m.SetPosition(2.5)"));
    EXPECT_NE(takeLog().find("[Music] error: (106) The position is past the end of the sound.\n"),
              std::string::npos);
    EXPECT_NEAR(real("m.GetPosition()"), before, 0.001);
    EXPECT_TRUE(holds("m.SetPosition(-5)"));
    EXPECT_NEAR(real("m.GetPosition()"), 0.0, 0.001);
    // A paused piece moved stays paused.
    run("m.Pause(); m.SetPosition(0.5);");
    EXPECT_LT(rms(tail(advance(48), 32)), 1e-6);
    EXPECT_TRUE(holds("m.IsPaused()"));
    EXPECT_NEAR(real("m.GetPosition()"), 0.5, 0.001);
}

TEST_F(MusicTest, SettingsRequestedBeforeOpeningApplyWhenItOpens) {
    load("res/music.wav", Tone{.hz = 440.0, .seconds = 2.0});
    EXPECT_EQ(music().GetVolume(), -100); // not set yet
    EXPECT_TRUE(holds("m.SetVolume(50, 0)"));
    EXPECT_TRUE(music().SetFrequency(96000, 0));
    EXPECT_TRUE(music().SetPan(-100, 0));
    EXPECT_TRUE(music().SetPan(-101, 0)); // "not set" keeps the request
    run("m.Play(false);");
    std::vector<float> mix = advance(96);
    EXPECT_NEAR(frequencyOf(tail(mix, 64)), 880.0, 2.0);
    EXPECT_NEAR(rms(tail(mix, 64, 0)), 0.5 * 0.5 / std::sqrt(2.0), 0.01);
    EXPECT_LT(rms(tail(mix, 64, 1)), 1e-4);
    EXPECT_EQ(music().GetVolume(), 50);
    EXPECT_EQ(music().GetPan(), -100);
    EXPECT_EQ(music().GetFrequency(), 96000);
    // Slides on the open channel.
    EXPECT_TRUE(music().SetPan(100, 400));
    EXPECT_TRUE(music().IsSliding());
    mix = advance(504);
    EXPECT_FALSE(music().IsSliding());
    EXPECT_LT(rms(tail(mix, 32, 0)), 1e-4);
    EXPECT_TRUE(music().SetFrequency(0, 0)); // the file's own rate
    EXPECT_NEAR(frequencyOf(tail(advance(96), 64, 1)), 440.0, 1.0);
}

TEST_F(MusicTest, MissingFileFailsOnFirstPlay) {
    run("::m <- resources.GetMusic(\"res/nothing.ogg\");");
    EXPECT_TRUE(holds("m != null")); // only the path is kept
    EXPECT_EQ(takeLog().find("error"), std::string::npos);
    EXPECT_EQ(integer("m.Play(false)"), -1);
    EXPECT_NE(takeLog().find("[Music] error: (23) File not found.\n"), std::string::npos);
    EXPECT_FALSE(holds("m.IsActive() || m.Stop()"));
}

} // namespace
