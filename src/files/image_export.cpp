#include "files/image_export.h"

#include <algorithm>
#include <cstring>

#include "files/chip_blend.h"

namespace kelvor {
namespace {

constexpr size_t ChipRowBytes = ChipSize * 4;

// Row y of chip n in an atlas; null when there is no such chip to draw.
const uint8_t* ChipRow(const PixelBuffer* atlas, int32_t n, int32_t y) {
  if (atlas == nullptr || n <= 0) return nullptr;
  const int32_t x0 = (n % 16) * ChipSize;
  const int32_t y0 = (n / 16) * ChipSize;
  return ChipSquareInside(*atlas, x0, y0) ? atlas->At(x0, y0 + y) : nullptr;
}

// A map whose cells can be read as a whole grid, in pixels; 0 for none.
int64_t PictureSide(const MapGrid& grid, int32_t cells) {
  if (!grid.Exists() || grid.width < 1 || grid.height < 1 ||
      grid.CellCount() != static_cast<size_t>(grid.width) * static_cast<size_t>(grid.height)) {
    return 0;
  }
  return int64_t{cells} * ChipSize;
}

}  // namespace

bool ExportAtlasImage(const std::string& path, const MapDocument& document, int32_t table,
                      ImageEncoder& encoder, Messages& messages) {
  if (table < 0 || table > 1 || ImageFormatForPath(path) == ImageFormat::None) return false;
  const PixelBuffer& atlas = document.tables[static_cast<size_t>(table)].atlas;
  if (atlas.Empty()) return false;
  // Premultiplied bytes go out unchanged: opaque and fully transparent
  // pixels are exact, and other programs built on these files expect it.
  return encoder.Encode(path, atlas, PixelAlpha::Straight, messages);
}

MapPicture::MapPicture(const MapDocument& document, bool showLayer) : grid_(document.grid) {
  const int64_t width = PictureSide(grid_, grid_.width);
  const int64_t height = PictureSide(grid_, grid_.height);
  if (width > INT32_MAX || height > INT32_MAX) return;
  width_ = static_cast<int32_t>(width);
  height_ = static_cast<int32_t>(height);
  for (size_t level = 0; level < (showLayer ? 2u : 1u); ++level) {
    const PixelBuffer& atlas = document.tables[level].atlas;
    if (!atlas.Empty()) atlases_[level] = &atlas;
  }
}

bool MapPicture::ComposeRows(int32_t top, PixelBuffer& band, RowOrder order) const {
  const int64_t end = int64_t{top} + band.height;
  if (band.Empty() || band.width != width_ || top < 0 || end > height_) {
    std::fill(band.pixels.begin(), band.pixels.end(), uint8_t{0});
    return false;
  }
  // Pixel for pixel as drawing every background chip over a transparent
  // picture and then every layer chip over that: onto transparent black a
  // chip is an exact copy, and no pixel depends on another.
  bool drawn = false;
  for (int32_t y = top; y < end; ++y) {
    const int32_t row = y / ChipSize;
    const int32_t inChip = y % ChipSize;
    uint8_t* out =
        band.Row(order == RowOrder::TopDown ? y - top : static_cast<int32_t>(end - 1 - y));
    for (int32_t column = 0; column < grid_.width; ++column, out += ChipRowBytes) {
      const MapCell cell = grid_.At(column, row);
      const uint8_t* background = ChipRow(atlases_[0], CellBackground(cell), inChip);
      const uint8_t* layer = ChipRow(atlases_[1], CellLayer(cell), inChip);
      if (background != nullptr) {
        std::memcpy(out, background, ChipRowBytes);
      } else {
        std::memset(out, 0, ChipRowBytes);
      }
      if (layer != nullptr) BlendChipRow(out, layer, ChipSize);
      drawn = drawn || background != nullptr || layer != nullptr;
    }
  }
  return drawn;
}

PictureWrite ExportMapImage(const std::string& path, const MapDocument& document, bool showLayer,
                            ImageEncoder& encoder, Messages& messages) {
  if (ImageFormatForPath(path) == ImageFormat::None) return PictureWrite::NoEncoder;
  const MapGrid& grid = document.grid;
  if (PictureSide(grid, grid.width) == 0) return PictureWrite::Empty;
  const MapPicture picture(document, showLayer);
  if (picture.Width() == 0) return PictureWrite::TooLarge;
  return encoder.EncodeBands(path, picture, PixelAlpha::Premultiplied, messages);
}

}  // namespace kelvor
