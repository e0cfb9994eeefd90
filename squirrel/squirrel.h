/*
 * squirrel.h — the embedding API of the engine's Squirrel 2.2.4-compatible virtual machine.
 *
 * Configuration: 32-bit SQInteger (two's-complement wrap), 32-bit SQFloat, 8-bit SQChar. The names,
 * signatures and semantics follow the 2.2.4 embedding API, so a host written against it compiles with few or
 * no changes.
 *
 * Conventions
 * - Every function taking an `idx` addresses the stack of `v`: indices >= 1 count from the base of the
 * current frame (1 is `this` inside a native function), negative indices count from the top (-1 is the top).
 * - Functions returning SQRESULT give SQ_OK (0) on success and SQ_ERROR (-1) on failure; on failure the error
 *   object is retrievable with sq_getlasterror and the stack is left as documented for the function.
 * - Strings returned by the API are owned by the VM: they stay valid while the string value is referenced.
 * - No function throws a C++ exception or longjmps out of the library; an allocation failure inside a call
 *   becomes the script error "out of memory".
 */
#ifndef SQUIRREL_SQUIRREL_H
#define SQUIRREL_SQUIRREL_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

#define SQUIRREL_VERSION "Squirrel 2.2.4 stable"
#define SQUIRREL_COPYRIGHT "Harbor Haven clean-room implementation"

/* ---- Scalar types ----------------------------------------------------------------------------------------
 */

typedef int SQInteger;
typedef unsigned int SQUnsignedInteger;
typedef unsigned int SQHash;
typedef int SQInt32;
typedef float SQFloat;
typedef void* SQUserPointer;
typedef SQUnsignedInteger SQBool;
typedef SQInteger SQRESULT;
typedef char SQChar;

#define SQTrue (1)
#define SQFalse (0)

#define SQ_OK (0)
#define SQ_ERROR (-1)
#define SQ_FAILED(res) ((res) < 0)
#define SQ_SUCCEEDED(res) ((res) >= 0)

/* Character helpers for hosts written against the 8-bit-char API. */
#define _SC(a) a
#define scstrcmp strcmp
#define scsprintf sprintf
#define scstrlen strlen
#define scstrtod strtod
#define scstrtol strtol
#define scatoi atoi
#define scfprintf fprintf
#define scvprintf vprintf
#define scprintf printf
#define scisspace isspace
#define scisdigit isdigit
#define scisxdigit isxdigit
#define scisalpha isalpha
#define sciscntrl iscntrl
#define scisalnum isalnum
#define MAX_CHAR 0xFF

/* Parameter-count value for sq_setparamscheck: take the count from the type mask. */
#define SQ_MATCHTYPEMASKSTRING (-99999)

/* sq_getvmstate results. */
#define SQ_VMSTATE_IDLE 0
#define SQ_VMSTATE_RUNNING 1
#define SQ_VMSTATE_SUSPENDED 2

/* ---- Object types ----------------------------------------------------------------------------------------
 */

/* Raw type bits: one per type; type masks of sq_setparamscheck combine them. */
#define _RT_NULL 0x00000001
#define _RT_INTEGER 0x00000002
#define _RT_FLOAT 0x00000004
#define _RT_BOOL 0x00000008
#define _RT_STRING 0x00000010
#define _RT_TABLE 0x00000020
#define _RT_ARRAY 0x00000040
#define _RT_USERDATA 0x00000080
#define _RT_CLOSURE 0x00000100
#define _RT_NATIVECLOSURE 0x00000200
#define _RT_GENERATOR 0x00000400
#define _RT_USERPOINTER 0x00000800
#define _RT_THREAD 0x00001000
#define _RT_FUNCPROTO 0x00002000
#define _RT_CLASS 0x00004000
#define _RT_INSTANCE 0x00008000
#define _RT_WEAKREF 0x00010000

/* Flag bits of a full type id. */
#define SQOBJECT_REF_COUNTED 0x08000000
#define SQOBJECT_NUMERIC 0x04000000
#define SQOBJECT_DELEGABLE 0x02000000
#define SQOBJECT_CANBEFALSE 0x01000000

