// The stream functions' failures through real scripts: missing interfaces, short reads and writes, lying
// lengths in a file, File.Open failures, the crash-safe replacement of a data file, and the blob's script
// form.
#include "stream_test_support.h"

namespace {

TEST_F(StreamScriptTest, MissingInterfacesAreReportedWithTheirName) {
    const struct {
        const char* check;
        const char* interfaceName;
    } cases[] = {
        {"readComponent(getComponent(\"File\"), 5) == false", "IReadable"},
        {"writeComponent(getComponent(\"Blob\"), getComponent(\"File\")) == false", "IWriteable"},
        {"readComponent(5, getComponent(\"Blob\")) == false", "IInputStream"},
        {"readInt(5) == 0", "IInputStream"},
        {"readShort(null) == 0", "IInputStream"},
        {"readUnsignedShort(null) == 0", "IInputStream"},
        {"readByte(null) == 0", "IInputStream"},
        {"readUnsignedByte(null) == 0", "IInputStream"},
        {"readBool(null) == false", "IInputStream"},
        {"readString(null) == \"\"", "IInputStream"},
        {"readChars(null, 4) == \"\"", "IInputStream"},
        {"writeComponent(null, getComponent(\"Blob\")) == false", "IOutputStream"},
        {"writeChars(null, \"ab\", 4) == null", "IOutputStream"},
        {"writeBuffer(null, \"ab\", 2) == null", "IOutputStream"},
        {"writeInt(null, 1) == null", "IOutputStream"},
        {"writeShort(null, 1) == null", "IOutputStream"},
        {"writeByte(null, 1) == null", "IOutputStream"},
        {"writeBool(null, true) == null", "IOutputStream"},
        {"writeString(null, \"a\") == null", "IOutputStream"},
    };
    for (const auto& c : cases) {
        run(std::string("ok <- (") + c.check + ");");
        EXPECT_TRUE(rootBool("ok")) << c.check;
        std::string log = takeLog();
        std::string report = std::string("error: can't cast to ") + c.interfaceName + "\n";
        EXPECT_EQ(log.substr(0, report.size()), report) << c.check;
        EXPECT_NE(log.find("CALLSTACK"), std::string::npos) << c.check;
    }
}

TEST_F(StreamScriptTest, ShortReadsAndWritesAreLoggedAndAnswerEmpty) {
    run("local f = getComponent(\"File\"); f.Open(\"data/w.bin\", \"wb\");"
        "i <- readInt(f); s <- readString(f); shutdown(f);");
    EXPECT_EQ(rootInt("i"), 0);
    EXPECT_EQ(rootString("s"), "");
    // A failed read loses nothing: the file is still saved, empty.
    EXPECT_EQ(takeLog(), "error: qx::readSimple failed\nerror: qx::readSimple failed\n");
    EXPECT_TRUE(std::filesystem::exists(userData() / "w.bin"));
    EXPECT_EQ(readBytes(userData() / "w.bin"), "");

    run("local f = getComponent(\"File\"); writeInt(f, 1); writeString(f, \"x\"); writeChars(f, \"ab\", 2);"
        "writeBuffer(f, \"ab\", 2); writeBool(f, true);");
    EXPECT_EQ(takeLog(),
              "error: qx::writeSimple failed\nerror: qx::writeSimple failed\n"
              "error: qx::writeChars failed\nerror: qx::writeBuffer failed\nerror: qx::writeSimple failed\n")
        << "a File that was never opened takes nothing";

    run("local b = getComponent(\"Blob\"); writeChars(b, \"ab\", -1); n <- readChars(b, -1);");
    EXPECT_EQ(rootString("n"), "");
    EXPECT_EQ(takeLog(), "error: qx::writeChars failed\nerror: qx::readChars failed\n");
}

TEST_F(StreamScriptTest, LyingLengthsInAFileFailWithoutAllocating) {
    std::ofstream(userData() / "lie.bin", std::ios::binary) << std::string("\xff\xff\xff\x7f"
                                                                           "abc",
                                                                           7);
    run("local f = getComponent(\"File\"); f.Open(\"data/lie.bin\", \"rb\"); s <- readString(f);"
        "local b = getComponent(\"Blob\"); f.Open(\"data/lie.bin\", \"rb\"); loaded <- readComponent(f, b);"
        "saved <- saveToScript(b); shutdown(f);");
    EXPECT_EQ(rootString("s"), "");
    EXPECT_FALSE(rootBool("loaded"));
    EXPECT_EQ(rootString("saved"), "");
    EXPECT_EQ(takeLog(), "error: qx::readSimple failed\n"
                         "[Blob] error: record of 2147483647 bytes, but the stream holds 3\n");
}

TEST_F(StreamScriptTest, OpenFailuresAreLoggedAndLeaveTheFileClosed) {
    run("local f = getComponent(\"File\"); a <- f.Open(\"data/nowhere/x.bin\", \"rb\"); i <- readInt(f);");
    EXPECT_FALSE(rootBool("a"));
    EXPECT_EQ(takeLog(), "[File] error: Can't open data/nowhere/x.bin: " + std::to_string(KD_ENOENT) +
                             "\nerror: qx::readSimple failed\n");
}

TEST_F(StreamScriptTest, AWrittenDataFileReplacesTheOldOneOnlyWhenClosed) {
    std::ofstream(userData() / "save.bin", std::ios::binary) << "old";
    run("f <- getComponent(\"File\"); f.Open(\"data/save.bin\", \"wb\"); writeString(f, \"new\");");
    EXPECT_EQ(readBytes(userData() / "save.bin"), "old")
        << "the old save stays until the new one is complete";
    run("shutdown(f);");
    EXPECT_EQ(readBytes(userData() / "save.bin"), std::string("\x03\0\0\0new", 7));
    EXPECT_FALSE(std::filesystem::exists(userData() / "save.bin.kdtmp"));
    // Reopening closes (and commits) the previous file first.
    run("f.Open(\"data/save.bin\", \"wb\"); writeByte(f, 9); f.Open(\"data/other.bin\", \"wb\"); f = null;");
    EXPECT_EQ(readBytes(userData() / "save.bin"), "\x09");
    EXPECT_EQ(takeLog(), "");
}

TEST_F(StreamScriptTest, AReadOnAWrittenDataFileKeepsTheSave) {
    std::ofstream(userData() / "b.bin", std::ios::binary) << "old";
    run("local f = getComponent(\"File\"); f.Open(\"data/b.bin\", \"wb\");"
        "writeInt(f, 43); readInt(f); writeInt(f, 44); shutdown(f);");
    EXPECT_EQ(takeLog(), "error: qx::readSimple failed\n");
    EXPECT_EQ(readBytes(userData() / "b.bin"), std::string("\x2b\0\0\0\x2c\0\0\0", 8));
}

TEST_F(StreamScriptTest, BlobScriptForm) {
    run("local b = getComponent(\"Blob\"); a <- loadFromScript(b, \"000FFF\"); hex <- saveToScript(b);"
        "odd <- loadFromScript(b, \"abc\"); hexOdd <- saveToScript(b);"
        "bad <- loadFromScript(b, \"zz00\"); notText <- loadFromScript(b, 5); kept <- saveToScript(b);");
    EXPECT_TRUE(rootBool("a"));
    EXPECT_EQ(rootString("hex"), "000fff");
    EXPECT_TRUE(rootBool("odd"));
    EXPECT_EQ(rootString("hexOdd"), "ab") << "an odd last digit is ignored";
    EXPECT_FALSE(rootBool("bad"));
    EXPECT_FALSE(rootBool("notText"));
    EXPECT_EQ(rootString("kept"), "ab") << "a failed load keeps the contents";
    EXPECT_EQ(takeLog(), "[Blob] error: not a hexadecimal digit pair at 0\n");
}

} // namespace
