// Registration of the base library into a VM's root table.
#ifndef SQUIRREL_SRC_BASE_LIB_H
#define SQUIRREL_SRC_BASE_LIB_H

#include "squirrel/squirrel.h"

// Adds the base functions and the _version_/_charsize_/_intsize_/_floatsize_ slots (sq_open does this).
void sqRegisterBaseLib(HSQUIRRELVM v);

#endif
