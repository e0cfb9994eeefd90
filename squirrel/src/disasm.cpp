// Opcode names and the disassembler used by tests and debugging.
#include "squirrel/src/disasm.h"

#include <cstdio>

const char* sqOpcodeName(unsigned op) {
    static const char* const kNames[] = {
#define SQ_OPCODE_NAME(name, doc) #name,
        SQ_OPCODES(SQ_OPCODE_NAME)
#undef SQ_OPCODE_NAME
    };
    return op < _OP_COUNT ? kNames[op] : "?";
}

std::string sqDisassemble(const SQFunctionProto* f) {
    std::string out;
    char line[128];
    for (size_t i = 0; i < f->_instructions.size(); ++i) {
        const SQInstruction& in = f->_instructions[i];
        snprintf(line, sizeof(line), "%zu %s %d %d %d %d\n", i, sqOpcodeName(in.op), in._arg0, in._arg1,
                 in._arg2, in._arg3);
        out += line;
    }
    return out;
}
