// The `sq` interpreter as a process: arguments, compiling to a file, exit status and the interactive prompt.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

struct Result {
    int status;
    std::string out;
};

// Runs a shell command line and collects its standard output and exit status.
Result runShell(const std::string& command) {
    Result r{-1, {}};
    FILE* p = popen(command.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int status = pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

class SqProcess : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("sq_test_" + std::to_string(::getpid()));
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string script(const std::string& name, const std::string& text) {
        fs::path p = m_dir / name;
        std::ofstream(p, std::ios::binary) << text;
        return p.string();
    }
    Result sq(const std::string& args) {
        return runShell("cd '" + m_dir.string() + "' && '" SQ_BINARY "' " + args + " 2>/dev/null");
    }

    fs::path m_dir;
};

TEST_F(SqProcess, RunsAScriptWithItsArguments) {
    script("args.nut", "foreach (a in ARGS) print(a + \";\"); print(ARGS.len() + \"\\n\");");
    Result r = sq("args.nut one 'two words' +3");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "one;two words;+3;3\n");
}

TEST_F(SqProcess, CompilesToAFileThatRunsTheSame) {
    script("prog.nut", "function f(x) { return x * 2; }\nprint(f(21) + \" \" + typeof f + \"\\n\");");
    Result c = sq("-c -o prog.cnut prog.nut");
    EXPECT_EQ(c.status, 0);
    EXPECT_EQ(c.out, "");
    ASSERT_TRUE(fs::exists(m_dir / "prog.cnut"));
    Result direct = sq("prog.nut"), compiled = sq("prog.cnut");
    EXPECT_EQ(direct.out, "42 function\n");
    EXPECT_EQ(compiled.out, direct.out);
}

TEST_F(SqProcess, ExitStatusTellsHowTheRunEnded) {
    script("ok.nut", "print(\"fine\");");
    script("throws.nut", "throw \"boom\";");
    script("broken.nut", "local = 1;");
    EXPECT_EQ(sq("ok.nut").status, 0);
    Result thrown = sq("throws.nut");
    EXPECT_EQ(thrown.status, 1);
    EXPECT_NE(thrown.out.find("Error [boom]\n"), std::string::npos);
    Result broken = sq("broken.nut");
    EXPECT_EQ(broken.status, 1);
    EXPECT_EQ(broken.out, "broken.nut line = (1) column = (7) : error expected 'IDENTIFIER'\n"
                          "Error [expected 'IDENTIFIER']\n");
    Result missing = sq("missing.nut");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "Error [cannot open the file]\n");
    EXPECT_EQ(sq("-q").status, 2);
    EXPECT_EQ(sq("-c").status, 2);
}

TEST_F(SqProcess, InteractivePromptEvaluatesStatements) {
    script("input.txt", "x <- 5\nprint(x * 2 + \"\\n\")\n=1 + 2\nfunction f() {\nreturn 9\n}\n=f()\n");
    Result r = sq("< input.txt");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("10\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("3\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("9\n"), std::string::npos) << r.out;
}

} // namespace
