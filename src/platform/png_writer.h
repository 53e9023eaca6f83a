#pragma once

#include "platform/atomic_file.h"
#include "platform/image_codec.h"

namespace kelvor {

// Writes `source` to `sink` as a PNG of 8-bit RGBA, its bytes read as blue,
// green, red and straight alpha. The picture is made a band of rows at a
// time: bands are composed and compressed on several threads, each as
// deflate blocks of its own, and joined into the one zlib stream of the
// file in order. False when a band could not be made (out of memory) or the
// sink failed; the caller keeps the sides within MaxStreamedWidth and
// MaxPngSide.
bool WritePngBands(const PictureSource& source, ByteSink& sink);

}  // namespace kelvor
