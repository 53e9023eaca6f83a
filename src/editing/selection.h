#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "editing/edit_state.h"

namespace kelvor {

struct SelectionRect {
  int32_t left = -1;
  int32_t top = -1;
  int32_t right = -1;
  int32_t bottom = -1;
  bool Valid() const { return left >= 0 && top >= 0; }
  friend bool operator==(const SelectionRect&, const SelectionRect&) = default;
};

// Selected map cells (one byte per cell, 1 = selected) and the Ctrl-drag
// rectangle. `hasFlags` is false until the first reset for a grid.
struct SelectionState {
  bool hasFlags = false;
  std::vector<uint8_t> selectionFlags;
  bool selectionDragActive = false;
  bool dragDeselects = false;
  SelectionRect selectionRect{};
  // Cell of the last rectangle update; shared with the palette's drag.
  CellPoint lastTrackCell{-1, -1};
};

// The block read from the clipboard at the last paste.
struct PasteBlock {
  int32_t blockWidth = 0;
  int32_t blockHeight = 0;
  bool hasBlock = false;
  std::vector<uint32_t> blockCells;
  std::vector<uint8_t> blockMask;

  void Release() {
    blockWidth = 0;
    blockHeight = 0;
    hasBlock = false;
    blockCells.clear();
    blockMask.clear();
  }
};

// New, cleared selection flags of width x height bytes and no drag rectangle.
// Negative sizes give an empty selection.
void ResetSelection(SelectionState& selection, int32_t width, int32_t height);

}  // namespace kelvor
