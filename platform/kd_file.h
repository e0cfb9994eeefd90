// kd_file.h — files, folders, the mount chain, archives, HTTP files and the user data folder.
// Included by kd.h; do not include directly.
//
// Every file the engine reads or writes goes through kdFopen, which asks an ordered chain of mounted file
// systems: the native one ("file"), then each ".bar" archive found in the working folder at start-up ("bar",
// sorted case-insensitively by name), then HTTP ("http"). The first mount that can open a path wins.
//
// Path rules of kdFopen. Leading '.' and '/' characters are skipped ("./res/a.png" is "res/a.png"). A path
// under "res/" is first tried as "res_<locale>/..." and then "res_<language>/..." (kdGetLocale), each through
// the whole chain. A path under "data/" names the per-user data folder ($XDG_DATA_HOME or ~/.local/share,
// then "Harbor Haven"; the working folder's "data" when neither is set), and its ".." steps never leave that
// folder. Writing a data file with mode "w", "wb" or "wt" goes to "<name>.kdtmp" and replaces
// "<name>" only when kdFclose succeeds, keeping the previous version as "<name>.kdbak" while the swap
// happens: a crash at any moment leaves either the old or the new contents, never a torn file. All functions
// run on the main thread. Failures return -1 (or null) and set the last error (kdGetError).
#pragma once

// ---------------------------------------------------------------------------------------------------------------
// Last error

// The process-wide last-error codes. OS errors are translated to these; an OS error with no entry becomes
// KD_EACCES.
enum : KDint {
    KD_EACCES = 1, // access denied, and every untranslated OS error
    KD_EAGAIN = 5, // resource temporarily unavailable
    KD_EBADF = 7,  // bad handle
    KD_EBUSY = 8,
    KD_EDEADLK = 11,
    KD_EEXIST = 13, // already exists
    KD_EFBIG = 14,  // file too large
    KD_EINVAL = 17, // invalid argument: a null handle, a name that does not fit, a path leaving its folder
    KD_EIO = 18,    // I/O error, and a failed HTTP request
    KD_EISDIR = 21,
    KD_EMFILE = 22, // too many open files
    KD_ENAMETOOLONG = 23,
    KD_ENOENT = 24, // no such file or directory (also: listing something that is not a directory)
    KD_ENOMEM = 25,
    KD_ENOSPC = 26,
    KD_ENOSYS = 27, // not implemented
    KD_EPERM = 33,  // operation not permitted
};

// The last error set by a failing platform operation (one value for the whole process, not per thread).
KDint kdGetError();
void kdSetError(KDint error);

// ---------------------------------------------------------------------------------------------------------------
// Files

struct KDFile; // an open file: the mount that opened it and that handler's record
using KDoff = KDint64;
using KDmode = KDuint32;

enum KDfileSeekOrigin : KDint { KD_SEEK_SET = 0, KD_SEEK_CUR = 1, KD_SEEK_END = 2 };

inline constexpr KDint KD_EOF = -1;
inline constexpr KDmode KD_S_IFDIR = 0x4000;
inline constexpr KDmode KD_S_IFREG = 0x8000;

struct KDStat {
    KDmode st_mode;    // KD_S_IFDIR or KD_S_IFREG
    KDoff st_size;     // bytes
    KDtime st_modtime; // seconds since 1970-01-01 UTC (not "st_mtime": the C library defines that as a macro)
};

