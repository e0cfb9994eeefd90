// The engine executable end to end, in a temporary working folder with scripts written by each test: exit
// codes, the banner, compile and runtime error reports, ARGS, the configuration file seen through getenv,
// scripts from language folders, archives and compiled files, the user-data mapping, and two real copies
// meeting the single-instance guard. Until a display exists every run that gets past Main.nut ends with -2.
#include "platform/tests/child_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <thread>

using namespace platform_test;
namespace stdfs = std::filesystem;

namespace {

constexpr int kMainScriptFailed = 255; // -1 as an exit status
constexpr int kDisplayFailed = 254;    // -2

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
                       {"KD_LOCALE", std::nullopt}};
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

TEST_F(EndToEnd, SettingsScriptRunsAndTheMissingDisplayEndsWithMinusTwo) {
    write("scripts/Main.nut", "local all = \"\"\nforeach (i, a in ARGS) all += (i ? \"|\" : \"\") + a\n"
                              "print(\"ARGS \" + all + \"\\n\")\n"
                              "print(\"cheats \" + IsCheatsEnabled + \" max \" + INT_MAX + \"\\n\")\n"
                              "print(\"blob \" + (getComponent(\"Blob\") != null) + \" display \" + "
                              "(getComponent(\"Display\") != null) + \"\\n\")\n"
                              "return { DisplayWidth = 800, DisplayHeight = 600 }\n");
    Run result = run({"one", "+print(\"plus\" + \" ran\")", "two words", "+"});
    EXPECT_EQ(result.exitCode, kDisplayFailed);
    std::smatch match;
    ASSERT_TRUE(std::regex_search(result.log, match, std::regex("ARGS ([^\n]*)\n"))) << result.log;
    EXPECT_EQ(match[1].str(), std::string(HARBORHAVEN_PATH) + "|one|+print(\"plus\" + \" ran\")|two words|+");
    EXPECT_TRUE(contains(result.log, "cheats false max 2147483647\n")) << result.log;
    // The layers that exist hand their classes to the registry; the display is not among them yet.
    EXPECT_TRUE(contains(result.log, "blob true display false\n")) << result.log;
    // '+' arguments run only after startApp, which a run without a display never reaches.
    EXPECT_FALSE(contains(result.log, "plus ran")) << result.log;
    EXPECT_FALSE(contains(result.log, "exiting...")) << result.log;
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

TEST_F(EndToEnd, SampleGameRunsUntilTheMissingDisplay) {
    stdfs::copy(SAMPLE_GAME_PATH "/scripts", stdfs::path(m_work.path()) / "scripts",
                stdfs::copy_options::recursive);
    Run result = run();
    EXPECT_EQ(result.exitCode, kDisplayFailed);
    EXPECT_TRUE(contains(result.log, "Harbor Haven: main script, 1 argument(s)\n")) << result.log;
    EXPECT_TRUE(contains(result.log, "(1024 x 768)")) << result.log;
    EXPECT_FALSE(contains(result.log, "error: [")) << result.log;
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
