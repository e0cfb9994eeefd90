// The sound driver through real scripts: the live instance from the registry, master volume, master pause
// and stop over sounds and music, and its own clock.
#include "audio/music.h"
#include "audio/sound.h"
#include "audio/tests/audio_test_support.h"

namespace {

using namespace audio::test;

class SoundDriverTest : public AudioTest {
protected:
    void SetUp() override {
        AudioTest::SetUp();
        tone("res/tone.wav", Tone{.hz = 1000.0, .seconds = 3.0});
        tone("res/music.wav", Tone{.hz = 440.0, .seconds = 3.0});
        run("::s <- resources.GetSound(\"res/tone.wav\"); ::m <- resources.GetMusic(\"res/music.wav\");");
        ASSERT_TRUE(holds("s != null && m != null"));
    }
    static std::vector<float> tail(const std::vector<float>& mix, int ms) {
        const std::size_t frames = mix.size() / 2;
        return channelOf(mix, frames - std::size_t(kRate) * std::size_t(ms) / 1000, frames, 0);
    }
};

TEST_F(SoundDriverTest, IsTheLiveInstanceOnTheSystemLayer) {
    EXPECT_TRUE(holds("getComponent(\"SoundDriver\") == driver"));
    EXPECT_TRUE(holds("typeof driver == \"SoundDriver\""));
    auto* updateable = queryInterface<IUpdateable>(driver());
    ASSERT_NE(updateable, nullptr);
    EXPECT_EQ(updateable->GetUpdateLayer(), 1);
    EXPECT_TRUE(driver()->Init(nullptr)); // already running
}

TEST_F(SoundDriverTest, MasterVolumeScalesEverything) {
    EXPECT_EQ(integer("driver.GetVolume()"), 100);
    run("s.Play(true);");
    const double full = rms(tail(advance(96), 64));
    EXPECT_TRUE(holds("driver.SetVolume(50)"));
    EXPECT_EQ(integer("driver.GetVolume()"), 50);
    EXPECT_NEAR(rms(tail(advance(48), 32)) / full, 0.5, 0.005);
    const std::pair<int, int> rounding[] = {{29, 29}, {1, 1}, {150, 100}, {-5, 0}, {100, 100}};
    for (auto [set, got] : rounding) {
        EXPECT_TRUE(holds("driver.SetVolume(" + std::to_string(set) + ")"));
        EXPECT_EQ(integer("driver.GetVolume()"), got) << set;
    }
}

TEST_F(SoundDriverTest, PauseHoldsEveryChannelAndStartLetsThemGo) {
    run("::a <- s.Play(true); ::b <- s.Play(true); m.Play(false); s.SetVolume(0, 400);");
    advance(96);
    EXPECT_TRUE(holds("s.StopChannel(b) == true")); // a channel ended before the pause
    run("::c <- s.Play(true); s.Pause(); ::d <- s.Play(true);");
    // c and a are paused on their own, d plays.
    EXPECT_TRUE(holds("driver.Pause()"));
    const float position = real("m.GetPosition()");
    std::vector<float> mix = advance(200);
    EXPECT_LT(rms(mix), 1e-6);
    EXPECT_EQ(real("m.GetPosition()"), position); // the stream is held too
    EXPECT_TRUE(holds("s.IsActive() && m.IsActive() && !m.IsPaused()"));
    EXPECT_TRUE(holds("s.IsSliding() == false")); // slides wait with the channels
    // A channel started during the pause waits with the rest.
    run("::e <- m.Play(false);");
    EXPECT_LT(rms(advance(48)), 1e-6);

    EXPECT_TRUE(holds("driver.Start()"));
    mix = advance(48);
    EXPECT_GT(rms(tail(mix, 32)), 0.05);
    EXPECT_GT(real("m.GetPosition()"), position);
    // Channels paused on their own stay paused.
    EXPECT_EQ(dynamic_cast<Sound*>(rootComponent("s"))->activeChannels(), 3);
    EXPECT_FALSE(holds("s.IsPaused()"));
    run("s.StopChannel(d);");
    EXPECT_TRUE(holds("s.IsPaused()"));
}

TEST_F(SoundDriverTest, StopEndsEveryChannel) {
    run("for (local i = 0; i < 8; ++i) s.Play(true); m.Play(false);");
    EXPECT_EQ(integer("s.Play(true)"), -1);
    EXPECT_TRUE(holds("driver.Stop()"));
    EXPECT_FALSE(holds("s.IsActive() || m.IsActive()"));
    EXPECT_LT(rms(advance(48)), 1e-6);
    EXPECT_GT(integer("s.Play(true)"), 0); // the records are free again
}

TEST_F(SoundDriverTest, MeasuresItsOwnTimeAcrossTheClockWrap) {
    m_now = 0xFFFFFFFFu - 200;
    driver()->updateAt(m_now);
    run("::ch <- s.Play(true);");
    const double full = rms(tail(advance(96), 64));
    run("s.SetVolume(0, 400);");
    EXPECT_NEAR(rms(tail(advance(200), 8)) / full, 0.52, 0.03); // 0x...FF -> 0x...60: the slide keeps going
    EXPECT_LT(m_now, 1000u);
    advance(208);
    EXPECT_FALSE(holds("s.IsSliding()"));
}

} // namespace
