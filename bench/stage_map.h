#pragma once

#include <cstdint>

#include "document/map_document.h"

namespace kelvor::bench {

// A generated stage as a user would draw it: ground of four kinds in broad
// patches with a sprinkling of variant chips, roads crossing the map, and
// objects on the layer level (with collision) scattered over the land.
inline void GenerateStage(MapGrid& grid, int32_t side) {
  grid.Allocate(side, side);
  const auto hash = [](uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
  };
  // Ground kinds on a coarse lattice, blended so patches have ragged edges.
  constexpr int32_t Patch = 40;
  const auto kindAt = [&](int32_t column, int32_t row) {
    const uint64_t jitter = hash(static_cast<uint64_t>(row) << 32 | static_cast<uint32_t>(column));
    const int32_t x = column + static_cast<int32_t>(jitter % 9) - 4;
    const int32_t y = row + static_cast<int32_t>((jitter >> 8) % 9) - 4;
    const uint64_t cell = static_cast<uint64_t>(y < 0 ? 0 : y / Patch) << 32 |
                          static_cast<uint32_t>(x < 0 ? 0 : x / Patch);
    return static_cast<uint32_t>(hash(cell ^ 0x5151) % 4);
  };
  MapCell* cells = grid.cells->data();
  for (int32_t row = 0; row < side; ++row) {
    for (int32_t column = 0; column < side; ++column) {
      const uint64_t noise =
          hash(static_cast<uint64_t>(row) << 32 | static_cast<uint32_t>(column) | 1ull << 63);
      const uint32_t kind = kindAt(column, row);
      MapCell cell = 1 + kind * 4;                        // grass 1, sand 5, water 9, rock 13
      if (noise % 16 == 0) cell += 1 + (noise >> 8) % 3;  // a variant of the ground
      if (row % 211 < 2 || column % 173 < 2) {
        cell = 20;  // road
      } else if (kind != 2 && (noise >> 16) % 50 == 0) {
        cell |= (40 + (noise >> 24) % 12) << 16 | CellFlagCollision;  // tree, rock, house
      }
      cells[static_cast<size_t>(row) * side + column] = cell;
    }
  }
}

// What a whole-map fill does: one chip on the background of every cell.
inline void FillBackground(MapGrid& grid, uint32_t chip) {
  for (MapCell& cell : *grid.cells) cell = (cell & ~0xFFu) | chip;
}

}  // namespace kelvor::bench
