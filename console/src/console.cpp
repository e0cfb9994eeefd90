// The debug console: output lines, the input line with history and completion, the standard-input reader,
// and drawing.
#include "console/console.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "binding/binding.h"
#include "component/class_names.h"
#include "component/component_registry.h"
#include "component/engine_interfaces.h"
#include "graphics/graphics.h"
#include "platform/kd_window.h"
#include "script/script_call.h"
#include "script/script_host.h"

namespace {

constexpr char kTag[] = "Console";
constexpr char kSeparators[] = "(){}[];,.=><!~?:+-*/&|^%# \n\r\t\"";
constexpr std::uint32_t kPromptColour = 0xFF7FFF00u;
constexpr std::uint32_t kSuggestionColour = 0xFF8FBC8Bu;
constexpr std::uint32_t kBackground = 0xBB000000u;
constexpr std::uint32_t kRed = 0xFFFF0000u;
constexpr KDust kFlashNs = 1000'000'000;

enum : std::int32_t {
    VK_PRIOR = 0x21,
    VK_NEXT = 0x22,
    VK_END = 0x23,
    VK_HOME = 0x24,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    VK_DELETE = 0x2E,
};

bool isSeparator(char c) {
    return c != 0 && std::strchr(kSeparators, c) != nullptr;
}

bool isContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0u) == 0x80u;
}

void appendUtf8(std::string& out, std::uint32_t v) {
    if (v < 0x80) {
        out += static_cast<char>(v);
    } else if (v < 0x800) {
        out += static_cast<char>(0xC0 | (v >> 6));
        out += static_cast<char>(0x80 | (v & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (v >> 12));
        out += static_cast<char>(0x80 | ((v >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (v & 0x3F));
    }
}

// reloadScript(path): runs the file again with the root table as `this`.
SQInteger reloadScript(HSQUIRRELVM v) {
    const char* path = binding_detail::readText(v, 2);
    ScriptValue closure = ScriptHost::loadScriptFile(path);
    bool ok = false;
    if (!closure.isNull()) {
        // Called directly (not through callClosure) to tell a runtime error from a null result.
        const SQInteger top = sq_gettop(v);
        sq_pushobject(v, closure.object());
        sq_pushroottable(v);
        ok = SQ_SUCCEEDED(sq_call(v, 1, SQFalse, SQTrue));
        sq_settop(v, top);
    }
    if (ok) {
        logPlain(kTag, "Reloaded %s", path);
    } else {
        logError(kTag, "Can't reload %s", path);
    }
    sq_pushbool(v, ok ? SQTrue : SQFalse);
    return 1;
}

} // namespace

struct Console::Shared {
    std::mutex lock;
    std::vector<std::string> pending;
    int wakeRead = -1;
    int wakeWrite = -1;
    ~Shared() {
        if (wakeRead >= 0) close(wakeRead);
        if (wakeWrite >= 0) close(wakeWrite);
    }
};

Console::Console() : m_shared(std::make_shared<Shared>()) {
    kdSetLogHook(&Console::onLog, this);
    if (HSQUIRRELVM v = ScriptHost::vm()) {
        m_completion = ScriptHost::callClosure(ScriptHost::loadScriptFile(kCompletionScript));
        const SQInteger top = sq_gettop(v);
        sq_pushroottable(v);
        createFunction(v, sq_gettop(v), "reloadScript", &reloadScript, "s");
        sq_settop(v, top);
    }
    if (kdGetEnv("KD_ENABLE_STDIO") != nullptr) {
        int fds[2];
        if (pipe(fds) == 0) {
            m_shared->wakeRead = fds[0];
            m_shared->wakeWrite = fds[1];
            m_reader = std::thread(&Console::readStandardInput, m_shared);
        } else {
            logError(kTag, "can't read standard input: %s", std::strerror(errno));
        }
    }
}

Console::~Console() {
    kdSetLogHook(nullptr, nullptr);
    if (m_reader.joinable()) {
        const char wake = 1;
        [[maybe_unused]] const ssize_t written = write(m_shared->wakeWrite, &wake, 1);
        m_reader.join();
    }
}

void Console::readStandardInput(std::shared_ptr<Shared> shared) {
    pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {shared->wakeRead, POLLIN, 0}};
    std::string line;
    char buffer[256];
    for (;;) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents != 0) {
            return; // the console is going away
        }
        if (fds[0].revents == 0) {
            continue;
        }
        const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) {
            return; // end of input or an error
        }
        for (ssize_t i = 0; i < got; ++i) {
            if (buffer[i] == '\r' || buffer[i] == '\n') {
                std::lock_guard<std::mutex> hold(shared->lock);
                shared->pending.push_back(line);
                line.clear();
            } else {
                line += buffer[i];
            }
        }
    }
}

