#pragma once

#include <cstdint>

#include "editing/edit_state.h"

namespace kelvor {

// Palette edit modes; mode m works on chip flag bit 1 << m.
enum PaletteModeValue : int32_t {
  PaletteModePlacement = 0,
  PaletteModeLayer = 1,
  PaletteModeCollision = 2,
  PaletteModePriority = 3,
};

struct PaletteState {
  int32_t mode = PaletteModePlacement;
  bool dragging = false;
  bool dragClears = false;  // the drag clears the mode's bit instead of setting it
  int32_t dragLeft = 0;
  int32_t dragTop = 0;
  int32_t dragRight = 0;
  int32_t dragBottom = 0;
  CellPoint palettePressPoint{};  // anchor chip of the drag

  uint8_t ModeBit() const { return static_cast<uint8_t>(1u << mode); }
  void ResetDrag() {
    dragging = false;
    dragClears = false;
    dragLeft = dragTop = dragRight = dragBottom = 0;
    palettePressPoint = CellPoint{};
  }
};

}  // namespace kelvor
