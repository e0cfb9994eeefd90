// fs_seven_zip.h — the 7z container as the ".bar" handler needs it: the header read once at mount into
// entries and blocks ("folders"), and one block decoded on demand. Decoding an entry touches only that
// entry's packed bytes, so its cost is the entry's size, not the archive's. Coders: copy, LZMA, LZMA2, the
// branch filters (x86 BCJ, ARM, ARM Thumb, PowerPC, SPARC, IA-64) over LZMA/LZMA2, and BCJ2. Everything read
// from the file is checked against the bytes really there; a hostile archive fails to mount or an entry fails
// to open, nothing else. Platform-internal.
#pragma once

#include "platform/kd.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform::sevenzip {

// Failure codes, reported in the "can't mount" log line.
enum Error : KDint {
    kDataError = 1,   // inconsistent data or a failed decode
    kMemoryError = 2, // a size too large to hold
    kCrcError = 3,
    kUnsupported = 4, // a coder or feature this reader does not handle
    kReadError = 8,   // the file ended early or could not be read
    kNoArchive = 17,  // not a 7z file
};

// Reads the archive file: random access by absolute offset.
class Source {
public:
    virtual ~Source() = default;
    virtual bool readAt(uint64_t offset, void* buffer, size_t bytes) = 0;
    virtual uint64_t size() const = 0;
};

struct Coder {
    std::vector<uint8_t> method;
    std::vector<uint8_t> properties;
    uint32_t inStreams = 1;
    uint32_t outStreams = 1;
};

struct BindPair {
    uint32_t inIndex;
    uint32_t outIndex;
};

// A block: coders wired by bind pairs, fed by packed streams, producing one main output.
struct Folder {
    std::vector<Coder> coders;
    std::vector<BindPair> bindPairs;
    std::vector<uint32_t> packedInStreams; // folder in-stream index of each packed stream, in file order
    std::vector<uint64_t> unpackSizes;     // per out stream
    uint32_t firstPackStream = 0;          // index into Archive::packOffsets
    bool hasCrc = false;
    uint32_t crc = 0;

    uint32_t mainOutStream() const;
    uint64_t unpackSize() const;
};

struct Entry {
    std::string name; // UTF-8, as stored
    bool directory = false;
    uint64_t size = 0;
    KDtime mtime = 0;    // seconds since 1970-01-01 UTC
    int32_t folder = -1; // -1: no data (empty file or folder)
    uint64_t offsetInFolder = 0;
    bool hasCrc = false;
    uint32_t crc = 0;
};

struct Archive {
    std::vector<Entry> entries;
    std::vector<Folder> folders;
    std::vector<uint64_t> packOffsets; // absolute file offset of each packed stream
    std::vector<uint64_t> packSizes;
};

// The largest block or header this reader decodes.
inline constexpr uint64_t kMaxUnpackSize = uint64_t(1) << 30;

// Reads the signature and header (decoding an encoded header). 0 or an Error.
KDint readArchive(Source& source, Archive* archive);

// The entry's contents, decoded from its block and checked against its CRC when one is stored. 0 or an Error.
KDint readEntry(Source& source, const Archive& archive, const Entry& entry, std::vector<uint8_t>* contents);

// The main output of one block (used for the encoded header and for entries). 0 or an Error.
KDint decodeFolder(Source& source, const Archive& archive, const Folder& folder,
                   std::vector<uint8_t>* output);

} // namespace platform::sevenzip
