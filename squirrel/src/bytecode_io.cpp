// Compiled-script files: sq_writeclosure and sq_readclosure.
//
// Layout (little-endian; "int" is a 32-bit SQInteger, floats are 32-bit):
//   u16 0xFAFA, int 'SQIR', int sizeof(SQChar) = 1, proto, int 'TAIL'
//   proto: PART name-objects PART counts PART literals PART parameters PART outer values PART local-variable
//          infos PART line infos PART default parameters PART instructions PART nested protos, stacksize,
//          u8 generator, u8 varparams
// An object is its full type id, then for a string an int length and the bytes, for an integer an int, for a
// float a 4-byte float, for null nothing.
//
// A compiled file may come from anywhere, so the reader trusts nothing: every count, length, tag and type is
// checked against the stream as it is read (vectors grow with the data actually present, never to a claimed
// count), and every instruction's operands are verified against its function (stack slots, literal and
// function indices, jump targets, free variables), so that running a loaded closure can never index outside
// its frame or tables. A damaged file is an error, never a crash.
#include "squirrel/src/closure.h"
#include "squirrel/src/funcproto.h"
#include "squirrel/src/vm.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr uint16_t kStreamTag = 0xFAFA;
constexpr int32_t kClosureHead = 0x53514952; // 'SQIR'
constexpr int32_t kPartTag = 0x50415254;     // 'PART'
constexpr int32_t kTailTag = 0x5441494C;     // 'TAIL'

// Bounds that no compiler output comes near; they stop hostile counts before they cost memory or C stack.
constexpr int32_t kMaxElements = 1 << 24;
constexpr int32_t kMaxStringLength = 1 << 28;
constexpr int kMaxProtoNesting = 200;
constexpr uint32_t kMaxContainerPresize = 1 << 20;

const char* const kCorrupted = "invalid or corrupted closure stream";
const char* const kReadFailure =
    "io error, read function failure, the origin stream could be corrupted/trucated";

struct StreamError {
    const char* message;
};

class Writer {
public:
    Writer(HSQUIRRELVM v, SQWRITEFUNC write, SQUserPointer up) : m_v(v), m_write(write), m_up(up) {}

    void bytes(const void* p, size_t n) {
        if (n == 0) return;
        if (m_write(m_up, const_cast<void*>(p), (SQInteger)n) != (SQInteger)n)
            throw StreamError{"io error (write function failure)"};
    }
    void int32(int32_t x) { bytes(&x, 4); }
    void uint32(uint32_t x) { bytes(&x, 4); }
    void u8(uint8_t x) { bytes(&x, 1); }
    void part() { int32(kPartTag); }

    void object(const SQObject& o) {
        uint32((uint32_t)o._type);
        switch (o._type) {
        case OT_STRING:
            int32((int32_t)_string(o)->_len);
            bytes(_stringval(o), (size_t)_string(o)->_len);
            break;
        case OT_INTEGER:
            int32(_integer(o));
            break;
        case OT_FLOAT:
            bytes(&_float(o), 4);
            break;
        case OT_NULL:
            break;
        default:
            m_v->raiseError("cannot serialize a %s", sqTypeName(o._type));
        }
    }