/* Full type ids (also what compiled-script files store as an object's type). */
typedef enum tagSQObjectType {
    OT_NULL = (_RT_NULL | SQOBJECT_CANBEFALSE),
    OT_INTEGER = (_RT_INTEGER | SQOBJECT_NUMERIC | SQOBJECT_CANBEFALSE),
    OT_FLOAT = (_RT_FLOAT | SQOBJECT_NUMERIC | SQOBJECT_CANBEFALSE),
    OT_BOOL = (_RT_BOOL | SQOBJECT_CANBEFALSE),
    OT_STRING = (_RT_STRING | SQOBJECT_REF_COUNTED),
    OT_TABLE = (_RT_TABLE | SQOBJECT_REF_COUNTED | SQOBJECT_DELEGABLE),
    OT_ARRAY = (_RT_ARRAY | SQOBJECT_REF_COUNTED),
    OT_USERDATA = (_RT_USERDATA | SQOBJECT_REF_COUNTED | SQOBJECT_DELEGABLE),
    OT_CLOSURE = (_RT_CLOSURE | SQOBJECT_REF_COUNTED),
    OT_NATIVECLOSURE = (_RT_NATIVECLOSURE | SQOBJECT_REF_COUNTED),
    OT_GENERATOR = (_RT_GENERATOR | SQOBJECT_REF_COUNTED),
    OT_USERPOINTER = _RT_USERPOINTER,
    OT_THREAD = (_RT_THREAD | SQOBJECT_REF_COUNTED),
    OT_FUNCPROTO = (_RT_FUNCPROTO | SQOBJECT_REF_COUNTED),
    OT_CLASS = (_RT_CLASS | SQOBJECT_REF_COUNTED),
    OT_INSTANCE = (_RT_INSTANCE | SQOBJECT_REF_COUNTED | SQOBJECT_DELEGABLE),
    OT_WEAKREF = (_RT_WEAKREF | SQOBJECT_REF_COUNTED)
} SQObjectType;

#define ISREFCOUNTED(t) ((t)&SQOBJECT_REF_COUNTED)

/* ---- Opaque VM objects -----------------------------------------------------------------------------------
 */

struct SQVM;
struct SQTable;
struct SQArray;
struct SQString;
struct SQClosure;
struct SQGenerator;
struct SQNativeClosure;
struct SQUserData;
struct SQFunctionProto;
struct SQRefCounted;
struct SQClass;
struct SQInstance;
struct SQWeakRef;

typedef struct SQVM* HSQUIRRELVM;

/* The payload of a value; which member is valid depends on the SQObject's _type. */
typedef union tagSQObjectValue {
    struct SQTable* pTable;
    struct SQArray* pArray;
    struct SQClosure* pClosure;
    struct SQGenerator* pGenerator;
    struct SQNativeClosure* pNativeClosure;
    struct SQString* pString;
    struct SQUserData* pUserData;
    SQInteger nInteger;
    SQFloat fFloat;
    SQUserPointer pUserPointer;
    struct SQFunctionProto* pFunctionProto;
    struct SQRefCounted* pRefCounted;
    struct SQVM* pThread;
    struct SQClass* pClass;
    struct SQInstance* pInstance;
    struct SQWeakRef* pWeakRef;
    SQUnsignedInteger raw;
} SQObjectValue;

/* A raw value handle. It holds no reference by itself: pin it with sq_addref while the host keeps it. */
typedef struct tagSQObject {
    SQObjectType _type;
    SQObjectValue _unVal;
} SQObject;

typedef SQObject HSQOBJECT;

