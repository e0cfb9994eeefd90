// The string library: format, strip, lstrip, rstrip, split and the `regexp` class.
#include "squirrel/sqstdlib.h"
#include "squirrel/stdlib/regex.h"
#include "squirrel/stdlib/registration.h"

#include <cctype>
#include <cstring>

namespace {

SQInteger stringFormat(HSQUIRRELVM v) {
    SQChar* dest;
    SQInteger length;
    if (SQ_FAILED(sqstd_format(v, 2, &length, &dest))) return SQ_ERROR;
    if (SQ_FAILED(sq_spendwork(v, (unsigned long long)length))) return SQ_ERROR;
    sq_pushstring(v, dest, length);
    return 1;
}

bool isSpace(char c) {
    return std::isspace((unsigned char)c) != 0;
}

SQInteger leftEdge(const SQChar* s, SQInteger len) {
    SQInteger i = 0;
    while (i < len && isSpace(s[i])) ++i;
    return i;
}

// The right edge after stripping trailing white space from s[begin, end). The first character of the range is
// never examined, so a one-character range stays as it is.
SQInteger rightEdge(const SQChar* s, SQInteger begin, SQInteger end) {
    if (end <= begin) return begin;
    SQInteger last = end - 1;
    while (last > begin && isSpace(s[last])) --last;
    return last + 1;
}

SQInteger stringStrip(HSQUIRRELVM v) {
    const SQChar* s;
    sq_getstring(v, 2, &s);
    SQInteger len = sq_getsize(v, 2);
    if (SQ_FAILED(sq_spendwork(v, (unsigned long long)len))) return SQ_ERROR;
    SQInteger begin = leftEdge(s, len);
    SQInteger end = rightEdge(s, begin, len);
    sq_pushstring(v, s + begin, end - begin);
    return 1;
}

SQInteger stringLstrip(HSQUIRRELVM v) {
    const SQChar* s;
    sq_getstring(v, 2, &s);
    SQInteger len = sq_getsize(v, 2);
    if (SQ_FAILED(sq_spendwork(v, (unsigned long long)len))) return SQ_ERROR;
    SQInteger begin = leftEdge(s, len);
    sq_pushstring(v, s + begin, len - begin);
    return 1;
}

SQInteger stringRstrip(HSQUIRRELVM v) {
    const SQChar* s;
    sq_getstring(v, 2, &s);
    SQInteger len = sq_getsize(v, 2);
    if (SQ_FAILED(sq_spendwork(v, (unsigned long long)len))) return SQ_ERROR;
    sq_pushstring(v, s, rightEdge(s, 0, len));
    return 1;
}

// Fields separated by any byte of the separator set; empty fields are dropped. Both strings end at their
// first zero byte, as C string tokenizing does.
SQInteger stringSplit(HSQUIRRELVM v) {
    const SQChar *s, *seps;
    sq_getstring(v, 2, &s);
    sq_getstring(v, 3, &seps);
    // only an empty separator string is refused; one starting with a zero byte separates nothing
    if (sq_getsize(v, 3) == 0) return sq_throwerror(v, "empty separators string");
    const size_t len = std::strlen(s);
    if (SQ_FAILED(sq_spendwork(v, (unsigned long long)(len * (size_t)sq_getsize(v, 3))))) return SQ_ERROR;
    sq_newarray(v, 0);
    size_t i = 0;
    while (i < len) {
        while (i < len && std::strchr(seps, s[i])) ++i;
        size_t start = i;
        while (i < len && !std::strchr(seps, s[i])) ++i;
        if (i > start) {
            sq_pushstring(v, s + start, (SQInteger)(i - start));
            sq_arrayappend(v, -2);
        }
    }
    return 1;
}

// ---- regexp ----

SQRex* thisRex(HSQUIRRELVM v) {
    SQUserPointer p = nullptr;
    if (SQ_FAILED(sq_getinstanceup(v, 1, &p, nullptr))) return nullptr;
    return static_cast<SQRex*>(p);
}

SQInteger rexRelease(SQUserPointer p, SQInteger) {
    sqstd_rex_free(static_cast<SQRex*>(p));
    return 1;
}

SQInteger rexConstructor(HSQUIRRELVM v) {
    const SQChar* pattern;
    sq_getstring(v, 2, &pattern);
    const SQChar* error = nullptr;
    SQRex* rex = sqstd_rex_compile(pattern, &error);
    if (!rex) return sq_throwerror(v, error ? error : "invalid expression");
    sq_setinstanceup(v, 1, rex);
    sq_setreleasehook(v, 1, rexRelease);
    return 0;
}

// The matcher runs on the script's step budget, one instruction costing what one byte of copying does:
// bounded before the match, charged after it; a match that ran out fails with the budget's error.
void limitWork(HSQUIRRELVM v, SQRex* rex) {
    SQInteger steps = sq_getstepbudget(v);
    sqstdRexLimitWork(rex, steps < 0 ? -1 : (long long)steps * 64 + 63);
}

bool chargeWork(HSQUIRRELVM v, SQRex* rex) {
    bool charged =
        sq_getstepbudget(v) < 0 || SQ_SUCCEEDED(sq_spendwork(v, (unsigned long long)sqstdRexWorkDone(rex)));
    sqstdRexLimitWork(rex, -1);
    return charged;
}

// Pushes {begin = b, end = e}.
void pushRange(HSQUIRRELVM v, SQInteger b, SQInteger e) {
    sq_newtable(v);
    sq_pushstring(v, "begin", -1);
    sq_pushinteger(v, b);
    sq_rawset(v, -3);
    sq_pushstring(v, "end", -1);
    sq_pushinteger(v, e);
    sq_rawset(v, -3);
}

// Reads the subject and optional start offset; false when the start lies outside the subject.
bool subject(HSQUIRRELVM v, const SQChar*& str, SQInteger& len, SQInteger& start) {
    sq_getstring(v, 2, &str);
    len = sq_getsize(v, 2);
    start = 0;
    if (sq_gettop(v) > 2) sq_getinteger(v, 3, &start);
    return start >= 0 && start <= len;
}

SQInteger rexMatch(HSQUIRRELVM v) {
    SQRex* rex = thisRex(v);
    if (!rex) return sq_throwerror(v, "invalid regexp");
    const SQChar* str;
    sq_getstring(v, 2, &str);
    limitWork(v, rex);
    SQBool matched = sqstd_rex_match(rex, str);
    if (!chargeWork(v, rex)) return SQ_ERROR;
    sq_pushbool(v, matched);
    return 1;
}

SQInteger rexSearch(HSQUIRRELVM v) {
    SQRex* rex = thisRex(v);
    if (!rex) return sq_throwerror(v, "invalid regexp");
    const SQChar* str;
    SQInteger len, start;
    if (!subject(v, str, len, start)) return 0;
    const SQChar *b, *e;
    limitWork(v, rex);
    SQBool found = sqstd_rex_searchrange(rex, str + start, str + len, &b, &e);
    if (!chargeWork(v, rex)) return SQ_ERROR;
    if (!found) return 0;
    pushRange(v, b - str, e - str);
    return 1;
}

SQInteger rexCapture(HSQUIRRELVM v) {
    SQRex* rex = thisRex(v);
    if (!rex) return sq_throwerror(v, "invalid regexp");
    const SQChar* str;
    SQInteger len, start;
    if (!subject(v, str, len, start)) return 0;
    const SQChar *b, *e;
    limitWork(v, rex);
    SQBool found = sqstd_rex_searchrange(rex, str + start, str + len, &b, &e);
    if (!chargeWork(v, rex)) return SQ_ERROR;
    if (!found) return 0;
    const SQInteger n = sqstd_rex_getsubexpcount(rex);
    sq_newarray(v, 0);
    for (SQInteger i = 0; i < n; ++i) {
        SQRexMatch m;
        sqstd_rex_getsubexp(rex, i, &m);
        if (m.begin && m.len > 0)
            pushRange(v, m.begin - str, m.begin - str + m.len);
        else
            pushRange(v, 0, 0);
        sq_arrayappend(v, -2);
    }
    return 1;
}

SQInteger rexSubexpcount(HSQUIRRELVM v) {
    SQRex* rex = thisRex(v);
    if (!rex) return sq_throwerror(v, "invalid regexp");
    sq_pushinteger(v, sqstd_rex_getsubexpcount(rex));
    return 1;
}

// A clone gets its own copy of the compiled expression.
SQInteger rexCloned(HSQUIRRELVM v) {
    sq_setinstanceup(v, 1, nullptr);
    SQUserPointer p = nullptr;
    if (SQ_FAILED(sq_getinstanceup(v, 2, &p, nullptr)) || !p) return sq_throwerror(v, "invalid regexp");
    SQRex* copy = sqstdRexClone(static_cast<SQRex*>(p));
    if (!copy) return sq_throwerror(v, "out of memory");
    sq_setinstanceup(v, 1, copy);
    sq_setreleasehook(v, 1, rexRelease);
    return 0;
}

SQInteger rexTypeof(HSQUIRRELVM v) {
    sq_pushstring(v, "regexp", -1);
    return 1;
}

const SQRegFunction kRexMethods[] = {
    {"constructor", rexConstructor, 2, ".s"},
    {"search", rexSearch, -2, "xsn"},
    {"match", rexMatch, 2, "xs"},
    {"capture", rexCapture, -2, "xsn"},
    {"subexpcount", rexSubexpcount, 1, "x"},
    {"_typeof", rexTypeof, 1, "x"},
    {"_cloned", rexCloned, 2, "xx"},
    {nullptr, nullptr, 0, nullptr},
};

const SQRegFunction kStringFunctions[] = {
    {"format", stringFormat, -2, ".s"}, {"strip", stringStrip, 2, ".s"},  {"lstrip", stringLstrip, 2, ".s"},
    {"rstrip", stringRstrip, 2, ".s"},  {"split", stringSplit, 3, ".ss"}, {nullptr, nullptr, 0, nullptr},
};

} // namespace

extern "C" SQRESULT sqstd_register_stringlib(HSQUIRRELVM v) {
    sq_pushstring(v, "regexp", -1);
    if (SQ_FAILED(sq_newclass(v, SQFalse))) {
        sq_pop(v, 1);
        return SQ_ERROR;
    }
    sqstdRegisterFunctions(v, kRexMethods);
    sq_newslot(v, -3, SQFalse);
    sqstdRegisterFunctions(v, kStringFunctions);
    return SQ_OK;
}
