// Decoding one 7z block: the coders are wired by the block's bind pairs; each out stream is produced from its
// coder's inputs, which are packed streams read from the file or other coders' outputs. LZMA, LZMA2 and the
// branch filters run in liblzma's raw decoder; BCJ2 (four inputs) is decoded here.
#include "platform/src/fs_seven_zip.h"

#include <lzma.h>

#include <algorithm>
#include <cstdlib>
#include <new>
#include <stdexcept>

namespace platform::sevenzip {

namespace {

enum class Kind { Copy, Lzma, Lzma2, Branch, Bcj2, Unknown };

struct MethodInfo {
    Kind kind;
    lzma_vli filter; // liblzma's id for LZMA, LZMA2 and the branch filters
};

MethodInfo identify(const std::vector<uint8_t>& id) {
    struct Known {
        std::vector<uint8_t> id;
        MethodInfo info;
    };
    static const Known kKnown[] = {
        {{0x00}, {Kind::Copy, 0}},
        {{0x03, 0x01, 0x01}, {Kind::Lzma, LZMA_FILTER_LZMA1}},
        {{0x21}, {Kind::Lzma2, LZMA_FILTER_LZMA2}},
        {{0x03, 0x03, 0x01, 0x03}, {Kind::Branch, LZMA_FILTER_X86}},
        {{0x03, 0x03, 0x05, 0x01}, {Kind::Branch, LZMA_FILTER_ARM}},
        {{0x03, 0x03, 0x07, 0x01}, {Kind::Branch, LZMA_FILTER_ARMTHUMB}},
        {{0x03, 0x03, 0x02, 0x05}, {Kind::Branch, LZMA_FILTER_POWERPC}},
        {{0x03, 0x03, 0x08, 0x05}, {Kind::Branch, LZMA_FILTER_SPARC}},
        {{0x03, 0x03, 0x04, 0x01}, {Kind::Branch, LZMA_FILTER_IA64}},
        {{0x03, 0x03, 0x01, 0x1B}, {Kind::Bcj2, 0}},
    };
    for (const Known& known : kKnown) {
        if (known.id == id) return known.info;
    }
    return {Kind::Unknown, 0};
}

constexpr int kMaxWiringDepth = 8;

// liblzma filter options decoded from a coder's properties; freed with the decoder.
class FilterChain {
public:
    ~FilterChain() {
        for (size_t i = 0; i < m_count; ++i) std::free(m_filters[i].options);
    }

    // Adds a filter in encoder order (the branch filter before its LZMA coder). The dictionary of an LZMA
    // coder is never needed beyond the output it produces, so a header asking for more is clamped rather than
    // trusted.
    bool add(lzma_vli id, const std::vector<uint8_t>& properties, uint64_t outputSize) {
        if (m_count >= 2) return false;
        lzma_filter& filter = m_filters[m_count];
        filter.id = id;
        filter.options = nullptr;
        if (id == LZMA_FILTER_LZMA1 || id == LZMA_FILTER_LZMA2) {
            if (lzma_properties_decode(&filter, nullptr, properties.data(), properties.size()) != LZMA_OK)
                return false;
            auto* options = static_cast<lzma_options_lzma*>(filter.options);
            uint64_t needed = std::max<uint64_t>(outputSize, LZMA_DICT_SIZE_MIN);
            if (options->dict_size > needed) options->dict_size = uint32_t(needed);
            if (id == LZMA_FILTER_LZMA1) {
                // Tell the decoder where the stream ends, so that a branch filter after it releases its last
                // bytes.
                filter.id = LZMA_FILTER_LZMA1EXT;
                options->ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
                lzma_set_ext_size(*options, outputSize);
            }
        } else if (!properties.empty()) {
            if (properties.size() != 4) return false;
            auto* options = static_cast<lzma_options_bcj*>(std::calloc(1, sizeof(lzma_options_bcj)));
            if (!options) return false;
            options->start_offset = uint32_t(properties[0]) | uint32_t(properties[1]) << 8 |
                                    uint32_t(properties[2]) << 16 | uint32_t(properties[3]) << 24;
            filter.options = options;
        }
        ++m_count;
        m_filters[m_count].id = LZMA_VLI_UNKNOWN;
        return true;
    }