#define sq_type(o) ((o)._type)
#define sq_isnumeric(o) ((o)._type & SQOBJECT_NUMERIC)
#define sq_istable(o) ((o)._type == OT_TABLE)
#define sq_isarray(o) ((o)._type == OT_ARRAY)
#define sq_isfunction(o) ((o)._type == OT_FUNCPROTO)
#define sq_isclosure(o) ((o)._type == OT_CLOSURE)
#define sq_isgenerator(o) ((o)._type == OT_GENERATOR)
#define sq_isnativeclosure(o) ((o)._type == OT_NATIVECLOSURE)
#define sq_isstring(o) ((o)._type == OT_STRING)
#define sq_isinteger(o) ((o)._type == OT_INTEGER)
#define sq_isfloat(o) ((o)._type == OT_FLOAT)
#define sq_isuserpointer(o) ((o)._type == OT_USERPOINTER)
#define sq_isuserdata(o) ((o)._type == OT_USERDATA)
#define sq_isthread(o) ((o)._type == OT_THREAD)
#define sq_isnull(o) ((o)._type == OT_NULL)
#define sq_isclass(o) ((o)._type == OT_CLASS)
#define sq_isinstance(o) ((o)._type == OT_INSTANCE)
#define sq_isbool(o) ((o)._type == OT_BOOL)
#define sq_isweakref(o) ((o)._type == OT_WEAKREF)
#define sq_objtype(o) sq_type(o)

/* One frame of the call stack as sq_stackinfos reports it ("NATIVE" and line -1 for native frames). */
typedef struct tagSQStackInfos {
    const SQChar* funcname;
    const SQChar* source;
    SQInteger line;
} SQStackInfos;

/* Identity and names of a script function (sq_getfunctioninfo). */
typedef struct tagSQFunctionInfo {
    SQUserPointer funcid;
    const SQChar* name;
    const SQChar* source;
} SQFunctionInfo;

/* ---- Callbacks -------------------------------------------------------------------------------------------
 */

/* A native function: arguments at stack indices 1 (`this`), 2, ...; return 1 to return the top value, 0 to
 * return null, SQ_ERROR (usually through sq_throwerror) to raise the last error. */
typedef SQInteger (*SQFUNCTION)(HSQUIRRELVM);
/* Called when a userdata, instance or class dies, with its user pointer and user-data size. */
typedef SQInteger (*SQRELEASEHOOK)(SQUserPointer, SQInteger size);
/* Compiler error sink: message, source name, line (from 1), column. */
typedef void (*SQCOMPILERERROR)(HSQUIRRELVM, const SQChar* /*desc*/, const SQChar* /*source*/,
                                SQInteger /*line*/, SQInteger /*column*/);
/* printf-style sink used by `print`. */
typedef void (*SQPRINTFUNCTION)(HSQUIRRELVM, const SQChar*, ...);
/* Byte sinks/sources for compiled closures: return the byte count moved, or < size on failure. */
typedef SQInteger (*SQWRITEFUNC)(SQUserPointer, SQUserPointer, SQInteger);
typedef SQInteger (*SQREADFUNC)(SQUserPointer, SQUserPointer, SQInteger);
/* Source reader for sq_compile: returns the next byte (0..255), or 0 at end of input. */
typedef SQInteger (*SQLEXREADFUNC)(SQUserPointer);

/* A row of a registration table for hosts and libraries. */
typedef struct tagSQRegFunction {
    const SQChar* name;
    SQFUNCTION f;
    SQInteger nparamscheck;
    const SQChar* typemask;
} SQRegFunction;

/* ---- VM -------------------------------------------------------------------------------------------------
 */

/* A new VM with a fresh root table; NULL if memory runs out. */
HSQUIRRELVM sq_open(SQInteger initialstacksize);
/* A new thread sharing friendvm's root table, pushed on friendvm's stack; NULL on failure. */
HSQUIRRELVM sq_newthread(HSQUIRRELVM friendvm, SQInteger initialstacksize);
/* Pops a closure (or null) and makes it the runtime error handler. */
void sq_seterrorhandler(HSQUIRRELVM v);
/* Destroys the VM (must be the one returned by sq_open) and everything in it. */
void sq_close(HSQUIRRELVM v);
void sq_setforeignptr(HSQUIRRELVM v, SQUserPointer p);
SQUserPointer sq_getforeignptr(HSQUIRRELVM v);
void sq_setprintfunc(HSQUIRRELVM v, SQPRINTFUNCTION printfunc);
SQPRINTFUNCTION sq_getprintfunc(HSQUIRRELVM v);
/* Return value for a native function that suspends the VM (from inside a thread). */
SQRESULT sq_suspendvm(HSQUIRRELVM v);
/* Resumes a suspended VM; resumedret: push a value as the result of `suspend` (taken from the top). */
SQRESULT sq_wakeupvm(HSQUIRRELVM v, SQBool resumedret, SQBool retval, SQBool raiseerror, SQBool throwerror);
/* SQ_VMSTATE_IDLE, SQ_VMSTATE_RUNNING or SQ_VMSTATE_SUSPENDED. */
SQInteger sq_getvmstate(HSQUIRRELVM v);

