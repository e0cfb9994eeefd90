// printf-style formatting for script `format`: each conversion of the format string is checked (flags, at
// most two digits of width and of precision), matched with the next argument's type, and handed to the C
// library one at a time, so the output is exactly what C prints for that conversion.
#include "squirrel/sqstdlib.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// The longest conversion spec accepted ("%" flags width "." precision letter).
constexpr size_t kMaxFormatSpec = 20;

enum class ArgKind { Integer, Float, String, Invalid };

ArgKind kindOf(char conv) {
    switch (conv) {
    case 'd':
    case 'i':
    case 'c':
    case 'o':
    case 'u':
    case 'x':
    case 'X':
        return ArgKind::Integer;
    case 'f':
    case 'g':
    case 'G':
    case 'e':
    case 'E':
        return ArgKind::Float;
    case 's':
        return ArgKind::String;
    default:
        return ArgKind::Invalid;
    }
}

// Appends the printf output of one conversion.
template <typename T> void appendFormatted(std::string& out, const char* spec, T value) {
    char small[128];
    int n = std::snprintf(small, sizeof small, spec, value);
    if (n < 0) return;
    if ((size_t)n < sizeof small) {
        out.append(small, (size_t)n);
        return;
    }
    std::string big((size_t)n + 1, '\0');
    std::snprintf(big.data(), big.size(), spec, value);
    out.append(big.data(), (size_t)n);
}

} // namespace

extern "C" SQRESULT sqstd_format(HSQUIRRELVM v, SQInteger nformatstringidx, SQInteger* outlen,
                                 SQChar** output) {
    const SQChar* format = nullptr;
    if (SQ_FAILED(sq_getstring(v, nformatstringidx, &format))) return sq_throwerror(v, "string expected");
    const SQInteger formatlen = sq_getsize(v, nformatstringidx);
    SQInteger nparam = nformatstringidx + 1;
    std::string out;
    try {
        SQInteger i = 0;
        while (i < formatlen) {
            char c = format[i];
            if (c != '%') {
                out += c;
                ++i;
                continue;
            }
            if (i + 1 < formatlen && format[i + 1] == '%') {
                out += '%';
                i += 2;
                continue;
            }
            const SQInteger start = i++;
            while (i < formatlen && format[i] && std::strchr("-+ #0", format[i])) ++i;
            SQInteger digits = i;
            while (i < formatlen && format[i] >= '0' && format[i] <= '9') ++i;
            if (i - digits > 2) return sq_throwerror(v, "width format too long");
            if (i < formatlen && format[i] == '.') {
                ++i;
                digits = i;
                while (i < formatlen && format[i] >= '0' && format[i] <= '9') ++i;
                if (i - digits > 2) return sq_throwerror(v, "precision format too long");
            }
            if ((size_t)(i - start + 1) > kMaxFormatSpec) return sq_throwerror(v, "format too long");
            const char conv = i < formatlen ? format[i] : '\0';
            std::string spec(format + start, (size_t)(i - start));
            spec += conv;
            ++i;
            if (nparam > sq_gettop(v))
                return sq_throwerror(v, "not enough paramters for the given format string");
            switch (kindOf(conv)) {
            case ArgKind::Integer: {
                SQInteger n;
                if (SQ_FAILED(sq_getinteger(v, nparam, &n)))
                    return sq_throwerror(v, "integer expected for the specified format");
                appendFormatted(out, spec.c_str(), (int)n);
                break;
            }
            case ArgKind::Float: {
                SQFloat f;
                if (SQ_FAILED(sq_getfloat(v, nparam, &f)))
                    return sq_throwerror(v, "float expected for the specified format");
                appendFormatted(out, spec.c_str(), (double)f);
                break;
            }
            case ArgKind::String: {
                const SQChar* s;
                if (SQ_FAILED(sq_getstring(v, nparam, &s)))
                    return sq_throwerror(v, "string expected for the specified format");
                appendFormatted(out, spec.c_str(), s);
                break;
            }
            case ArgKind::Invalid:
                return sq_throwerror(v, "invalid format");
            }
            ++nparam;
        }
    } catch (const std::bad_alloc&) {
        return sq_throwerror(v, "out of memory");
    }
    SQChar* dest = sq_getscratchpad(v, (SQInteger)out.size() + 1);
    if (!dest) return sq_throwerror(v, "out of memory");
    std::memcpy(dest, out.data(), out.size());
    dest[out.size()] = '\0';
    *outlen = (SQInteger)out.size();
    *output = dest;
    return SQ_OK;
}
