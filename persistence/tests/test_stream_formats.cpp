// Every script read/write function through a File in the user data folder (so each write goes through the
// crash-safe replacement) and through a Blob, checked byte for byte against the golden files.
#include "stream_test_support.h"

#include <iomanip>

namespace {

struct FormatCase {
    const char* golden; // file in tests/golden
    const char* write;  // statements writing to the stream `s`
    const char* check;  // an expression reading `s` back, true when every value matches
};

const FormatCase kFormats[] = {
    {"int.bin", "writeInt(s, -2); writeInt(s, 0x12345678);", "readInt(s) == -2 && readInt(s) == 0x12345678"},
    {"short.bin", "writeShort(s, -2); writeShort(s, 0x12345);",
     "readUnsignedShort(s) == 65534 && readShort(s) == 0x2345"},
    {"byte.bin", "writeByte(s, -1); writeByte(s, 0x1AB);",
     "readByte(s) == -1 && readUnsignedByte(s) == 0xAB"},
    {"bool.bin", "writeBool(s, true); writeBool(s, false); writeBool(s, 7);",
     "readBool(s) == true && readBool(s) == false && readBool(s) == true"},
    {"string.bin", "writeString(s, \"abc\"); writeString(s, \"\"); writeString(s, \"hi\");",
     "readString(s) == \"abc\" && readString(s) == \"\" && readString(s) == \"hi\""},
    {"chars.bin", "writeChars(s, \"abcdef\", 4); writeChars(s, \"ab\", 4);",
     "readChars(s, 4) == \"abcd\" && readChars(s, 4) == \"ab\""},
    {"buffer.bin", "writeBuffer(s, \"abcdef\", 3); writeBuffer(s, \"xy\", 5);",
     "readChars(s, 3) == \"abc\" && readChars(s, 2) == \"xy\""},
};

std::string golden(const char* name) {
    return StreamScriptTest::readBytes(std::filesystem::path(HH_PERSISTENCE_GOLDEN_DIR) / name);
}

std::string hex(const std::string& bytes) {
    std::ostringstream out;
    for (unsigned char c : bytes) out << std::hex << std::setw(2) << std::setfill('0') << int(c);
    return out.str();
}

class StreamFormats : public StreamScriptTest, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(StreamFormats, FileWritesTheGoldenBytesAndReadsThemBack) {
    const FormatCase& c = GetParam();
    std::string expected = golden(c.golden);
    ASSERT_FALSE(expected.empty());
    run(std::string("local s = getComponent(\"File\"); opened <- s.Open(\"data/") + c.golden +
        "\", \"wb\"); " + c.write + " shutdown(s);");
    EXPECT_TRUE(rootBool("opened"));
    EXPECT_EQ(hex(readBytes(userData() / c.golden)), hex(expected));
    EXPECT_FALSE(std::filesystem::exists(userData() / (std::string(c.golden) + ".kdtmp")));

    run(std::string("local s = getComponent(\"File\"); s.Open(\"data/") + c.golden + "\", \"rb\"); ok <- " +
        c.check + "; rest <- readChars(s, 1); shutdown(s);");
    EXPECT_TRUE(rootBool("ok"));
    EXPECT_EQ(takeLog(), "error: qx::readChars failed\n") << "the stream ends right after the values";
}

TEST_P(StreamFormats, BlobHoldsTheGoldenBytesAndReadsThemBackThroughItsRecord) {
    const FormatCase& c = GetParam();
    // Bytes written into a blob are read back by writing the blob out and reading it in as a new blob.
    run(std::string("local s = getComponent(\"Blob\"); ") + c.write +
        " saved <- saveToScript(s);"
        " local f = getComponent(\"File\"); f.Open(\"data/blob\", \"wb\"); written <- writeComponent(f, s);"
        " f.Open(\"data/blob\", \"rb\"); s = getComponent(\"Blob\"); loaded <- readComponent(f, s); ok <- " +
        c.check + "; shutdown(f);");
    EXPECT_EQ(rootString("saved"), hex(golden(c.golden)));
    EXPECT_TRUE(rootBool("written"));
    EXPECT_TRUE(rootBool("loaded"));
    EXPECT_TRUE(rootBool("ok"));
    EXPECT_EQ(takeLog(), "");
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, StreamFormats, ::testing::ValuesIn(kFormats), [](const auto& param) {
    std::string name = param.param.golden;
    return name.substr(0, name.find('.'));
});

// The blob record: its length in header-size bytes, then the bytes.
TEST_F(StreamScriptTest, BlobRecordsMatchTheGoldenFilesForEachHeaderSize) {
    const struct {
        int headerSize;
        const char* contents; // hex
        const char* golden;
    } cases[] = {
        {2, nullptr, "blob_header2.bin"},
        {0, nullptr, "blob_header0.bin"},
        {4, "000FFF", "blob_header4.bin"},
    };
    std::string bytes300;
    for (int i = 0; i < 300; ++i) bytes300 += char(i & 0xFF);
    for (const auto& c : cases) {
        std::string contents = c.contents ? c.contents : hex(bytes300);
        std::string name = std::string("data/") + c.golden;
        run("local b = getComponent(\"Blob\"); loadFromScript(b, \"" + contents + "\"); b.SetHeaderSize(" +
            std::to_string(c.headerSize) + "); local f = getComponent(\"File\"); f.Open(\"" + name +
            "\", \"wb\"); written <- writeComponent(f, b); shutdown(f);");
        EXPECT_TRUE(rootBool("written")) << c.golden;
        EXPECT_EQ(hex(readBytes(userData() / c.golden)), hex(golden(c.golden))) << c.golden;
        if (c.headerSize == 0) continue; // without a length prefix the record cannot be read by itself
        run("local b = getComponent(\"Blob\"); b.SetHeaderSize(" + std::to_string(c.headerSize) +
            "); local f = getComponent(\"File\"); f.Open(\"" + name +
            "\", \"rb\"); loaded <- readComponent(f, b); saved <- saveToScript(b); shutdown(f);");
        EXPECT_TRUE(rootBool("loaded")) << c.golden;
        std::string lower = contents;
        for (char& ch : lower) ch = char(std::tolower(static_cast<unsigned char>(ch)));
        EXPECT_EQ(rootString("saved"), lower) << c.golden;
    }
    EXPECT_EQ(takeLog(), "");
}

} // namespace
