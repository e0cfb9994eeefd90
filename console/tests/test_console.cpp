// The debug console: output lines and their colours, editing, completion and history, commands run from the
// pending list, its drawing (golden images of the open console, the strip and the error flash), a missing
// font, and the standard-input reader's start and stop.
#include <fcntl.h>

#include <chrono>

#include "console/tests/console_fixture.h"

namespace {

using namespace console_test;
using Lines = std::vector<std::string>;

constexpr std::int32_t kPageUp = 0x21, kEnd = 0x23, kHome = 0x24, kLeft = 0x25, kUp = 0x26, kDown = 0x28,
                       kDelete = 0x2E;

TEST_F(ConsoleTest, WritesMakeLinesAndLinesHaveColours) {
    console().Write("abc", 3);
    console().Write("def\nxyz\n", 8);
    const Lines lines = console().outputLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ("abcdef", lines[lines.size() - 3]);
    EXPECT_EQ("xyz", lines[lines.size() - 2]);
    EXPECT_EQ("", lines.back());
    const struct {
        const char* line;
        std::uint32_t colour;
    } cases[] = {
        {"[Console] print(\"error\")", 0xFF7FFF00u},
        {"error: [x]", 0xFFFF0000u},
        {"BAD ERROR", 0xFFFF0000u},
        {"[Font] warning: x", 0xFFFFFF00u},
        {"[Texture] info: y", 0xFF00FFFFu},
        {"plain", 0xFFFFFFFFu},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.colour, Console::lineColour(c.line)) << c.line;
    }
    // The log reaches the console.
    logWarning("Probe", "seen %d", 1);
    EXPECT_EQ("[Probe] warning: seen 1", console().outputLines()[console().outputLines().size() - 2]);
}

TEST_F(ConsoleTest, CompletionSelectsTheAddedCharacters) {
    console();
    EXPECT_TRUE(type("`"));
    ASSERT_TRUE(console().IsControlEnabled());
    type("pri\t");
    EXPECT_EQ("print", console().inputLine());
    EXPECT_EQ(3, console().cursor());
    EXPECT_EQ(3, console().selectionStart());
    EXPECT_EQ(2, console().selectionLength());
    type("(");
    EXPECT_EQ("pri(", console().inputLine());
    // Tab accepts a suggestion and completes further; a one-letter word or a word before text is left alone.
    press(kEnd);
    type("\b\b\b\bx = pri\t\t");
    EXPECT_EQ("x = print", console().inputLine());
    EXPECT_EQ(9, console().cursor());
    press(kHome);
    type("\t");
    EXPECT_EQ("x = print", console().inputLine());
    press(kEnd);
    type(" + p\t");
    EXPECT_EQ("x = print + p", console().inputLine());
}

TEST_F(ConsoleTest, HistoryStepsThroughExecutedLines) {
    console();
    type("`a<-1\rb<-2\n");
    EXPECT_EQ("", console().inputLine());
    press(kUp);
    EXPECT_EQ("b<-2", console().inputLine());
    press(kUp);
    EXPECT_EQ("a<-1", console().inputLine());
    press(kUp);
    EXPECT_EQ("a<-1", console().inputLine());
    press(kDown);
    EXPECT_EQ("b<-2", console().inputLine());
    EXPECT_EQ(2, ScriptHost::getInt(ScriptHost::root(), "b"));
    const Lines lines = console().outputLines();
    EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), "[Console] a<-1"));
    // Editing keys move by characters; Delete removes the one at the cursor.
    press(kLeft);
    press(kLeft);
    press(kDelete);
    EXPECT_EQ("b<2", console().inputLine());
    // A line that fails to compile is reported by the compiler and kept in the history.
    press(kEnd);
    type("\b\b\bfoo(\r");
    press(kUp);
    EXPECT_EQ("foo(", console().inputLine());
}