    void proto(const SQFunctionProto& f) {
        part();
        object(f._sourcename);
        object(f._name);
        part();
        int32((int32_t)f._literals.size());
        int32((int32_t)f._parameters.size());
        int32((int32_t)f._outervalues.size());
        int32((int32_t)f._localvarinfos.size());
        int32((int32_t)f._lineinfos.size());
        int32((int32_t)f._defaultparams.size());
        int32((int32_t)f._instructions.size());
        int32((int32_t)f._functions.size());
        part();
        for (const auto& l : f._literals) object(l);
        part();
        for (const auto& p : f._parameters) object(p);
        part();
        for (const auto& ov : f._outervalues) {
            uint32((uint32_t)ov._type);
            object(ov._src);
            object(ov._name);
        }
        part();
        for (const auto& lv : f._localvarinfos) {
            object(lv._name);
            uint32(lv._pos);
            uint32(lv._start_op);
            uint32(lv._end_op);
        }
        part();
        for (const auto& li : f._lineinfos) {
            int32(li._line);
            int32(li._op);
        }
        part();
        for (SQInteger d : f._defaultparams) int32(d);
        part();
        for (const auto& in : f._instructions) {
            int32(in._arg1);
            u8(in.op);
            u8(in._arg0);
            u8(in._arg2);
            u8(in._arg3);
        }
        part();
        for (const auto& child : f._functions) proto(*_funcproto(child));
        int32((int32_t)f._stacksize);
        u8(f._bgenerator ? 1 : 0);
        u8(f._varparams ? 1 : 0);
    }

private:
    HSQUIRRELVM m_v;
    SQWRITEFUNC m_write;
    SQUserPointer m_up;
};

// Everything a prototype holds, read into growable storage before the prototype is built.
struct ProtoData {
    SQObjectPtr sourcename, name;
    std::vector<SQObjectPtr> literals, parameters;
    struct Outer {
        uint32_t type;
        SQObjectPtr src, name;
    };
    std::vector<Outer> outers;
    std::vector<SQLocalVarInfo> locals;
    std::vector<SQLineInfo> lines;
    std::vector<SQInteger> defaults;
    std::vector<SQInstruction> code;
    std::vector<SQObjectPtr> functions;
    int32_t stacksize = 0;
    bool generator = false, varparams = false;
};

class Reader {
public:
    Reader(HSQUIRRELVM v, SQREADFUNC read, SQUserPointer up) : m_v(v), m_read(read), m_up(up) {}

    void bytes(void* p, size_t n) {
        if (n == 0) return;
        if (m_read(m_up, p, (SQInteger)n) != (SQInteger)n) throw StreamError{kReadFailure};
    }
    int32_t int32() {
        int32_t x;
        bytes(&x, 4);
        return x;
    }
    uint8_t u8() {
        uint8_t x;
        bytes(&x, 1);
        return x;
    }
    bool flag() {
        uint8_t b = u8();
        if (b > 1) throw StreamError{kCorrupted};
        return b != 0;
    }
    void expectTag(int32_t tag) {
        if (int32() != tag) throw StreamError{kCorrupted};
    }
    int32_t count() {
        int32_t n = int32();
        if (n < 0 || n > kMaxElements) throw StreamError{kCorrupted};
        return n;
    }

    SQObjectPtr object() {
        uint32_t type = (uint32_t)int32();
        switch (type) {
        case OT_STRING: {
            int32_t len = int32();
            if (len < 0 || len > kMaxStringLength) throw StreamError{kCorrupted};
            // Grows with the data that is really there, so a false length costs nothing.
            std::string s;
            char chunk[4096];
            for (int32_t left = len; left > 0;) {
                size_t n = left < (int32_t)sizeof chunk ? (size_t)left : sizeof chunk;
                bytes(chunk, n);
                s.append(chunk, n);
                left -= (int32_t)n;
            }
            return SQObjectPtr(sqNewString(_ss(m_v), s.data(), (SQInteger)s.size()));
        }
        case OT_INTEGER:
            return SQObjectPtr((SQInteger)int32());
        case OT_FLOAT: {
            SQFloat f;
            bytes(&f, 4);
            return SQObjectPtr(f);
        }
        case OT_NULL:
            return SQObjectPtr();
        default:
            throw StreamError{kCorrupted};
        }
    }

    SQObjectPtr string() {
        SQObjectPtr o = object();
        if (o._type != OT_STRING) throw StreamError{kCorrupted};
        return o;
    }

