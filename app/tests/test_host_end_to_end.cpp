// The engine executable end to end, in a temporary working folder with scripts written by each test: exit
// codes, the banner, compile and runtime error reports, ARGS, the configuration file seen through getenv,
// scripts from language folders, archives and compiled files, the user-data mapping, and two real copies
// meeting the single-instance guard, a frame drawn and read back, and the sample game run headless. Runs use
// SDL's offscreen driver; a script returning no settings asks for a 0 x 0 display and so ends with -2.
#include "platform/child_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <regex>
#include <thread>

using namespace platform_test;
namespace stdfs = std::filesystem;

namespace {

constexpr int kMainScriptFailed = 255; // -1 as an exit status
constexpr int kDisplayFailed = 254;    // -2

// One pixel of an uncompressed 32-bit top-left TGA as 0xAARRGGBB, or 0 outside the image.
std::uint32_t tgaPixel(const std::string& tga, int x, int y) {
    if (tga.size() < 18) return 0;
    const auto byte = [&](std::size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(tga[i]));
    };
    const int width = static_cast<int>(byte(12) | byte(13) << 8);
    const std::size_t at = 18 + (static_cast<std::size_t>(y) * width + x) * 4;
    if (x < 0 || y < 0 || x >= width || at + 4 > tga.size()) return 0;
    return byte(at) | byte(at + 1) << 8 | byte(at + 2) << 16 | byte(at + 3) << 24;
}

class EndToEnd : public ::testing::Test {
protected:
    struct Run {
        int exitCode;
        std::string log; // what the engine wrote to stderr
    };

    void write(const std::string& relative, const std::string& contents) {
        stdfs::path path = stdfs::path(m_work.path()) / relative;
        stdfs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << contents;
    }

    EnvChanges environment(EnvChanges extra = {}) const {
        EnvChanges env{{"XDG_DATA_HOME", m_data.path()},
                       {"XDG_RUNTIME_DIR", m_data.path()},
                       {"KD_PARENT_WINDOW", std::nullopt},
                       {"KD_LOCALE", std::nullopt},
                       {"SDL_VIDEODRIVER", "offscreen"}};
        // A test's own value replaces the default of the same name.
        for (const auto& change : extra)
            std::erase_if(env, [&](const auto& entry) { return entry.first == change.first; });
        env.insert(env.end(), extra.begin(), extra.end());
        return env;
    }

    // Starts the engine (or a copy of it) with the working folder as its current folder.
    std::unique_ptr<ChildProcess> start(const std::vector<std::string>& args, EnvChanges extra = {},
                                        const std::string& program = HARBORHAVEN_PATH) {
        stdfs::path previous = stdfs::current_path();
        stdfs::current_path(m_work.path());
        auto child =
            std::make_unique<ChildProcess>(program, args, environment(std::move(extra)),
                                           m_data.path() + "/stderr" + std::to_string(++m_runs) + ".txt");
        stdfs::current_path(previous);
        return child;
    }

    Run run(const std::vector<std::string>& args = {}, EnvChanges extra = {},
            const std::string& program = HARBORHAVEN_PATH) {
        auto child = start(args, std::move(extra), program);
        int status = child->wait();
        return {exitCodeOf(status), readFile(m_data.path() + "/stderr" + std::to_string(m_runs) + ".txt")};
    }

    TempFolder m_work;
    TempFolder m_data;
    int m_runs = 0;
};

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST_F(EndToEnd, MissingMainScriptEndsWithMinusOne) {
    Run result = run();
    EXPECT_EQ(result.exitCode, kMainScriptFailed);
    EXPECT_TRUE(contains(result.log, "OpenKODE Core v1.0.1 (Compiled Oct  3 2011 17:12:47) by "))
        << result.log;
    EXPECT_TRUE(contains(result.log, "error: cannot open the file\n")) << result.log;
    EXPECT_FALSE(contains(result.log, "exiting...")) << result.log;
}