void Console::onLog(const KDchar* text, void* self) {
    if (text != nullptr) {
        static_cast<Console*>(self)->Write(text, static_cast<std::int32_t>(std::strlen(text)));
    }
}

std::int32_t Console::Write(const void* buffer, std::int32_t count) {
    if (buffer == nullptr || count <= 0) {
        return 0;
    }
    const char* text = static_cast<const char*>(buffer);
    if (m_reader.joinable()) {
        std::fwrite(text, 1, static_cast<std::size_t>(count), stdout);
        std::fflush(stdout);
    }
    std::lock_guard<std::mutex> hold(m_shared->lock);
    if (m_output.empty()) {
        m_output.emplace_back();
    }
    for (std::int32_t i = 0; i < count; ++i) {
        if (text[i] != '\n') {
            m_output.back() += text[i];
            continue;
        }
        if (m_output.back().find("error") != std::string::npos) {
            m_lastErrorTime = m_clock();
        }
        m_output.emplace_back();
        if (m_output.size() > kMaxOutputLines) {
            m_output.pop_front();
        }
    }
    return count;
}

std::vector<std::string> Console::outputLines() {
    std::lock_guard<std::mutex> hold(m_shared->lock);
    return {m_output.begin(), m_output.end()};
}

void Console::queueCommand(const std::string& line) {
    std::lock_guard<std::mutex> hold(m_shared->lock);
    m_shared->pending.push_back(line);
}

std::uint32_t Console::lineColour(const std::string& line) {
    if (line.find("[Console]") != std::string::npos) return 0xFF7FFF00u;
    if (line.find("error") != std::string::npos || line.find("ERROR") != std::string::npos)
        return 0xFFFF0000u;
    if (line.find("warning") != std::string::npos) return 0xFFFFFF00u;
    if (line.find("info") != std::string::npos) return 0xFF00FFFFu;
    return 0xFFFFFFFFu;
}

void Console::runLine(const std::string& line) {
    {
        std::lock_guard<std::mutex> hold(m_shared->lock);
        if (!m_output.empty() && !m_output.back().empty()) {
            m_output.emplace_back();
        }
    }
    m_scroll = 0;
    logPlain(kTag, "%s", line.c_str());
    ComponentRef<IAbstract> hold(
        abstractOf(static_cast<IRenderable*>(this))); // a command may drop the console
    ScriptHost::callClosure(ScriptHost::compileBuffer(line.c_str()), ScriptHost::root(), "console command");
}

// ---- keyboard

void Console::deleteSelection() {
    if (m_selectionLength > 0) {
        m_input.erase(static_cast<std::size_t>(m_selectionStart),
                      static_cast<std::size_t>(m_selectionLength));
        m_cursor = m_selectionStart;
    }
    m_selectionLength = 0;
}

void Console::complete() {
    m_cursor = m_selectionStart + m_selectionLength > m_cursor && m_selectionLength > 0
                   ? m_selectionStart + m_selectionLength
                   : m_cursor;
    m_selectionLength = 0;
    const std::size_t cursor = static_cast<std::size_t>(m_cursor);
    if (cursor < m_input.size() && !isSeparator(m_input[cursor])) {
        return;
    }
    std::size_t start = cursor;
    while (start > 0 && !isSeparator(m_input[start - 1])) {
        --start;
    }
    const std::string word = m_input.substr(start, cursor - start);
    if (word.size() <= 1 || m_completion.isNull() || !ScriptCall::begin(m_completion)) {
        return;
    }
    ScriptCall::pushString(word.c_str());
    ScriptValue result = ScriptCall::end();
    if (result.isNull()) {
        return;
    }
    HSQUIRRELVM v = ScriptHost::vm();
    const SQInteger top = sq_gettop(v);
    sq_pushobject(v, result.object());
    const SQChar* text = nullptr;
    sq_tostring(v, -1);
    if (SQ_FAILED(sq_getstring(v, -1, &text)) || text == nullptr) {
        sq_settop(v, top);
        return;
    }
    const std::string suggestion = text;
    sq_settop(v, top);
    m_input.replace(start, word.size(), suggestion);
    const std::size_t extra = suggestion.size() > word.size() ? suggestion.size() - word.size() : 0;
    m_selectionStart = static_cast<std::int32_t>(start + word.size());
    m_selectionLength = static_cast<std::int32_t>(extra);
    if (extra == 0) {
        m_selectionStart = static_cast<std::int32_t>(start + suggestion.size());
    }
    m_cursor = m_selectionStart;
}

void Console::execute() {
    deleteSelection();
    if (m_input.empty()) {
        return;
    }
    const std::string line = m_input;
    m_history.push_back(line);
    m_historyIndex = static_cast<std::int32_t>(m_history.size());
    m_input.clear();
    m_cursor = 0;
    runLine(line);
}

