#include "tools/sound_synth/synth.h"
#include "tools/le_bytes.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMaxMs = 5 * 60 * 1000.0;

enum class Wave { Sine, Square, Triangle, Saw, Noise };

struct Voice {
    Wave wave = Wave::Sine;
    double attack = 5.0;
    double release = 60.0;
    double vibratoRate = 0.0;
    double vibratoDepth = 0.0;
};

struct Tone {
    Voice voice;
    double start = 0, duration = 0, from = 0, to = 0, volume = 0;
};

bool number(const std::string& word, double& value) {
    if (word.empty()) return false;
    errno = 0;
    char* end = nullptr;
    value = std::strtod(word.c_str(), &end);
    return errno == 0 && end == word.c_str() + word.size() && std::isfinite(value);
}

// A frequency as a number or a note name: letter, optional '#' or 'b', octave 0 ... 8.
bool frequency(const std::string& word, double& value) {
    if (number(word, value)) return value > 0 && value <= 20000;
    if (word.size() < 2 || word.size() > 3) return false;
    static const int kSemitones[] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G from C
    const char letter = word[0];
    if (letter < 'A' || letter > 'G') return false;
    int semitone = kSemitones[letter - 'A'];
    std::size_t i = 1;
    if (word[i] == '#') {
        ++semitone;
        ++i;
    } else if (word[i] == 'b') {
        --semitone;
        ++i;
    }
    if (i + 1 != word.size() || word[i] < '0' || word[i] > '8') return false;
    const int midi = (word[i] - '0' + 1) * 12 + semitone;
    value = 440.0 * std::pow(2.0, (midi - 69) / 12.0);
    return true;
}

double oscillator(Wave wave, double phase, std::uint32_t& noise) {
    const double t = phase - std::floor(phase);
    switch (wave) {
    case Wave::Sine:
        return std::sin(2 * kPi * t);
    case Wave::Square:
        return t < 0.5 ? 0.6 : -0.6;
    case Wave::Triangle:
        return t < 0.5 ? 4 * t - 1 : 3 - 4 * t;
    case Wave::Saw:
        return (2 * t - 1) * 0.7;
    case Wave::Noise:
        noise = noise * 1664525u + 1013904223u; // a fixed generator: the same file every build
        return static_cast<double>(noise >> 8) / double(1u << 23) - 1.0;
    }
    return 0;
}

} // namespace