TEST_F(EndToEnd, CompileErrorIsReportedAndEndsWithMinusOne) {
    write("scripts/Main.nut", "local ok = 1;\nlocal broken = ;\n");
    Run result = run();
    EXPECT_EQ(result.exitCode, kMainScriptFailed);
    EXPECT_TRUE(std::regex_search(
        result.log, std::regex(R"(scripts/Main\.nut line = \(2\) column = \(\d+\) : error \S.*\n)")))
        << result.log;
    EXPECT_FALSE(contains(result.log, "exiting...")) << result.log;
}

TEST_F(EndToEnd, RuntimeErrorIsReportedWithItsCallStackAndTheRunGoesOn) {
    write("scripts/Main.nut", "function deeper(n) {\n  local x = null;\n  return x.field + n;\n}\n"
                              "function settings() {\n  local s = deeper(1);\n  return s;\n}\n"
                              "return settings();\n");
    Run result = run();
    EXPECT_EQ(result.exitCode, kDisplayFailed);
    EXPECT_TRUE(contains(result.log, "error: [the index 'field' does not exist]\n")) << result.log;
    EXPECT_TRUE(contains(result.log, "deeper")) << result.log;
    EXPECT_TRUE(contains(result.log, "settings")) << result.log;
    EXPECT_TRUE(contains(result.log, "scripts/Main.nut line [3]")) << result.log;
    EXPECT_FALSE(contains(result.log, "exiting...")) << result.log;
}

TEST_F(EndToEnd, SettingsScriptRunsAndPlusArgumentsFollowStartAppInOrder) {
    write("scripts/Main.nut", "local all = \"\"\nforeach (i, a in ARGS) all += (i ? \"|\" : \"\") + a\n"
                              "print(\"ARGS \" + all + \"\\n\")\n"
                              "print(\"cheats \" + IsCheatsEnabled + \" max \" + INT_MAX + \"\\n\")\n"
                              "print(\"blob \" + (getComponent(\"Blob\") != null) + \" display \" + "
                              "(getComponent(\"Display\") != null) + \"\\n\")\n"
                              "function startApp() { print(\"startApp\\n\") }\n"
                              "function destroyApp() { print(\"destroyApp\\n\") }\n"
                              "return { DisplayWidth = 800, DisplayHeight = 600 }\n");
    Run result =
        run({"one", "+print(\"plus\" + \" ran\\n\")", "two words", "+", "+print(\"second\\n\"); quit()"});
    EXPECT_EQ(result.exitCode, 0) << result.log;
    std::smatch match;
    ASSERT_TRUE(std::regex_search(result.log, match, std::regex("ARGS ([^\n]*)\n"))) << result.log;
    EXPECT_EQ(match[1].str(),
              std::string(HARBORHAVEN_PATH) +
                  "|one|+print(\"plus\" + \" ran\\n\")|two words|+|+print(\"second\\n\"); quit()");
    EXPECT_TRUE(contains(result.log, "cheats false max 2147483647\n")) << result.log;
    EXPECT_TRUE(contains(result.log, "blob true display true\n")) << result.log;
    EXPECT_TRUE(contains(result.log, "[Display] info: Init: 800x600\n")) << result.log;
    // '+' arguments run after startApp in command-line order (the lone '+' is an empty script); quit() ends
    // the event loop and the shutdown follows.
    EXPECT_TRUE(std::regex_search(result.log,
                                  std::regex("startApp\n(.|\n)*plus ran\nsecond\n(.|\n)*exiting\\.\\.\\.\n"
                                             "destroyApp\n")))
        << result.log;
    EXPECT_FALSE(contains(result.log, "error: [")) << result.log;
}

