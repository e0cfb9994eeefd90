// libFuzzer target for one image reader, chosen at build time (HH_FUZZ_IMAGE_READER names its accessor, like
// pngImageReader), so each reader has a target and seeds of its own: its header check and decode run on the
// input, then the whole dispatch runs on the same bytes. A decoded record must describe readable pixels.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "graphics/image_record.h"
#include "graphics/src/image_readers.h"

namespace {

void touch(const ImageRecord& image) {
    if (image.pixels == nullptr) {
        return;
    }
    volatile std::uint8_t sink = 0;
    const std::uint64_t bytes = std::uint64_t(image.pitch) * std::uint64_t(image.height);
    for (std::uint64_t i = 0; i < bytes; i += 61) {
        sink = sink ^ image.pixels[i];
    }
    if (image.dataSize > 0) {
        sink = sink ^ image.pixels[image.dataSize - 1];
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A copy of exactly these bytes, so reads past the end are caught.
    const std::vector<std::uint8_t> file(data, data + size);
    ImageRecord record;
    record.fileBytes = file.data();
    record.fileSize = file.size();
    const ImageReader& reader = HH_FUZZ_IMAGE_READER();
    if (reader.readHeader(record, file.data(), file.size()) && reader.decode(record)) {
        touch(record);
    }
    if (ImageRecord* image = ReadImageFromMemory(file.data(), file.size())) {
        touch(*image);
        FreeImage(image);
    }
    return 0;
}
