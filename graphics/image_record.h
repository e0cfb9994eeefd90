#pragma once
// Decoded images: the record the five image readers (PVR, JPEG, PNG, TGA, NTF) fill and the texture builder
// consumes. A file is read whole, the readers' header checks run in a fixed order ("pvr", "jpg", "png",
// "tga", "ntf", the extension is never consulted) and the first one that accepts the bytes decodes them.
//
// Every reader treats the file as hostile: each size, count and offset taken from a header is checked in
// 64-bit arithmetic against the bytes really present, so a damaged or forged image is a clean failure (null,
// platform error KD_EIO, a log line), never a read out of bounds.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "component/media_records.h"
#include "platform/kd.h"

// Reads a whole image from an open file. The record takes over the stream (it is closed by FreeImage, or
// here on failure). Null with error KD_EIO when the bytes cannot be read or no reader accepts them.
ImageRecord* ReadImage(KDFile* stream);

// Decodes an image from a buffer the caller owns and keeps alive until FreeImage. Null with error KD_EIO on
// failure.
ImageRecord* ReadImageFromMemory(const void* bytes, std::size_t size);

// Frees the decoded pixels, the file's bytes and the stream. Null is ignored.
void FreeImage(ImageRecord* image);