TEST_F(EndToEnd, DisplayThatCannotStartEndsWithMinusTwo) {
    write("scripts/Main.nut", "function initApp() { print(\"initApp\\n\") }\n"
                              "return { DisplayWidth = 800, DisplayHeight = 600 }\n");
    Run result = run({}, {{"SDL_VIDEODRIVER", "nonexistent"}});
    EXPECT_EQ(result.exitCode, kDisplayFailed);
    EXPECT_TRUE(contains(result.log, "[Display] error: Can't init\n")) << result.log;
    EXPECT_TRUE(contains(result.log, "the display could not be started (800 x 600)\n")) << result.log;
    EXPECT_FALSE(contains(result.log, "initApp")) << result.log;
    EXPECT_FALSE(contains(result.log, "exiting...")) << result.log;
}

TEST_F(EndToEnd, FrameDrawnIntoARenderTargetIsReadBackAndTheRunQuitsWithZero) {
    // The screen frame draws through a scripted object; the offscreen target is drawn and saved after the
    // first screen frame, outside it, then the run quits.
    write("scripts/Main.nut", R"(
Settings <- { ClearColor = 0xFF000080 }
function startApp() {
  ::painter <- getComponent("ScriptedObject")
  loadFromScript(painter, { frames = 0, function Render(g) {
    g.SetColor(0xFF00FF00); g.FillRect(0, 0, 10, 10)
    if (++frames == 1) setTimer(1, function() { ::drawOffscreen() })
  } })
  getComponent("System").RegisterObject("painter", painter)
}
function drawOffscreen() {
  if (("drawn" in getroottable())) return
  ::drawn <- true
  local target = getComponent("Display").CreateRenderTarget(32, 16)
  local g = beginRender(target, null)
  g.Clear(0xFF102030)
  g.SetColor(0xFFFF8000)
  g.FillRect(4, 2, 8, 6)
  g.SetColor(0xFFFFFFFF)
  g.DrawLine(0, 14.5, 32, 14.5)
  endRender(target)
  print("frames " + painter.frames + " saved " + saveScreenshot(target, "data/frame.tga") + "\n")
  print("bad target " + saveScreenshot(painter, "data/never.tga") + "\n")
  quit()
}
return { DisplayWidth = 320, DisplayHeight = 200 }
)");
    Run result = run();
    EXPECT_EQ(result.exitCode, 0) << result.log;
    EXPECT_TRUE(std::regex_search(result.log, std::regex("frames [1-9][0-9]* saved true\n"))) << result.log;
    EXPECT_TRUE(contains(result.log, "bad target false\n")) << result.log;
    EXPECT_FALSE(contains(result.log, "error: [")) << result.log;

    const std::string tga = readFile(m_data.path() + "/Harbor Haven/frame.tga");
    ASSERT_EQ(tga.size(), 18u + 32 * 16 * 4);
    EXPECT_EQ(tgaPixel(tga, 0, 0), 0xFF102030u);   // the clear colour, top-left
    EXPECT_EQ(tgaPixel(tga, 4, 2), 0xFFFF8000u);   // the rectangle's first pixel
    EXPECT_EQ(tgaPixel(tga, 11, 7), 0xFFFF8000u);  // and its last
    EXPECT_EQ(tgaPixel(tga, 12, 7), 0xFF102030u);  // right of it
    EXPECT_EQ(tgaPixel(tga, 4, 8), 0xFF102030u);   // below it
    EXPECT_EQ(tgaPixel(tga, 20, 14), 0xFFFFFFFFu); // the line, counted from the top
    EXPECT_FALSE(fileExists(m_data.path() + "/Harbor Haven/never.tga"));
}

TEST_F(EndToEnd, ConfigurationFileIsSeenThroughGetenv) {
    // The configuration file sits beside the executable, so the test runs a copy of its own.
    stdfs::path copy = stdfs::path(m_work.path()) / "harborhaven";
    stdfs::copy_file(HARBORHAVEN_PATH, copy);
    write("harborhaven.cfg", "HH_TEST_SETTING=from the file\r\nHH_TEST_REMOVED=\nnot an assignment\n");
    write("scripts/Main.nut", "print(\"setting [\" + getenv(\"HH_TEST_SETTING\") + \"] removed \" + "
                              "(getenv(\"HH_TEST_REMOVED\") == null) + \"\\n\")\nreturn {}\n");
    Run result = run({}, {{"HH_TEST_REMOVED", "inherited"}}, copy.string());
    EXPECT_EQ(result.exitCode, kDisplayFailed);
    EXPECT_TRUE(contains(result.log, "setting [from the file] removed true\n")) << result.log;
}

