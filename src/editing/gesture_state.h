#pragma once

#include <cstdint>
#include <random>

#include "editing/edit_state.h"
#include "editing/selection.h"

namespace kelvor {

// The state of the map gestures that span a drag (moving the selection,
// spanning a stamp rectangle) and of random placement.
struct MapGestureState {
  // M + drag: the selected cells follow the pointer by whole cells.
  bool moveActive = false;
  CellPoint moveAnchor{};     // the cell the drag started on
  CellPoint moveOffset{};     // cells from the anchor to the pointer
  SelectionRect moveBlock{};  // bounding box of the moved cells

  // R + drag: the rectangle the marked chips will fill.
  bool stampActive = false;
  CellPoint stampAnchor{};
  SelectionRect stampRect{};

  // While on, every placed cell gets one marked chip picked at random.
  bool randomPlacement = false;
  std::mt19937 random{0x4B656C76u};

  void EndDrags() {
    moveActive = false;
    moveOffset = {};
    moveBlock = {};
    stampActive = false;
    stampRect = {};
  }
};

}  // namespace kelvor