    const lzma_filter* filters() const { return m_filters; }

private:
    lzma_filter m_filters[3] = {
        {LZMA_VLI_UNKNOWN, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
    size_t m_count = 0;
};

// Runs a raw liblzma decoder over input until exactly size bytes are out. The output grows as data arrives,
// so a header announcing a huge size for a few packed bytes costs nothing.
KDint rawDecode(const FilterChain& chain, const std::vector<uint8_t>& input, uint64_t size,
                std::vector<uint8_t>* output) {
    lzma_stream stream = LZMA_STREAM_INIT;
    lzma_ret started = lzma_raw_decoder(&stream, chain.filters());
    if (started != LZMA_OK) return started == LZMA_MEM_ERROR ? kMemoryError : kUnsupported;
    output->clear();
    output->resize(size_t(std::min<uint64_t>(size, std::max<uint64_t>(input.size() * 4, 65536))));
    stream.next_in = input.data();
    stream.avail_in = input.size();
    size_t produced = 0;
    KDint result = 0;
    while (produced < size) {
        if (produced == output->size())
            output->resize(size_t(std::min<uint64_t>(size, uint64_t(produced) * 2)));
        stream.next_out = output->data() + produced;
        stream.avail_out = output->size() - produced;
        size_t inBefore = stream.avail_in;
        lzma_ret ret = lzma_code(&stream, LZMA_FINISH);
        size_t made = output->size() - produced - stream.avail_out;
        produced += made;
        if (ret == LZMA_STREAM_END) break;
        if (ret != LZMA_OK || (made == 0 && stream.avail_in == inBefore)) {
            result = ret == LZMA_MEM_ERROR ? kMemoryError : kDataError;
            break;
        }
    }
    lzma_end(&stream);
    if (result == 0 && produced != size) result = kDataError;
    output->resize(produced);
    return result;
}

// The x86 branch converter with a range-coded decision per jump opcode and the call and jump targets in
// streams of their own: main, call, jump and range-coder inputs.
KDint decodeBcj2(const std::vector<uint8_t>& main, const std::vector<uint8_t>& call,
                 const std::vector<uint8_t>& jump, const std::vector<uint8_t>& coded, uint64_t size,
                 std::vector<uint8_t>* output) {
    // Every output byte comes from the main stream, or four at a time from the call or jump stream.
    if (size > uint64_t(main.size()) + call.size() + jump.size()) return kDataError;
    if (coded.size() < 5) return kDataError;
    output->assign(size_t(size), 0);
    uint16_t probabilities[2 + 256];
    std::fill(std::begin(probabilities), std::end(probabilities), uint16_t(1024));
    size_t codedAt = 0;
    uint32_t range = 0xFFFFFFFF;
    uint32_t code = 0;
    for (int i = 0; i < 5; ++i) code = (code << 8) | coded[codedAt++];

    size_t mainAt = 0, callAt = 0, jumpAt = 0, out = 0;
    uint8_t previous = 0;
    while (out < size) {
        if (mainAt >= main.size()) return kDataError;
        uint8_t byte = main[mainAt++];
        (*output)[out++] = byte;
        bool jumpOpcode = (byte & 0xFE) == 0xE8 || (previous == 0x0F && (byte & 0xF0) == 0x80);
        if (!jumpOpcode) {
            previous = byte;
            continue;
        }
        if (out == size) break;
        uint16_t& probability = probabilities[byte == 0xE8 ? previous : byte == 0xE9 ? 256 : 257];
        uint32_t bound = (range >> 11) * probability;
        bool converted;
        if (code < bound) {
            range = bound;
            probability = uint16_t(probability + ((2048 - probability) >> 5));
            converted = false;
        } else {
            range -= bound;
            code -= bound;
            probability = uint16_t(probability - (probability >> 5));
            converted = true;
        }
        if (range < (1u << 24)) {
            if (codedAt >= coded.size()) return kDataError;
            range <<= 8;
            code = (code << 8) | coded[codedAt++];
        }
        if (!converted) {
            previous = byte;
            continue;
        }
        const std::vector<uint8_t>& targets = byte == 0xE8 ? call : jump;
        size_t& at = byte == 0xE8 ? callAt : jumpAt;
        if (targets.size() - at < 4) return kDataError;
        uint32_t absolute = uint32_t(targets[at]) << 24 | uint32_t(targets[at + 1]) << 16 |
                            uint32_t(targets[at + 2]) << 8 | uint32_t(targets[at + 3]);
        at += 4;
        uint32_t relative = absolute - uint32_t(out + 4);
        for (int i = 0; i < 4 && out < size; ++i) (*output)[out++] = uint8_t(relative >> (8 * i));
        previous = uint8_t(relative >> 24);
    }
    return 0;
}

class FolderDecoder {
public:
    FolderDecoder(Source& source, const Archive& archive, const Folder& folder)
        : m_source(source), m_archive(archive), m_folder(folder) {
        uint32_t in = 0, out = 0;
        for (const Coder& coder : folder.coders) {
            m_inStart.push_back(in);
            m_outStart.push_back(out);
            in += coder.inStreams;
            out += coder.outStreams;
        }
    }

    KDint decodeOut(uint32_t out, int depth, std::vector<uint8_t>* result) {
        if (depth > kMaxWiringDepth || out >= m_folder.unpackSizes.size()) return kDataError;
        size_t c = coderOf(out);
        const Coder& coder = m_folder.coders[c];
        if (coder.outStreams != 1) return kUnsupported;
        uint64_t size = m_folder.unpackSizes[out];
        if (size > kMaxUnpackSize) return kMemoryError;
        MethodInfo method = identify(coder.method);
        switch (method.kind) {
        case Kind::Copy: {
            if (coder.inStreams != 1) return kUnsupported;
            if (KDint error = input(m_inStart[c], depth, result)) return error;
            if (result->size() != size) return kDataError;
            return 0;
        }
        case Kind::Lzma:
        case Kind::Lzma2: {
            if (coder.inStreams != 1) return kUnsupported;
            FilterChain chain;
            if (!chain.add(method.filter, coder.properties, size)) return kUnsupported;
            std::vector<uint8_t> packed;
            if (KDint error = input(m_inStart[c], depth, &packed)) return error;
            return rawDecode(chain, packed, size, result);
        }
        case Kind::Branch: {
            // A branch filter always sits on an LZMA or LZMA2 coder; both run as one raw decoder chain.
            if (coder.inStreams != 1) return kUnsupported;
            const BindPair* pair = boundTo(m_inStart[c]);
            if (!pair) return kUnsupported;
            size_t inner = coderOf(pair->outIndex);
            const Coder& lzma = m_folder.coders[inner];
            MethodInfo innerMethod = identify(lzma.method);
            if ((innerMethod.kind != Kind::Lzma && innerMethod.kind != Kind::Lzma2) || lzma.inStreams != 1 ||
                m_folder.unpackSizes[pair->outIndex] != size)
                return kUnsupported;
            FilterChain chain;
            if (!chain.add(method.filter, coder.properties, size) ||
                !chain.add(innerMethod.filter, lzma.properties, size))
                return kUnsupported;
            std::vector<uint8_t> packed;
            if (KDint error = input(m_inStart[inner], depth + 1, &packed)) return error;
            return rawDecode(chain, packed, size, result);
        }
        case Kind::Bcj2: {
            if (coder.inStreams != 4) return kUnsupported;
            std::vector<uint8_t> streams[4];
            for (uint32_t i = 0; i < 4; ++i) {
                if (KDint error = input(m_inStart[c] + i, depth, &streams[i])) return error;
            }
            return decodeBcj2(streams[0], streams[1], streams[2], streams[3], size, result);
        }
        case Kind::Unknown:
            break;
        }
        return kUnsupported;
    }

private:
    size_t coderOf(uint32_t out) const {
        size_t c = 0;
        while (c + 1 < m_outStart.size() && m_outStart[c + 1] <= out) ++c;
        return c;
    }

    const BindPair* boundTo(uint32_t in) const {
        for (const BindPair& pair : m_folder.bindPairs) {
            if (pair.inIndex == in) return &pair;
        }
        return nullptr;
    }

    // An in stream: another coder's output, or a packed stream read from the file.
    KDint input(uint32_t in, int depth, std::vector<uint8_t>* result) {
        if (const BindPair* pair = boundTo(in)) return decodeOut(pair->outIndex, depth + 1, result);
        auto packed = std::find(m_folder.packedInStreams.begin(), m_folder.packedInStreams.end(), in);
        if (packed == m_folder.packedInStreams.end()) return kDataError;
        size_t stream = m_folder.firstPackStream + size_t(packed - m_folder.packedInStreams.begin());
        if (stream >= m_archive.packSizes.size()) return kDataError;
        uint64_t size = m_archive.packSizes[stream];
        if (size > kMaxUnpackSize) return kMemoryError;
        result->resize(size_t(size));
        if (!m_source.readAt(m_archive.packOffsets[stream], result->data(), result->size()))
            return kReadError;
        return 0;
    }

    Source& m_source;
    const Archive& m_archive;
    const Folder& m_folder;
    std::vector<uint32_t> m_inStart;
    std::vector<uint32_t> m_outStart;
};

} // namespace

KDint decodeFolder(Source& source, const Archive& archive, const Folder& folder,
                   std::vector<uint8_t>* output) {
    try {
        FolderDecoder decoder(source, archive, folder);
        return decoder.decodeOut(folder.mainOutStream(), 0, output);
    } catch (const std::bad_alloc&) {
        return kMemoryError;
    } catch (const std::length_error&) {
        return kMemoryError;
    }
}

} // namespace platform::sevenzip