// Opens path with a stdio mode ("r", "rb", "w", "wb", "wt", "a", "ab", "r+", "r+b", ...) through the path
// rules and the mount chain. 't' is accepted and means nothing (files are always binary). Null when no mount
// can open it.
KDFile* kdFopen(const KDchar* path, const KDchar* mode);
// Closes and frees the file. For a data file opened with "w"/"wb"/"wt" this commits the new contents; -1
// means the save did not happen (the previous version stays) and the last error says why. The handle is gone
// either way.
KDint kdFclose(KDFile* file);
// Writes buffered data out (an HTTP file sends its request here). 0 or KD_EOF.
KDint kdFflush(KDFile* file);
// Reads up to count items of size bytes; returns the number of whole items read.
KDsize kdFread(void* buffer, KDsize size, KDsize count, KDFile* file);
// Writes count items of size bytes; returns the number of whole items written (0 on read-only handlers).
KDsize kdFwrite(const void* buffer, KDsize size, KDsize count, KDFile* file);
// The next byte (0…255), or KD_EOF at the end or on an error.
KDint kdGetc(KDFile* file);
// Writes one byte; returns it, or KD_EOF.
KDint kdPutc(KDint c, KDFile* file);
// Reads a line into buffer (at most buffersize - 1 bytes plus a terminator), keeping the line feed; archives
// and HTTP drop carriage returns. Null at the end of the file.
KDchar* kdFgets(KDchar* buffer, KDsize buffersize, KDFile* file);
// Nonzero once the end of the file was reached.
KDint kdFEOF(KDFile* file);
// Nonzero when an error occurred on the file (for HTTP: the request's status, 18 when it failed).
KDint kdFerror(KDFile* file);
void kdClearerr(KDFile* file);
// Moves the position; -1 (position unchanged) when the target is not valid for the file (archives: past the
// end).
KDint kdFseek(KDFile* file, KDoff offset, KDfileSeekOrigin origin);
KDoff kdFtell(KDFile* file);
KDint kdFstat(KDFile* file, KDStat* buf);

// Stat by path: each mount's stat in chain order, with the path exactly as given (no leading-character
// skipping and no language folders; "data/" still names the user data folder). 0 on the first success, else
// -1.
KDint kdStat(const KDchar* path, KDStat* buf);

// The whole contents of an open file, read-only, and its size in *size. Native files are memory-mapped,
// archive entries hand out their decoded buffer; other files are read into a buffer (a short read fails with
// KD_EIO). Release with kdUnmapFile before closing the file.
void* kdMapFile(KDFile* file, KDsize* size);
KDint kdUnmapFile(KDFile* file, void* data);

// ---------------------------------------------------------------------------------------------------------------
// Native file system operations by path. Leading '.' and '/' are skipped and "data/" names the user data
// folder, as in kdFopen; a "data/" path whose ".." steps would leave that folder is refused with KD_EINVAL.

KDint kdRemove(const KDchar* path);
KDint kdRename(const KDchar* src, const KDchar* dest);
KDint kdMkdir(const KDchar* path); // permissions 0755 before the umask
KDint kdRmdir(const KDchar* path);

// Directory listing of a native folder, names sorted case-insensitively (the order that decides archive
// precedence). Only the working folder is listed by the engine itself.
struct KDDir;
struct KDDirent {
    const KDchar* d_name; // valid until the next kdReadDir or kdCloseDir on this listing
};
KDDir* kdOpenDir(const KDchar* path); // null and KD_ENOENT when path is missing or not a folder
KDDirent* kdReadDir(KDDir* dir);      // null after the last entry
KDint kdCloseDir(KDDir* dir);         // -1 and KD_EBADF for a null listing

// ---------------------------------------------------------------------------------------------------------------
// Locale

// "en_US", "de", … (at most 5 characters): KD_LOCALE when set (a longer value gives "" and KD_EINVAL), else
// the POSIX locale variables LC_ALL, LC_MESSAGES, LANG cut at '.' and '@' ("" for "C"/"POSIX" or when none is
// set). A non-empty result is kept for the rest of the process.
const KDchar* kdGetLocale();

// ---------------------------------------------------------------------------------------------------------------
// Mounting (done by the platform's start-up and shutdown; see platform/src/fs_file_system.h for the handlers)

struct KDMount;
// Unmounts everything, most recently mounted first, logging "unmount: <handler>(<path>)".
void kdUnmountAll();
