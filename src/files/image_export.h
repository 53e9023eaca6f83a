#pragma once

#include <cstdint>
#include <string>

#include "base/pixel_buffer.h"
#include "document/map_document.h"

namespace kelvor {

class ImageEncoder;
class Messages;

// Biggest map picture we make: 32 pixels per cell must fit in this many
// pixels (1 GiB of memory); larger maps are refused rather than allocated.
inline constexpr int64_t MaxMapImagePixels = int64_t{1} << 28;

// Writes the atlas of table 0 (background) or 1 (layer) upright, entry 0 at
// the top left, its bytes exactly as stored. The format follows the path's
// extension. False, and no file, without an extension or an atlas.
bool ExportAtlasImage(const std::string& path, const MapDocument& document, int32_t table,
                      ImageEncoder& encoder, Messages& messages);

// A map exists, is at least one cell wide and high, and its picture stays
// within MaxMapImagePixels.
bool MapImageFits(const MapGrid& grid);

// The whole map at 32 x 32 pixels per cell: background chips, then layer
// chips over them when `showLayer`, cells without chips transparent. Empty
// when there is no map or the picture would be too large.
PixelBuffer ComposeMapImage(const MapDocument& document, bool showLayer);

// Writes ComposeMapImage in the format the path's extension names.
bool ExportMapImage(const std::string& path, const MapDocument& document, bool showLayer,
                    ImageEncoder& encoder, Messages& messages);

}  // namespace kelvor
