#pragma once

#include <array>
#include <cstdint>

#include "base/pixel_buffer.h"
#include "document/display_settings.h"
#include "document/map_document.h"

namespace kelvor {

// The overview: the whole map in a small picture, one pixel per sampled
// cell, each cell in the averaged colours of its chips. Cells map to pixels
// proportionally on each axis: pixel p shows the cell under its centre.

// The picture size of a columns x rows map fitted into a box, aspect kept,
// at least 1 x 1; 0 x 0 for an empty map or box.
struct OverviewSize {
  int32_t width = 0;
  int32_t height = 0;
  friend bool operator==(const OverviewSize&, const OverviewSize&) = default;
};
OverviewSize FitOverview(int32_t columns, int32_t rows, int32_t boxWidth, int32_t boxHeight);

// The cell that pixel `pixel` of `pixels` shows, of `cells`.
int32_t OverviewCellOf(int32_t pixel, int32_t pixels, int32_t cells);
// The first pixel that shows cell `cell` or a later one (`pixels` if none).
int32_t OverviewFirstPixelFrom(int32_t cell, int32_t cells, int32_t pixels);

// A rectangle of picture pixels, right and bottom exclusive.
struct OverviewRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  friend bool operator==(const OverviewRect&, const OverviewRect&) = default;
};
// The frame of what the map view shows: the view's offsets and page over a
// content of contentWidth x contentHeight view pixels, on a picture of
// `size`. Never empty while the picture is not, and inside it.
OverviewRect OverviewFrame(OverviewSize size, int32_t contentWidth, int32_t contentHeight,
                           int32_t scrollX, int32_t scrollY, int32_t pageWidth, int32_t pageHeight);
// The content point (view pixels) that picture pixel (x, y) stands for.
std::pair<int32_t, int32_t> OverviewContentPoint(OverviewSize size, int32_t contentWidth,
                                                 int32_t contentHeight, int32_t x, int32_t y);

// The average of each of the 256 chips of an atlas, premultiplied
// blue-green-red-alpha as the atlas; all zero for an empty atlas.
std::array<uint32_t, ChipTableSlots> AverageChipColors(const PixelBuffer& atlas);

// The picture, kept up to date piece by piece: after an edit only the
// pixels of the 64 x 64 pieces written since the last update are drawn
// again; a new map, size, box, atlas or display setting draws it whole.
class OverviewPicture {
 public:
  // True when pixels changed.
  bool Update(const MapDocument& document, const DisplaySettings& display, int32_t boxWidth,
              int32_t boxHeight);
  const PixelBuffer& pixels() const { return picture_; }
  OverviewSize size() const { return size_; }
  // Pixels drawn by the last update (for the tests).
  int64_t lastDrawn() const { return lastDrawn_; }

 private:
  void DrawWhole(const MapGrid& grid);
  void DrawCells(const MapGrid& grid, int32_t column0, int32_t row0, int32_t column1, int32_t row1);
  uint32_t CellColor(MapCell cell) const;

  PixelBuffer picture_;
  OverviewSize size_;
  GridWatch watch_;
  bool hasWatch_ = false;
  std::array<uint64_t, 2> revisions_{};
  std::array<std::array<uint32_t, ChipTableSlots>, 2> chipColors_{};
  bool showLayer_ = true;
  Color background_ = 0;
  int64_t lastDrawn_ = 0;
};

}  // namespace kelvor
