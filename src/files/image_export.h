#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "base/pixel_buffer.h"
#include "document/map_document.h"
#include "platform/image_codec.h"

namespace kelvor {

class Messages;

// Writes the atlas of table 0 (background) or 1 (layer) upright, entry 0 at
// the top left, its bytes exactly as stored. The format follows the path's
// extension. False, and no file, without an extension or an atlas.
bool ExportAtlasImage(const std::string& path, const MapDocument& document, int32_t table,
                      ImageEncoder& encoder, Messages& messages);

// The whole map at 32 x 32 pixels per cell, made a band of rows at a time:
// background chips, then layer chips over them when `showLayer`, cells
// without chips transparent. Its size is 0 x 0 when there is no map, a side
// is 0, or a side would pass 2^31 - 1 pixels. The document must not change
// while the picture is read.
class MapPicture final : public PictureSource {
 public:
  MapPicture(const MapDocument& document, bool showLayer);
  int32_t Width() const override { return width_; }
  int32_t Height() const override { return height_; }
  bool ComposeRows(int32_t top, PixelBuffer& band, RowOrder order) const override;

 private:
  const MapGrid& grid_;
  std::array<const PixelBuffer*, 2> atlases_{};  // null: the level is not drawn
  int32_t width_ = 0;
  int32_t height_ = 0;
};

// Writes MapPicture in the format the path's extension names, streamed for
// PNG and BMP, so that the picture's size is bounded only by the format.
// Empty when there is no map or a side is 0; TooLarge for a picture no
// format holds.
PictureWrite ExportMapImage(const std::string& path, const MapDocument& document, bool showLayer,
                            ImageEncoder& encoder, Messages& messages);

}  // namespace kelvor
