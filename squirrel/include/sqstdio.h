/* <sqstdio.h> for host code written against the 2.2.4 embedding API: the standard libraries are declared
 * together in the engine VM's sqstdlib.h. */
#include "squirrel/sqstdlib.h"
