// hh-effectc SOURCE OUTPUT: compiles an effect source into an effect file.
#include <cstdio>
#include <fstream>
#include <sstream>

#include "tools/effect_compiler/effect_source.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: hh-effectc SOURCE OUTPUT\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: cannot be read\n", argv[1]);
        return 1;
    }
    std::ostringstream text;
    text << in.rdbuf();
    EffectSource source;
    if (!compileEffectSource(text.str(), source)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], source.error.c_str());
        return 1;
    }
    const std::vector<std::uint8_t> bytes = particles::writeEffectData(source.data);
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "%s: cannot be written\n", argv[2]);
        return 1;
    }
    return 0;
}
