// The utility functions of the engine group (system time, files, random numbers, angles, the locale) and the
// application group.
#include "binding/binding.h"
#include "binding/global_functions.h"
#include "binding/src/global_functions_internal.h"
#include "platform/kd.h"
#include "script/engine_random.h"
#include "squirrel/sqstdlib.h"

#include <cmath>
#include <cstdint>
#include <string>

namespace {

SQInteger randNum(SQInteger n) {
    if (n < 1) {
        return 0;
    }
    return static_cast<SQInteger>((std::int64_t(n) * engineRandom()) / (ENGINE_RAND_MAX + 1));
}

float randVal(float a, float b) {
    float f = static_cast<float>(engineRandom()) / static_cast<float>(ENGINE_RAND_MAX);
    return a + (b - a) * f;
}

// The signed turn from b to a, in (-pi, pi], computed in single precision.
float angleDelta(float a, float b) {
    const float twoPi = 6.2831855f;
    const float pi = 3.1415927f;
    float d = a - b;
    if (d >= twoPi || d < 0.0f) {
        d = d - std::floor(d / twoPi) * twoPi;
    }
    return d > pi ? d - twoPi : d;
}

float fltsign(float x) {
    return x > 0.0f ? 1.0f : (x < 0.0f ? -1.0f : 0.0f);
}

// ---- UTF-8

// Appends the UTF-8 form of one code point. 0…0xFFFF take one to three bytes as usual; above that four bytes
// up to 0x10FFFF, and anything else (negative, beyond Unicode) becomes U+FFFD.
void appendUtf8(std::string& out, SQInteger value) {
    std::uint32_t v = static_cast<std::uint32_t>(value);
    if (value < 0 || v > 0x10FFFF) {
        v = 0xFFFD;
    }
    if (v < 0x80) {
        out += static_cast<char>(v);
    } else if (v <= 0x7FF) {
        out += static_cast<char>(0xC0 | (v >> 6));
        out += static_cast<char>(0x80 | (v & 0x3F));
    } else if (v <= 0xFFFF) {
        out += static_cast<char>(0xE0 | (v >> 12));
        out += static_cast<char>(0x80 | ((v >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (v & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (v >> 18));
        out += static_cast<char>(0x80 | ((v >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((v >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (v & 0x3F));
    }
}

// encodeUTF8(array of code points) → text; a value 0 ends the text.
SQInteger encodeUtf8(HSQUIRRELVM v) {
    if (sq_gettop(v) < 2) {
        return sq_throwerror(v, "wrong number of parameters");
    }
    std::string out;
    if (sq_gettype(v, 2) == OT_ARRAY) {
        SQInteger size = sq_getsize(v, 2);
        for (SQInteger i = 0; i < size; ++i) {
            sq_pushinteger(v, i);
            SQInteger value = 0;
            if (SQ_SUCCEEDED(sq_get(v, 2))) {
                binding_detail::readInteger(v, -1, value);
                sq_poptop(v);
            }
            if (value == 0) {
                break;
            }
            appendUtf8(out, value);
        }
    } else {
        reportBindingError(BindingMessage::TypeError);
    }
    sq_pushstring(v, out.data(), static_cast<SQInteger>(out.size()));
    return 1;
}

bool systemExecute(const char* target) {
    const SQStdHost* host = sqstd_gethost();
    return host->system(host->ud, target) == 0;
}

} // namespace

void registerUtilityFunctions(HSQUIRRELVM v, SQInteger root) {
    bindFunction(
        v, root, "getSystemTime",
        +[]() { return static_cast<SQInteger>(static_cast<std::uint32_t>(kdGetTimeUST() / 1000000u)); });
    bindFunction(
        v, root, "fileExists", +[](const char* path) {
            KDStat stat{};
            return kdStat(path, &stat) == 0;
        });
    bindFunction(
        v, root, "removeFile", +[](const char* path) { return kdRemove(path) == 0; });
    bindFunction(
        v, root, "removeDir", +[](const char* path) { return kdRmdir(path) == 0; });
    bindFunction(
        v, root, "makeDir", +[](const char* path) { return kdMkdir(path) == 0; });
    bindFunction(v, root, "randNum", &randNum);
    bindFunction(v, root, "randVal", &randVal);
    bindFunction(v, root, "angleDelta", &angleDelta);
    bindFunction(v, root, "fltsign", &fltsign);
    bindFunction(
        v, root, "getLocale", +[]() { return kdGetLocale(); });
}

void registerApplicationFunctions(HSQUIRRELVM v) {
    SQInteger top = sq_gettop(v);
    sq_pushroottable(v);
    const SQInteger root = sq_gettop(v);
    // The engine records no profiler blocks.
    bindFunction(
        v, root, "profilerReset", +[]() {});
    bindRawFunction(v, root, "encodeUTF8", &encodeUtf8);
    // setCursor, enableCursor, fillRectByTile, renderFrame and decodeUTF8 belong to the drawing layer, which
    // stores them itself (graphics/graphics_functions.h).
    bindFunction(
        v, root, "XPromoReportLink", +[](const char*) {});
    bindFunction(v, root, "systemExecute", &systemExecute);
    sq_settop(v, top);
}