/* ---- Compiler -------------------------------------------------------------------------------------------
 */

/* Compiles a script read byte by byte; pushes the main closure, or fails (and reports through the compiler
 * error handler when raiseerror is set). */
SQRESULT sq_compile(HSQUIRRELVM v, SQLEXREADFUNC read, SQUserPointer p, const SQChar* sourcename,
                    SQBool raiseerror);
SQRESULT sq_compilebuffer(HSQUIRRELVM v, const SQChar* s, SQInteger size, const SQChar* sourcename,
                          SQBool raiseerror);
/* Emit line markers (debug hook 'l' events) in code compiled afterwards. */
void sq_enabledebuginfo(HSQUIRRELVM v, SQBool enable);
/* Call the error handler for errors that a script `try` catches too. */
void sq_notifyallexceptions(HSQUIRRELVM v, SQBool enable);
void sq_setcompilererrorhandler(HSQUIRRELVM v, SQCOMPILERERROR f);

/* ---- Stack ----------------------------------------------------------------------------------------------
 */

void sq_push(HSQUIRRELVM v, SQInteger idx);
void sq_pop(HSQUIRRELVM v, SQInteger nelemstopop);
void sq_poptop(HSQUIRRELVM v);
void sq_remove(HSQUIRRELVM v, SQInteger idx);
/* Number of values in the current frame (this included). */
SQInteger sq_gettop(HSQUIRRELVM v);
/* Grows (with nulls) or shrinks the frame to newtop values. */
void sq_settop(HSQUIRRELVM v, SQInteger newtop);
SQRESULT sq_reservestack(HSQUIRRELVM v, SQInteger nsize);
/* Compares the top two values (-2 against -1): <0, 0, >0. */
SQInteger sq_cmp(HSQUIRRELVM v);
/* Pushes dest's copy of src's value at idx. */
void sq_move(HSQUIRRELVM dest, HSQUIRRELVM src, SQInteger idx);

/* ---- Object creation and reading ------------------------------------------------------------------------
 */

/* Pushes a zero-filled userdata of size bytes and returns its memory. */
SQUserPointer sq_newuserdata(HSQUIRRELVM v, SQUnsignedInteger size);
void sq_newtable(HSQUIRRELVM v);
void sq_newarray(HSQUIRRELVM v, SQInteger size);
/* Pops nfreevars values as the native closure's free variables (reachable with sq_getstackobj-free access
 * from the function at indices after its parameters) and pushes the closure. */
void sq_newclosure(HSQUIRRELVM v, SQFUNCTION func, SQUnsignedInteger nfreevars);
/* Parameter check of the native closure on top: nparamscheck > 0 exact count, < 0 minimum count, 0 none,
 * SQ_MATCHTYPEMASKSTRING count from the mask; typemask letters as in the default delegates (may be NULL). */
SQRESULT sq_setparamscheck(HSQUIRRELVM v, SQInteger nparamscheck, const SQChar* typemask);
/* Replaces the closure at idx with a copy bound to the environment on top (popped): table, class or instance.
 */
