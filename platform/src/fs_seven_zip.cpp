// The 7z container: signature header, (encoded) header, streams info and files info, each count and size
// checked against the bytes present before it is used.
#include "platform/src/fs_seven_zip.h"

#include <lzma.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

namespace platform::sevenzip {

namespace {

constexpr uint8_t kSignature[6] = {0x37, 0x7A, 0xBC, 0xAF, 0x27, 0x1C};
constexpr size_t kSignatureHeaderSize = 32;
constexpr uint32_t kMaxCodersPerFolder = 32;
constexpr uint32_t kMaxStreamsPerFolder = 64;
constexpr int kMaxHeaderNesting = 4;
// Seconds between 1601-01-01 (the archive's time base, in 100 ns units) and 1970-01-01.
constexpr int64_t kEpochDifference = 11644473600;

enum PropertyId : uint64_t {
    kEnd = 0,
    kHeader = 1,
    kArchiveProperties = 2,
    kAdditionalStreamsInfo = 3,
    kMainStreamsInfo = 4,
    kFilesInfo = 5,
    kPackInfo = 6,
    kUnpackInfo = 7,
    kSubStreamsInfo = 8,
    kSize = 9,
    kCrc = 10,
    kFolder = 11,
    kCodersUnpackSize = 12,
    kNumUnpackStream = 13,
    kEmptyStream = 14,
    kEmptyFile = 15,
    kName = 17,
    kMTime = 20,
    kWinAttributes = 21,
    kEncodedHeader = 23,
};

constexpr uint32_t kAttributeDirectory = 0x10;

// Bounds-checked reading of header bytes. After the first failure every read yields 0 and failed() is true.
class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    bool failed() const { return m_failed; }
    size_t remaining() const { return m_size - m_position; }
    void fail() {
        m_failed = true;
        m_position = m_size;
    }

    uint8_t byte() {
        if (m_position >= m_size) {
            fail();
            return 0;
        }
        return m_data[m_position++];
    }

    // The variable-length number: the high bits of the first byte say how many bytes follow.
    uint64_t number() {
        uint8_t first = byte();
        uint64_t value = 0;
        uint8_t mask = 0x80;
        for (int i = 0; i < 8; ++i) {
            if ((first & mask) == 0) return value | (uint64_t(first & (mask - 1)) << (8 * i));
            value |= uint64_t(byte()) << (8 * i);
            mask >>= 1;
        }
        return value;
    }

    // A count of items that each take at least one byte of what is left (or, for bit vectors, one bit).
    uint64_t count(uint64_t bitsPerItem = 8) {
        uint64_t value = number();
        if (value > uint64_t(remaining()) * 8 / bitsPerItem + 1) fail();
        return m_failed ? 0 : value;
    }

    uint32_t uint32() {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) value |= uint32_t(byte()) << (8 * i);
        return value;
    }

    uint64_t uint64() {
        uint64_t value = 0;
        for (int i = 0; i < 8; ++i) value |= uint64_t(byte()) << (8 * i);
        return value;
    }

    const uint8_t* take(uint64_t bytes) {
        if (bytes > remaining()) {
            fail();
            return nullptr;
        }
        const uint8_t* start = m_data + m_position;
        m_position += size_t(bytes);
        return start;
    }