    SQObjectPtr proto(int depth) {
        if (depth > kMaxProtoNesting) throw StreamError{kCorrupted};
        ProtoData d;
        expectTag(kPartTag);
        d.sourcename = string();
        d.name = object();
        if (d.name._type != OT_STRING && d.name._type != OT_NULL) throw StreamError{kCorrupted};
        expectTag(kPartTag);
        int32_t nliterals = count(), nparameters = count(), nouters = count(), nlocals = count(),
                nlines = count(), ndefaults = count(), ninstructions = count(), nfunctions = count();
        expectTag(kPartTag);
        for (int32_t i = 0; i < nliterals; ++i) {
            d.literals.push_back(object());
            SQObjectType t = d.literals.back()._type;
            if (t != OT_STRING && t != OT_INTEGER && t != OT_FLOAT && t != OT_NULL)
                throw StreamError{kCorrupted};
        }
        expectTag(kPartTag);
        for (int32_t i = 0; i < nparameters; ++i) d.parameters.push_back(string());
        expectTag(kPartTag);
        for (int32_t i = 0; i < nouters; ++i) {
            uint32_t type = (uint32_t)int32();
            SQObjectPtr src = object();
            SQObjectPtr name = object();
            d.outers.push_back({type, std::move(src), std::move(name)});
        }
        expectTag(kPartTag);
        for (int32_t i = 0; i < nlocals; ++i) {
            SQLocalVarInfo lv;
            lv._name = string();
            lv._pos = (SQUnsignedInteger)int32();
            lv._start_op = (SQUnsignedInteger)int32();
            lv._end_op = (SQUnsignedInteger)int32();
            d.locals.push_back(std::move(lv));
        }
        expectTag(kPartTag);
        for (int32_t i = 0; i < nlines; ++i) {
            SQLineInfo li;
            li._line = int32();
            li._op = int32();
            d.lines.push_back(li);
        }
        expectTag(kPartTag);
        for (int32_t i = 0; i < ndefaults; ++i) d.defaults.push_back(int32());
        expectTag(kPartTag);
        for (int32_t i = 0; i < ninstructions; ++i) {
            unsigned char raw[8];
            bytes(raw, 8);
            SQInstruction in;
            std::memcpy(&in._arg1, raw, 4);
            in.op = raw[4];
            in._arg0 = raw[5];
            in._arg2 = raw[6];
            in._arg3 = raw[7];
            d.code.push_back(in);
        }
        expectTag(kPartTag);
        for (int32_t i = 0; i < nfunctions; ++i) d.functions.push_back(proto(depth + 1));
        d.stacksize = int32();
        d.generator = flag();
        d.varparams = flag();
        verify(d);
        return build(d);
    }

private:
    // Checks everything the interpreter relies on without checking at run time.
    static void verify(const ProtoData& d) {
        const int64_t stack = d.stacksize;
        if (stack < 1 || stack > kMaxFuncStackSize) throw StreamError{kCorrupted};
        if (d.parameters.empty() || (int64_t)d.parameters.size() > stack) throw StreamError{kCorrupted};
        if (d.defaults.size() >= d.parameters.size()) throw StreamError{kCorrupted};
        for (const auto& lv : d.locals)
            if ((int64_t)lv._pos >= stack) throw StreamError{kCorrupted};
        for (const auto& f : d.functions) verifyChild(d, *_funcproto(f));
        const int64_t n = (int64_t)d.code.size();
        if (n == 0) throw StreamError{kCorrupted};
        for (int64_t pc = 0; pc < n; ++pc) verifyInstruction(d, pc);
        SQOpcode last = (SQOpcode)d.code.back().op;
        if (last != _OP_RETURN && last != _OP_JMP && last != _OP_THROW) throw StreamError{kCorrupted};
    }

