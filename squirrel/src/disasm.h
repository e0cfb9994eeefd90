// Test-only view of compiled code: one line per instruction, "<index> <OPNAME> arg0 arg1 arg2 arg3".
#ifndef SQUIRREL_SRC_DISASM_H
#define SQUIRREL_SRC_DISASM_H

#include "squirrel/src/funcproto.h"

#include <string>

std::string sqDisassemble(const SQFunctionProto* f);

#endif
