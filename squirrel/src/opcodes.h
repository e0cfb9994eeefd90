// The instruction set: one X-list from which the opcode enum, the name table, the interpreter's dispatch
// table and the disassembler are generated. Numbering and operand use are those of the 2.2.4 bytecode, so
// compiled scripts of the reference load directly.
//
// An instruction is 8 bytes: int32 arg1; u8 op; u8 arg0; u8 arg2; u8 arg3. STK(n) is slot n of the current
// frame (0 = this). Jumps are relative to the next instruction. 0xFF in a byte operand means "none".
#ifndef SQUIRREL_SRC_OPCODES_H
#define SQUIRREL_SRC_OPCODES_H

#include <cstdint>

// X(name, operands-and-meaning)
#define SQ_OPCODES(X)                                                                                        \
    X(LINE, "arg1 = line; debug hook 'l' event")                                                             \
    X(LOAD, "STK(arg0) = literal[arg1]")                                                                     \
    X(LOADINT, "STK(arg0) = integer arg1")                                                                   \
    X(LOADFLOAT, "STK(arg0) = float with bits arg1")                                                         \
    X(DLOAD, "STK(arg0) = literal[arg1]; STK(arg2) = literal[arg3]")                                         \
    X(TAILCALL, "as CALL, reusing the frame for a script closure")                                           \
    X(CALL, "STK(arg0) = STK(arg1)(arg3 args from STK(arg2), the first is this)")                            \
    X(PREPCALL, "STK(arg0) = STK(arg2)[STK(arg1)]; STK(arg3) = STK(arg2) (or this for a class)")             \
    X(PREPCALLK, "as PREPCALL with key literal[arg1]")                                                       \
    X(GETK, "STK(arg0) = STK(arg2)[literal[arg1]]")                                                          \
    X(MOVE, "STK(arg0) = STK(arg1)")                                                                         \
    X(NEWSLOT, "STK(arg1)[STK(arg2)] <- STK(arg3); STK(arg0) = STK(arg3) if arg0 != arg3")                   \
    X(DELETE, "STK(arg0) = delete STK(arg1)[STK(arg2)]")                                                     \
    X(SET, "STK(arg1)[STK(arg2)] = STK(arg3); STK(arg0) = STK(arg3) if arg0 != arg3")                        \
    X(GET, "STK(arg0) = STK(arg1)[STK(arg2)]")                                                               \
    X(EQ, "STK(arg0) = STK(arg2) == (arg3 ? literal[arg1] : STK(arg1))")                                     \
    X(NE, "STK(arg0) = STK(arg2) != (arg3 ? literal[arg1] : STK(arg1))")                                     \
    X(ARITH, "STK(arg0) = STK(arg2) op STK(arg1); op = arg3 as ASCII + - * / %")                             \
    X(BITW, "STK(arg0) = STK(arg2) op STK(arg1); arg3: 0 & 2 | 3 ^ 4 << 5 >> 6 >>>")                         \
    X(RETURN, "arg0 = 0xFF: return null, else return STK(arg1)")                                             \
    X(LOADNULLS, "STK(arg0 .. arg0+arg1-1) = null")                                                          \
    X(LOADROOTTABLE, "STK(arg0) = root table")                                                               \
    X(LOADBOOL, "STK(arg0) = arg1 != 0")                                                                     \
    X(DMOVE, "STK(arg0) = STK(arg1); STK(arg2) = STK(arg3)")                                                 \
    X(JMP, "ip += sarg1")                                                                                    \
    X(JNZ, "if STK(arg0) truthy: ip += sarg1")                                                               \
    X(JZ, "if STK(arg0) falsy: ip += sarg1")                                                                 \
    X(LOADFREEVAR, "STK(arg0) = free variable arg1")                                                         \
    X(VARGC, "STK(arg0) = vararg count")                                                                     \
    X(GETVARGV, "STK(arg0) = vargv[STK(arg1)]")                                                              \
    X(NEWTABLE, "STK(arg0) = new table sized for arg1 slots")                                                \
    X(NEWARRAY, "STK(arg0) = new array with capacity arg1")                                                  \
    X(APPENDARRAY, "STK(arg0).append(arg3 ? literal[arg1] : STK(arg1))")                                     \
    X(GETPARENT, "STK(arg0) = parent of STK(arg1)")                                                          \
    X(COMPARITH, "slot STK(arg1>>16)[STK(arg2)] op= STK(arg1&0xFFFF); STK(arg0) = result")                   \
    X(COMPARITHL, "STK(arg1) = STK(arg1) op STK(arg2); STK(arg0) = result")                                  \
    X(INC, "STK(arg1)[STK(arg2)] += sarg3; STK(arg0) = new value")                                           \
    X(INCL, "STK(arg1) += sarg3; STK(arg0) = new value")                                                     \
    X(PINC, "as INC, STK(arg0) = old value")                                                                 \
    X(PINCL, "as INCL, STK(arg0) = old value")                                                               \
    X(CMP, "STK(arg0) = STK(arg2) cmp STK(arg1); arg3: 0 > 2 >= 3 < 4 <=")                                   \
    X(EXISTS, "STK(arg0) = STK(arg2) in STK(arg1)")                                                          \
    X(INSTANCEOF, "STK(arg0) = STK(arg2) instanceof STK(arg1)")                                              \
    X(AND, "if STK(arg2) falsy: STK(arg0) = STK(arg2), ip += sarg1")                                         \
    X(OR, "if STK(arg2) truthy: STK(arg0) = STK(arg2), ip += sarg1")                                         \
    X(NEG, "STK(arg0) = -STK(arg1)")                                                                         \
    X(NOT, "STK(arg0) = !STK(arg1)")                                                                         \
    X(BWNOT, "STK(arg0) = ~STK(arg1)")                                                                       \
    X(CLOSURE, "STK(arg0) = closure of nested function arg1")                                                \
    X(YIELD, "yield (arg0 = 0xFF ? null : STK(arg1))")                                                       \
    X(RESUME, "STK(arg0) = resume STK(arg1)")                                                                \
    X(FOREACH, "iterate STK(arg0) into STK(arg2..arg2+2); done: ip += sarg1")                                \
    X(POSTFOREACH, "if generator STK(arg0) is dead: ip += sarg1 - 1")                                        \
    X(DELEGATE, "delegate of STK(arg1) = STK(arg2); STK(arg0) = STK(arg1)")                                  \
    X(CLONE, "STK(arg0) = clone STK(arg1)")                                                                  \
    X(TYPEOF, "STK(arg0) = typeof STK(arg1)")                                                                \
    X(PUSHTRAP, "push a handler at next + arg1; the caught value goes to STK(arg0)")                         \
    X(POPTRAP, "pop arg0 handlers")                                                                          \
    X(THROW, "throw STK(arg0)")                                                                              \
    X(CLASS, "STK(arg0) = class; base STK(arg1) unless -1; attributes STK(arg2) unless 0xFF")                \
    X(NEWSLOTA, "member declaration: flags arg0 (1 attrs in STK(arg2-1), 2 static); STK(arg1)[STK(arg2)] "   \
                "<- STK(arg3)")