bool Console::handleCharacter(std::uint32_t code) {
    if (code == '`') {
        m_open = !m_open;
        return true;
    }
    if (!m_open) {
        return false;
    }
    switch (code) {
    case 8:
        deleteSelection();
        if (m_cursor > 0) {
            std::size_t at = static_cast<std::size_t>(m_cursor) - 1;
            while (at > 0 && isContinuation(m_input[at])) --at;
            m_input.erase(at, static_cast<std::size_t>(m_cursor) - at);
            m_cursor = static_cast<std::int32_t>(at);
        }
        return true;
    case 9:
        complete();
        return true;
    case 10:
    case 13:
        execute();
        return true;
    case 27:
        m_open = !m_open;
        return true;
    default:
        break;
    }
    // Other control characters and lone surrogate halves have nothing to show.
    if (code < 32 || code == 127 || (code >= 0xD800 && code <= 0xDFFF)) {
        return true;
    }
    deleteSelection();
    std::string bytes;
    appendUtf8(bytes, code);
    m_input.insert(static_cast<std::size_t>(m_cursor), bytes);
    m_cursor += static_cast<std::int32_t>(bytes.size());
    return true;
}

bool Console::handleKey(std::int32_t key) {
    if (!m_open) {
        return false;
    }
    const std::int32_t lines = static_cast<std::int32_t>(m_output.size());
    const std::int32_t page = static_cast<std::int32_t>(std::floor(m_pageFraction * float(m_visibleLines)));
    switch (key) {
    case VK_PRIOR:
        m_scroll = std::max(0, std::min(m_scroll + page, lines - m_visibleLines + 1));
        break;
    case VK_NEXT:
        m_scroll = std::max(0, m_scroll - page);
        break;
    case VK_END:
        deleteSelection();
        m_cursor = static_cast<std::int32_t>(m_input.size());
        break;
    case VK_HOME:
        deleteSelection();
        m_cursor = 0;
        m_scroll = 0;
        break;
    case VK_LEFT:
        deleteSelection();
        while (m_cursor > 0) {
            --m_cursor;
            if (!isContinuation(m_input[static_cast<std::size_t>(m_cursor)])) break;
        }
        break;
    case VK_RIGHT:
        deleteSelection();
        while (m_cursor < static_cast<std::int32_t>(m_input.size())) {
            ++m_cursor;
            if (m_cursor == static_cast<std::int32_t>(m_input.size()) ||
                !isContinuation(m_input[static_cast<std::size_t>(m_cursor)]))
                break;
        }
        break;
    case VK_UP:
    case VK_DOWN:
        deleteSelection();
        if (m_history.empty()) break;
        if (key == VK_UP && m_historyIndex > 0) --m_historyIndex;
        if (key == VK_DOWN && m_historyIndex < static_cast<std::int32_t>(m_history.size()) - 1)
            ++m_historyIndex;
        m_historyIndex = std::min(m_historyIndex, static_cast<std::int32_t>(m_history.size()) - 1);
        m_input = m_history[static_cast<std::size_t>(m_historyIndex)];
        m_cursor = static_cast<std::int32_t>(m_input.size());
        break;
    case VK_DELETE:
        deleteSelection();
        if (m_cursor < static_cast<std::int32_t>(m_input.size())) {
            std::size_t end = static_cast<std::size_t>(m_cursor) + 1;
            while (end < m_input.size() && isContinuation(m_input[end])) ++end;
            m_input.erase(static_cast<std::size_t>(m_cursor), end - static_cast<std::size_t>(m_cursor));
        }
        break;
    default:
        break;
    }
    return true;
}

bool Console::HandleKeyEvent(const KDEvent& event) {
    if (event.type != KD_EVENT_INPUT) {
        return false;
    }
    const std::int32_t index = event.data.input.index;
    const std::int32_t state = static_cast<std::int32_t>(event.data.input.value & 0xFFFFFFFF);
    if (state == 0) {
        return m_open; // releases: swallowed while open
    }
    if (index >= KD_INPUT_CHAR_BASE && index < KD_INPUT_CHAR_BASE + 0x10000) {
        return handleCharacter(static_cast<std::uint32_t>(index - KD_INPUT_CHAR_BASE));
    }
    if (index >= KD_INPUT_KEY_BASE && index < KD_INPUT_CHAR_BASE) {
        return handleKey(index - KD_INPUT_KEY_BASE);
    }
    return m_open;
}

// ---- drawing