    // A nested function's free variables and default values are taken from this function's frame.
    static void verifyChild(const ProtoData& parent, const SQFunctionProto& child) {
        for (const auto& ov : child._outervalues) {
            switch (ov._type) {
            case otLOCAL:
                if (ov._src._type != OT_INTEGER || _integer(ov._src) < 0 ||
                    _integer(ov._src) >= parent.stacksize)
                    throw StreamError{kCorrupted};
                break;
            case otOUTER:
                if (ov._src._type != OT_INTEGER || _integer(ov._src) < 0 ||
                    (size_t)_integer(ov._src) >= parent.outers.size())
                    throw StreamError{kCorrupted};
                break;
            case otSYMBOL:
                if (ov._src._type != OT_STRING) throw StreamError{kCorrupted};
                break;
            default:
                throw StreamError{kCorrupted};
            }
        }
        for (SQInteger slot : child._defaultparams)
            if (slot < 0 || slot >= parent.stacksize) throw StreamError{kCorrupted};
    }

    static void verifyInstruction(const ProtoData& d, int64_t pc) {
        const SQInstruction& in = d.code[(size_t)pc];
        const int64_t stack = d.stacksize, n = (int64_t)d.code.size();
        const int64_t a0 = in._arg0, a1 = in._arg1, a2 = in._arg2, a3 = in._arg3;
        const uint32_t u1 = (uint32_t)in._arg1;
        auto slot = [&](int64_t s) {
            if (s < 0 || s >= stack) throw StreamError{kCorrupted};
        };
        auto literal = [&](int64_t l) {
            if (l < 0 || l >= (int64_t)d.literals.size()) throw StreamError{kCorrupted};
        };
        auto jump = [&](int64_t offset) {
            int64_t target = pc + 1 + offset;
            if (target < 0 || target >= n) throw StreamError{kCorrupted};
        };
        auto arithOp = [&](int64_t op) {
            if (op != '+' && op != '-' && op != '*' && op != '/' && op != '%') throw StreamError{kCorrupted};
        };
        auto resultSlot = [&]() { // SET/NEWSLOT write arg0 only when it differs from arg3
            if (a0 != a3) slot(a0);
        };
        switch ((SQOpcode)in.op) {
        case _OP_LINE:
            break;
        case _OP_LOAD:
            slot(a0), literal(a1);
            break;
        case _OP_LOADINT:
        case _OP_LOADFLOAT:
        case _OP_LOADROOTTABLE:
        case _OP_LOADBOOL:
        case _OP_VARGC:
        case _OP_THROW:
            slot(a0);
            break;
        case _OP_DLOAD:
            slot(a0), literal(a1), slot(a2), literal(a3);
            break;
        case _OP_TAILCALL:
        case _OP_CALL:
            slot(a0), slot(a1), slot(a2);
            if (a3 < 1 || a2 + a3 > stack) throw StreamError{kCorrupted};
            break;
        case _OP_PREPCALL:
            slot(a0), slot(a1), slot(a2), slot(a3);
            break;
        case _OP_PREPCALLK:
            slot(a0), literal(a1), slot(a2), slot(a3);
            break;
        case _OP_GETK:
            slot(a0), literal(a1), slot(a2);
            break;
        case _OP_MOVE:
        case _OP_GETPARENT:
        case _OP_NEG:
        case _OP_NOT:
        case _OP_BWNOT:
        case _OP_CLONE:
        case _OP_TYPEOF:
        case _OP_RESUME:
        case _OP_GETVARGV:
        case _OP_INCL:
        case _OP_PINCL:
            slot(a0), slot(a1);
            break;
        case _OP_NEWSLOT:
        case _OP_SET:
            resultSlot(), slot(a1), slot(a2), slot(a3);
            break;
        case _OP_DELETE:
        case _OP_GET:
        case _OP_EXISTS:
        case _OP_INSTANCEOF:
        case _OP_INC:
        case _OP_PINC:
        case _OP_DELEGATE:
            slot(a0), slot(a1), slot(a2);
            break;
        case _OP_EQ:
        case _OP_NE:
            slot(a0), slot(a2);
            if (a3 != 0)
                literal(a1);
            else
                slot(a1);
            break;
        case _OP_ARITH:
        case _OP_COMPARITHL:
            slot(a0), slot(a1), slot(a2), arithOp(a3);
            break;
        case _OP_BITW:
            slot(a0), slot(a1), slot(a2);
            if (a3 != BW_AND && a3 != BW_OR && a3 != BW_XOR && a3 != BW_SHIFTL && a3 != BW_SHIFTR &&
                a3 != BW_USHIFTR)
                throw StreamError{kCorrupted};
            break;
        case _OP_RETURN:
            if (a0 != 0xFF) slot(a1);
            break;
        case _OP_LOADNULLS:
            if (a1 < 0 || a0 + a1 > stack) throw StreamError{kCorrupted};
            break;
        case _OP_DMOVE:
            slot(a0), slot(a1), slot(a2), slot(a3);
            break;
        case _OP_JMP:
            jump(a1);
            break;
        case _OP_JNZ:
        case _OP_JZ:
            slot(a0), jump(a1);
            break;
        case _OP_LOADFREEVAR:
            slot(a0);
            if (a1 < 0 || a1 >= (int64_t)d.outers.size()) throw StreamError{kCorrupted};
            break;
        case _OP_NEWTABLE:
        case _OP_NEWARRAY:
            slot(a0);
            if (u1 > kMaxContainerPresize) throw StreamError{kCorrupted};
            break;
        case _OP_APPENDARRAY:
            slot(a0);
            if (a3 != 0)
                literal(a1);
            else
                slot(a1);
            break;
        case _OP_COMPARITH:
            slot(a0), slot(u1 >> 16), slot(u1 & 0xFFFF), slot(a2), arithOp(a3);
            break;
        case _OP_CMP:
            slot(a0), slot(a1), slot(a2);
            if (a3 != CMP_G && a3 != CMP_GE && a3 != CMP_L && a3 != CMP_LE) throw StreamError{kCorrupted};
            break;
        case _OP_AND:
        case _OP_OR:
            slot(a0), slot(a2), jump(a1);
            break;
        case _OP_CLOSURE:
            slot(a0);
            if (a1 < 0 || a1 >= (int64_t)d.functions.size()) throw StreamError{kCorrupted};
            break;
        case _OP_YIELD:
            if (a0 != 0xFF) slot(a1);
            break;
        case _OP_FOREACH:
            slot(a0), slot(a2 + 2), jump(a1);
            if (pc + 1 >= n) throw StreamError{kCorrupted};
            break;
        case _OP_POSTFOREACH:
            slot(a0), jump(a1 - 1);
            break;
        case _OP_PUSHTRAP:
            slot(a0), jump(a1);
            break;
        case _OP_POPTRAP:
            break;
        case _OP_CLASS:
            slot(a0);
            if (in._arg1 != -1) slot(a1);
            if (a2 != 0xFF) slot(a2);
            break;
        case _OP_NEWSLOTA:
            if (a0 > (NEW_SLOT_ATTRIBUTES_FLAG | NEW_SLOT_STATIC_FLAG)) throw StreamError{kCorrupted};
            slot(a1), slot(a2), slot(a3);
            if (a0 & NEW_SLOT_ATTRIBUTES_FLAG) slot(a2 - 1);
            break;
        default:
            throw StreamError{kCorrupted};
        }
    }