    void expect(uint64_t id) {
        if (number() != id) fail();
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_position = 0;
    bool m_failed = false;
};

std::vector<bool> readBits(ByteReader& reader, uint64_t count) {
    std::vector<bool> bits(static_cast<size_t>(count), false);
    uint8_t current = 0;
    for (uint64_t i = 0; i < count; ++i) {
        if (i % 8 == 0) current = reader.byte();
        bits[size_t(i)] = (current & (0x80 >> (i % 8))) != 0;
    }
    return bits;
}

// "All defined" byte, else a bit vector.
std::vector<bool> readDefined(ByteReader& reader, uint64_t count) {
    if (reader.byte() != 0) return std::vector<bool>(size_t(count), true);
    return readBits(reader, count);
}

void readDigests(ByteReader& reader, uint64_t count, std::vector<bool>* defined,
                 std::vector<uint32_t>* crcs) {
    *defined = readDefined(reader, count);
    crcs->assign(size_t(count), 0);
    for (uint64_t i = 0; i < count && !reader.failed(); ++i) {
        if ((*defined)[size_t(i)]) (*crcs)[size_t(i)] = reader.uint32();
    }
}

struct StreamsInfo {
    uint64_t packPosition = 0;
    std::vector<uint64_t> packSizes;
    std::vector<Folder> folders;
    std::vector<uint64_t> unpackStreamsPerFolder;
    std::vector<uint64_t> streamSizes;
    std::vector<bool> streamHasCrc;
    std::vector<uint32_t> streamCrcs;
};

void readPackInfo(ByteReader& reader, StreamsInfo* info) {
    info->packPosition = reader.number();
    uint64_t count = reader.count();
    uint64_t id = reader.number();
    if (id == kSize) {
        info->packSizes.resize(size_t(count));
        for (auto& size : info->packSizes) size = reader.number();
        id = reader.number();
    } else {
        reader.fail(); // the sizes are needed to place the streams
    }
    if (id == kCrc) {
        std::vector<bool> defined;
        std::vector<uint32_t> crcs;
        readDigests(reader, count, &defined, &crcs);
        id = reader.number();
    }
    if (id != kEnd) reader.fail();
}

void readFolder(ByteReader& reader, Folder* folder) {
    uint64_t coders = reader.number();
    if (coders == 0 || coders > kMaxCodersPerFolder) return reader.fail();
    uint64_t totalIn = 0;
    uint64_t totalOut = 0;
    folder->coders.resize(size_t(coders));
    for (Coder& coder : folder->coders) {
        uint8_t flags = reader.byte();
        if (flags & 0x80) return reader.fail(); // alternative methods: never written by any archiver in use
        const uint8_t* id = reader.take(flags & 0x0F);
        if (id) coder.method.assign(id, id + (flags & 0x0F));
        if (flags & 0x10) {
            uint64_t in = reader.number();
            uint64_t out = reader.number();
            if (in > kMaxStreamsPerFolder || out > kMaxStreamsPerFolder) return reader.fail();
            coder.inStreams = uint32_t(in);
            coder.outStreams = uint32_t(out);
        }
        if (flags & 0x20) {
            uint64_t size = reader.number();
            const uint8_t* properties = reader.take(size);
            if (properties) coder.properties.assign(properties, properties + size);
        }
        totalIn += coder.inStreams;
        totalOut += coder.outStreams;
    }
    if (totalOut == 0 || totalIn > kMaxStreamsPerFolder || totalOut > kMaxStreamsPerFolder ||
        totalIn < totalOut - 1)
        return reader.fail();
    folder->bindPairs.resize(size_t(totalOut - 1));
    for (BindPair& pair : folder->bindPairs) {
        pair.inIndex = uint32_t(reader.number());
        pair.outIndex = uint32_t(reader.number());
        if (pair.inIndex >= totalIn || pair.outIndex >= totalOut) return reader.fail();
    }
    uint64_t packed = totalIn - folder->bindPairs.size();
    if (packed == 0) return reader.fail();
    auto bound = [&](uint32_t in) {
        return std::any_of(folder->bindPairs.begin(), folder->bindPairs.end(),
                           [in](const BindPair& pair) { return pair.inIndex == in; });
    };
    if (packed == 1) {
        for (uint32_t in = 0; in < totalIn; ++in) {
            if (!bound(in)) {
                folder->packedInStreams.push_back(in);
                break;
            }
        }
        if (folder->packedInStreams.empty()) return reader.fail();
    } else {
        for (uint64_t i = 0; i < packed; ++i) {
            uint64_t in = reader.number();
            if (in >= totalIn || bound(uint32_t(in))) return reader.fail();
            folder->packedInStreams.push_back(uint32_t(in));
        }
    }
    folder->unpackSizes.resize(size_t(totalOut));
}

void readUnpackInfo(ByteReader& reader, StreamsInfo* info) {
    reader.expect(kFolder);
    uint64_t count = reader.count();
    if (reader.byte() != 0)
        return reader.fail(); // folders stored elsewhere: not produced by archivers in use
    info->folders.resize(size_t(count));
    uint32_t packStream = 0;
    for (Folder& folder : info->folders) {
        readFolder(reader, &folder);
        if (reader.failed()) return;
        folder.firstPackStream = packStream;
        packStream += uint32_t(folder.packedInStreams.size());
    }
    if (packStream > info->packSizes.size()) return reader.fail();
    reader.expect(kCodersUnpackSize);
    for (Folder& folder : info->folders) {
        for (uint64_t& size : folder.unpackSizes) size = reader.number();
        // Exactly one out stream is not bound: the block's main output.
        uint32_t unbound = 0;
        for (uint32_t out = 0; out < folder.unpackSizes.size(); ++out) {
            unbound += std::none_of(folder.bindPairs.begin(), folder.bindPairs.end(),
                                    [out](const BindPair& pair) { return pair.outIndex == out; });
        }
        if (unbound != 1) return reader.fail();
    }
    uint64_t id = reader.number();
    if (id == kCrc) {
        std::vector<bool> defined;
        std::vector<uint32_t> crcs;
        readDigests(reader, count, &defined, &crcs);
        for (size_t i = 0; i < info->folders.size() && !reader.failed(); ++i) {
            info->folders[i].hasCrc = defined[i];
            info->folders[i].crc = crcs[i];
        }
        id = reader.number();
    }
    if (id != kEnd) reader.fail();
}

void readSubStreamsInfo(ByteReader& reader, StreamsInfo* info) {
    info->unpackStreamsPerFolder.assign(info->folders.size(), 1);
    uint64_t id = reader.number();
    if (id == kNumUnpackStream) {
        for (uint64_t& streams : info->unpackStreamsPerFolder) streams = reader.count(1);
        id = reader.number();
    }
    for (size_t f = 0; f < info->folders.size() && !reader.failed(); ++f) {
        uint64_t streams = info->unpackStreamsPerFolder[f];
        if (streams == 0) continue;
        uint64_t total = info->folders[f].unpackSize();
        uint64_t sum = 0;
        if (id == kSize) {
            for (uint64_t i = 0; i + 1 < streams && !reader.failed(); ++i) {
                uint64_t size = reader.number();
                if (size > total - sum) return reader.fail();
                info->streamSizes.push_back(size);
                sum += size;
            }
        } else if (streams > 1) {
            return reader.fail();
        }
        info->streamSizes.push_back(total - sum);
    }
    if (reader.failed()) return;
    if (id == kSize) id = reader.number();

    // Streams whose CRC is not already the whole block's.
    size_t streamCount = info->streamSizes.size();
    info->streamHasCrc.assign(streamCount, false);
    info->streamCrcs.assign(streamCount, 0);
    uint64_t unknown = 0;
    for (size_t f = 0; f < info->folders.size(); ++f) {
        uint64_t streams = info->unpackStreamsPerFolder[f];
        if (!(streams == 1 && info->folders[f].hasCrc)) unknown += streams;
    }
    std::vector<bool> defined;
    std::vector<uint32_t> crcs;
    if (id == kCrc) {
        readDigests(reader, unknown, &defined, &crcs);
        id = reader.number();
    }
    size_t stream = 0;
    size_t next = 0;
    for (size_t f = 0; f < info->folders.size() && !reader.failed(); ++f) {
        uint64_t streams = info->unpackStreamsPerFolder[f];
        if (streams == 1 && info->folders[f].hasCrc) {
            info->streamHasCrc[stream] = true;
            info->streamCrcs[stream++] = info->folders[f].crc;
            continue;
        }
        for (uint64_t i = 0; i < streams; ++i, ++stream, ++next) {
            if (next < defined.size() && defined[next]) {
                info->streamHasCrc[stream] = true;
                info->streamCrcs[stream] = crcs[next];
            }
        }
    }
    if (id != kEnd) reader.fail();
}

void readStreamsInfo(ByteReader& reader, StreamsInfo* info) {
    uint64_t id = reader.number();
    if (id == kPackInfo) {
        readPackInfo(reader, info);
        id = reader.number();
    }
    if (id == kUnpackInfo) {
        readUnpackInfo(reader, info);
        id = reader.number();
    }
    if (id == kSubStreamsInfo) {
        readSubStreamsInfo(reader, info);
        id = reader.number();
    } else if (!reader.failed()) {
        // One stream per block, carrying the block's CRC.
        info->unpackStreamsPerFolder.assign(info->folders.size(), 1);
        for (const Folder& folder : info->folders) {
            info->streamSizes.push_back(folder.unpackSize());
            info->streamHasCrc.push_back(folder.hasCrc);
            info->streamCrcs.push_back(folder.crc);
        }
    }
    if (id != kEnd) reader.fail();
}

// Places the packed streams in the file and checks that every block's streams are inside it.
KDint placeStreams(const StreamsInfo& info, uint64_t fileSize, Archive* archive) {
    archive->packOffsets.clear();
    archive->packSizes = info.packSizes;
    uint64_t offset = kSignatureHeaderSize;
    if (info.packPosition > fileSize - offset) return kDataError;
    offset += info.packPosition;
    for (uint64_t size : info.packSizes) {
        if (size > fileSize - offset) return kReadError;
        archive->packOffsets.push_back(offset);
        offset += size;
    }
    archive->folders = info.folders;
    for (const Folder& folder : archive->folders) {
        if (folder.firstPackStream + folder.packedInStreams.size() > archive->packSizes.size())
            return kDataError;
        for (uint64_t size : folder.unpackSizes) {
            if (size > kMaxUnpackSize) return kMemoryError;
        }
    }
    return 0;
}

std::string utf8FromUtf16(const uint8_t* data, size_t units) {
    std::string text;
    for (size_t i = 0; i < units; ++i) {
        uint32_t c = uint32_t(data[2 * i]) | uint32_t(data[2 * i + 1]) << 8;
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units) {
            uint32_t low = uint32_t(data[2 * i + 2]) | uint32_t(data[2 * i + 3]) << 8;
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (c >= 0xD800 && c < 0xE000) c = 0xFFFD; // an unpaired surrogate
        if (c < 0x80) {
            text.push_back(char(c));
        } else if (c < 0x800) {
            text.push_back(char(0xC0 | (c >> 6)));
            text.push_back(char(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            text.push_back(char(0xE0 | (c >> 12)));
            text.push_back(char(0x80 | ((c >> 6) & 0x3F)));
            text.push_back(char(0x80 | (c & 0x3F)));
        } else {
            text.push_back(char(0xF0 | (c >> 18)));
            text.push_back(char(0x80 | ((c >> 12) & 0x3F)));
            text.push_back(char(0x80 | ((c >> 6) & 0x3F)));
            text.push_back(char(0x80 | (c & 0x3F)));
        }
    }
    return text;
}

void readFilesInfo(ByteReader& reader, const StreamsInfo& streams, Archive* archive) {
    uint64_t files = reader.count(); // every file has at least a name
    std::vector<bool> emptyStream(static_cast<size_t>(files), false);
    std::vector<bool> emptyFile;
    std::vector<std::string> names(static_cast<size_t>(files));
    std::vector<bool> hasTime;
    std::vector<uint64_t> times(static_cast<size_t>(files), 0);
    std::vector<bool> hasAttributes;
    std::vector<uint32_t> attributes(static_cast<size_t>(files), 0);
    uint64_t emptyCount = 0;
    for (;;) {
        uint64_t type = reader.number();
        if (type == kEnd || reader.failed()) break;
        uint64_t size = reader.number();
        const uint8_t* data = reader.take(size);
        if (!data) break;
        ByteReader property(data, size_t(size));
        switch (type) {
        case kEmptyStream:
            emptyStream = readBits(property, files);
            emptyCount = uint64_t(std::count(emptyStream.begin(), emptyStream.end(), true));
            break;
        case kEmptyFile:
            emptyFile = readBits(property, emptyCount);
            break;
        case kName: {
            if (property.byte() != 0) return reader.fail();
            size_t units = property.remaining() / 2;
            const uint8_t* text = property.take(units * 2);
            size_t start = 0;
            uint64_t file = 0;
            for (size_t i = 0; text && i < units && file < files; ++i) {
                if (text[2 * i] == 0 && text[2 * i + 1] == 0) {
                    names[size_t(file++)] = utf8FromUtf16(text + 2 * start, i - start);
                    start = i + 1;
                }
            }
            if (file != files) return reader.fail();
            break;
        }
        case kMTime:
            hasTime = readDefined(property, files);
            if (property.byte() != 0) return reader.fail();
            for (uint64_t i = 0; i < files && !property.failed(); ++i) {
                if (hasTime[size_t(i)]) times[size_t(i)] = property.uint64();
            }
            break;
        case kWinAttributes:
            hasAttributes = readDefined(property, files);
            if (property.byte() != 0) return reader.fail();
            for (uint64_t i = 0; i < files && !property.failed(); ++i) {
                if (hasAttributes[size_t(i)]) attributes[size_t(i)] = property.uint32();
            }
            break;
        default:
            break; // times other than modification, comments, padding: not needed
        }
        if (property.failed()) return reader.fail();
    }
    if (reader.failed()) return;

    // Files with data take the blocks' streams in order.
    size_t folder = 0;
    uint64_t indexInFolder = 0;
    uint64_t offsetInFolder = 0;
    size_t stream = 0;
    size_t emptyIndex = 0;
    archive->entries.resize(size_t(files));
    for (uint64_t i = 0; i < files; ++i) {
        Entry& entry = archive->entries[size_t(i)];
        entry.name = std::move(names[size_t(i)]);
        if (times[size_t(i)]) {
            entry.mtime = KDtime(int64_t(times[size_t(i)] / 10000000) - kEpochDifference);
        }
        bool attributeDirectory = (attributes[size_t(i)] & kAttributeDirectory) != 0;
        if (emptyStream[size_t(i)]) {
            bool isEmptyFile = emptyIndex < emptyFile.size() && emptyFile[emptyIndex];
            ++emptyIndex;
            entry.directory = !isEmptyFile || attributeDirectory;
            continue;
        }
        if (indexInFolder == 0) {
            while (folder < streams.folders.size() && streams.unpackStreamsPerFolder[folder] == 0) ++folder;
            if (folder >= streams.folders.size() || stream >= streams.streamSizes.size())
                return reader.fail();
            offsetInFolder = 0;
        }
        entry.directory = false;
        entry.folder = int32_t(folder);
        entry.size = streams.streamSizes[stream];
        entry.offsetInFolder = offsetInFolder;
        entry.hasCrc = streams.streamHasCrc[stream];
        entry.crc = streams.streamCrcs[stream];
        offsetInFolder += entry.size;
        ++stream;
        if (++indexInFolder >= streams.unpackStreamsPerFolder[folder]) {
            ++folder;
            indexInFolder = 0;
        }
    }
}

KDint readHeader(ByteReader& reader, uint64_t fileSize, Archive* archive) {
    StreamsInfo streams;
    uint64_t id = reader.number();
    if (id == kArchiveProperties) {
        for (uint64_t type = reader.number(); type != kEnd && !reader.failed(); type = reader.number())
            reader.take(reader.number());
        id = reader.number();
    }
    if (id == kAdditionalStreamsInfo) return kUnsupported;
    if (id == kMainStreamsInfo) {
        readStreamsInfo(reader, &streams);
        id = reader.number();
    }
    if (reader.failed()) return kDataError;
    if (KDint error = placeStreams(streams, fileSize, archive)) return error;
    if (id == kFilesInfo) {
        readFilesInfo(reader, streams, archive);
        id = reader.number();
    }
    if (reader.failed() || id != kEnd) return kDataError;
    return 0;
}

} // namespace

uint32_t Folder::mainOutStream() const {
    for (uint32_t out = 0; out < unpackSizes.size(); ++out) {
        if (std::none_of(bindPairs.begin(), bindPairs.end(),
                         [out](const BindPair& p) { return p.outIndex == out; }))
            return out;
    }
    return 0;
}

uint64_t Folder::unpackSize() const {
    return unpackSizes.empty() ? 0 : unpackSizes[mainOutStream()];
}

KDint readArchive(Source& source, Archive* archive) {
    try {
        uint8_t start[kSignatureHeaderSize];
        uint64_t fileSize = source.size();
        if (fileSize < kSignatureHeaderSize || !source.readAt(0, start, sizeof start)) return kNoArchive;
        if (std::memcmp(start, kSignature, sizeof kSignature) != 0 || start[6] != 0) return kNoArchive;
        if (lzma_crc32(start + 12, 20, 0) != (uint32_t(start[8]) | uint32_t(start[9]) << 8 |
                                              uint32_t(start[10]) << 16 | uint32_t(start[11]) << 24))
            return kCrcError;
        ByteReader fields(start + 12, 20);
        uint64_t nextOffset = fields.uint64();
        uint64_t nextSize = fields.uint64();
        uint32_t nextCrc = fields.uint32();
        if (nextSize == 0) return 0; // an empty archive
        if (nextOffset > fileSize - kSignatureHeaderSize ||
            nextSize > fileSize - kSignatureHeaderSize - nextOffset)
            return kReadError;
        std::vector<uint8_t> header(static_cast<size_t>(nextSize));
        if (!source.readAt(kSignatureHeaderSize + nextOffset, header.data(), header.size()))
            return kReadError;
        if (lzma_crc32(header.data(), header.size(), 0) != nextCrc) return kCrcError;

        for (int nesting = 0;; ++nesting) {
            ByteReader reader(header.data(), header.size());
            uint64_t id = reader.number();
            if (id == kHeader) return readHeader(reader, fileSize, archive);
            if (id != kEncodedHeader || nesting >= kMaxHeaderNesting) return kDataError;
            // The header itself is packed in a block of its own.
            StreamsInfo streams;
            readStreamsInfo(reader, &streams);
            if (reader.failed() || streams.folders.empty()) return kDataError;
            Archive packed;
            if (KDint error = placeStreams(streams, fileSize, &packed)) return error;
            std::vector<uint8_t> decoded;
            if (KDint error = decodeFolder(source, packed, packed.folders[0], &decoded)) return error;
            if (packed.folders[0].hasCrc &&
                lzma_crc32(decoded.data(), decoded.size(), 0) != packed.folders[0].crc)
                return kCrcError;
            header = std::move(decoded);
        }
    } catch (const std::bad_alloc&) {
        return kMemoryError;
    } catch (const std::length_error&) {
        return kMemoryError;
    }
}

KDint readEntry(Source& source, const Archive& archive, const Entry& entry, std::vector<uint8_t>* contents) {
    contents->clear();
    if (entry.folder < 0) return 0;
    if (size_t(entry.folder) >= archive.folders.size()) return kDataError;
    const Folder& folder = archive.folders[size_t(entry.folder)];
    if (entry.offsetInFolder > folder.unpackSize() || entry.size > folder.unpackSize() - entry.offsetInFolder)
        return kDataError;
    try {
        std::vector<uint8_t> block;
        if (KDint error = decodeFolder(source, archive, folder, &block)) return error;
        if (entry.offsetInFolder == 0 && entry.size == block.size()) {
            *contents = std::move(block);
        } else {
            contents->assign(block.begin() + ptrdiff_t(entry.offsetInFolder),
                             block.begin() + ptrdiff_t(entry.offsetInFolder + entry.size));
        }
    } catch (const std::bad_alloc&) {
        return kMemoryError;
    }
    if (entry.hasCrc && lzma_crc32(contents->data(), contents->size(), 0) != entry.crc) {
        contents->clear();
        return kCrcError;
    }
    return 0;
}

} // namespace platform::sevenzip
