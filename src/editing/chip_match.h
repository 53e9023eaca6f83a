#pragma once

#include <cstdint>
#include <vector>

#include "document/map_document.h"

namespace kelvor {

// The level a cell's chip is taken from when a click names "this chip": the
// layer when the cell has a layer chip and the layer is shown, else the
// background.
int32_t ClickedLevel(MapCell cell, bool showLayer);

// Replaces `flags` (one byte per cell) by the cells whose chip at `level`
// equals that of (column, row): on the whole map, or with `connected` only
// the 4-connected region of them around the cell. Returns how many were
// selected; 0 (flags untouched) outside the map, when the flags do not match
// it or when memory ran out.
int64_t SelectAlike(const MapGrid& grid, int32_t level, int32_t column, int32_t row,
                    bool connected, std::vector<uint8_t>& flags);

// One chip swapped for another: cells whose chip at `fromLevel` is
// `fromChip` lose it and get `toChip` at `toLevel` (the same level, or the
// other one). Other bits never change.
struct ChipReplacement {
  int32_t fromLevel = LevelBackground;
  uint8_t fromChip = 0;
  int32_t toLevel = LevelBackground;
  uint8_t toChip = 0;
};

// Whether ReplaceChip would change any cell among those whose byte in
// `within` is nonzero (every cell when `within` is null).
bool AnyReplaced(const MapGrid& grid, const ChipReplacement& replacement, const uint8_t* within);
// Carries out the replacement; only rows holding a changed cell are written.
// Returns how many cells changed.
int64_t ReplaceChip(MapGrid& grid, const ChipReplacement& replacement, const uint8_t* within);

}  // namespace kelvor
