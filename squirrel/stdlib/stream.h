// The stream abstraction shared by `blob` and `file`: the `stream` script class's methods work on any
// SQStream, found through the instance's user pointer.
#ifndef SQUIRREL_STDLIB_STREAM_H
#define SQUIRREL_STDLIB_STREAM_H

#include "squirrel/sqstdlib.h"

#include <cstdio>

class SQStream {
public:
    virtual ~SQStream() = default;
    // Bytes read/written (fewer at the end or on error).
    virtual SQInteger read(void* buffer, SQInteger size) = 0;
    virtual SQInteger write(const void* buffer, SQInteger size) = 0;
    // 0 on success.
    virtual SQInteger flush() = 0;
    virtual SQInteger tell() = 0;
    virtual SQInteger len() = 0;
    // origin is SQ_SEEK_SET/CUR/END; 0 on success, non-zero when out of range (position unchanged).
    virtual SQInteger seek(SQInteger offset, SQInteger origin) = 0;
    virtual bool isValid() = 0;
    virtual bool eos() = 0;
};

// Type tags of the std classes: the addresses of their tag names.
extern const char kStreamTypeTag[];
extern const char kBlobTypeTag[];
extern const char kFileTypeTag[];

// Registry keys holding the classes (so native code can create instances).
#define SQSTD_STREAM_CLASS_KEY "std_stream"

// Ensures the `stream` base class exists in the registry and in the table at -1; pushes it.
void sqstdPushStreamClass(HSQUIRRELVM v);
// Pushes the class stored in the registry under key (null if missing).
void sqstdPushRegistryClass(HSQUIRRELVM v, const char* key);
// With a class, a `this` and nargs arguments on top, calls `Class(args)`; replaces them all with the
// instance.
SQRESULT sqstdConstruct(HSQUIRRELVM v, SQInteger nargs);

// An SQFILE around one of the process's C streams; closing it leaves the stream open.
SQFILE sqstdWrapStdio(FILE* f);

#endif