enum SQOpcode : uint8_t {
#define SQ_OPCODE_ENUM(name, doc) _OP_##name,
    SQ_OPCODES(SQ_OPCODE_ENUM)
#undef SQ_OPCODE_ENUM
        _OP_COUNT
};

// Operator codes of BITW and CMP (arg3).
enum SQBitwiseOp : uint8_t {
    BW_AND = 0,
    BW_OR = 2,
    BW_XOR = 3,
    BW_SHIFTL = 4,
    BW_SHIFTR = 5,
    BW_USHIFTR = 6
};
enum SQCmpOp : uint8_t { CMP_G = 0, CMP_GE = 2, CMP_L = 3, CMP_LE = 4 };
// NEWSLOTA flags.
enum : uint8_t { NEW_SLOT_ATTRIBUTES_FLAG = 0x01, NEW_SLOT_STATIC_FLAG = 0x02 };

// One instruction, laid out as in the compiled-script file.
struct SQInstruction {
    int32_t _arg1;
    uint8_t op;
    uint8_t _arg0;
    uint8_t _arg2;
    uint8_t _arg3;
};
static_assert(sizeof(SQInstruction) == 8, "instructions are 8 bytes in compiled scripts");

// Opcode name ("LOAD", ...) or "?" for an invalid opcode.
const char* sqOpcodeName(unsigned op);

#endif
