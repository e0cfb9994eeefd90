// Shared fixture of the audio tests: a script host with the engine's classes over the real file system (a
// scratch working folder), the sound driver on OpenAL Soft's loopback device at 48 kHz, and a clock the test
// moves. `advance` mixes the output the way the game hears it: 8 ms of samples, then the driver's update, as
// the frame timer would. Audio files are written by libsndfile into the scratch folder.
#pragma once

#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "audio/audio_classes.h"
#include "audio/sound_driver.h"
#include "binding/binding.h"
#include "binding/component_class.h"
#include "binding/global_functions.h"
#include "binding/value_binding.h"
#include "component/class_names.h"
#include "component/component_registry.h"
#include "objects/system.h"
#include "platform/kd.h"
#include "platform/kd_start.h"
#include "script/script_api.h"
#include "script/script_host.h"

namespace audio::test {

constexpr int kRate = 48000;

// A test tone: a sine of `hz` at `amplitude` (of full scale) for `seconds`, `channels` alike.
struct Tone {
    double hz = 1000.0;
    double seconds = 1.0;
    int rate = kRate;
    int channels = 1;
    double amplitude = 0.5;
    int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
};

inline bool writeTone(const std::filesystem::path& path, const Tone& tone) {
    std::filesystem::create_directories(path.parent_path());
    SF_INFO info{};
    info.samplerate = tone.rate;
    info.channels = tone.channels;
    info.format = tone.format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) {
        return false;
    }
    const auto frames = static_cast<std::size_t>(tone.seconds * tone.rate);
    std::vector<float> samples(frames * static_cast<std::size_t>(tone.channels));
    for (std::size_t i = 0; i < frames; ++i) {
        const double value =
            tone.amplitude * std::sin(2.0 * std::numbers::pi * tone.hz * double(i) / tone.rate);
        for (int c = 0; c < tone.channels; ++c) {
            samples[i * static_cast<std::size_t>(tone.channels) + static_cast<std::size_t>(c)] = float(value);
        }
    }
    const bool written = sf_writef_float(file, samples.data(), sf_count_t(frames)) == sf_count_t(frames);
    return sf_close(file) == 0 && written;
}

// One channel (0 left, 1 right) of interleaved stereo frames [begin, end).
inline std::vector<float> channelOf(const std::vector<float>& mix, std::size_t begin, std::size_t end,
                                    int channel) {
    std::vector<float> out;
    end = std::min(end, mix.size() / 2);
    for (std::size_t i = begin; i < end; ++i) {
        out.push_back(mix[2 * i + static_cast<std::size_t>(channel)]);
    }
    return out;
}

inline double rms(const std::vector<float>& samples) {
    if (samples.empty()) {
        return 0.0;
    }
    double sum = 0.0;
    for (float s : samples) {
        sum += double(s) * s;
    }
    return std::sqrt(sum / double(samples.size()));
}

// The frequency of a steady tone from its rising zero crossings (interpolated between samples); 0 without
// two.
inline double frequencyOf(const std::vector<float>& samples, int rate = kRate) {
    double first = -1.0;
    double last = -1.0;
    int crossings = 0;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        if (samples[i - 1] < 0.0f && samples[i] >= 0.0f) {
            const double at = double(i - 1) + samples[i - 1] / double(samples[i - 1] - samples[i]);
            if (first < 0.0) {
                first = at;
            }
            last = at;
            ++crossings;
        }
    }
    return crossings < 2 ? 0.0 : (crossings - 1) * double(rate) / (last - first);
}

class AudioTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = std::filesystem::temp_directory_path() /
                   ("hh_audio_" + std::to_string(getpid()) + "_" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_folder);
        std::filesystem::create_directories(m_folder / "data" / "Harbor Haven");
        m_previous = std::filesystem::current_path();
        std::filesystem::current_path(m_folder);
        setenv("XDG_DATA_HOME", (m_folder / "data").c_str(), 1);
        platform::startFileSystems();
        kdSetLogHook(&AudioTest::capture, this);

        ComponentRegistry& registry = ComponentRegistry::instance();
        registerObjectModelClasses(registry);
        registerAudioClasses(registry);
        registerBindingScriptApi(ScriptApi::instance());
        registerObjectModelScriptApi(ScriptApi::instance());
        const char* arguments[] = {"harborhaven"};
        ScriptHost::create(1, arguments);
        ASSERT_NE(ScriptHost::vm(), nullptr);

        m_driver = ComponentRef<IAbstract>::adopt(registry.create(classId(ClassName::SoundDriver)).detach());
        ASSERT_NE(driver(), nullptr);
        ASSERT_TRUE(driver()->InitLoopback(kRate));
        driver()->updateAt(0);
        setRootComponent("driver", m_driver.get());
        setRootComponent("resources", registry.create(classId(ClassName::ResourceManager)).get());
    }

    void TearDown() override {
        ScriptHost::destroy();
        if (driver() != nullptr) {
            driver()->Shutdown();
        }
        m_driver.reset();
        kdSetLogHook(nullptr, nullptr);
        kdUnmountAll();
        std::filesystem::current_path(m_previous);
        std::filesystem::remove_all(m_folder);
    }

    SoundDriver* driver() { return dynamic_cast<SoundDriver*>(m_driver.get()); }

    // Writes a tone file at a path relative to the working folder.
    void tone(const std::string& path, const Tone& tone) {
        ASSERT_TRUE(writeTone(m_folder / path, tone)) << path;
    }

    // Mixes `ms` milliseconds in 8 ms frames (the driver's update after each) and returns them as
    // interleaved stereo; they are also appended to the whole mix.
    std::vector<float> advance(int ms, int stepMs = 8) {
        std::vector<float> out;
        while (ms > 0) {
            const int step = std::min(ms, stepMs);
            const std::size_t frames = std::size_t(kRate) * std::size_t(step) / 1000;
            const std::size_t at = out.size();
            out.resize(at + 2 * frames);
            EXPECT_TRUE(driver()->RenderSamples(out.data() + at, std::int32_t(frames)));
            m_now += std::uint32_t(step);
            driver()->updateAt(m_now);
            ms -= step;
        }
        return out;
    }

    ScriptValue run(const std::string& text) {
        return ScriptHost::callClosure(ScriptHost::compileBuffer(text.c_str()));
    }
    SQInteger integer(const std::string& expression) {
        return ScriptHost::getInt(run("return {v = (" + expression + ")};"), "v");
    }
    float real(const std::string& expression) {
        ScriptValue table = run("return {v = (" + expression + ").tofloat()};");
        ScriptValue value = ScriptHost::getSlot(table, "v");
        return value.type() == OT_FLOAT ? float(value.object()._unVal.fFloat) : -12345.0f;
    }
    bool holds(const std::string& expression) {
        ScriptValue value = run("return (" + expression + ");");
        return value.type() == OT_BOOL && value.object()._unVal.nInteger != 0;
    }
    void setRootComponent(const char* name, IAbstract* component) {
        HSQUIRRELVM v = ScriptHost::vm();
        sq_pushroottable(v);
        sq_pushstring(v, name, -1);
        pushComponent(v, component);
        sq_newslot(v, -3, SQFalse);
        sq_poptop(v);
    }
    // A component held by the root table under `name`, or null (no reference added).
    IAbstract* rootComponent(const char* name) {
        HSQUIRRELVM v = ScriptHost::vm();
        sq_pushroottable(v);
        sq_pushstring(v, name, -1);
        IAbstract* component = nullptr;
        if (SQ_SUCCEEDED(sq_get(v, -2))) {
            component = componentArgument(v, -1);
            sq_pop(v, 1);
        }
        sq_poptop(v);
        return component;
    }
    std::string takeLog() { return std::exchange(m_log, std::string()); }

    std::filesystem::path m_folder;
    std::uint32_t m_now = 0;

private:
    static void capture(const KDchar* text, void* self) { static_cast<AudioTest*>(self)->m_log += text; }

    std::filesystem::path m_previous;
    ComponentRef<IAbstract> m_driver;
    std::string m_log;
};

} // namespace audio::test
