#pragma once

#include <cstdint>
#include <string_view>

#include "document/map_document.h"
#include "editing/selection.h"

namespace kelvor {

// The size dialog's fields hold every side a document can have (so a loaded
// map is shown whole and OK without a change keeps it); the spins run from 0
// to 4096.
inline constexpr int32_t MapSizeFieldChars = 5;
static_assert(MaxMapSide >= 10000 && MaxMapSide < 100000, "five digits");
inline constexpr int32_t MapSizeSpinMax = 4096;

enum class MapSizeStatus {
  Applied,      // the grid has the new size
  OutOfRange,   // negative or above MaxMapSide, refused: nothing changed
  OutOfMemory,  // the new grid could not be made: the old one is kept
};

struct MapSizeResult {
  MapSizeStatus status = MapSizeStatus::OutOfRange;
  // The map's size changed hands: the shell refreshes the map's scroll
  // extent and repaints the map window.
  bool refreshMapExtent = false;
};

// Reads one size field as the dialog does: its first 5 characters, leading
// blanks skipped, an optional sign, then the digits up to the first other
// character; text that does not start with a number gives 0.
int32_t ParseSizeField(std::string_view text);

// Resizes the grid to width x height keeping every cell that still fits at
// its column and row, or, for a new map, replaces it by an empty grid. With
// no grid either way makes an empty one. Sides outside 0..MaxMapSide are
// refused. The selection is cleared for the new size. No undo step is
// recorded and nothing but the grid changes.
MapSizeResult ApplyMapSize(MapGrid& grid, SelectionState& selection, int32_t width, int32_t height,
                           bool newMap);

// The New command: an empty map of that size (ApplyMapSize) that belongs to
// no file, so that a save cannot put it over the document it replaced. The
// chip tables and file names stay; a refused size changes nothing.
MapSizeResult ApplyNewMap(MapDocument& document, SelectionState& selection, int32_t width,
                          int32_t height);

}  // namespace kelvor
