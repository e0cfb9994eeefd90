// The system library: getenv, system, clock, time, date, remove, rename. Everything that touches the machine
// goes through the host seam.
#include "squirrel/sqstdlib.h"
#include "squirrel/stdlib/registration.h"

#include <ctime>

namespace {

SQInteger sysGetenv(HSQUIRRELVM v) {
    const SQChar* name;
    sq_getstring(v, 2, &name);
    const SQStdHost* host = sqstd_gethost();
    const SQChar* value = host->getenv(host->ud, name);
    if (!value) return 0;
    sq_pushstring(v, value, -1);
    return 1;
}

SQInteger sysSystem(HSQUIRRELVM v) {
    const SQChar* command;
    sq_getstring(v, 2, &command);
    const SQStdHost* host = sqstd_gethost();
    sq_pushinteger(v, host->system(host->ud, command));
    return 1;
}

SQInteger sysClock(HSQUIRRELVM v) {
    const SQStdHost* host = sqstd_gethost();
    host->clock(host->ud, v);
    return 1;
}

SQInteger sysTime(HSQUIRRELVM v) {
    sq_pushinteger(v, (SQInteger)std::time(nullptr));
    return 1;
}

SQInteger sysRemove(HSQUIRRELVM v) {
    const SQChar* path;
    sq_getstring(v, 2, &path);
    const SQStdHost* host = sqstd_gethost();
    if (host->remove(host->ud, path) != 0) return sq_throwerror(v, "remove() failed");
    return 0;
}

SQInteger sysRename(HSQUIRRELVM v) {
    const SQChar *from, *to;
    sq_getstring(v, 2, &from);
    sq_getstring(v, 3, &to);
    const SQStdHost* host = sqstd_gethost();
    if (host->rename(host->ud, from, to) != 0) return sq_throwerror(v, "rename() failed");
    return 0;
}

void setField(HSQUIRRELVM v, const SQChar* name, SQInteger value) {
    sq_pushstring(v, name, -1);
    sq_pushinteger(v, value);
    sq_newslot(v, -3, SQFalse);
}

// date([time[, 'u']]): the broken-down time, in UTC with 'u', otherwise local time.
SQInteger sysDate(HSQUIRRELVM v) {
    std::time_t t = std::time(nullptr);
    SQInteger format = 'l';
    if (sq_gettop(v) > 1) {
        SQInteger it;
        sq_getinteger(v, 2, &it);
        t = (std::time_t)it;
        if (sq_gettop(v) > 2) sq_getinteger(v, 3, &format);
    }
    std::tm parts{};
    bool ok = format == 'u' ? gmtime_r(&t, &parts) != nullptr : localtime_r(&t, &parts) != nullptr;
    if (!ok) return sq_throwerror(v, "crt api failure");
    sq_newtable(v);
    setField(v, "sec", parts.tm_sec);
    setField(v, "min", parts.tm_min);
    setField(v, "hour", parts.tm_hour);
    setField(v, "day", parts.tm_mday);
    setField(v, "month", parts.tm_mon);
    setField(v, "year", parts.tm_year + 1900);
    setField(v, "wday", parts.tm_wday);
    setField(v, "yday", parts.tm_yday);
    return 1;
}

const SQRegFunction kSystemFunctions[] = {
    {"getenv", sysGetenv, 2, ".s"},  {"system", sysSystem, 2, ".s"}, {"clock", sysClock, 1, nullptr},
    {"time", sysTime, 1, nullptr},   {"date", sysDate, -1, ".nn"},   {"remove", sysRemove, 2, ".s"},
    {"rename", sysRename, 3, ".ss"}, {nullptr, nullptr, 0, nullptr},
};

} // namespace

extern "C" SQRESULT sqstd_register_systemlib(HSQUIRRELVM v) {
    sqstdRegisterFunctions(v, kSystemFunctions);
    return SQ_OK;
}