    SQObjectPtr build(ProtoData& d) {
        SQFunctionProto* f =
            SQFunctionProto::create(d.literals.size(), d.parameters.size(), d.outers.size(), d.locals.size(),
                                    d.lines.size(), d.defaults.size(), d.code.size(), d.functions.size());
        SQObjectPtr holder(f);
        f->_sourcename = d.sourcename;
        f->_name = d.name;
        for (size_t i = 0; i < d.literals.size(); ++i) f->_literals[i] = d.literals[i];
        for (size_t i = 0; i < d.parameters.size(); ++i) f->_parameters[i] = d.parameters[i];
        for (size_t i = 0; i < d.outers.size(); ++i) {
            f->_outervalues[i]._type = (SQOuterType)d.outers[i].type;
            f->_outervalues[i]._src = d.outers[i].src;
            f->_outervalues[i]._name = d.outers[i].name;
        }
        for (size_t i = 0; i < d.locals.size(); ++i) {
            f->_localvarinfos[i]._name = d.locals[i]._name;
            f->_localvarinfos[i]._pos = d.locals[i]._pos;
            f->_localvarinfos[i]._start_op = d.locals[i]._start_op;
            f->_localvarinfos[i]._end_op = d.locals[i]._end_op;
        }
        for (size_t i = 0; i < d.lines.size(); ++i) f->_lineinfos[i] = d.lines[i];
        for (size_t i = 0; i < d.defaults.size(); ++i) f->_defaultparams[i] = d.defaults[i];
        for (size_t i = 0; i < d.code.size(); ++i) f->_instructions[i] = d.code[i];
        for (size_t i = 0; i < d.functions.size(); ++i) f->_functions[i] = d.functions[i];
        f->_stacksize = d.stacksize;
        f->_bgenerator = d.generator;
        f->_varparams = d.varparams;
        f->settle();
        return holder;
    }

