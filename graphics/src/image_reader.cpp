// ReadImage: the whole file in memory, then the first reader whose header check accepts it.
#include <new>

#include "graphics/image_record.h"
#include "graphics/src/image_readers.h"

namespace {

constexpr const char* kTag = "Texture";

bool decodeWithReaders(ImageRecord& image, const std::uint8_t* bytes, std::size_t size) {
    const ImageReader* readers[] = {&pvrImageReader(), &jpegImageReader(), &pngImageReader(),
                                    &tgaImageReader(), &ntfImageReader()};
    for (const ImageReader* reader : readers) {
        // Each attempt starts from a clean record; a rejecting reader may have filled some fields.
        KDFile* stream = image.stream;
        image = ImageRecord{};
        image.stream = stream;
        image.fileBytes = bytes;
        image.fileSize = size;
        if (reader->readHeader(image, bytes, size)) {
            image.reader = reader;
            if (!reader->decode(image)) {
                logError(kTag, "damaged %s image", reader->name);
                return false;
            }
            return true;
        }
    }
    return false;
}

} // namespace

ImageRecord* ReadImage(KDFile* stream) {
    if (stream == nullptr) {
        kdSetError(KD_EIO);
        return nullptr;
    }
    KDsize size = 0;
    void* bytes = kdMapFile(stream, &size);
    auto* image = new (std::nothrow) ImageRecord;
    if (bytes == nullptr || image == nullptr ||
        !decodeWithReaders(*image, static_cast<const std::uint8_t*>(bytes), size)) {
        if (bytes != nullptr) {
            kdUnmapFile(stream, bytes);
        }
        kdFclose(stream);
        delete image;
        kdSetError(KD_EIO);
        return nullptr;
    }
    image->stream = stream;
    return image;
}

ImageRecord* ReadImageFromMemory(const void* bytes, std::size_t size) {
    auto* image = new (std::nothrow) ImageRecord;
    if (bytes == nullptr || image == nullptr ||
        !decodeWithReaders(*image, static_cast<const std::uint8_t*>(bytes), size)) {
        delete image;
        kdSetError(KD_EIO);
        return nullptr;
    }
    return image;
}

void FreeImage(ImageRecord* image) {
    if (image == nullptr) {
        return;
    }
    if (image->stream != nullptr) {
        kdUnmapFile(image->stream, const_cast<std::uint8_t*>(image->fileBytes));
        kdFclose(image->stream);
    }
    delete image;
}
