#include "app/src/demo_driver.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "component/engine_interfaces.h"
#include "component/media_interfaces.h"
#include "objects/system.h"
#include "platform/kd.h"
#include "platform/kd_window.h"
#include "script/script_host.h"

namespace {

constexpr char kTag[] = "Demo";
// A replay file larger than this is refused rather than read into memory.
constexpr std::size_t kMaxReplayBytes = 4u << 20;

enum class Command { Move, Press, Release, Wheel, Key, Char, Pad, Focus, Close, Script, Quit };

struct ReplayLine {
    std::int64_t frame = 0;
    Command command = Command::Quit;
    std::int32_t a = 0, b = 0, c = 0;
    std::string text;
};

struct DemoState {
    System* system = nullptr;
    KDWindow* window = nullptr;
    std::int64_t stepMs = -1; // < 0: the wall clock
    std::int64_t quitAfter = 0;
    std::int64_t frame = 0;
    KDust clock = 0; // the fixed clock, ns
    // On a fixed clock nothing waits for the wall clock: a 1 ms timer lets each frame follow the last as soon
    // as it is drawn.
    KDTimer* fastTimer = nullptr;
    std::vector<ReplayLine> lines;
    std::size_t next = 0;
    bool installed = false;
};

DemoState g_demo;

bool parseInteger(std::string_view text, std::int64_t& value) {
    if (text.empty() || text.size() > 20) return false;
    const std::string copy(text);
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(copy.c_str(), &end, 0);
    if (errno != 0 || end != copy.c_str() + copy.size()) return false;
    value = parsed;
    return true;
}

std::int64_t environmentInteger(const char* name, std::int64_t fallback) {
    const char* text = std::getenv(name);
    std::int64_t value = 0;
    if (!text || !*text) return fallback;
    if (!parseInteger(text, value) || value < 0) {
        logWarning(kTag, "%s=%s is not a count; ignored", name, text);
        return fallback;
    }
    return value;
}

// Splits off the next word (blanks between).
std::string_view nextWord(std::string_view& rest) {
    std::size_t start = rest.find_first_not_of(" \t");
    if (start == std::string_view::npos) {
        rest = {};
        return {};
    }
    rest.remove_prefix(start);
    std::size_t end = rest.find_first_of(" \t");
    std::string_view word = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
    return word;
}

bool parseArguments(std::string_view rest, std::int32_t* out, int required, int optional) {
    for (int i = 0; i < required + optional; ++i) {
        std::string_view word = nextWord(rest);
        if (word.empty()) return i >= required;
        std::int64_t value = 0;
        if (!parseInteger(word, value) || value < INT32_MIN || value > INT32_MAX) return false;
        out[i] = static_cast<std::int32_t>(value);
    }
    return nextWord(rest).empty();
}

bool parseLine(std::string_view line, ReplayLine& parsed) {
    std::string_view rest = line;
    std::int64_t frame = 0;
    if (!parseInteger(nextWord(rest), frame) || frame < 1) return false;
    parsed.frame = frame;
    const std::string_view command = nextWord(rest);
    std::int32_t values[3] = {0, 0, 0};
    bool ok = true;
    if (command == "move") {
        parsed.command = Command::Move;
        ok = parseArguments(rest, values, 2, 0);
    } else if (command == "press") {
        parsed.command = Command::Press;
        values[2] = KD_INPUT_POINTER_BUTTON_LEFT;
        ok = parseArguments(rest, values, 2, 1);
    } else if (command == "release") {
        parsed.command = Command::Release;
        ok = parseArguments(rest, values, 2, 0);
    } else if (command == "wheel") {
        parsed.command = Command::Wheel;
        ok = parseArguments(rest, values, 3, 0);
    } else if (command == "key") {
        parsed.command = Command::Key;
        std::string_view word = rest;
        std::string_view code = nextWord(word), state = nextWord(word), alt = nextWord(word);
        std::int64_t codeValue = 0, stateValue = 0;
        ok = parseInteger(code, codeValue) && codeValue >= 0 && codeValue < 256 &&
             parseInteger(state, stateValue) && (stateValue == 0 || stateValue == 1) &&
             (alt.empty() || alt == "alt") && nextWord(word).empty();
        values[0] = static_cast<std::int32_t>(codeValue);
        values[1] = static_cast<std::int32_t>(stateValue);
        values[2] = alt.empty() ? 0 : 1;
    } else if (command == "char") {
        parsed.command = Command::Char;
        ok = parseArguments(rest, values, 1, 0) && values[0] >= 0 && values[0] <= 0xFFFF;
    } else if (command == "pad") {
        parsed.command = Command::Pad;
        ok = parseArguments(rest, values, 2, 0);
    } else if (command == "focus") {
        parsed.command = Command::Focus;
        ok = parseArguments(rest, values, 1, 0);
    } else if (command == "close") {
        parsed.command = Command::Close;
        ok = nextWord(rest).empty();
    } else if (command == "script") {
        parsed.command = Command::Script;
        const std::size_t start = rest.find_first_not_of(" \t");
        parsed.text = start == std::string_view::npos ? std::string() : std::string(rest.substr(start));
    } else if (command == "quit") {
        parsed.command = Command::Quit;
        ok = nextWord(rest).empty();
    } else {
        ok = false;
    }
    parsed.a = values[0];
    parsed.b = values[1];
    parsed.c = values[2];
    return ok;
}

bool readReplay(const char* path, std::vector<ReplayLine>& lines) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        logError(kTag, "can't open the replay %s", path);
        return false;
    }
    std::string text;
    char buffer[4096];
    bool tooLarge = false;
    for (;;) {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, file);
        if (got == 0) break;
        text.append(buffer, got);
        if (text.size() > kMaxReplayBytes) {
            tooLarge = true;
            break;
        }
    }
    std::fclose(file);
    if (tooLarge) {
        logError(kTag, "the replay %s is larger than %zu bytes", path, kMaxReplayBytes);
        return false;
    }
    std::string_view rest(text);
    int number = 0;
    std::int64_t lastFrame = 0;
    while (!rest.empty()) {
        ++number;
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string_view::npos || line[first] == '#') continue;
        ReplayLine parsed;
        if (!parseLine(line, parsed)) {
            logWarning(kTag, "%s:%d: not a replay line; skipped", path, number);
            continue;
        }
        if (parsed.frame < lastFrame) {
            logWarning(kTag, "%s:%d: frame %lld comes before frame %lld; skipped", path, number,
                       static_cast<long long>(parsed.frame), static_cast<long long>(lastFrame));
            continue;
        }
        lastFrame = parsed.frame;
        lines.push_back(std::move(parsed));
    }
    return true;
}

