// Engine-internal additions to the public regular-expression API.
#ifndef SQUIRREL_STDLIB_REGEX_H
#define SQUIRREL_STDLIB_REGEX_H

#include "squirrel/sqstdlib.h"

// An independent copy of a compiled expression (for cloned `regexp` instances); NULL when memory runs out.
SQRex* sqstdRexClone(const SQRex* exp);

#endif
