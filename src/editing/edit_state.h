#pragma once

#include <array>
#include <cstdint>

namespace kelvor {

// Keys held when a mouse message is handled. The shell tracks them; the
// tools receive them as a value.
struct HeldKeys {
  bool ctrl = false;
  bool b = false;
  bool k = false;
  bool l = false;
  bool y = false;
  bool c = false;
  bool x = false;
  bool v = false;
  bool m = false;  // move the selection
  bool r = false;  // rectangle stamp
  bool s = false;  // select alike
  bool t = false;  // replace a chip
  bool shift = false;
};

struct CellPoint {
  int32_t column = 0;
  int32_t row = 0;
  friend bool operator==(const CellPoint&, const CellPoint&) = default;
};

struct PixelPoint {
  int32_t x = 0;
  int32_t y = 0;
  friend bool operator==(const PixelPoint&, const PixelPoint&) = default;
};

// One chip to stamp, collected from the current sheet at a button-down.
struct PlacementItem {
  int32_t level = 0;  // LevelBackground or LevelLayer
  int32_t sheetColumn = 0;
  int32_t sheetRow = 0;
  int32_t tableColumn = 0;  // after registration, -1 when it failed
  int32_t tableRow = 0;
};

inline constexpr int32_t MaxPlacementItems = 256;

struct MapEditState {
  bool fillMode = false;  // false: line drawing, true: area fill
  int32_t placementCount = 0;
  std::array<PlacementItem, MaxPlacementItems> placement{};
  int32_t originColumn = 0;
  int32_t originRow = 0;
  CellPoint lastDragCell{-1, -1};  // never reset after start-up

  void ClearPlacement() {
    placementCount = 0;
    placement.fill(PlacementItem{});
    originColumn = 0;
    originRow = 0;
  }
};

// The map window's mouse protocol state.
struct InputState {
  bool mouseEnabled = false;     // map mouse messages are honoured only while true
  PixelPoint rightClickPoint{};  // client point of the last right-button press
  CellPoint mapPressCell{};      // anchor of a selection drag
};

}  // namespace kelvor
