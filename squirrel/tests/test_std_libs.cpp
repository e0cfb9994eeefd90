// The standard libraries through scripts and the C API: format conversions and errors, regexp objects, blobs,
// the host seam (files, environment and process hooks), script file encodings and the error reports.
#include "squirrel/tests/std_test_vm.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

namespace {

struct FormatCase {
    const char* call;
    const char* expected;
};

TEST(StdFormat, ConversionsMatchC) {
    const FormatCase cases[] = {
        {"format(\"%5.2f|%-6.1f|\", 3.14159, 2.25)", " 3.14|2.2   |"},
        {"format(\"%-5d|%5d\", 42, -42)", "42   |  -42"},
        {"format(\"%x %X %o %u\", 255, 255, 8, -1)", "ff FF 10 4294967295"},
        {"format(\"%c%c\", 72, 105.7)", "Hi"},
        {"format(\"%d\", -7.9)", "-7"},
        {"format(\"[%6s][%-6s][%.2s]\", \"ab\", \"ab\", \"abc\")", "[    ab][ab    ][ab]"},
        {"format(\"100%%\")", "100%"},
        {"format(\"%+d % d %05d\", 5, 5, 5)", "+5  5 00005"},
        {"format(\"%e\", 0.5)", "5.000000e-01"},
        {"format(\"%g\", 100000000)", "1e+08"},
        {"format(\"%d\", 1, 2, 3)", "1"},
        {"format(\"no conversions\")", "no conversions"},
    };
    StdTestVm vm;
    for (const auto& c : cases)
        EXPECT_EQ(vm.runQuiet(std::string("print(") + c.call + ");"), c.expected) << c.call;
}

TEST(StdFormat, BadFormatsRaiseTheScriptErrors) {
    const FormatCase cases[] = {
        {"format(\"%123d\", 1)", "width format too long"},
        {"format(\"%.123f\", 1.0)", "precision format too long"},
        {"format(\"%-+ #0-+ #0-+ #0-+ #0-+ #0d\", 1)", "format too long"},
        {"format(\"%d %d\", 1)", "not enough paramters for the given format string"},
        {"format(\"%d\", \"x\")", "integer expected for the specified format"},
        {"format(\"%s\", 1)", "string expected for the specified format"},
        {"format(\"%f\", \"x\")", "float expected for the specified format"},
        {"format(\"%z\", 1)", "invalid format"},
        {"format(5)", "parameter 1 has an invalid type 'integer' ; expected: 'string'"},
    };
    StdTestVm vm;
    for (const auto& c : cases)
        EXPECT_EQ(vm.runQuiet(std::string("try { ") + c.call + "; } catch (e) { print(e); }"), c.expected)
            << c.call;
}

TEST(StdRegexp, ScriptObjectReportsOffsetsIntoTheWholeString) {
    StdTestVm vm;
    EXPECT_EQ(vm.runQuiet(R"(
    local r = regexp("(\\d+)-(\\d+)?");
    print(typeof r + " " + r.subexpcount() + "\n");
    local s = r.search("ab 12-34 56-");
    print(s.begin + "," + s.end + "\n");
    s = r.search("ab 12-34 56-", 6);
    print(s.begin + "," + s.end + "\n");
    local c = r.capture("x 56-");
    foreach (g in c) print("[" + g.begin + "," + g.end + "]");
    print("\n" + r.match("12-34") + " " + r.match("12-34x") + " " + (r.search("") == null) + " " +
          (r.capture("none") == null) + "\n");
    try { regexp("(a"); } catch (e) { print(e + "\n"); }
    local copy = clone r;
    r = null;
    print(copy.match("1-2") + "\n");
  )"),
              "regexp 3\n3,8\n9,12\n[2,5][2,4][0,0]\ntrue false true true\nexpected paren\ntrue\n");
}

TEST(StdBlob, CApiAndClonesOwnTheirBytes) {
    StdTestVm vm;
    HSQUIRRELVM v = vm.vm();
    SQUserPointer data = sqstd_createblob(v, 4);
    ASSERT_NE(data, nullptr);
    std::memcpy(data, "\x01\x02\x03\x04", 4);
    EXPECT_EQ(sqstd_getblobsize(v, -1), 4);
    sq_pushroottable(v);
    sq_pushstring(v, "b", -1);
    sq_push(v, -3);
    sq_newslot(v, -3, SQFalse);
    sq_pop(v, 2);
    EXPECT_EQ(
        vm.runQuiet("local c = clone b; c[0] = 9; print(b[0] + \" \" + c[0] + \" \" + c.len() + \"\\n\");"),
        "1 9 4\n");
    sq_pushinteger(v, 1);
    EXPECT_TRUE(SQ_FAILED(sqstd_getblob(v, -1, &data)));
    EXPECT_EQ(sqstd_getblobsize(v, -1), -1);
    sq_pop(v, 1);
}

// ---- host seam ----

// An in-memory file system standing in for the engine's.
struct MemoryFs {
    std::map<std::string, std::string> files;
    std::map<std::string, std::string> env;
    std::string lastCommand;
};

struct MemoryFile {
    std::string* data;
    size_t pos = 0;
    bool atEnd = false;
};

MemoryFile* memFile(SQUserPointer h) {
    return static_cast<MemoryFile*>(h);
}

const SQStdFileOps kMemoryOps = {
    [](SQUserPointer h, SQUserPointer buf, SQInteger size) -> SQInteger {
        MemoryFile* f = memFile(h);
        size_t left = f->data->size() - f->pos, n = (size_t)size < left ? (size_t)size : left;
        std::memcpy(buf, f->data->data() + f->pos, n);
        f->pos += n;
        if (n < (size_t)size) f->atEnd = true;
        return (SQInteger)n;
    },
    [](SQUserPointer h, const void* buf, SQInteger size) -> SQInteger {
        MemoryFile* f = memFile(h);
        if (f->pos + (size_t)size > f->data->size()) f->data->resize(f->pos + (size_t)size);
        std::memcpy(f->data->data() + f->pos, buf, (size_t)size);
        f->pos += (size_t)size;
        return size;
    },
    [](SQUserPointer h, SQInteger offset, SQInteger origin) -> SQInteger {
        MemoryFile* f = memFile(h);
        long base = origin == SQ_SEEK_CUR ? (long)f->pos : origin == SQ_SEEK_END ? (long)f->data->size() : 0;
        if (base + offset < 0) return -1;
        f->pos = (size_t)(base + offset);
        f->atEnd = false;
        return 0;
    },
    [](SQUserPointer h) -> SQInteger { return (SQInteger)memFile(h)->pos; },
    [](SQUserPointer) -> SQInteger { return 0; },
    [](SQUserPointer h) -> SQInteger { return memFile(h)->atEnd ? 1 : 0; },
    [](SQUserPointer h) -> SQInteger {
        delete memFile(h);
        return 0;
    },
};

MemoryFs* fsOf(SQUserPointer ud) {
    return static_cast<MemoryFs*>(ud);
}

SQStdHost memoryHost(MemoryFs& fs) {
    SQStdHost host{};
    host.ud = &fs;
    host.open = [](SQUserPointer ud, const SQChar* path, const SQChar* mode,
                   const SQStdFileOps** ops) -> SQUserPointer {
        auto& files = fsOf(ud)->files;
        auto it = files.find(path);
        if (mode[0] == 'r' && it == files.end()) return nullptr;
        if (mode[0] == 'w') files[path].clear();
        *ops = &kMemoryOps;
        return new MemoryFile{&files[path]};
    };
    host.getenv = [](SQUserPointer ud, const SQChar* name) -> const SQChar* {
        auto& env = fsOf(ud)->env;
        auto it = env.find(name);
        return it == env.end() ? nullptr : it->second.c_str();
    };
    host.system = [](SQUserPointer ud, const SQChar* command) -> SQInteger {
        fsOf(ud)->lastCommand = command;
        return 7;
    };
    host.remove = [](SQUserPointer ud, const SQChar* path) -> SQInteger {
        return fsOf(ud)->files.erase(path) == 1 ? 0 : -1;
    };
    host.rename = [](SQUserPointer ud, const SQChar* from, const SQChar* to) -> SQInteger {
        auto& files = fsOf(ud)->files;
        auto it = files.find(from);
        if (it == files.end()) return -1;
        files[to] = it->second;
        files.erase(from);
        return 0;
    };
    host.clock = [](SQUserPointer, HSQUIRRELVM v) { sq_pushinteger(v, 12); };
    return host;
}

// A string of every byte of a literal, zero bytes included.
template <size_t N> std::string bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

class StdHostSeam : public ::testing::Test {
protected:
    void SetUp() override {
        SQStdHost host = memoryHost(m_fs);
        sqstd_sethost(&host);
    }
    void TearDown() override { sqstd_sethost(nullptr); }
    MemoryFs m_fs;
};

TEST_F(StdHostSeam, FilesAndLoadingGoThroughTheHost) {
    m_fs.files["lib.nut"] = "return this.base + 1;";
    StdTestVm vm;
    EXPECT_EQ(vm.runQuiet(R"(
    base <- 41;
    print(dofile("lib.nut") + " " + loadfile("lib.nut")() + "\n");
    local f = file("out.bin", "wb");
    f.writen(0x41424344, 'i');
    f.flush();
    f = null;
    writeclosuretofile("lib.cnut", loadfile("lib.nut"));
    print(dofile("lib.cnut") + "\n");
    try { dofile("missing.nut"); } catch (e) { print(e + "\n"); }
    try { file("missing.bin", "rb"); } catch (e) { print(e + "\n"); }
  )"),
              "42 42\n42\ncannot open the file\ncannot open file\n");
    EXPECT_EQ(m_fs.files["out.bin"], "DCBA");
    EXPECT_EQ(m_fs.files["lib.cnut"].substr(0, 2), "\xFA\xFA");
}

TEST_F(StdHostSeam, EnvironmentAndProcessGoThroughTheHost) {
    m_fs.env["HOME_DIR"] = "/home/x";
    m_fs.files["a"] = "x";
    StdTestVm vm;
    EXPECT_EQ(vm.runQuiet(R"(
    print(getenv("HOME_DIR") + " " + (getenv("NOPE") == null) + " " + system("run me") + " " + clock() + "\n");
    rename("a", "b");
    remove("b");
    try { remove("b"); } catch (e) { print(e + "\n"); }
    try { rename("a", "c"); } catch (e) { print(e + "\n"); }
  )"),
              "/home/x true 7 12\nremove() failed\nrename() failed\n");
    EXPECT_EQ(m_fs.lastCommand, "run me");
    EXPECT_TRUE(m_fs.files.empty());
}

TEST_F(StdHostSeam, ScriptFileEncodings) {
    m_fs.files["utf8.nut"] = "\xEF\xBB\xBFprint(\"caf\xC3\xA9\".len());";
    m_fs.files["badbom.nut"] = bytes("\xEF\xBB\x00print(1);");
    m_fs.files["shortbom.nut"] = "\xEF\xBB";
    m_fs.files["wide.nut"] = "\xEF\xBB\xBFlocal s = \"\xC4\x80\";"; // U+0100 has no 8-bit character
    m_fs.files["utf16le.nut"] = bytes("\xFF\xFEp\0r\0i\0n\0t\0(\0"
                                      "2\0)\0");
    m_fs.files["utf16be.nut"] = bytes("\xFE\xFF\0p\0r\0i\0n\0t\0(\0"
                                      "3\0)");
    m_fs.files["plain.nut"] = "print(\"\xE9\".len());";
    StdTestVm vm;
    // UTF-8 text is decoded to 8-bit characters: "café" is four bytes long.
    EXPECT_EQ(vm.runQuiet("dofile(\"utf8.nut\");"), "4");
    EXPECT_EQ(vm.runQuiet("try { dofile(\"badbom.nut\"); } catch (e) { print(e); }"), "Unrecognozed ecoding");
    EXPECT_EQ(vm.runQuiet("try { dofile(\"shortbom.nut\"); } catch (e) { print(e); }"), "io error");
    EXPECT_EQ(vm.runQuiet("try { dofile(\"wide.nut\"); } catch (e) { print(e); }"), "Invalid character");
    EXPECT_EQ(vm.runQuiet("dofile(\"utf16le.nut\");"), "2");
    EXPECT_EQ(vm.runQuiet("dofile(\"utf16be.nut\");"), "3");
    EXPECT_EQ(vm.runQuiet("dofile(\"plain.nut\");"), "1");
}

// ---- error reports ----

TEST(StdErrorHandlers, ReportNonStringErrorsAndCompileErrors) {
    StdTestVm vm;
    std::string out = vm.run("function f() { throw [1]; }\nf();\n", "thrower.nut");
    EXPECT_EQ(
        out.rfind("\nAN ERROR HAS OCCURED [unknown]\n\nCALLSTACK\n*FUNCTION [f()] thrower.nut line [1]\n", 0),
        0u)
        << out;
    out = vm.run("local x = ;", "broken.nut");
    EXPECT_EQ(out, "broken.nut line = (1) column = (11) : error expression expected\n"
                   "Error [expression expected]");
}

TEST(StdErrorHandlers, NativeFramesShowAsNative) {
    // closure.call() is a boundary with "raise error" on: the report there includes its native frame.
    StdTestVm vm;
    std::string out = vm.run("function f() { local q = 1; throw \"x\"; }\nf.call(this);\n", "caller.nut");
    EXPECT_EQ(out.rfind("\nAN ERROR HAS OCCURED [x]\n\nCALLSTACK\n*FUNCTION [f()] caller.nut line [1]\n"
                        "*FUNCTION [call()] NATIVE line [-1]\n*FUNCTION [main()] caller.nut line [2]\n\n"
                        "LOCALS\n[q] 1\n[this] TABLE\n[this] TABLE\n",
                        0),
              0u)
        << out;
}

TEST(StdIo, StdStreamsWriteToTheProcessStreams) {
    StdTestVm vm;
    testing::internal::CaptureStdout();
    vm.runQuiet("stdout.writen('o', 'b'); stdout.writen('k', 'b'); stdout.flush();");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ok");
    EXPECT_EQ(vm.runQuiet("try { local c = clone stdout; } catch (e) { print(e); }"), "cannot clone a file");
}

} // namespace
