// A machine without any audio output: the driver's Init fails with a clear message, and everything made
// through the driver fails cleanly instead of reaching for a device.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "audio/sound_driver.h"
#include "component/stream_interfaces.h"
#include "platform/kd.h"

namespace {

// OpenAL Soft reads its backend list once, at the first call: name one that does not exist.
const int kNoBackends = setenv("ALSOFT_DRIVERS", "no-such-backend", 1);

std::string g_log;
void capture(const KDchar* text, void*) {
    g_log += text;
}

TEST(NoAudioDevice, InitFailsAndEverythingElseFailsCleanly) {
    ASSERT_EQ(kNoBackends, 0);
    kdSetLogHook(&capture, nullptr);
    ComponentRef<IAbstract> made = ComponentRef<IAbstract>::adopt(createSingleInstance<SoundDriver>());
    auto* driver = dynamic_cast<SoundDriver*>(made.get());
    ASSERT_NE(driver, nullptr);

    EXPECT_FALSE(driver->Init(nullptr));
    EXPECT_NE(g_log.find("[SoundDriver] error: (102) No audio output device.\n"), std::string::npos) << g_log;
    EXPECT_FALSE(driver->isInitialized());
    g_log.clear();
    EXPECT_FALSE(driver->Start());
    EXPECT_FALSE(driver->Pause());
    EXPECT_FALSE(driver->Stop());
    EXPECT_EQ(driver->GetVolume(), -1);
    EXPECT_FALSE(driver->SetVolume(50));
    EXPECT_NE(g_log.find("[SoundDriver] error: (101) The sound system is not initialised.\n"),
              std::string::npos);
    driver->Update(1, 8);

    ComponentRef<ISound> sound = driver->CreateSound();
    ASSERT_NE(sound.get(), nullptr);
    EXPECT_FALSE(queryInterface<ILoadable>(sound.get())->LoadFromFile("res/anything.wav"));
    EXPECT_EQ(sound->Play(true), -1);
    EXPECT_FALSE(sound->IsPlaying());
    EXPECT_EQ(sound->GetVolume(), -1);
    ComponentRef<ISound> music = driver->CreateMusic();
    EXPECT_TRUE(queryInterface<ILoadable>(music.get())->LoadFromFile("res/anything.ogg")); // only the path
    EXPECT_EQ(music->Play(false), -1);
    EXPECT_FALSE(music->Stop());
    driver->Shutdown();
    kdSetLogHook(nullptr, nullptr);
}

} // namespace
