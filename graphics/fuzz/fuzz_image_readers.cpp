// libFuzzer target for the image readers: the first byte picks a reader (0-4) whose header check and decode
// run on the rest, so every reader is reached whatever the earlier ones accept; then the whole dispatch runs
// on the same bytes. A decoded record must describe readable pixels.
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
    if (size < 1) {
        return 0;
    }
    const ImageReader* readers[] = {&pvrImageReader(), &jpegImageReader(), &pngImageReader(),
                                    &tgaImageReader(), &ntfImageReader()};
    // A copy of exactly the remaining bytes, so reads past the end are caught.
    const std::vector<std::uint8_t> file(data + 1, data + size);
    ImageRecord record;
    record.fileBytes = file.data();
    record.fileSize = file.size();
    const ImageReader* reader = readers[data[0] % 5];
    if (reader->readHeader(record, file.data(), file.size()) && reader->decode(record)) {
        touch(record);
    }
    if (ImageRecord* image = ReadImageFromMemory(file.data(), file.size())) {
        touch(*image);
        FreeImage(image);
    }
    return 0;
}
