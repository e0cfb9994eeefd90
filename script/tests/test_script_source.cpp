// Decoding of script files: byte-order marks, UTF-16 of both byte orders, compiled closures.
#include "script/src/script_source.h"

#include <gtest/gtest.h>

using namespace std::string_literals;

TEST(ScriptSource, RecognisesEveryEncoding) {
    struct Case {
        const char* what;
        std::string bytes;
        ScriptSourceKind kind;
        std::string text;
    };
    const Case cases[] = {
        {"plain 8-bit text", "print(1)", ScriptSourceKind::Text, "print(1)"},
        {"8-bit text keeps high bytes", "s <- \"\xE9\"", ScriptSourceKind::Text, "s <- \"\xE9\""},
        {"empty file", "", ScriptSourceKind::Text, ""},
        {"one byte", "x", ScriptSourceKind::Text, "x"},
        {"UTF-8 mark is dropped", "\xEF\xBB\xBFs <- \"\xC3\xA9\"", ScriptSourceKind::Text,
         "s <- \"\xC3\xA9\""},
        {"EF BB 00 is no encoding", "\xEF\xBB\x00rest"s, ScriptSourceKind::BadEncoding, ""},
        {"EF BB alone is a short read", "\xEF\xBB", ScriptSourceKind::ShortRead, ""},
        {"UTF-16 little-endian", "\xFF\xFEx\0=\0\xE9\0"s, ScriptSourceKind::Text, "x=\xC3\xA9"},
        {"UTF-16 big-endian", "\xFE\xFF\0x\0=\x20\xAC"s, ScriptSourceKind::Text, "x=\xE2\x82\xAC"},
        {"UTF-16 surrogate pair", "\xFF\xFE\x3D\xD8\x00\xDE"s, ScriptSourceKind::Text, "\xF0\x9F\x98\x80"},
        {"UTF-16 lone surrogate", "\xFF\xFE\x3D\xD8x\0"s, ScriptSourceKind::Text, "\xEF\xBF\xBDx"},
        {"UTF-16 odd last byte dropped",
         "\xFF\xFE"
         "a\0b"s,
         ScriptSourceKind::Text, "a"},
        {"compiled closure", "\xFA\xFA\x52\x49QIRT"s, ScriptSourceKind::CompiledClosure, ""},
    };
    for (const Case& c : cases) {
        ScriptSource source = decodeScriptSource(c.bytes);
        EXPECT_EQ(source.kind, c.kind) << c.what;
        EXPECT_EQ(source.text, c.text) << c.what;
    }
}
