// Compiled-script files: our files round-trip, the reference compiler's files load (and re-save byte for
// byte), and damaged files are refused with an error.
#include "squirrel/tests/std_test_vm.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

struct MemoryStream {
    std::string bytes;
    size_t pos = 0;
    static SQInteger write(SQUserPointer up, SQUserPointer p, SQInteger size) {
        static_cast<MemoryStream*>(up)->bytes.append(static_cast<const char*>(p), (size_t)size);
        return size;
    }
    static SQInteger read(SQUserPointer up, SQUserPointer p, SQInteger size) {
        auto* s = static_cast<MemoryStream*>(up);
        size_t n = std::min((size_t)size, s->bytes.size() - s->pos);
        std::memcpy(p, s->bytes.data() + s->pos, n);
        s->pos += n;
        return (SQInteger)n;
    }
};

// Writes the closure on top of the stack (left there).
std::string save(HSQUIRRELVM v) {
    MemoryStream out;
    EXPECT_TRUE(SQ_SUCCEEDED(sq_writeclosure(v, MemoryStream::write, &out)));
    return out.bytes;
}

// Loads bytes; pushes the closure and returns "" on success, else returns the error text.
std::string load(HSQUIRRELVM v, const std::string& bytes) {
    MemoryStream in{bytes};
    if (SQ_SUCCEEDED(sq_readclosure(v, MemoryStream::read, &in))) return "";
    sq_getlasterror(v);
    const SQChar* msg = "(not a string)";
    sq_getstring(v, -1, &msg);
    std::string text = msg;
    sq_pop(v, 1);
    return text;
}

std::string runTop(StdTestVm& vm) {
    vm.output().clear();
    sq_pushroottable(vm.vm());
    EXPECT_TRUE(SQ_SUCCEEDED(sq_call(vm.vm(), 1, SQFalse, SQTrue))); // pops `this`, keeps the closure
    return vm.output();
}

const char* const kProgram = R"(
class Base { x = 1.5; static s = "st"; function get() { return x; } }
class Derived extends Base { function get() { return Base.get.call(this) * 2; } }
function gen(n) { for (local i = 0; i < n; i++) yield i; }
function add(a, b = 10) { return a + b; }
function sum(...) { local s = 0; for (local i = 0; i < vargc; i++) s += vargv[i]; return s; }
local k = 3;
local closure = function(y) : (k) { return k * y; };
local out = "";
foreach (v in gen(3)) out += v;
print(out + " " + Derived().get() + " " + add(1) + " " + sum(1, 2, 3, 4) + " " + closure(5) + " " +
      "zero\0byte".len() + " " + Derived.s + "\n");
try { throw "caught"; } catch (e) { print(e + "\n"); }
)";

TEST(Bytecode, OurFilesRoundTripAndRunTheSame) {
    StdTestVm vm;
    HSQUIRRELVM v = vm.vm();
    ASSERT_TRUE(
        SQ_SUCCEEDED(sq_compilebuffer(v, kProgram, (SQInteger)std::strlen(kProgram), "prog.nut", SQTrue)));
    std::string bytes = save(v);
    std::string direct = runTop(vm);
    EXPECT_EQ(direct, "012 3 11 10 15 9 st\ncaught\n");
    sq_pop(v, 1);
    ASSERT_EQ(load(v, bytes), "");
    EXPECT_EQ(save(v), bytes);
    EXPECT_EQ(runTop(vm), direct);
    sq_pop(v, 1);
}

std::string readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(Bytecode, ReferenceFilesLoadAndSaveIdentically) {
    StdTestVm vm;
    HSQUIRRELVM v = vm.vm();
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(SQ_CORPUS_DIR "/cnut")) {
        if (entry.path().extension() != ".cnut") continue;
        ++files;
        std::string bytes = readFile(entry.path());
        ASSERT_EQ(load(v, bytes), "") << entry.path();
        EXPECT_EQ(save(v), bytes) << entry.path();
        sq_pop(v, 1);
    }
    EXPECT_GT(files, 0);
}

