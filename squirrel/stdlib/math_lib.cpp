// The math library: the C math functions over 32-bit floats (computed in double, then narrowed), rand/srand,
// abs, and the constants PI and RAND_MAX.
#include "squirrel/sqstdlib.h"
#include "squirrel/stdlib/registration.h"

#include <cmath>
#include <cstdlib>

namespace {

SQFloat arg(HSQUIRRELVM v, SQInteger idx) {
    SQFloat f = 0;
    sq_getfloat(v, idx, &f);
    return f;
}

template <double (*F)(double)> SQInteger unary(HSQUIRRELVM v) {
    sq_pushfloat(v, (SQFloat)F((double)arg(v, 2)));
    return 1;
}

template <double (*F)(double, double)> SQInteger binary(HSQUIRRELVM v) {
    sq_pushfloat(v, (SQFloat)F((double)arg(v, 2), (double)arg(v, 3)));
    return 1;
}

double cSqrt(double x) {
    return std::sqrt(x);
}
double cSin(double x) {
    return std::sin(x);
}
double cCos(double x) {
    return std::cos(x);
}
double cAsin(double x) {
    return std::asin(x);
}
double cAcos(double x) {
    return std::acos(x);
}
double cLog(double x) {
    return std::log(x);
}
double cLog10(double x) {
    return std::log10(x);
}
double cTan(double x) {
    return std::tan(x);
}
double cAtan(double x) {
    return std::atan(x);
}
double cFloor(double x) {
    return std::floor(x);
}
double cCeil(double x) {
    return std::ceil(x);
}
double cExp(double x) {
    return std::exp(x);
}
double cFabs(double x) {
    return std::fabs(x);
}
double cAtan2(double y, double x) {
    return std::atan2(y, x);
}
double cPow(double x, double y) {
    return std::pow(x, y);
}

SQInteger mathSrand(HSQUIRRELVM v) {
    SQInteger seed;
    sq_getinteger(v, 2, &seed);
    std::srand((unsigned)seed);
    return 0;
}

SQInteger mathRand(HSQUIRRELVM v) {
    sq_pushinteger(v, std::rand());
    return 1;
}

// The argument is truncated to an integer first; the most negative integer stays as it is.
SQInteger mathAbs(HSQUIRRELVM v) {
    SQInteger n;
    sq_getinteger(v, 2, &n);
    sq_pushinteger(v, n < 0 ? (SQInteger)(0u - (SQUnsignedInteger)n) : n);
    return 1;
}

const SQRegFunction kMathFunctions[] = {
    {"sqrt", unary<cSqrt>, 2, ".n"},     {"sin", unary<cSin>, 2, ".n"},   {"cos", unary<cCos>, 2, ".n"},
    {"asin", unary<cAsin>, 2, ".n"},     {"acos", unary<cAcos>, 2, ".n"}, {"log", unary<cLog>, 2, ".n"},
    {"log10", unary<cLog10>, 2, ".n"},   {"tan", unary<cTan>, 2, ".n"},   {"atan", unary<cAtan>, 2, ".n"},
    {"atan2", binary<cAtan2>, 3, ".nn"}, {"pow", binary<cPow>, 3, ".nn"}, {"floor", unary<cFloor>, 2, ".n"},
    {"ceil", unary<cCeil>, 2, ".n"},     {"exp", unary<cExp>, 2, ".n"},   {"srand", mathSrand, 2, ".n"},
    {"rand", mathRand, 1, nullptr},      {"fabs", unary<cFabs>, 2, ".n"}, {"abs", mathAbs, 2, ".n"},
    {nullptr, nullptr, 0, nullptr},
};

} // namespace

extern "C" SQRESULT sqstd_register_mathlib(HSQUIRRELVM v) {
    sqstdRegisterFunctions(v, kMathFunctions);
    sq_pushstring(v, "RAND_MAX", -1);
    sq_pushinteger(v, RAND_MAX);
    sq_newslot(v, -3, SQFalse);
    sq_pushstring(v, "PI", -1);
    sq_pushfloat(v, (SQFloat)3.14159265358979323846);
    sq_newslot(v, -3, SQFalse);
    return SQ_OK;
}