    HSQUIRRELVM m_v;
    SQREADFUNC m_read;
    SQUserPointer m_up;
};

// Runs a reader/writer body, turning every library error into SQ_ERROR with the last error set.
template <typename Body> SQRESULT guarded(HSQUIRRELVM v, Body body) {
    try {
        body();
        return SQ_OK;
    } catch (const StreamError& e) {
        return sq_throwerror(v, e.message);
    } catch (const SQRaise&) {
        return SQ_ERROR;
    } catch (const SQOutOfMemory&) {
        v->_lasterror = _ss(v)->_oomerror;
        return SQ_ERROR;
    } catch (const std::bad_alloc&) {
        v->_lasterror = _ss(v)->_oomerror;
        return SQ_ERROR;
    }
}

} // namespace

extern "C" SQRESULT sq_writeclosure(HSQUIRRELVM v, SQWRITEFUNC writef, SQUserPointer up) {
    if (sq_gettop(v) < 1) return sq_throwerror(v, "not enough params in the stack");
    const SQObjectPtr& top = v->getAt(-1);
    if (top._type != OT_CLOSURE) {
        return guarded(v, [&] {
            SQObjectPtr text = v->printObjVal(top);
            v->raiseError("wrong argument type, expected '%s' got '%.50s'", sqTypeName(OT_CLOSURE),
                          _stringval(text));
        });
    }
    SQObjectPtr closure = top;
    return guarded(v, [&] {
        Writer w(v, writef, up);
        uint16_t tag = kStreamTag;
        w.bytes(&tag, 2);
        w.int32(kClosureHead);
        w.int32((int32_t)sizeof(SQChar));
        w.proto(*_closure(closure)->proto());
        w.int32(kTailTag);
    });
}

extern "C" SQRESULT sq_readclosure(HSQUIRRELVM v, SQREADFUNC readf, SQUserPointer up) {
    return guarded(v, [&] {
        Reader r(v, readf, up);
        uint16_t tag = 0;
        r.bytes(&tag, 2);
        if (tag != kStreamTag) throw StreamError{"invalid stream"};
        r.expectTag(kClosureHead);
        if (r.int32() != (int32_t)sizeof(SQChar)) throw StreamError{kCorrupted};
        SQObjectPtr main = r.proto(0);
        r.expectTag(kTailTag);
        // The main function of a file has no enclosing frame to take free variables or defaults from.
        SQFunctionProto* f = _funcproto(main);
        if (!f->_outervalues.empty() || !f->_defaultparams.empty()) throw StreamError{kCorrupted};
        SQObjectPtr closure(SQClosure::create(_ss(v), f));
        v->push(closure);
    });
}
