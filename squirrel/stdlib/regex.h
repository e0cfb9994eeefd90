// Engine-internal additions to the public regular-expression API.
#ifndef SQUIRREL_STDLIB_REGEX_H
#define SQUIRREL_STDLIB_REGEX_H

#include "squirrel/sqstdlib.h"

// An independent copy of a compiled expression (for cloned `regexp` instances); NULL when memory runs out.
SQRex* sqstdRexClone(const SQRex* exp);

// Bounds the instructions the matcher may run (limit < 0: unbounded); a match that runs out fails. The
// scripts' step budget uses it, so no pattern can backtrack for ever.
void sqstdRexLimitWork(SQRex* exp, long long limit);
// Instructions run since the limit was set, and whether the last match ran out.
long long sqstdRexWorkDone(const SQRex* exp);
bool sqstdRexWorkExhausted(const SQRex* exp);

#endif