TEST(Bytecode, WriterErrors) {
    StdTestVm vm;
    HSQUIRRELVM v = vm.vm();
    sq_pushroottable(v);
    sq_pushstring(v, "print", -1);
    sq_get(v, -2);
    MemoryStream out;
    EXPECT_TRUE(SQ_FAILED(sq_writeclosure(v, MemoryStream::write, &out)));
    EXPECT_EQ(load(v, ""), "io error, read function failure, the origin stream could be corrupted/trucated");
    sq_getlasterror(v);
    sq_pop(v, 1);
    sq_pop(v, 2);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_compilebuffer(v, "return 1;", 9, "x", SQTrue)));
    auto failing = [](SQUserPointer, SQUserPointer, SQInteger) -> SQInteger { return 0; };
    EXPECT_TRUE(SQ_FAILED(sq_writeclosure(v, failing, nullptr)));
    sq_getlasterror(v);
    const SQChar* msg = "";
    sq_getstring(v, -1, &msg);
    EXPECT_STREQ(msg, "io error (write function failure)");
    sq_pop(v, 2);
}

TEST(Bytecode, DamagedFilesAreRefused) {
    StdTestVm vm;
    HSQUIRRELVM v = vm.vm();
    ASSERT_TRUE(
        SQ_SUCCEEDED(sq_compilebuffer(v, kProgram, (SQInteger)std::strlen(kProgram), "prog.nut", SQTrue)));
    const std::string good = save(v);
    sq_pop(v, 1);
    const SQInteger top = sq_gettop(v);
    EXPECT_EQ(load(v, "\xFB\xFA" + good.substr(2)), "invalid stream");
    std::string badHead = good;
    badHead[2] ^= 1;
    EXPECT_EQ(load(v, badHead), "invalid or corrupted closure stream");
    // Every truncation fails cleanly.
    for (size_t len = 0; len < good.size(); ++len) {
        std::string err = load(v, good.substr(0, len));
        EXPECT_FALSE(err.empty()) << len;
    }
    // Every single-byte change either loads (a harmless change such as a line number) or fails with an error.
    for (size_t i = 0; i < good.size(); ++i) {
        for (unsigned char x : {0x01, 0x80, 0xFF}) {
            std::string damaged = good;
            damaged[i] = (char)(damaged[i] ^ x);
            if (load(v, damaged).empty()) sq_pop(v, 1);
        }
    }
    EXPECT_EQ(sq_gettop(v), top);
}

TEST(Bytecode, OperandsOutsideTheFunctionAreRefused) {
    StdTestVm vm;
    HSQUIRRELVM v = vm.vm();
    ASSERT_TRUE(SQ_SUCCEEDED(sq_compilebuffer(v, "local a = 1; return a;", 22, "x", SQTrue)));
    const std::string good = save(v);
    sq_pop(v, 1);
    // PART is stored as the bytes "TRAP". The counts follow the second PART (ninstructions is the seventh),
    // and the instructions end at the last PART (this function has no nested ones). Point arg0 of each
    // instruction at slot 0xFE, beyond the frame of this small function.
    const size_t firstPart = good.find("TRAP");
    const size_t secondPart = good.find("TRAP", firstPart + 4);
    ASSERT_NE(secondPart, std::string::npos);
    const size_t ninstructionsAt = secondPart + 4 + 6 * 4;
    int32_t ninstructions;
    std::memcpy(&ninstructions, good.data() + ninstructionsAt, 4);
    ASSERT_GT(ninstructions, 0);
    size_t functionsPart = good.rfind("TRAP");
    size_t codeStart = functionsPart - (size_t)ninstructions * 8;
    int refused = 0;
    for (int32_t i = 0; i < ninstructions; ++i) {
        std::string damaged = good;
        damaged[codeStart + (size_t)i * 8 + 5] = (char)0xFE; // arg0
        if (load(v, damaged).empty())
            sq_pop(v, 1);
        else
            ++refused;
    }
    EXPECT_GT(refused, 0);
}

} // namespace
