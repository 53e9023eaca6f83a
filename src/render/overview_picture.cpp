#include "render/overview_picture.h"

#include <algorithm>

namespace kelvor {
namespace {

// Premultiplied `top` over an opaque `under`, both blue-green-red-alpha.
uint32_t Over(uint32_t top, uint32_t under) {
  const uint32_t keep = 255 - (top >> 24);
  uint32_t out = 0xFF000000u;
  for (int shift = 0; shift < 24; shift += 8) {
    const uint32_t value = ((top >> shift) & 0xFF) + (((under >> shift) & 0xFF) * keep + 127) / 255;
    out |= std::min<uint32_t>(value, 255) << shift;
  }
  return out;
}

int64_t CeilDiv(int64_t a, int64_t b) {
  return a >= 0 ? (a + b - 1) / b : -((-a) / b);
}

}  // namespace

OverviewSize FitOverview(int32_t columns, int32_t rows, int32_t boxWidth, int32_t boxHeight) {
  if (columns <= 0 || rows <= 0 || boxWidth <= 0 || boxHeight <= 0) return {};
  // The axis that fills the box first sets the scale.
  if (int64_t{columns} * boxHeight >= int64_t{rows} * boxWidth) {
    const int64_t height = int64_t{rows} * boxWidth / columns;
    return {boxWidth, static_cast<int32_t>(std::max<int64_t>(height, 1))};
  }
  const int64_t width = int64_t{columns} * boxHeight / rows;
  return {static_cast<int32_t>(std::max<int64_t>(width, 1)), boxHeight};
}

int32_t OverviewCellOf(int32_t pixel, int32_t pixels, int32_t cells) {
  if (pixels <= 0) return 0;
  return static_cast<int32_t>((2 * int64_t{pixel} + 1) * cells / (2 * int64_t{pixels}));
}

int32_t OverviewFirstPixelFrom(int32_t cell, int32_t cells, int32_t pixels) {
  if (cells <= 0) return pixels;
  // The least p with (2p + 1) x cells >= 2 x pixels x cell.
  const int64_t first = CeilDiv(2 * int64_t{pixels} * cell - cells, 2 * int64_t{cells});
  return static_cast<int32_t>(std::clamp<int64_t>(first, 0, pixels));
}

OverviewRect OverviewFrame(OverviewSize size, int32_t contentWidth, int32_t contentHeight,
                           int32_t scrollX, int32_t scrollY, int32_t pageWidth,
                           int32_t pageHeight) {
  auto span = [](int32_t pixels, int32_t content, int32_t offset, int32_t page) {
    if (pixels <= 0 || content <= 0) return std::pair<int32_t, int32_t>{0, 0};
    const int64_t first = std::clamp<int64_t>(int64_t{offset} * pixels / content, 0, pixels - 1);
    int64_t last = CeilDiv((int64_t{offset} + page) * pixels, content);
    last = std::clamp<int64_t>(last, first + 1, pixels);
    return std::pair<int32_t, int32_t>{static_cast<int32_t>(first), static_cast<int32_t>(last)};
  };
  const auto [left, right] = span(size.width, contentWidth, scrollX, pageWidth);
  const auto [top, bottom] = span(size.height, contentHeight, scrollY, pageHeight);
  return {left, top, right, bottom};
}

std::pair<int32_t, int32_t> OverviewContentPoint(OverviewSize size, int32_t contentWidth,
                                                 int32_t contentHeight, int32_t x, int32_t y) {
  auto along = [](int32_t pixel, int32_t pixels, int32_t content) {
    if (pixels <= 0) return 0;
    const int64_t p = std::clamp<int64_t>(pixel, 0, pixels - 1);
    return static_cast<int32_t>((2 * p + 1) * content / (2 * int64_t{pixels}));
  };
  return {along(x, size.width, contentWidth), along(y, size.height, contentHeight)};
}

std::array<uint32_t, ChipTableSlots> AverageChipColors(const PixelBuffer& atlas) {
  std::array<uint32_t, ChipTableSlots> colors{};
  if (atlas.width < AtlasSize || atlas.height < AtlasSize) return colors;
  constexpr int32_t PerRow = AtlasSize / ChipSize;
  for (int32_t chip = 0; chip < ChipTableSlots; ++chip) {
    const int32_t left = (chip % PerRow) * ChipSize;
    const int32_t top = (chip / PerRow) * ChipSize;
    std::array<uint32_t, 4> sums{};
    for (int32_t y = top; y < top + ChipSize; ++y) {
      const uint8_t* pixel = atlas.At(left, y);
      for (int32_t x = 0; x < ChipSize; ++x, pixel += 4) {
        for (int c = 0; c < 4; ++c) sums[static_cast<size_t>(c)] += pixel[c];
      }
    }
    constexpr uint32_t Count = ChipSize * ChipSize;
    uint32_t color = 0;
    for (int c = 0; c < 4; ++c) {
      color |= ((sums[static_cast<size_t>(c)] + Count / 2) / Count) << (8 * c);
    }
    colors[static_cast<size_t>(chip)] = color;
  }
  return colors;
}

uint32_t OverviewPicture::CellColor(MapCell cell) const {
  // The background colour as an opaque blue-green-red-alpha pixel.
  const uint32_t back = 0xFF000000u | ColorBlue(background_) |
                        (uint32_t{ColorGreen(background_)} << 8) |
                        (uint32_t{ColorRed(background_)} << 16);
  uint32_t color = back;
  if (const uint8_t slot = CellBackground(cell)) color = Over(chipColors_[0][slot], color);
  if (showLayer_) {
    if (const uint8_t slot = CellLayer(cell)) color = Over(chipColors_[1][slot], color);
  }
  return color;
}

void OverviewPicture::DrawCells(const MapGrid& grid, int32_t column0, int32_t row0, int32_t column1,
                                int32_t row1) {
  const int32_t x0 = OverviewFirstPixelFrom(column0, grid.width, size_.width);
  const int32_t x1 = OverviewFirstPixelFrom(column1, grid.width, size_.width);
  const int32_t y0 = OverviewFirstPixelFrom(row0, grid.height, size_.height);
  const int32_t y1 = OverviewFirstPixelFrom(row1, grid.height, size_.height);
  const std::vector<MapCell>& cells = *std::as_const(grid.cells);
  for (int32_t y = y0; y < y1; ++y) {
    const size_t rowStart =
        static_cast<size_t>(OverviewCellOf(y, size_.height, grid.height)) * grid.width;
    uint8_t* out = picture_.At(x0, y);
    for (int32_t x = x0; x < x1; ++x, out += 4) {
      const uint32_t color = CellColor(
          cells[rowStart + static_cast<size_t>(OverviewCellOf(x, size_.width, grid.width))]);
      for (int c = 0; c < 4; ++c) out[c] = static_cast<uint8_t>(color >> (8 * c));
    }
  }
  lastDrawn_ += int64_t{x1 - x0} * (y1 - y0);
}

void OverviewPicture::DrawWhole(const MapGrid& grid) {
  DrawCells(grid, 0, 0, grid.width, grid.height);
}

bool OverviewPicture::Update(const MapDocument& document, const DisplaySettings& display,
                             int32_t boxWidth, int32_t boxHeight) {
  lastDrawn_ = 0;
  const MapGrid& grid = document.grid;
  const OverviewSize size =
      grid.Exists() &&
              grid.CellCount() == static_cast<size_t>(grid.width) * static_cast<size_t>(grid.height)
          ? FitOverview(grid.width, grid.height, boxWidth, boxHeight)
          : OverviewSize{};
  if (size.width == 0) {
    const bool had = !picture_.Empty();
    picture_ = PixelBuffer{};
    size_ = size;
    hasWatch_ = false;
    return had;
  }
  bool whole = !hasWatch_ || size != size_ || showLayer_ != display.showLayer ||
               background_ != display.mapBackgroundColor;
  for (size_t level = 0; level < 2; ++level) {
    if (revisions_[level] != document.tables[level].atlasRevision) {
      revisions_[level] = document.tables[level].atlasRevision;
      chipColors_[level] = AverageChipColors(document.tables[level].atlas);
      whole = true;
    }
  }
  showLayer_ = display.showLayer;
  background_ = display.mapBackgroundColor;
  if (whole) {
    size_ = size;
    picture_ = PixelBuffer::Make(size.width, size.height);
    DrawWhole(grid);
  } else {
    const int32_t across = GridPiecesFor(grid.width);
    const int32_t down = GridPiecesFor(grid.height);
    for (int32_t py = 0; py < down; ++py) {
      for (int32_t px = 0; px < across; ++px) {
        const size_t piece = static_cast<size_t>(py) * across + px;
        if (!grid.cells.WrittenSince(watch_, piece)) continue;
        DrawCells(grid, px * GridPieceSize, py * GridPieceSize,
                  std::min(grid.width, (px + 1) * GridPieceSize),
                  std::min(grid.height, (py + 1) * GridPieceSize));
      }
    }
  }
  watch_ = grid.cells.Watch(grid.width, grid.height);
  hasWatch_ = true;
  return lastDrawn_ > 0;
}

}  // namespace kelvor
