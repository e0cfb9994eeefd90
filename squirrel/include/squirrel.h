/* <squirrel.h> for host code written against the 2.2.4 embedding API: the engine VM's own header. */
#include "squirrel/squirrel.h"
