// A compiled function: the unit the compiler produces, the compiled-script file stores and closures run.
// Field order and meaning follow the compiled-script layout (see bytecode_io.cpp), so reading and writing is
// a straight walk over these members.
#ifndef SQUIRREL_SRC_FUNCPROTO_H
#define SQUIRREL_SRC_FUNCPROTO_H

#include "squirrel/src/object.h"
#include "squirrel/src/opcodes.h"

// Where a closure's free variable comes from when the closure is created.
enum SQOuterType : SQUnsignedInteger {
    otLOCAL = 0, // _src = integer stack slot of the enclosing function
    otSYMBOL =
        1, // _src = name, looked up in the enclosing `this` (unused by this compiler; kept for old files)
    otOUTER = 2 // _src = integer index of the enclosing closure's free variable
};

struct SQOuterVar {
    SQOuterType _type = otLOCAL;
    SQObjectPtr _src;
    SQObjectPtr _name;
};

// A local variable's name and live instruction range (debug info: error reports, sq_getlocal).
struct SQLocalVarInfo {
    SQObjectPtr _name;
    SQUnsignedInteger _pos = 0;
    SQUnsignedInteger _start_op = 0;
    SQUnsignedInteger _end_op = 0;
};

// Source line `_line` starts at instruction `_op` (entries sorted by _op).
struct SQLineInfo {
    SQInteger _line = 0;
    SQInteger _op = 0;
};

struct SQFunctionProto : SQRefCounted {
    SQObjectPtr _sourcename;           // string
    SQObjectPtr _name;                 // string, or null for an anonymous function
    SQVector<SQObjectPtr> _literals;   // strings, integers, floats
    SQVector<SQObjectPtr> _parameters; // names; [0] is "this"
    SQVector<SQOuterVar> _outervalues;
    SQVector<SQLocalVarInfo> _localvarinfos;
    SQVector<SQLineInfo> _lineinfos;
    SQVector<SQInteger> _defaultparams; // enclosing frame's slot holding each default value
    SQVector<SQInstruction> _instructions;
    SQVector<SQObjectPtr> _functions; // nested SQFunctionProto objects (OT_FUNCPROTO)
    SQInteger _stacksize = 0;
    bool _bgenerator = false; // contains `yield`
    bool _varparams = false;  // ends with `...`
    // The argument count (this included) with which a call enters the frame directly: no generator, no
    // varargs, no defaults to fill in; -1 until settle() runs, so an unsettled function takes the general
    // path.
    SQInteger _directargs = -1;
    // Derives what the interpreter reads on each call from the fields above, once they are all set.
    void settle() { _directargs = _bgenerator || _varparams ? -1 : (SQInteger)_parameters.size(); }

    // A prototype with every vector sized to its count (elements default-constructed). Throws SQOutOfMemory.
    static SQFunctionProto* create(size_t nliterals, size_t nparameters, size_t noutervalues,
                                   size_t nlocalvarinfos, size_t nlineinfos, size_t ndefaultparams,
                                   size_t ninstructions, size_t nfunctions);

    // Source line of instruction `op` (the last line-info entry starting at or before it).
    SQInteger getLine(const SQInstruction* op) const;
    // Name of local slot `nseq`-th live at instruction `nop` (innermost scope first); nullptr if none.
    const SQChar* getLocal(SQUnsignedInteger nseq, SQUnsignedInteger nop, SQUnsignedInteger& slot) const;
};

#endif
