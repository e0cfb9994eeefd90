#pragma once
// `Console`: the in-game debug console, one per process (class name "Console"). A text window over the game
// in which script statements are typed and run, with the log's lines coloured by severity, command history,
// word completion supplied by "scripts/sys/Console.nut", and, with KD_ENABLE_STDIO set, commands read from
// standard input (and everything written echoed to standard output).
//
// States: closed (only a red frame flashes for a second after a line containing "error" is written), visible
// (the newest lines in a strip over the top tenth of the screen), open (the whole screen, an input line, and
// every key). '`' toggles open, Escape closes; scripts reach the flags through enableControl/setVisible.
//
// Threads: everything runs on the main thread except the standard-input reader, which only appends complete
// lines to the pending commands under the console's lock; Render runs them (outside the lock, as a command
// may write to the console). The reader waits on standard input and a wake-up pipe, so destruction stops and
// joins it at once, whatever standard input is doing.
//
// Without "res/fonts/console.fnt" the console draws only its background (no lines, no input); the missing
// font is reported once.
//
// For developers the console also adds the root function reloadScript(path), which runs a script file again
// in the running game (new definitions replace the old ones); true when the file compiled and ran.

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "component/component_factory.h"
#include "component/component_ref.h"
#include "component/frame_interfaces.h"
#include "component/media_interfaces.h"
#include "component/stream_interfaces.h"
#include "platform/kd.h"
#include "script/script_value.h"

class Console final : public IRenderable,
                      public IInputHandler,
                      public IOutputStream,
                      public IManualControl,
                      public IVisible,
                      public SingleInstance<Console> {
public:
    static constexpr char kFontPath[] = "res/fonts/console.fnt";
    static constexpr char kCompletionScript[] = "scripts/sys/Console.nut";
    // The oldest output lines are dropped beyond this many.
    static constexpr std::size_t kMaxOutputLines = 4000;

    Console();
    ~Console() override;

    void* QueryInterface(InterfaceId id) override {
        return queryAmong<IRenderable, IInputHandler, IOutputStream, IManualControl, IVisible>(this, id);
    }

    // IOutputStream: appends text; a line feed finishes a line.
    std::int32_t Write(const void* buffer, std::int32_t count) override;
    // IInputHandler
    bool HandleKeyEvent(const KDEvent& event) override;
    bool HandlePointerEvent(const KDEvent&) override { return false; }
    // IRenderable: runs the pending commands, then draws (after everything else).
    using IRenderable::Render;
    void Render(IGraphics* graphics, ClassMask mask) override;
    std::int32_t GetRenderLayer() override { return 2147483647; }
    // IManualControl: open for typing.
    void EnableControl(bool enabled) override { m_open = enabled; }
    bool IsControlEnabled() override { return m_open; }
    // IVisible: the strip of newest lines while closed.
    void SetVisible(bool visible) override { m_visible = visible; }
    bool IsVisible() override { return m_visible; }

    // Runs one line as the console does (echoed with the tag "Console", compiled as "console_buffer").
    void runLine(const std::string& line);
    // Lines read from standard input (or given by a test) wait here until the next Render.
    void queueCommand(const std::string& line);

    // What tests look at.
    const std::string& inputLine() const { return m_input; }
    std::int32_t cursor() const { return m_cursor; }
    std::int32_t selectionStart() const { return m_selectionStart; }
    std::int32_t selectionLength() const { return m_selectionLength; }
    std::int32_t scrollOffset() const { return m_scroll; }
    std::int32_t visibleLines() const { return m_visibleLines; }
    std::vector<std::string> outputLines();
    bool readsStandardInput() const { return m_reader.joinable(); }
    // The error flash measures from this clock (ns); tests set it.
    void setClock(KDust (*clock)()) { m_clock = clock; }

    // The colour of an output line.
    static std::uint32_t lineColour(const std::string& line);

private:
    struct Shared; // what the reader thread co-owns
    static void onLog(const KDchar* text, void* self);
    static void readStandardInput(std::shared_ptr<Shared> shared);

    bool handleCharacter(std::uint32_t code);
    bool handleKey(std::int32_t key);
    void deleteSelection();
    void complete();
    void execute();
    void drawFlash(IGraphics& g, const Rect& target);
    void draw(IGraphics& g, const Rect& target);

    std::shared_ptr<Shared> m_shared;
    std::thread m_reader;
    std::deque<std::string> m_output;
    std::string m_input;
    std::int32_t m_cursor = 0;
    std::int32_t m_selectionStart = 0;
    std::int32_t m_selectionLength = 0;
    std::vector<std::string> m_history;
    std::int32_t m_historyIndex = 0;
    std::int32_t m_scroll = 0;
    std::int32_t m_visibleLines = 0;
    bool m_open = false;
    bool m_visible = false;
    float m_heightFraction = 1.0f;
    float m_pageFraction = 0.3f;
    KDust m_lastErrorTime = 0;
    KDust (*m_clock)() = &kdGetTimeUST;
    ScriptValue m_completion;
    ComponentRef<IFont> m_font;
    bool m_fontTried = false;
    std::vector<std::string> m_running; // the pending commands being run (kept to spare allocations)
};

// Installs the `Console` factory in the registry (the one live console).
class ComponentRegistry;
void registerConsoleClass(ComponentRegistry& registry);