TEST_F(EndToEnd, ScriptsLoadFromArchivesAndLanguageFolders) {
    // Main.nut and a library only inside an archive; a localised script in a language folder.
    stdfs::path staging = stdfs::path(m_work.path()) / "staging";
    stdfs::create_directories(staging / "scripts");
    std::ofstream(staging / "scripts" / "Main.nut")
        << "print(\"main from the archive\\n\")\nprint(dofile(\"scripts/lib.nut\") + \"\\n\")\n"
           "print(dofile(\"res/greeting.nut\") + \"\\n\")\nreturn {}\n";
    std::ofstream(staging / "scripts" / "lib.nut") << "return \"library from the archive\"\n";
    std::string pack = "cd '" + staging.string() + "' && 7zz a -t7z -ms=off -bso0 -bsp0 ../pack.bar scripts";
    ASSERT_EQ(std::system(pack.c_str()), 0);
    stdfs::remove_all(staging);
    write("res/greeting.nut", "return \"hello\"\n");
    write("res_de/greeting.nut", "return \"hallo\"\n");

    Run result = run({}, {{"KD_LOCALE", "de"}});
    EXPECT_EQ(result.exitCode, kDisplayFailed);
    EXPECT_TRUE(contains(result.log, "main from the archive\nlibrary from the archive\nhallo\n"))
        << result.log;
}

TEST_F(EndToEnd, EncodingsAndCompiledScripts) {
    // UTF-16 little-endian with its mark: the text reaches the log as UTF-8.
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("print(\"caf\xE9 \" + 1 + \"\\n\")\nreturn {}\n")) {
        utf16 += c;
        utf16 += '\0';
    }
    write("scripts/Main.nut", utf16);
    Run result = run();
    EXPECT_EQ(result.exitCode, kDisplayFailed);
    EXPECT_TRUE(contains(result.log, "caf\xC3\xA9 1\n")) << result.log;

    // A broken UTF-8 mark.
    write("scripts/Main.nut", std::string("\xEF\xBB\x00print(1)", 11));
    result = run();
    EXPECT_EQ(result.exitCode, kMainScriptFailed);
    EXPECT_TRUE(contains(result.log, "error: Unrecognozed ecoding\n")) << result.log;

    // A compiled closure written by the engine itself, then run as Main.nut.
    write("source.nut", "print(\"compiled main ran\\n\")\nreturn {}\n");
    write("scripts/Main.nut", "writeclosuretofile(\"compiled.cnut\", loadfile(\"source.nut\"))\nreturn {}\n");
    ASSERT_EQ(run().exitCode, kDisplayFailed);
    stdfs::rename(stdfs::path(m_work.path()) / "compiled.cnut",
                  stdfs::path(m_work.path()) / "scripts/Main.nut");
    result = run();
    EXPECT_EQ(result.exitCode, kDisplayFailed);
    EXPECT_TRUE(contains(result.log, "compiled main ran\n")) << result.log;
}

TEST_F(EndToEnd, RemoveAndRenameWorkInTheUserDataFolder) {
    // A file closes (and a data file commits) when the script drops it.
    write("scripts/Main.nut",
          "local f = file(\"data/first.txt\", \"wb\")\nf.writen(65, 'c')\nf = null\n"
          "rename(\"data/first.txt\", \"data/second.txt\")\n"
          "local g = file(\"data/gone.txt\", \"wb\")\ng = null\nremove(\"data/gone.txt\")\n"
          "try { remove(\"data/never.txt\") } catch (e) { print(\"caught \" + e + \"\\n\") }\n"
          "return {}\n");
    Run result = run();
    EXPECT_EQ(result.exitCode, kDisplayFailed);
    std::string folder = m_data.path() + "/Harbor Haven/";
    EXPECT_EQ(readFile(folder + "second.txt"), "A");
    EXPECT_FALSE(fileExists(folder + "first.txt"));
    EXPECT_FALSE(fileExists(folder + "gone.txt"));
    EXPECT_TRUE(contains(result.log, "caught remove() failed\n")) << result.log;
}

