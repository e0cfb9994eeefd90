// The engine's variants of the math library: its own generator (0…32767 on every platform, so RAND_MAX is
// true), round and fmod, and the float constants of the game's geometry.
#include "script/engine_random.h"
#include "script/src/host_internal.h"

#include <cmath>

namespace {

SQInteger mathRand(HSQUIRRELVM v) {
    sq_pushinteger(v, engineRandom());
    return 1;
}

SQInteger mathSrand(HSQUIRRELVM v) {
    SQInteger seed = 0;
    sq_getinteger(v, 2, &seed);
    engineSeedRandom(static_cast<std::uint32_t>(seed));
    return 0;
}

// Halves round away from zero.
SQInteger mathRound(HSQUIRRELVM v) {
    SQFloat x = 0;
    sq_getfloat(v, 2, &x);
    sq_pushfloat(v, std::round(x));
    return 1;
}

SQInteger mathFmod(HSQUIRRELVM v) {
    SQFloat x = 0, y = 0;
    sq_getfloat(v, 2, &x);
    sq_getfloat(v, 3, &y);
    sq_pushfloat(v, static_cast<SQFloat>(std::fmod(static_cast<double>(x), static_cast<double>(y))));
    return 1;
}

void setFloat(HSQUIRRELVM v, const char* name, SQFloat value) {
    sq_pushstring(v, name, -1);
    sq_pushfloat(v, value);
    sq_newslot(v, -3, SQFalse);
}

} // namespace

void registerEngineMath(HSQUIRRELVM v) {
    setNativeFunction(v, "rand", mathRand, 1, nullptr);
    setNativeFunction(v, "srand", mathSrand, 2, ".n");
    setNativeFunction(v, "round", mathRound, 2, ".n");
    setNativeFunction(v, "fmod", mathFmod, 3, ".nn");
    sq_pushstring(v, "RAND_MAX", -1);
    sq_pushinteger(v, ENGINE_RAND_MAX);
    sq_newslot(v, -3, SQFalse);
    constexpr double kPi = 3.14159265358979323846;
    setFloat(v, "PI", static_cast<SQFloat>(kPi));
    setFloat(v, "DBPI", static_cast<SQFloat>(2 * kPi));
    setFloat(v, "HALFPI", static_cast<SQFloat>(kPi / 2));
    setFloat(v, "INVDBPI", static_cast<SQFloat>(1 / (2 * kPi)));
}