void post(KDint32 type, void (*fill)(KDEventData&, const ReplayLine&), const ReplayLine& line) {
    KDEvent* event = kdCreateEvent();
    if (!event) return;
    event->type = type;
    event->userptr = type == KD_EVENT_QUIT ? nullptr : g_demo.window;
    if (fill) fill(event->data, line);
    if (kdPostEvent(event) != 0) kdFreeEvent(event);
}

void pointer(KDEventData& data, KDint32 index, KDint32 select, const ReplayLine& line) {
    data.inputpointer.index = index;
    data.inputpointer.select = select;
    data.inputpointer.x = line.a;
    data.inputpointer.y = line.b;
}

void input(KDEventData& data, KDint32 index, KDint64 value) {
    data.input.index = index;
    data.input.value = value;
}

void play(const ReplayLine& line) {
    switch (line.command) {
    case Command::Move:
        post(
            KD_EVENT_INPUT_POINTER,
            [](KDEventData& d, const ReplayLine& l) { pointer(d, KD_INPUT_POINTER_X, 0, l); }, line);
        break;
    case Command::Press:
        post(
            KD_EVENT_INPUT_POINTER,
            [](KDEventData& d, const ReplayLine& l) { pointer(d, KD_INPUT_POINTER_SELECT, l.c, l); }, line);
        break;
    case Command::Release:
        post(
            KD_EVENT_INPUT_POINTER,
            [](KDEventData& d, const ReplayLine& l) { pointer(d, KD_INPUT_POINTER_SELECT, 0, l); }, line);
        break;
    case Command::Wheel:
        post(
            KD_EVENT_INPUT_POINTER,
            [](KDEventData& d, const ReplayLine& l) {
                d.inputpointer.index = KD_INPUT_POINTER_WHEEL;
                d.inputpointer.select = static_cast<KDint32>(static_cast<KDuint32>(l.a) << 16);
                d.inputpointer.x = l.b;
                d.inputpointer.y = l.c;
            },
            line);
        break;
    case Command::Key:
        post(
            KD_EVENT_INPUT,
            [](KDEventData& d, const ReplayLine& l) {
                // Key data as a keyboard gives it: repeat count 1, bit 29 Alt, bits 30-31 on release.
                KDuint32 keyData = 1u | (l.c ? 0x20000000u : 0u) | (l.b ? 0u : 0xC0000000u);
                input(d, KD_INPUT_KEY_BASE + l.a,
                      static_cast<KDint64>((static_cast<KDuint64>(keyData) << 32) |
                                           static_cast<KDuint32>(l.b)));
            },
            line);
        break;
    case Command::Char:
        post(
            KD_EVENT_INPUT,
            [](KDEventData& d, const ReplayLine& l) {
                input(d, KD_INPUT_CHAR_BASE + l.a, static_cast<KDint64>((KDuint64{1} << 32) | 2u));
            },
            line);
        break;
    case Command::Pad:
        post(
            KD_EVENT_INPUT, [](KDEventData& d, const ReplayLine& l) { input(d, l.a, l.b ? 1 : 0); }, line);
        break;
    case Command::Focus:
        post(
            KD_EVENT_WINDOW_FOCUS,
            [](KDEventData& d, const ReplayLine& l) { d.windowfocus.focusstate = l.a ? 1 : 0; }, line);
        break;
    case Command::Close:
        post(KD_EVENT_WINDOW_CLOSE, nullptr, line);
        break;
    case Command::Script:
        ScriptHost::callClosure(ScriptHost::compileBuffer(line.text.c_str()));
        break;
    case Command::Quit:
        post(KD_EVENT_QUIT, nullptr, line);
        break;
    }
}

