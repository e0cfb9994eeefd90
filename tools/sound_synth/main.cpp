// hh-synth DESCRIPTION OUTPUT: synthesises the sound a description gives (see synth.h) into a 16-bit mono WAV
// file, or an Ogg Vorbis file when OUTPUT ends in ".ogg" (smaller, for music).
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include <sndfile.h>

#include "tools/sound_synth/synth.h"

namespace {

bool writeOgg(const SynthResult& sound, const std::string& path) {
    SF_INFO info{};
    info.samplerate = sound.rate;
    info.channels = 1;
    info.format = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) return false;
    double quality = 0.4;
    sf_command(file, SFC_SET_VBR_ENCODING_QUALITY, &quality, sizeof quality);
    const auto count = static_cast<sf_count_t>(sound.samples.size());
    const bool written = sf_write_short(file, sound.samples.data(), count) == count;
    return sf_close(file) == 0 && written;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: hh-synth DESCRIPTION OUTPUT(.wav|.ogg)\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "hh-synth: can't read %s\n", argv[1]);
        return 1;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    SynthResult sound;
    if (!synthesize(text, sound)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], sound.error.c_str());
        return 1;
    }
    const std::string path = argv[2];
    bool ok = false;
    if (path.size() > 4 && path.substr(path.size() - 4) == ".ogg") {
        ok = writeOgg(sound, path);
    } else {
        const std::vector<std::uint8_t> bytes = encodeWav(sound);
        std::ofstream out(path, std::ios::binary);
        ok = static_cast<bool>(
            out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size())));
    }
    if (!ok) {
        std::fprintf(stderr, "hh-synth: can't write %s\n", path.c_str());
        return 1;
    }
    return 0;
}