TEST_F(ConsoleTest, KeysWhileClosedAndOpen) {
    console();
    EXPECT_FALSE(type("a")); // closed: only '`' is taken
    EXPECT_FALSE(press(kPageUp));
    EXPECT_TRUE(type("`"));
    EXPECT_TRUE(press(0x70)); // open: F1 does nothing but is consumed
    EXPECT_TRUE(console().HandleKeyEvent(keyEvent(KD_INPUT_KEY_BASE + 0x41, 0)));
    EXPECT_TRUE(type("\x1B")); // Escape closes
    EXPECT_FALSE(console().IsControlEnabled());
    KDEvent pointer{};
    pointer.type = KD_EVENT_INPUT_POINTER;
    EXPECT_FALSE(console().HandlePointerEvent(pointer));
}

TEST_F(ConsoleTest, PendingCommandsRunOnTheNextFrameAndMayRegisterObjects) {
    // The console draws from the System's render group; a command that registers a new renderable there
    // must not disturb the walk, and the new object is drawn from the next frame on.
    run("::drawn <- 0; ::system <- getComponent(\"System\");");
    ComponentRef<> made = ComponentRegistry::instance().create(classId(ClassName::Console));
    console();
    ASSERT_TRUE(System::live()->RegisterObject("Console", abstractOf(static_cast<IRenderable*>(&console()))));
    for (int i = 0; i < 30; ++i) {
        console().queueCommand("local o = getComponent(\"ScriptedObject\"); loadFromScript(o, { function "
                               "Render(g) { ++::drawn; } }); system.RegisterObject(\"probe" +
                               std::to_string(i) + "\", o);");
    }
    console().queueCommand("");
    ComponentRef<IRenderTarget> target = s_display->CreateRenderTarget(64, 64);
    IGraphics* g = target->Begin(nullptr);
    System::live()->Render(g, ClassMask{});
    EXPECT_EQ(0, ScriptHost::getInt(ScriptHost::root(), "drawn"));
    System::live()->Render(g, ClassMask{});
    EXPECT_EQ(30, ScriptHost::getInt(ScriptHost::root(), "drawn"));
    target->End();
    const Lines lines = console().outputLines();
    EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), "[Console] "));
}

TEST_F(ConsoleTest, ReloadScriptRunsAFileAgain) {
    console();
    std::ofstream("scripts/tool.nut") << "function answer() { return 1; }";
    EXPECT_EQ(OT_BOOL, run("return reloadScript(\"scripts/tool.nut\");").type());
    EXPECT_EQ(1, ScriptHost::getInt(run("return { v = answer() };"), "v"));
    std::ofstream("scripts/tool.nut") << "function answer() { return 2; }";
    run("reloadScript(\"scripts/tool.nut\");");
    EXPECT_EQ(2, ScriptHost::getInt(run("return { v = answer() };"), "v"));
    EXPECT_EQ(0, ScriptHost::getInt(run("return { v = reloadScript(\"scripts/none.nut\") ? 1 : 0 };"), "v"));
    const Lines lines = console().outputLines();
    EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), "[Console] Reloaded scripts/tool.nut"));
    EXPECT_NE(lines.end(),
              std::find(lines.begin(), lines.end(), "[Console] error: Can't reload scripts/none.nut"));
}

TEST_F(ConsoleTest, OpenConsoleGolden) {
    console().Write("Harbor Haven console\n", 21);
    logInfo("Texture", "Loaded res/pier.png (size: 64x64)");
    logWarning("Font", "no glyph for U+2603");
    logError(nullptr, "[the index 'boat' does not exist]");
    console().EnableControl(true);
    type("x <- 1; pri");
    type("\t"); // "print", with "nt" suggested
    const Pixels px = frame();
    EXPECT_EQ("x <- 1; print", console().inputLine());
    EXPECT_EQ(120 / 17, console().visibleLines());
    expectGolden("console_open", px, 320, 120);
}

TEST_F(ConsoleTest, StripGoldenShowsTheNewestLines) {
    console().SetVisible(true);
    frame(320, 240); // loads the font (and logs it)
    for (int i = 0; i < 12; ++i) {
        const std::string line = "line " + std::to_string(i) + "\n";
        console().Write(line.data(), std::int32_t(line.size()));
    }
    console().SetVisible(true);
    expectGolden("console_strip", frame(320, 240), 320, 240);
    // Scrolling back a page of the open console, and Home returns.
    for (int i = 12; i < 60; ++i) {
        const std::string line = "line " + std::to_string(i) + "\n";
        console().Write(line.data(), std::int32_t(line.size()));
    }
    console().EnableControl(true);
    frame(320, 240);
    press(kPageUp);
    EXPECT_GT(console().scrollOffset(), 0);
    press(kHome);
    EXPECT_EQ(0, console().scrollOffset());
}