SQRESULT sq_bindenv(HSQUIRRELVM v, SQInteger idx);
/* Pushes a string; len < 0 means NUL-terminated. */
void sq_pushstring(HSQUIRRELVM v, const SQChar* s, SQInteger len);
void sq_pushfloat(HSQUIRRELVM v, SQFloat f);
void sq_pushinteger(HSQUIRRELVM v, SQInteger n);
void sq_pushbool(HSQUIRRELVM v, SQBool b);
void sq_pushuserpointer(HSQUIRRELVM v, SQUserPointer p);
void sq_pushnull(HSQUIRRELVM v);
SQObjectType sq_gettype(HSQUIRRELVM v, SQInteger idx);
/* Length of a string, table, array or userdata; SQ_ERROR otherwise. */
SQInteger sq_getsize(HSQUIRRELVM v, SQInteger idx);
/* Pushes the base class of the class at idx (null if none). */
SQRESULT sq_getbase(HSQUIRRELVM v, SQInteger idx);
/* Whether the instance at -2 is an instance of the class at -1. */
SQBool sq_instanceof(HSQUIRRELVM v);
/* Pushes tostring(value at idx). */
void sq_tostring(HSQUIRRELVM v, SQInteger idx);
void sq_tobool(HSQUIRRELVM v, SQInteger idx, SQBool* b);
SQRESULT sq_getstring(HSQUIRRELVM v, SQInteger idx, const SQChar** c);
/* Accepts an integer or a float (truncated). */
SQRESULT sq_getinteger(HSQUIRRELVM v, SQInteger idx, SQInteger* i);
/* Accepts a float or an integer. */
SQRESULT sq_getfloat(HSQUIRRELVM v, SQInteger idx, SQFloat* f);
SQRESULT sq_getbool(HSQUIRRELVM v, SQInteger idx, SQBool* b);
SQRESULT sq_getthread(HSQUIRRELVM v, SQInteger idx, HSQUIRRELVM* thread);
SQRESULT sq_getuserpointer(HSQUIRRELVM v, SQInteger idx, SQUserPointer* p);
SQRESULT sq_getuserdata(HSQUIRRELVM v, SQInteger idx, SQUserPointer* p, SQUserPointer* typetag);
/* Type tag of a userdata or class. */
SQRESULT sq_settypetag(HSQUIRRELVM v, SQInteger idx, SQUserPointer typetag);
SQRESULT sq_gettypetag(HSQUIRRELVM v, SQInteger idx, SQUserPointer* typetag);
/* Hook run when the userdata, instance or class at idx dies. */
void sq_setreleasehook(HSQUIRRELVM v, SQInteger idx, SQRELEASEHOOK hook);
/* A VM-owned buffer of at least minsize bytes, valid until the next call. */
SQChar* sq_getscratchpad(HSQUIRRELVM v, SQInteger minsize);
SQRESULT sq_getfunctioninfo(HSQUIRRELVM v, SQInteger idx, SQFunctionInfo* fi);
SQRESULT sq_getclosureinfo(HSQUIRRELVM v, SQInteger idx, SQUnsignedInteger* nparams,
                           SQUnsignedInteger* nfreevars);
SQRESULT sq_setnativeclosurename(HSQUIRRELVM v, SQInteger idx, const SQChar* name);
SQRESULT sq_setinstanceup(HSQUIRRELVM v, SQInteger idx, SQUserPointer p);
/* The instance's user pointer; with a non-NULL typetag, fails unless the class or a base carries that tag. */
SQRESULT sq_getinstanceup(HSQUIRRELVM v, SQInteger idx, SQUserPointer* p, SQUserPointer typetag);
/* Instances of the class at idx get udsize bytes of user memory (their user pointer). */
SQRESULT sq_setclassudsize(HSQUIRRELVM v, SQInteger idx, SQInteger udsize);
/* Pushes a new class; with hasbase the base class is popped from the top first. */
SQRESULT sq_newclass(HSQUIRRELVM v, SQBool hasbase);
/* Pushes a new instance of the class at idx without calling its constructor. */
SQRESULT sq_createinstance(HSQUIRRELVM v, SQInteger idx);
/* Pops value and key; sets the attributes of member key (null key: the class) of the class at idx and pushes
 * the old attributes. */
SQRESULT sq_setattributes(HSQUIRRELVM v, SQInteger idx);
/* Pops a key and pushes the attributes of that member (null key: the class's own). */
SQRESULT sq_getattributes(HSQUIRRELVM v, SQInteger idx);
/* Pushes the class of the instance at idx. */
SQRESULT sq_getclass(HSQUIRRELVM v, SQInteger idx);
/* Pushes a weak reference to the value at idx (the value itself for non-counted types). */
void sq_weakref(HSQUIRRELVM v, SQInteger idx);
/* Pushes the default delegate table of a type. */
SQRESULT sq_getdefaultdelegate(HSQUIRRELVM v, SQObjectType t);

