/*
 * sqstdlib.h — the standard libraries of the engine's Squirrel 2.2.4-compatible VM: io, blob, math, string
 * (with regexp), system and the auxiliary error handlers, with the 2.2.4 names, parameter checks and
 * messages.
 *
 * Every register function expects the table that receives the library (normally the root table) on top of the
 * stack and leaves the stack as it found it. All of them return SQ_OK, or SQ_ERROR when memory runs out.
 *
 * Files, the environment and the process are reached only through the host seam (SQStdHost below): by default
 * it is stdio and POSIX; the engine installs its own so that scripts read files from archives and the data
 * folders, and so that `getenv`, `system`, `remove`, `rename` and `clock` follow its rules.
 */
#ifndef SQUIRREL_SQSTDLIB_H
#define SQUIRREL_SQSTDLIB_H

#include "squirrel/squirrel.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Host seam -------------------------------------------------------------------------------------------
 */

/* Origins of SQStdFileOps::seek and sqstd_fseek. */
#define SQ_SEEK_CUR 0
#define SQ_SEEK_END 1
#define SQ_SEEK_SET 2

/* The operations of one kind of open file. Each gets the handle that SQStdHost::open returned with them. */
typedef struct tagSQStdFileOps {
    /* Bytes read into buf (at most size); fewer at the end of the file or on error. */
    SQInteger (*read)(SQUserPointer handle, SQUserPointer buf, SQInteger size);
    /* Bytes written (fewer on error). */
    SQInteger (*write)(SQUserPointer handle, const void* buf, SQInteger size);
    /* Moves the position; 0 on success, non-zero on failure (position unchanged). */
    SQInteger (*seek)(SQUserPointer handle, SQInteger offset, SQInteger origin);
    /* Current position, or -1. */
    SQInteger (*tell)(SQUserPointer handle);
    /* 0 on success. */
    SQInteger (*flush)(SQUserPointer handle);
    /* Non-zero once a read has hit the end of the file. */
    SQInteger (*eof)(SQUserPointer handle);
    /* Releases the handle; 0 on success. */
    SQInteger (*close)(SQUserPointer handle);
} SQStdFileOps;

/* An open file: what sqstd_fopen returns and the `file` class wraps. */
typedef struct tagSQStdFile* SQFILE;

/* What the libraries need from the machine. Any member may be NULL: the stdio/POSIX default is used for it.
 */
typedef struct tagSQStdHost {
    SQUserPointer ud; /* passed back to every hook */
    /* Opens path with a C fopen mode; on success sets *ops and returns the handle, else returns NULL. Used by
     * the `file` class, loadfile, dofile and writeclosuretofile. */
    SQUserPointer (*open)(SQUserPointer ud, const SQChar* path, const SQChar* mode, const SQStdFileOps** ops);
    /* The value of an environment variable, or NULL when unset; the text must stay valid until the next call.
     */
    const SQChar* (*getenv)(SQUserPointer ud, const SQChar* name);
    /* Runs a command; the result is what script `system` returns. */
    SQInteger (*system)(SQUserPointer ud, const SQChar* command);
    /* 0 on success (anything else raises "remove() failed" / "rename() failed"). */
    SQInteger (*remove)(SQUserPointer ud, const SQChar* path);
    SQInteger (*rename)(SQUserPointer ud, const SQChar* from, const SQChar* to);
    /* Pushes the value script `clock` returns (the default pushes the process CPU time in seconds as a
     * float). */
    void (*clock)(SQUserPointer ud, HSQUIRRELVM v);
} SQStdHost;

/* Installs the process-wide host (copied; NULL restores the defaults). Files already open keep their ops. */
void sqstd_sethost(const SQStdHost* host);
/* The host in use, with every NULL member already replaced by its default. */
const SQStdHost* sqstd_gethost(void);

/* ---- io --------------------------------------------------------------------------------------------------
 */

/* Opens a file through the host; NULL on failure. */
SQFILE sqstd_fopen(const SQChar* path, const SQChar* mode);
/* Wraps a handle with its operations (for hosts that open files themselves); NULL when memory runs out. */
SQFILE sqstd_fwrap(SQUserPointer handle, const SQStdFileOps* ops);
/* stdio-style access; sizes are in bytes of size*count as in C. */
SQInteger sqstd_fread(SQUserPointer buffer, SQInteger size, SQInteger count, SQFILE file);
SQInteger sqstd_fwrite(const SQUserPointer buffer, SQInteger size, SQInteger count, SQFILE file);
SQInteger sqstd_fseek(SQFILE file, SQInteger offset, SQInteger origin);
SQInteger sqstd_ftell(SQFILE file);
SQInteger sqstd_fflush(SQFILE file);
SQInteger sqstd_fclose(SQFILE file);
SQInteger sqstd_feof(SQFILE file);