TEST_F(ConsoleTest, ErrorFlashThinsToNothingWithinASecond) {
    console();
    s_now = 10'000'000'000;
    logError("Probe", "error: x");
    expectGolden("console_flash_0ms", frame(64, 48), 64, 48);
    s_now += 500'000'000;
    const Pixels half = frame(64, 48);
    EXPECT_EQ(0xFFFF0000u, half[std::size_t(7) * 64 + 32]);
    EXPECT_EQ(0xFF203050u, half[std::size_t(8) * 64 + 32]);
    s_now += 500'000'000;
    for (std::uint32_t p : frame(64, 48)) {
        ASSERT_EQ(0xFF203050u, p);
    }
}

class ConsoleWithoutFontTest : public ConsoleTest {
protected:
    void SetUp() override {
        m_withFont = false;
        ConsoleTest::SetUp();
    }
};

TEST_F(ConsoleWithoutFontTest, DrawsOnlyTheBackground) {
    console().Write("text\n", 5);
    console().EnableControl(true);
    type("abc");
    const Pixels px = frame(32, 16);
    EXPECT_EQ(0, console().visibleLines());
    for (std::uint32_t p : px) {
        ASSERT_EQ(px[0], p); // one uniform tint, no text
    }
    EXPECT_NE(0xFF203050u, px[0]);
    frame(32, 16); // reported once
    const Lines lines = console().outputLines();
    EXPECT_EQ(1, std::count_if(lines.begin(), lines.end(), [](const std::string& l) {
                  return l.find("no console font") != std::string::npos;
              }));
}

// Standard input replaced by a pipe for the duration of a test.
class StandardInputPipe {
public:
    StandardInputPipe() {
        EXPECT_EQ(0, pipe(m_fds));
        m_saved = dup(STDIN_FILENO);
        dup2(m_fds[0], STDIN_FILENO);
    }
    ~StandardInputPipe() {
        dup2(m_saved, STDIN_FILENO);
        close(m_saved);
        close(m_fds[0]);
        if (m_fds[1] >= 0) close(m_fds[1]);
    }
    void write(const std::string& text) {
        EXPECT_EQ(ssize_t(text.size()), ::write(m_fds[1], text.data(), text.size()));
    }
    void closeWriter() {
        close(m_fds[1]);
        m_fds[1] = -1;
    }

private:
    int m_fds[2] = {-1, -1};
    int m_saved = -1;
};

TEST_F(ConsoleTest, TheReaderQueuesLinesAndStopsAtOnceWhenTheConsoleGoes) {
    StandardInputPipe input;
    setenv("KD_ENABLE_STDIO", "1", 1);
    console();
    unsetenv("KD_ENABLE_STDIO");
    ASSERT_TRUE(console().readsStandardInput());
    input.write("::fromStdin <- 7\r\n");
    for (int i = 0; i < 200 && ScriptHost::getInt(ScriptHost::root(), "fromStdin") != 7; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        console().Render(nullptr);
    }
    EXPECT_EQ(7, ScriptHost::getInt(ScriptHost::root(), "fromStdin"));
    // Nothing more arrives and the writer stays open: the reader is blocked, yet the console goes at once.
    const auto before = std::chrono::steady_clock::now();
    m_console.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2));
}

TEST_F(ConsoleTest, TheReaderEndsWithItsInput) {
    StandardInputPipe input;
    input.write("::early <- 3");
    input.closeWriter();
    setenv("KD_ENABLE_STDIO", "1", 1);
    console();
    unsetenv("KD_ENABLE_STDIO");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    console().Render(nullptr);
    // An unfinished last line is not a command.
    EXPECT_EQ(0, ScriptHost::getInt(ScriptHost::root(), "early"));
}

} // namespace