/* ---- Object manipulation --------------------------------------------------------------------------------
 */

void sq_pushroottable(HSQUIRRELVM v);
void sq_pushregistrytable(HSQUIRRELVM v);
void sq_pushconsttable(HSQUIRRELVM v);
/* Pops a table (or null) as the new root / const table. */
SQRESULT sq_setroottable(HSQUIRRELVM v);
SQRESULT sq_setconsttable(HSQUIRRELVM v);
/* Pops key and value and creates/overwrites the slot in the table or class at idx. */
SQRESULT sq_newslot(HSQUIRRELVM v, SQInteger idx, SQBool bstatic);
#define sq_createslot(v, n) sq_newslot(v, n, SQFalse)
/* Pops a key and deletes it from the object at idx; pushes the old value when pushval. */
SQRESULT sq_deleteslot(HSQUIRRELVM v, SQInteger idx, SQBool pushval);
/* Pops key and value and assigns an existing slot (delegation and metamethods apply). */
SQRESULT sq_set(HSQUIRRELVM v, SQInteger idx);
/* Pops a key and pushes the value (delegation and metamethods apply); on failure pushes nothing. */
SQRESULT sq_get(HSQUIRRELVM v, SQInteger idx);
SQRESULT sq_rawget(HSQUIRRELVM v, SQInteger idx);
SQRESULT sq_rawset(HSQUIRRELVM v, SQInteger idx);
SQRESULT sq_rawdeleteslot(HSQUIRRELVM v, SQInteger idx, SQBool pushval);
/* Pops a value and appends it to the array at idx. */
SQRESULT sq_arrayappend(HSQUIRRELVM v, SQInteger idx);
SQRESULT sq_arraypop(HSQUIRRELVM v, SQInteger idx, SQBool pushval);
SQRESULT sq_arrayresize(HSQUIRRELVM v, SQInteger idx, SQInteger newsize);
SQRESULT sq_arrayreverse(HSQUIRRELVM v, SQInteger idx);
SQRESULT sq_arrayremove(HSQUIRRELVM v, SQInteger idx, SQInteger itemidx);
/* Pops a value and inserts it at destpos. */
SQRESULT sq_arrayinsert(HSQUIRRELVM v, SQInteger idx, SQInteger destpos);
/* Pops a table (or null) as the delegate of the table or userdata at idx. */
SQRESULT sq_setdelegate(HSQUIRRELVM v, SQInteger idx);
SQRESULT sq_getdelegate(HSQUIRRELVM v, SQInteger idx);
/* Pushes a clone of the value at idx. */
SQRESULT sq_clone(HSQUIRRELVM v, SQInteger idx);
/* Pops a value into free variable nval of the closure at idx. */
SQRESULT sq_setfreevariable(HSQUIRRELVM v, SQInteger idx, SQUnsignedInteger nval);
/* Iteration: push null, then while SQ_SUCCEEDED(sq_next(v, idx)) read key (-2) and value (-1), pop 2.
 * The iterator stays on the stack; pop it after the loop. */
SQRESULT sq_next(HSQUIRRELVM v, SQInteger idx);
/* Pushes the object referred to by the weak reference at idx (null if it died). */
SQRESULT sq_getweakrefval(HSQUIRRELVM v, SQInteger idx);
/* Removes all slots/elements of the table or array at idx. */
SQRESULT sq_clear(HSQUIRRELVM v, SQInteger idx);

/* ---- Calls ----------------------------------------------------------------------------------------------
 */

/* Calls the closure below params arguments (this included); pops the arguments, leaves the closure, pushes
 * the return value when retval. raiseerror: run the error handler on an uncaught error. */
SQRESULT sq_call(HSQUIRRELVM v, SQInteger params, SQBool retval, SQBool raiseerror);
/* Resumes the generator on top; pushes the yielded value when retval. */
SQRESULT sq_resume(HSQUIRRELVM v, SQBool retval, SQBool raiseerror);
/* Pushes local idx of call level `level` (0 = innermost) and returns its name; NULL when out of range. */
const SQChar* sq_getlocal(HSQUIRRELVM v, SQUnsignedInteger level, SQUnsignedInteger idx);
/* Pushes free variable nval of the closure at idx and returns its name (NULL if out of range). */
const SQChar* sq_getfreevariable(HSQUIRRELVM v, SQInteger idx, SQUnsignedInteger nval);
/* Sets a string error and returns SQ_ERROR. */
SQRESULT sq_throwerror(HSQUIRRELVM v, const SQChar* err);
void sq_reseterror(HSQUIRRELVM v);
/* Pushes the last error object. */
void sq_getlasterror(HSQUIRRELVM v);

