// hh-cursor DESCRIPTION FOLDER: writes each cursor the description draws (see cursor_maker.h) as
// FOLDER/<name>.bmp.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "tools/cursor_maker/cursor_maker.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: hh-cursor DESCRIPTION FOLDER\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "hh-cursor: can't read %s\n", argv[1]);
        return 1;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<CursorPicture> cursors;
    std::string error;
    if (!parseCursors(text, cursors, error)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
        return 1;
    }
    for (const CursorPicture& cursor : cursors) {
        const std::vector<std::uint8_t> bytes = encodeCursorBmp(cursor);
        const std::string path = std::string(argv[2]) + "/" + cursor.name + ".bmp";
        std::ofstream out(path, std::ios::binary);
        if (!out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()))) {
            std::fprintf(stderr, "hh-cursor: can't write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
