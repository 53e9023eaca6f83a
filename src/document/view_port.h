#pragma once

#include <cstdint>

namespace kelvor {

enum ViewKind : int32_t { ViewMap = 0, ViewPalette = 1 };

// What the core needs to know of one view: the offsets at which its content
// is shown, the client size (the scroll bars' page sizes) and, for the map,
// how many cells fit. The shell's scroll model keeps it current.
struct ViewPort {
  int32_t scrollX = 0;
  int32_t scrollY = 0;
  int32_t pageWidth = 0;
  int32_t pageHeight = 0;
  int32_t visibleColumns = 0;
  int32_t visibleRows = 0;
};

}  // namespace kelvor