void onFrameTimer(const KDEvent*) {
    System* system = System::live();
    if (!system || system != g_demo.system) return;
    ComponentRef<> hold(abstractOf(system)); // a script may drop the last owner during the tick
    ++g_demo.frame;
    while (g_demo.next < g_demo.lines.size() && g_demo.lines[g_demo.next].frame <= g_demo.frame) {
        play(g_demo.lines[g_demo.next++]); // a script line may stop the driver
        if (!g_demo.installed) return;
    }
    if (g_demo.stepMs >= 0) {
        system->resetTimeAt(g_demo.clock);
        g_demo.clock += static_cast<KDust>(g_demo.stepMs) * 1'000'000u;
        system->updateFrameAt(g_demo.clock);
    } else {
        system->UpdateFrame();
    }
    system->RenderFrame();
    if (g_demo.quitAfter > 0 && g_demo.frame == g_demo.quitAfter) {
        logInfo(kTag, "%lld frame(s) played", static_cast<long long>(g_demo.frame));
        post(KD_EVENT_QUIT, nullptr, ReplayLine{});
    }
}

} // namespace

bool startDemoDriver(ISystem* system, IDisplay* display) {
    stopDemoDriver();
    const std::int64_t step = environmentInteger("HH_FIXED_STEP_MS", -1);
    const std::int64_t quitAfter = environmentInteger("HH_QUIT_AFTER", 0);
    const char* replay = std::getenv("HH_REPLAY");
    const bool hasReplay = replay && *replay;
    if (step < 0 && quitAfter == 0 && !hasReplay) return true;
    System* live = System::live();
    if (!live || abstractOf(live) != abstractOf(system)) {
        logWarning(kTag, "no system object to drive");
        return true;
    }
    bool read = true;
    if (hasReplay) read = readReplay(replay, g_demo.lines);
    g_demo.system = live;
    g_demo.window = display ? display->GetWindow() : nullptr;
    g_demo.stepMs = step > 100000 ? 100000 : step;
    g_demo.quitAfter = quitAfter;
    // Newer than the system object's own entry for its timer, so it wins while installed.
    kdInstallCallback(&onFrameTimer, KD_EVENT_TIMER, live);
    g_demo.installed = true;
    if (g_demo.stepMs >= 0) g_demo.fastTimer = kdSetTimer(1'000'000, live);
    logInfo(kTag, "demo mode: step %lld ms, %zu replay line(s), quit after %lld frame(s)",
            static_cast<long long>(g_demo.stepMs), g_demo.lines.size(), static_cast<long long>(quitAfter));
    return read;
}

void stopDemoDriver() {
    if (g_demo.fastTimer) kdCancelTimer(g_demo.fastTimer);
    if (g_demo.installed) kdInstallCallback(nullptr, KD_EVENT_TIMER, g_demo.system);
    g_demo = DemoState{};
}