void Console::drawFlash(IGraphics& g, const Rect& target) {
    if (m_lastErrorTime == 0) {
        return;
    }
    const KDust elapsed = m_clock() - m_lastErrorTime;
    if (elapsed >= kFlashNs) {
        m_lastErrorTime = 0;
        return;
    }
    const float thickness = float((1000 - elapsed / 1000000) * 16 / 1000);
    if (thickness <= 0) {
        return;
    }
    const float w = float(target.Width), h = float(target.Height);
    g.SetColor(kRed);
    g.FillRect(0, 0, w, thickness);
    g.FillRect(0, h - thickness, w, thickness);
    g.FillRect(0, thickness, thickness, h - 2 * thickness);
    g.FillRect(w - thickness, thickness, thickness, h - 2 * thickness);
}

void Console::draw(IGraphics& g, const Rect& target) {
    const float fraction = m_open ? m_heightFraction : 0.1f;
    const float height = std::floor(float(target.Height) * fraction);
    if (!m_fontTried) {
        m_fontTried = true;
        if (ComponentRef<IResourceManager> resources = ComponentRegistry::instance()
                                                           .create(classId(ClassName::ResourceManager))
                                                           .query<IResourceManager>()) {
            m_font = resources->GetFont(kFontPath).query<IFont>();
        }
        if (!m_font) {
            logWarning(kTag, "no console font %s: only the background is drawn", kFontPath);
        }
    }
    // Measured every frame, so paging follows the open console rather than the strip it was first shown as.
    const std::int32_t fontHeight = m_font ? m_font->GetHeight() : 0;
    m_visibleLines = fontHeight > 0 ? static_cast<std::int32_t>(height) / fontHeight : 0;
    g.SetColor(kBackground);
    g.FillRect(0, 0, float(target.Width), height);
    const std::int32_t lineHeight = m_font ? m_font->GetHeight() : 0;
    if (lineHeight <= 0) {
        return;
    }
    IFont* font = m_font.get();
    g.SetFont(font);
    float y = height - float(lineHeight);
    if (m_open) {
        // The prompt, the text before the suggestion, the suggestion, the rest, and the cursor.
        const std::size_t selStart =
            static_cast<std::size_t>(m_selectionLength > 0 ? m_selectionStart : m_cursor);
        const std::size_t selEnd = selStart + static_cast<std::size_t>(m_selectionLength);
        std::string before = "\x7F" + m_input.substr(0, selStart);
        g.SetColor(kPromptColour);
        g.DrawString(before.c_str(), 0, y);
        float x = float(font->GetWidth(before.c_str()));
        if (m_selectionLength > 0) {
            const std::string suggestion = m_input.substr(selStart, selEnd - selStart);
            g.SetColor(kSuggestionColour);
            g.DrawString(suggestion.c_str(), x, y);
            x += float(font->GetWidth(suggestion.c_str()));
        }
        if (selEnd < m_input.size()) {
            g.SetColor(kPromptColour);
            g.DrawString(m_input.c_str() + selEnd, x, y);
        }
        const std::string upToCursor = "\x7F" + m_input.substr(0, static_cast<std::size_t>(m_cursor));
        g.SetColor(0xFFFFFFFFu);
        g.DrawString("_", float(font->GetWidth(upToCursor.c_str())), y);
        y -= float(lineHeight);
    }
    // Newest lines first, upwards; the line still being written shows once it has text.
    std::lock_guard<std::mutex> hold(m_shared->lock);
    std::size_t index = m_output.size();
    if (index > 0 && m_output.back().empty()) {
        --index;
    }
    std::size_t skip = static_cast<std::size_t>(m_scroll);
    while (index > 0 && y + float(lineHeight) > 0) {
        --index;
        if (skip > 0) {
            --skip;
            continue;
        }
        const std::string& line = m_output[index];
        g.SetColor(lineColour(line));
        g.DrawString(line.c_str(), 0, y);
        y -= float(lineHeight);
    }
}

void Console::Render(IGraphics* graphics, ClassMask) {
    ComponentRef<IAbstract> hold(abstractOf(static_cast<IRenderable*>(this)));
    {
        std::lock_guard<std::mutex> lock(m_shared->lock);
        m_running.swap(m_shared->pending);
    }
    for (const std::string& line : m_running) {
        runLine(line);
    }
    m_running.clear();
    if (graphics == nullptr) {
        return;
    }
    // The console draws in target pixels, whatever the camera did to the context.
    const GraphicsState saved = graphics->GetState();
    ComponentRef<IFont> savedFont(saved.font);
    const Rect target = graphics->GetTargetRect();
    graphics->SetTransform(Matrix3());
    graphics->SetClip(target);
    graphics->SetBlendMode(2);
    if (!m_open && !m_visible) {
        drawFlash(*graphics, target);
    } else {
        draw(*graphics, target);
    }
    graphics->SetState(saved);
}

void registerConsoleClass(ComponentRegistry& registry) {
    registry.provideFactory(classId(ClassName::Console), &createSingleInstance<Console>);
}
