// libFuzzer target for the compiled-script reader: any byte string either loads as a closure or is refused
// with an error. A loaded closure is written back, and the writer must reproduce the bytes the reader
// consumed.
#include "squirrel/sqstdlib.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Input {
    const uint8_t* data;
    size_t size;
    size_t pos;
};

SQInteger readInput(SQUserPointer up, SQUserPointer p, SQInteger size) {
    auto* in = static_cast<Input*>(up);
    size_t n = std::min((size_t)size, in->size - in->pos);
    std::memcpy(p, in->data + in->pos, n);
    in->pos += n;
    return (SQInteger)n;
}

SQInteger appendOutput(SQUserPointer up, SQUserPointer p, SQInteger size) {
    static_cast<std::string*>(up)->append(static_cast<const char*>(p), (size_t)size);
    return size;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static HSQUIRRELVM v = sq_open(1024);
    const SQInteger top = sq_gettop(v);
    Input in{data, size, 0};
    if (SQ_SUCCEEDED(sq_readclosure(v, readInput, &in))) {
        std::string out;
        if (SQ_FAILED(sq_writeclosure(v, appendOutput, &out))) std::abort();
        if (out.size() != in.pos || std::memcmp(out.data(), data, in.pos) != 0) std::abort();
    }
    sq_settop(v, top);
    return 0;
}
