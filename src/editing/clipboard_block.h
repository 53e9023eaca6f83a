#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "document/map_cell.h"
#include "editing/selection.h"

namespace kelvor {

// The three clipboard blocks of a copied selection, as bytes.
struct ClipboardBlockBytes {
  std::vector<uint8_t> blockSize;   // int32 width, int32 height, little-endian
  std::vector<uint8_t> blockCells;  // width x height cells, row-major, 32-bit little-endian
  std::vector<uint8_t> blockMask;   // width x height bytes, 1 = the cell was selected
};

// Lays out a block of width x height cells and its mask. `cells` and `mask`
// hold at least width x height values; negative sizes count as 0.
ClipboardBlockBytes EncodeClipboardBlock(int32_t width, int32_t height,
                                         std::span<const MapCell> cells,
                                         std::span<const uint8_t> mask);

// Reads three blocks found on the clipboard, which may come from any program.
// Negative sizes, a cell count that does not fit in memory or data shorter
// than the sizes claim make it fail: `block` is then left exactly as it was.
// Bytes beyond the claimed size are ignored. On success `block` is replaced.
bool ParseClipboardBlock(std::span<const uint8_t> blockSize, std::span<const uint8_t> blockCells,
                         std::span<const uint8_t> blockMask, PasteBlock& block);

}  // namespace kelvor