/* Pushes a `file` instance around an open file; with own the instance closes it when it dies. */
SQRESULT sqstd_createfile(HSQUIRRELVM v, SQFILE file, SQBool own);
/* The file of the `file` instance at idx. */
SQRESULT sqstd_getfile(HSQUIRRELVM v, SQInteger idx, SQFILE* file);

/* Compiles a script file (text, or compiled when it starts with FA FA) through the host and pushes the
 * closure. printerror: report compile errors through the compiler error handler. Errors: "cannot open the
 * file", compile errors, the compiled-file reader's errors. */
SQRESULT sqstd_loadfile(HSQUIRRELVM v, const SQChar* filename, SQBool printerror);
/* Loads and calls the file with the value on top of the stack as `this`; pushes the result when retval. */
SQRESULT sqstd_dofile(HSQUIRRELVM v, const SQChar* filename, SQBool retval, SQBool printerror);
/* Writes the closure on top of the stack as a compiled file. */
SQRESULT sqstd_writeclosuretofile(HSQUIRRELVM v, const SQChar* filename);

/* `file` class, `stream` base class, stdout/stdin/stderr, loadfile/dofile/writeclosuretofile. */
SQRESULT sqstd_register_iolib(HSQUIRRELVM v);

/* ---- blob ------------------------------------------------------------------------------------------------
 */

/* Pushes a new blob of size zero bytes; NULL on failure (nothing pushed). */
SQUserPointer sqstd_createblob(HSQUIRRELVM v, SQInteger size);
/* The bytes of the blob at idx. */
SQRESULT sqstd_getblob(HSQUIRRELVM v, SQInteger idx, SQUserPointer* ptr);
/* The length of the blob at idx, or -1. */
SQInteger sqstd_getblobsize(HSQUIRRELVM v, SQInteger idx);

/* `blob` class and casti2f, castf2i, swap2, swap4, swapfloat. */
SQRESULT sqstd_register_bloblib(HSQUIRRELVM v);

/* ---- math, system ----------------------------------------------------------------------------------------
 */

SQRESULT sqstd_register_mathlib(HSQUIRRELVM v);
SQRESULT sqstd_register_systemlib(HSQUIRRELVM v);

/* ---- string ----------------------------------------------------------------------------------------------
 */

/* Formats the arguments following the format string at nformatstringidx, printf-style as script `format`
 * does; the result lives in the VM's scratch pad until the next call that uses it. */
SQRESULT sqstd_format(HSQUIRRELVM v, SQInteger nformatstringidx, SQInteger* outlen, SQChar** output);

/* format, strip, lstrip, rstrip, split and the `regexp` class. */
SQRESULT sqstd_register_stringlib(HSQUIRRELVM v);

/* A compiled regular expression. */
typedef struct SQRex SQRex;

/* One match or captured group: begin points into the searched text. */
typedef struct {
    const SQChar* begin;
    SQInteger len;
} SQRexMatch;

/* Compiles pattern; NULL on error with *error set to a static message (when error is not NULL). */
SQRex* sqstd_rex_compile(const SQChar* pattern, const SQChar** error);
void sqstd_rex_free(SQRex* exp);
/* Whether the whole NUL-terminated text matches. */
SQBool sqstd_rex_match(SQRex* exp, const SQChar* text);
/* Leftmost match in the NUL-terminated text. */
SQBool sqstd_rex_search(SQRex* exp, const SQChar* text, const SQChar** out_begin, const SQChar** out_end);
/* Leftmost match starting in [text_begin, text_end); `^` anchors at text_begin. */
SQBool sqstd_rex_searchrange(SQRex* exp, const SQChar* text_begin, const SQChar* text_end,
                             const SQChar** out_begin, const SQChar** out_end);
/* Groups + 1 (group 0 is the whole match). */
SQInteger sqstd_rex_getsubexpcount(SQRex* exp);
/* Group n of the last successful match or search; an unmatched group has begin NULL and len 0. */
SQBool sqstd_rex_getsubexp(SQRex* exp, SQInteger n, SQRexMatch* subexp);

/* ---- auxiliary -------------------------------------------------------------------------------------------
 */

/* Installs the standard compiler error printer and runtime error handler (both print through the VM's print
 * function: the message, the call stack and the locals of each frame). */
void sqstd_seterrorhandlers(HSQUIRRELVM v);
/* Prints the call stack and locals of v as the runtime error handler does. */
void sqstd_printcallstack(HSQUIRRELVM v);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* SQUIRREL_SQSTDLIB_H */
