// libFuzzer target for audio files: the input is a sound file (WAV, Ogg, FLAC, ...) read through the engine's
// file layer and decoded as sounds and music are: identified, read in blocks, sought, and decoded whole. A
// file that opens reports a usable layout, and no read hands back more frames than were asked for.
#include "audio/src/sound_file.h"
#include "platform/kd_start.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <vector>

// libsndfile 1.2.0 leaks the Vorbis header record when it gives up on a cut Ogg file; that is the library's
// leak, not ours (the sound tests tell the leak checker the same).
extern "C" const char* __lsan_default_suppressions() {
    return "leak:vorbis_info_init\n";
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char folder[] = "/tmp/hh-fuzz-audio-XXXXXX";
    if (mkdtemp(folder) == nullptr || chdir(folder) != 0) {
        std::abort();
    }
    platform::startFileSystems();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FILE* file = std::fopen("fuzz.snd", "wb");
    if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) {
        std::abort();
    }
    SoundFile sound;
    if (sound.open("fuzz.snd") != AudioError::None) {
        return 0;
    }
    if (sound.channels() < 1 || sound.channels() > 2 || sound.sampleRate() < 1 ||
        sound.sampleRate() > 768000 || sound.frames() < 0) {
        std::abort();
    }
    // Blocks as a music stream reads them, each exactly as large as asked for, so an overlong write shows.
    std::vector<std::int16_t> block(static_cast<std::size_t>(sound.channels()) * 256);
    for (int i = 0; i < 64; ++i) {
        const std::int64_t got = sound.read(block.data(), 256);
        if (got < 0 || got > 256) {
            std::abort();
        }
        if (got == 0) {
            break;
        }
    }
    sound.seek(sound.frames() / 2);
    sound.seek(0);
    std::vector<std::int16_t> all;
    sound.readAll(all);
    if (all.size() % static_cast<std::size_t>(sound.channels()) != 0 ||
        static_cast<std::int64_t>(all.size()) > SoundFile::kMaxDecodedSamples) {
        std::abort();
    }
    return 0;
}