/* ---- Raw object handling --------------------------------------------------------------------------------
 */

SQRESULT sq_getstackobj(HSQUIRRELVM v, SQInteger idx, HSQOBJECT* po);
void sq_pushobject(HSQUIRRELVM v, HSQOBJECT obj);
/* Pins po against collection; counted, pair each with sq_release. */
void sq_addref(HSQUIRRELVM v, HSQOBJECT* po);
/* Unpins once; returns SQTrue when the last pin went. */
SQBool sq_release(HSQUIRRELVM v, HSQOBJECT* po);
void sq_resetobject(HSQOBJECT* po);
const SQChar* sq_objtostring(HSQOBJECT* o);
SQBool sq_objtobool(HSQOBJECT* o);
SQInteger sq_objtointeger(HSQOBJECT* o);
SQFloat sq_objtofloat(HSQOBJECT* o);
SQRESULT sq_getobjtypetag(HSQOBJECT* o, SQUserPointer* typetag);

/* ---- Collector ------------------------------------------------------------------------------------------
 */

/* Reclaims unreachable cycles; returns the number of objects finalized. */
SQInteger sq_collectgarbage(HSQUIRRELVM v);

/* ---- Compiled closures (implemented with the bytecode reader/writer) -------------------------------------
 */

/* Writes the closure on top as a compiled-script stream. */
SQRESULT sq_writeclosure(HSQUIRRELVM vm, SQWRITEFUNC writef, SQUserPointer up);
/* Reads a compiled-script stream and pushes the closure. */
SQRESULT sq_readclosure(HSQUIRRELVM vm, SQREADFUNC readf, SQUserPointer up);

/* ---- Memory ---------------------------------------------------------------------------------------------
 */

/* Every allocation of every VM goes through this hook. newsize 0 frees p (returns NULL); otherwise returns
 * the (re)allocated block or NULL on failure, which the VM turns into the script error "out of memory". */
typedef void* (*SQREALLOCFUNC)(SQUserPointer ud, void* p, SQUnsignedInteger oldsize,
                               SQUnsignedInteger newsize);
/* Installs the process-wide allocator (NULL restores malloc/realloc/free). Set it while no VM is open. */
void sq_setallocator(SQREALLOCFUNC f, SQUserPointer ud);
void* sq_malloc(SQUnsignedInteger size);
void* sq_realloc(void* p, SQUnsignedInteger oldsize, SQUnsignedInteger newsize);
void sq_free(void* p, SQUnsignedInteger size);

/* ---- Step budget ----------------------------------------------------------------------------------------
 */

/* Steps the VM may still run before the script fails with "step budget exhausted"; steps < 0: unlimited (the
 * default). A backward jump or a call is one step; copying, scanning or moving data costs one step per 64
 * bytes (an array slot counts 16). A thread called from a script shares its caller's budget. */
void sq_setstepbudget(HSQUIRRELVM v, SQInteger steps);
SQInteger sq_getstepbudget(HSQUIRRELVM v);
/* Charges work of `bytes` bytes to the budget: SQ_ERROR (last error "step budget exhausted") when it does
 * not fit. Native functions call it before work proportional to a size. */
SQRESULT sq_spendwork(HSQUIRRELVM v, unsigned long long bytes);

/* ---- Debug ----------------------------------------------------------------------------------------------
 */

/* Frame `level` (0 = innermost) of the call stack. */
SQRESULT sq_stackinfos(HSQUIRRELVM v, SQInteger level, SQStackInfos* si);
/* Pops a closure (or null) as the debug hook: hook(eventtype, sourcename, line, funcname). */
void sq_setdebughook(HSQUIRRELVM v);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* SQUIRREL_SQUIRREL_H */