bool synthesize(const std::string& description, SynthResult& out) {
    out = SynthResult{};
    Voice voice;
    std::vector<Tone> tones;
    double length = -1;
    double echoDelay = 0, echoGain = 0;
    std::istringstream lines(description);
    std::string line;
    int number_ = 0;
    auto fail = [&](const std::string& message) {
        out.error = "line " + std::to_string(number_) + ": " + message;
        return false;
    };
    while (std::getline(lines, line)) {
        ++number_;
        if (const std::size_t hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string word; words >> word;) w.push_back(word);
        if (w.empty()) continue;
        std::vector<double> v(w.size(), 0.0);
        auto need = [&](std::size_t n, std::size_t numeric) {
            if (w.size() != n) return false;
            for (std::size_t i = 1; i < numeric; ++i) {
                if (!number(w[i], v[i])) return false;
            }
            return true;
        };
        const std::string& what = w[0];
        if (what == "rate") {
            if (!need(2, 2) || v[1] < 8000 || v[1] > 48000) return fail("rate takes 8000 ... 48000");
            out.rate = static_cast<std::int32_t>(v[1]);
        } else if (what == "length") {
            if (!need(2, 2) || v[1] <= 0 || v[1] > kMaxMs) return fail("length takes 1 ms ... 5 minutes");
            length = v[1];
        } else if (what == "wave") {
            if (w.size() != 2) return fail("wave takes a name");
            static const std::pair<const char*, Wave> kWaves[] = {{"sine", Wave::Sine},
                                                                  {"square", Wave::Square},
                                                                  {"triangle", Wave::Triangle},
                                                                  {"saw", Wave::Saw},
                                                                  {"noise", Wave::Noise}};
            bool found = false;
            for (const auto& [name, wave] : kWaves) {
                if (w[1] == name) {
                    voice.wave = wave;
                    found = true;
                }
            }
            if (!found) return fail("unknown wave '" + w[1] + "'");
        } else if (what == "envelope") {
            if (!need(3, 3) || v[1] < 0 || v[2] < 0 || v[1] > 60000 || v[2] > 60000)
                return fail("envelope takes attack and release (0 ... 60000 ms)");
            voice.attack = v[1];
            voice.release = v[2];
        } else if (what == "vibrato") {
            if (!need(3, 3) || v[1] < 0 || v[1] > 100 || v[2] < 0 || v[2] > 0.5)
                return fail("vibrato takes a rate (0 ... 100 Hz) and a depth (0 ... 0.5)");
            voice.vibratoRate = v[1];
            voice.vibratoDepth = v[2];
        } else if (what == "tone") {
            if (w.size() != 5 && w.size() != 6)
                return fail("tone takes start, duration, frequency, [end,] volume");
            Tone tone;
            tone.voice = voice;
            const bool glide = w.size() == 6;
            if (!number(w[1], tone.start) || !number(w[2], tone.duration) || !frequency(w[3], tone.from) ||
                (glide && !frequency(w[4], tone.to)) || !number(w.back(), tone.volume))
                return fail("bad tone values");
            if (!glide) tone.to = tone.from;
            if (tone.start < 0 || tone.duration <= 0 || tone.start + tone.duration > kMaxMs ||
                tone.volume < 0 || tone.volume > 1)
                return fail("tone out of range");
            tones.push_back(tone);
        } else if (what == "notes") {
            double start = 0, step = 0, volume = 0;
            if (w.size() < 5 || !number(w[1], start) || !number(w[2], step) || !number(w[3], volume) ||
                start < 0 || step <= 0 || volume < 0 || volume > 1)
                return fail("notes takes start, step, volume and at least one note");
            for (std::size_t i = 4; i < w.size(); ++i) {
                const double at = start + step * double(i - 4);
                if (at + step > kMaxMs) return fail("notes run past 5 minutes");
                if (w[i] == "-") continue;
                if (w[i] == "~") {
                    if (!tones.empty()) tones.back().duration += step;
                    continue;
                }
                Tone tone;
                tone.voice = voice;
                tone.start = at;
                tone.duration = step;
                tone.volume = volume;
                if (!frequency(w[i], tone.from)) return fail("bad note '" + w[i] + "'");
                tone.to = tone.from;
                tones.push_back(tone);
            }
        } else if (what == "echo") {
            if (!need(3, 3) || v[1] <= 0 || v[1] > 5000 || v[2] < 0 || v[2] >= 1)
                return fail("echo takes a delay (1 ... 5000 ms) and a gain below 1");
            echoDelay = v[1];
            echoGain = v[2];
        } else {
            return fail("unknown command '" + what + "'");
        }
    }
    if (length < 0) {
        length = 0;
        for (const Tone& tone : tones) length = std::max(length, tone.start + tone.duration);
    }
    if (length <= 0) {
        out.error = "the description makes no sound";
        return false;
    }
    const std::size_t count = static_cast<std::size_t>(length * out.rate / 1000.0);
    std::vector<double> mix(count, 0.0);
    std::uint32_t noise = 0x2545F491u;
    for (const Tone& tone : tones) {
        const std::size_t first = static_cast<std::size_t>(tone.start * out.rate / 1000.0);
        const std::size_t n = static_cast<std::size_t>(tone.duration * out.rate / 1000.0);
        double phase = 0;
        for (std::size_t i = 0; i < n && first + i < count; ++i) {
            const double ms = 1000.0 * double(i) / out.rate;
            const double progress = n > 1 ? double(i) / double(n - 1) : 0;
            double f = tone.from * std::pow(tone.to / tone.from, progress);
            if (tone.voice.vibratoRate > 0)
                f *= 1 + tone.voice.vibratoDepth * std::sin(2 * kPi * tone.voice.vibratoRate * ms / 1000.0);
            phase += f / out.rate;
            double gain = tone.volume;
            if (tone.voice.attack > 0 && ms < tone.voice.attack) gain *= ms / tone.voice.attack;
            const double left = tone.duration - ms;
            if (tone.voice.release > 0 && left < tone.voice.release)
                gain *= std::max(0.0, left / tone.voice.release);
            mix[first + i] += gain * oscillator(tone.voice.wave, phase, noise);
        }
    }
    if (echoDelay > 0) {
        const std::size_t delay =
            std::max<std::size_t>(1, static_cast<std::size_t>(echoDelay * out.rate / 1000.0));
        for (std::size_t i = delay; i < count; ++i) mix[i] += echoGain * mix[i - delay];
    }
    double peak = 0;
    for (double s : mix) peak = std::max(peak, std::fabs(s));
    const double scale = peak > 1.0 ? 1.0 / peak : 1.0;
    out.samples.resize(count);
    for (std::size_t i = 0; i < count; ++i)
        out.samples[i] =
            static_cast<std::int16_t>(std::lround(std::clamp(mix[i] * scale, -1.0, 1.0) * 32767.0));
    return true;
}

std::vector<std::uint8_t> encodeWav(const SynthResult& sound) {
    std::vector<std::uint8_t> out;
    auto put32 = [&](std::uint32_t v) { tools::appendLE32(out, v); };
    auto put16 = [&](std::uint16_t v) { tools::appendLE16(out, v); };
    const auto dataBytes = static_cast<std::uint32_t>(sound.samples.size() * 2);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    put32(36 + dataBytes);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(16);
    put16(1); // PCM
    put16(1); // mono
    put32(static_cast<std::uint32_t>(sound.rate));
    put32(static_cast<std::uint32_t>(sound.rate) * 2);
    put16(2);
    put16(16);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put32(dataBytes);
    for (std::int16_t s : sound.samples) put16(static_cast<std::uint16_t>(s));
    return out;
}
