// The engine executable against runaway scripts and sudden death: a '+' script and a console line that loop
// for ever are stopped by the step budget and the game goes on; a game script saving over and over is killed
// at random moments, and every save found afterwards loads whole. HH_SAVE_KILL_CYCLES sets the number of
// kills (a few dozen by default; a thousand for a stress run). And the sample game's demo plays to its end:
// the sanitizer build runs it instrumented, with the leak checker on.
#include "platform/child_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <regex>
#include <thread>

using namespace platform_test;
namespace stdfs = std::filesystem;

namespace {

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class HostSafety : public ::testing::Test {
protected:
    void write(const std::string& relative, const std::string& contents) {
        stdfs::path path = stdfs::path(m_work.path()) / relative;
        stdfs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << contents;
    }

    std::string stderrPath(int run) const { return m_data.path() + "/stderr" + std::to_string(run) + ".txt"; }

    std::unique_ptr<ChildProcess> start(const std::vector<std::string>& args, EnvChanges extra = {}) {
        EnvChanges env{{"XDG_DATA_HOME", m_data.path()},   {"XDG_RUNTIME_DIR", m_data.path()},
                       {"KD_PARENT_WINDOW", std::nullopt}, {"KD_LOCALE", std::nullopt},
                       {"SDL_VIDEODRIVER", "offscreen"},   {"ALSOFT_DRIVERS", "null"}};
        for (const auto& change : extra)
            std::erase_if(env, [&](const auto& entry) { return entry.first == change.first; });
        env.insert(env.end(), extra.begin(), extra.end());
        stdfs::path previous = stdfs::current_path();
        stdfs::current_path(m_work.path());
        auto child = std::make_unique<ChildProcess>(HARBORHAVEN_PATH, args, env, stderrPath(++m_runs));
        stdfs::current_path(previous);
        return child;
    }

    // Waits until the run's stderr holds `text`; false after timeoutMs.
    bool waitForLog(int run, const std::string& text, int timeoutMs) {
        for (int waited = 0; waited < timeoutMs; waited += 5) {
            if (contains(readFile(stderrPath(run)), text)) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    TempFolder m_work;
    TempFolder m_data;
    int m_runs = 0;
};

TEST_F(HostSafety, RunawayCommandLineScriptIsStoppedAndTheGameGoesOn) {
    write("scripts/Main.nut",
          "ticks <- 0\n"
          "function startApp() { setTimer(1, function() { ++ticks }) }\n"
          "function destroyApp() { print(\"ticks after the runaway: \" + ticks + \"\\n\") }\n"
          "return { DisplayWidth = 64, DisplayHeight = 48 }\n");
    // The budget through the environment, as the configuration file would set it.
    auto game = start({"+local s = \"\"; while (true) s += \"grow\";",
                       "+setTimer(100, function() { if (ticks > 3) quit() })"},
                      {{"HH_SCRIPT_STEP_BUDGET", "2000000"}});
    ASSERT_TRUE(game->started());
    EXPECT_EQ(exitCodeOf(game->wait()), 0);
    const std::string log = readFile(stderrPath(m_runs));
    EXPECT_TRUE(contains(log, "error: [step budget exhausted]\n")) << log;
    EXPECT_TRUE(contains(log,
                         "error: script stopped: command-line script, 'main' (console_buffer) ran out of its "
                         "step budget of 2000000 steps\n"))
        << log;
    // The 1 ms timer went on after the runaway; how often it ran before the 100 ms check saw it past 3
    // depends on how busy the machine is, so only the lower bound is certain.
    EXPECT_TRUE(std::regex_search(log, std::regex("ticks after the runaway: ([4-9]|[1-9][0-9]+)\n"))) << log;
}

TEST_F(HostSafety, RunawayConsoleLineIsStoppedAndTheConsoleGoesOn) {
    stdfs::copy(SAMPLE_GAME_PATH "/scripts", stdfs::path(m_work.path()) / "scripts",
                stdfs::copy_options::recursive);
    stdfs::copy(SAMPLE_GAME_PATH "/res", stdfs::path(m_work.path()) / "res", stdfs::copy_options::recursive);
    auto game = start({"--frames=100000"}, {{"KD_ENABLE_STDIO", "1"}, {"HH_SCRIPT_STEP_BUDGET", "2000000"}});
    ASSERT_TRUE(game->started());
    ASSERT_TRUE(game->writeStdin("function spin() { while (true) {} } spin()\n")); // the line is the entry
    ASSERT_TRUE(game->writeStdin("print(\"console \" + \"still runs\\n\")\n"));
    EXPECT_TRUE(game->waitForOutput("console still runs\n", 60000)) << game->output();
    ASSERT_TRUE(game->writeStdin("quit()\n"));
    EXPECT_EQ(exitCodeOf(game->wait()), 0);
    const std::string log = readFile(stderrPath(m_runs));
    EXPECT_TRUE(contains(log,
                         "error: script stopped: console command, 'main' (console_buffer) ran out of its "
                         "step budget of 2000000 steps\n"))
        << log;
}

// The game script of the kill test. startApp first loads the save left by the run before (reporting
// "loaded <version>", "no save" or "TORN ..."), then saves version after version from a 1 ms timer, each save
// a few kilobytes of numbers that depend on its version, its length and a trailer, so a torn or mixed file
// cannot pass; "saved <version>" follows each save whose file closed. With "verify" among the arguments it
// quits after loading.
constexpr const char* kSaverScript = R"(
version <- 0
function check() {
  if (!fileExists("data/save.bin")) return "no save"
  local f = getComponent("File")
  if (!f.Open("data/save.bin", "rb")) return "TORN: cannot open"
  local v = readInt(f)
  local n = readInt(f)
  if (v <= 0 || n != 200 + (v * 7919) % 3000) return "TORN: head " + v + " " + n
  for (local i = 0; i < n; ++i)
    if (readInt(f) != v * 31 + i) return "TORN: word " + i + " of version " + v
  if (readInt(f) != -v) return "TORN: trailer of version " + v
  if (readByte(f) != 0) return "TORN: longer than version " + v
  shutdown(f)
  version = v
  return "loaded " + v
}
function save() {
  local v = version + 1
  local f = getComponent("File")
  if (!f.Open("data/save.bin", "wb")) return
  local n = 200 + (v * 7919) % 3000
  writeInt(f, v)
  writeInt(f, n)
  for (local i = 0; i < n; ++i) writeInt(f, v * 31 + i)
  writeInt(f, -v)
  shutdown(f)
  version = v
  print("saved " + v + "\n")
}
function startApp() {
  print(check() + "\n")
  foreach (a in ARGS) if (a == "verify") { quit(); return }
  print("saving\n")
  setTimer(1, save)
}
return { DisplayWidth = 64, DisplayHeight = 48 }
)";

// The last "<word> <number>" line of a log, or -1.
long lastNumberAfter(const std::string& log, const std::string& word) {
    long found = -1;
    std::regex line("(^|\n)" + word + " ([0-9]+)\n");
    for (auto it = std::sregex_iterator(log.begin(), log.end(), line); it != std::sregex_iterator(); ++it)
        found = std::stol((*it)[2].str());
    return found;
}

TEST_F(HostSafety, SavesSurviveTheEngineKilledAtRandomPoints) {
    write("scripts/Main.nut", kSaverScript);
    const char* configured = std::getenv("HH_SAVE_KILL_CYCLES");
    const int cycles = configured ? std::atoi(configured) : 24;
    std::mt19937 random(20261210);
    long lastSaved = 0; // the last version whose save closed, as the run reported it
    int cyclesWithSaves = 0;
    for (int cycle = 0; cycle <= cycles; ++cycle) {
        const bool verifyOnly = cycle == cycles;
        auto game = start(verifyOnly ? std::vector<std::string>{"verify"} : std::vector<std::string>{});
        ASSERT_TRUE(game->started());
        const int run = m_runs;
        if (verifyOnly) {
            EXPECT_EQ(exitCodeOf(game->wait()), 0);
        } else {
            ASSERT_TRUE(waitForLog(run, "saving\n", 120000)) << readFile(stderrPath(run));
            // Kills land while the saves run: within a save, between the renames of a commit, between saves.
            std::this_thread::sleep_for(
                std::chrono::microseconds(std::uniform_int_distribution<int>(0, 150000)(random)));
            game.reset(); // SIGKILL, then reaped
        }
        const std::string log = readFile(stderrPath(run));
        ASSERT_FALSE(contains(log, "TORN")) << "cycle " << cycle << ":\n" << log;
        const long loaded = lastNumberAfter(log, "loaded");
        if (lastSaved == 0) {
            EXPECT_TRUE(loaded > 0 || contains(log, "no save\n")) << log;
        } else {
            // A save that closed is never lost (later ones may have closed with their report cut off).
            EXPECT_GE(loaded, lastSaved) << "cycle " << cycle << ":\n" << log;
        }
        const long saved = lastNumberAfter(log, "saved");
        if (saved > 0) {
            ++cyclesWithSaves;
            lastSaved = saved;
        } else if (loaded > 0) {
            lastSaved = loaded;
        }
    }
    EXPECT_GT(cyclesWithSaves, cycles / 2) << "most kills must land while saves run";
}

TEST_F(HostSafety, SampleGameDemoPlaysToItsEndWithoutSanitizerOrLeakReports) {
    // The demo as dev/run plays it without a display, in the game's own folder. In the sanitizer build the
    // engine runs instrumented with the leak checker on: any report, and any leak at exit, fails the run.
    stdfs::path previous = stdfs::current_path();
    stdfs::current_path(SAMPLE_GAME_PATH);
    auto game =
        std::make_unique<ChildProcess>(HARBORHAVEN_PATH, std::vector<std::string>{},
                                       EnvChanges{{"XDG_DATA_HOME", m_data.path()},
                                                  {"XDG_RUNTIME_DIR", m_data.path()},
                                                  {"KD_PARENT_WINDOW", std::nullopt},
                                                  {"KD_LOCALE", std::nullopt},
                                                  {"SDL_VIDEODRIVER", "offscreen"},
                                                  {"ALSOFT_DRIVERS", "null"},
                                                  {"HH_FIXED_STEP_MS", "33"},
                                                  {"HH_REPLAY", SAMPLE_GAME_PATH "/demo/demo.replay"},
                                                  {"ASAN_OPTIONS", "detect_leaks=1:abort_on_error=0"},
                                                  {"UBSAN_OPTIONS", "print_stacktrace=1:halt_on_error=1"}},
                                       stderrPath(++m_runs));
    stdfs::current_path(previous);
    ASSERT_TRUE(game->started());
    const int status = game->wait();
    const std::string log = readFile(stderrPath(m_runs));
    EXPECT_EQ(exitCodeOf(status), 0) << log;
    for (const char* report :
         {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:", "error: ["})
        EXPECT_FALSE(contains(log, report)) << report << "\n" << log;
    // It played to its last lines: the state it saved, then the quit.
    EXPECT_TRUE(std::regex_search(log, std::regex("state saved: hash [0-9]+"))) << log;
    EXPECT_TRUE(contains(log, "exiting...")) << log;
    EXPECT_TRUE(stdfs::exists(m_data.path() + "/Harbor Haven/screenshots/5-zoom.png")) << log;
}

} // namespace