TEST_F(EndToEnd, SampleGameDrawsItsFirstFramesHeadlessAndSavesAScreenshot) {
    stdfs::copy(SAMPLE_GAME_PATH "/scripts", stdfs::path(m_work.path()) / "scripts",
                stdfs::copy_options::recursive);
    stdfs::copy(SAMPLE_GAME_PATH "/res", stdfs::path(m_work.path()) / "res", stdfs::copy_options::recursive);
    Run result = run({"--frames=2", "--screenshot"});
    EXPECT_EQ(result.exitCode, 0) << result.log;
    EXPECT_TRUE(contains(result.log, "Harbor Haven: main script, 3 argument(s)\n")) << result.log;
    EXPECT_TRUE(contains(result.log, "[Display] info: Init: 1024x768\n")) << result.log;
    EXPECT_TRUE(contains(result.log, "drew 2 frame(s)\n")) << result.log;
    EXPECT_TRUE(contains(result.log, "screenshot saved to data/screenshot.tga\n")) << result.log;
    EXPECT_FALSE(contains(result.log, "error: [")) << result.log;
    const std::string tga = readFile(m_data.path() + "/Harbor Haven/screenshot.tga");
    ASSERT_EQ(tga.size(), 18u + 1024 * 768 * 4);
    // The title screen: the top of the evening sky, the beach, the inside of the Play button.
    EXPECT_EQ(tgaPixel(tga, 0, 0), 0xFF1E3C72u);
    EXPECT_EQ(tgaPixel(tga, 0, 767), 0xFFE6CF8Fu);
    EXPECT_EQ(tgaPixel(tga, 420, 440), 0xFF1A3A52u);
}

TEST_F(EndToEnd, SampleGameRunsConsoleCommandsFromStandardInput) {
    stdfs::copy(SAMPLE_GAME_PATH "/scripts", stdfs::path(m_work.path()) / "scripts",
                stdfs::copy_options::recursive);
    stdfs::copy(SAMPLE_GAME_PATH "/res", stdfs::path(m_work.path()) / "res", stdfs::copy_options::recursive);
    auto game = start({"--frames=100000"}, {{"KD_ENABLE_STDIO", "1"}});
    ASSERT_TRUE(game->started());
    // Everything written to the console is echoed to standard output, the command's own echo included.
    ASSERT_TRUE(game->writeStdin("print(\"from \" + \"stdin\\n\")\r\n"));
    EXPECT_TRUE(game->waitForOutput("[Console] print(", 20000)) << game->output();
    EXPECT_TRUE(game->waitForOutput("from stdin\n", 20000)) << game->output();
    ASSERT_TRUE(game->writeStdin("setVisible(console, true); quit()\n"));
    EXPECT_EQ(exitCodeOf(game->wait()), 0);
    const std::string log = readFile(m_data.path() + "/stderr" + std::to_string(m_runs) + ".txt");
    EXPECT_TRUE(contains(log, "exiting...")) << log;
}

// A 0.2 s, 8 kHz mono 16-bit WAV file of a square wave, written byte by byte.
std::string squareWav() {
    const std::uint32_t samples = 1600;
    std::string wav;
    const auto put = [&wav](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) wav += static_cast<char>(value >> (8 * i));
    };
    wav += "RIFF";
    put(36 + samples * 2, 4);
    wav += "WAVEfmt ";
    put(16, 4);
    put(1, 2);    // PCM
    put(1, 2);    // mono
    put(8000, 4); // rate
    put(16000, 4);
    put(2, 2);
    put(16, 2);
    wav += "data";
    put(samples * 2, 4);
    for (std::uint32_t i = 0; i < samples; ++i) put((i / 8) % 2 ? 0x2000u : 0xE000u, 2);
    return wav;
}

