#include "files/image_export.h"

#include "files/chip_blend.h"
#include "platform/image_codec.h"

namespace kelvor {

bool ExportAtlasImage(const std::string& path, const MapDocument& document, int32_t table,
                      ImageEncoder& encoder, Messages& messages) {
  if (table < 0 || table > 1 || ImageFormatForPath(path) == ImageFormat::None) return false;
  const PixelBuffer& atlas = document.tables[static_cast<size_t>(table)].atlas;
  if (atlas.Empty()) return false;
  // Premultiplied bytes go out unchanged: opaque and fully transparent
  // pixels are exact, and other programs built on these files expect it.
  return encoder.Encode(path, atlas, PixelAlpha::Straight, messages);
}

bool MapImageFits(const MapGrid& grid) {
  if (!grid.Exists() || grid.width < 1 || grid.height < 1) return false;
  const int64_t width = int64_t{grid.width} * ChipSize;
  const int64_t height = int64_t{grid.height} * ChipSize;
  if (width * height > MaxMapImagePixels || width > INT32_MAX / 4 || height > INT32_MAX) {
    return false;
  }
  return grid.CellCount() == static_cast<size_t>(grid.width) * static_cast<size_t>(grid.height);
}

PixelBuffer ComposeMapImage(const MapDocument& document, bool showLayer) {
  const MapGrid& grid = document.grid;
  if (!MapImageFits(grid)) return PixelBuffer{};
  PixelBuffer image = PixelBuffer::Make(grid.width * ChipSize, grid.height * ChipSize);
  for (int pass = 0; pass < (showLayer ? 2 : 1); ++pass) {
    const PixelBuffer& atlas = document.tables[static_cast<size_t>(pass)].atlas;
    if (atlas.Empty()) continue;
    for (int32_t row = 0; row < grid.height; ++row) {
      for (int32_t column = 0; column < grid.width; ++column) {
        const MapCell cell = grid.At(column, row);
        const int32_t n = pass == 0 ? CellBackground(cell) : CellLayer(cell);
        if (n <= 0) continue;
        BlendChipSquare(image, column * ChipSize, row * ChipSize, atlas, (n % 16) * ChipSize,
                        (n / 16) * ChipSize);
      }
    }
  }
  return image;
}

bool ExportMapImage(const std::string& path, const MapDocument& document, bool showLayer,
                    ImageEncoder& encoder, Messages& messages) {
  if (ImageFormatForPath(path) == ImageFormat::None) return false;
  const PixelBuffer image = ComposeMapImage(document, showLayer);
  if (image.Empty()) return false;
  return encoder.Encode(path, image, PixelAlpha::Premultiplied, messages);
}

}  // namespace kelvor