TEST_F(EndToEnd, SoundDriverStartsOrTheGameRunsSilent) {
    write("res/beep.wav", squareWav());
    write("scripts/Main.nut", R"(
::settings <- { DisplayWidth = 320, DisplayHeight = 200 }
function startApp() {
  local driver = getComponent("System").GetObject("SoundDriver")
  print("driver " + (driver != null) + " enabled " + ("SoundEnabled" in settings ? settings.SoundEnabled : "unset") + "\n")
  if (driver) { driver.SetVolume(50); print("volume " + driver.GetVolume() + "\n") }
  local resources = getComponent("ResourceManager")
  ::beep <- resources.GetSound("res/beep.wav")
  print("sound " + (beep != null) + " playing " + (beep != null && beep.Play(true) > 0) + "\n")
  ::tune <- resources.GetMusic("res/beep.wav")
  print("music playing " + (tune.Play(false) > 0) + "\n")
  setTimer(20, function() { quit() })
}
return settings
)");
    Run result = run({}, {{"ALSOFT_DRIVERS", "null"}});
    EXPECT_EQ(result.exitCode, 0) << result.log;
    EXPECT_TRUE(contains(result.log, "[SoundDriver] Device: ")) << result.log;
    EXPECT_TRUE(contains(result.log, "driver true enabled unset\nvolume 50\n")) << result.log;
    EXPECT_TRUE(contains(result.log, "sound true playing true\nmusic playing true\n")) << result.log;
    EXPECT_FALSE(contains(result.log, "Object SoundDriver not found")) << result.log;
    EXPECT_FALSE(contains(result.log, "error")) << result.log;

    // Without any audio output the driver fails to start and everything else goes on, silent.
    result = run({}, {{"ALSOFT_DRIVERS", "nosuchbackend"}});
    EXPECT_EQ(result.exitCode, 0) << result.log;
    EXPECT_TRUE(contains(result.log, "[SoundDriver] error: (102) No audio output device.\n")) << result.log;
    EXPECT_TRUE(contains(result.log, "driver false enabled false\n")) << result.log;
    EXPECT_TRUE(contains(result.log, "[Sound] error: (101) The sound system is not initialised.\n"))
        << result.log;
    EXPECT_TRUE(contains(result.log, "sound false playing false\n")) << result.log;
    EXPECT_TRUE(contains(result.log, "music playing false\n")) << result.log;
    EXPECT_TRUE(contains(result.log, "[System] error: Object SoundDriver not found\n")) << result.log;
}

TEST_F(EndToEnd, SecondCopyIsRefusedWhileTheFirstRunsItsMainScript) {
    // The first copy waits inside Main.nut until the test lets it go (or 30 s pass).
    write("scripts/Main.nut", "print(\"first copy waiting\\n\")\nlocal start = clock()\n"
                              "while (clock() - start < 30) { try { file(\"release\", \"r\"); break; } "
                              "catch (e) {} }\nreturn {}\n");
    auto first = start({});
    std::string firstLog = m_data.path() + "/stderr" + std::to_string(m_runs) + ".txt";
    for (int i = 0; i < 1000 && !contains(readFile(firstLog), "first copy waiting"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(contains(readFile(firstLog), "first copy waiting"));

    Run second = run();
    EXPECT_EQ(second.exitCode, 1) << "the running copy acknowledged the come-to-front request";
    EXPECT_FALSE(contains(second.log, "OpenKODE Core")) << second.log;

    write("release", "");
    EXPECT_EQ(exitCodeOf(first->wait()), kDisplayFailed);
}

} // namespace
