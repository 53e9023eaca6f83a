#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "document/map_document.h"

namespace kelvor {

// One stored grid state. The cells are cut into GridPieceSize x GridPieceSize
// pieces (smaller at the right and bottom edges), row-major over the grid;
// snapshots share the pieces that are equal, so many states of a big map
// that differ in a few cells hold little more than one copy of it.
struct GridSnapshot {
  bool present = false;  // false: no map
  int32_t width = 0;
  int32_t height = 0;
  std::vector<std::shared_ptr<const MapCell[]>> chunks;

  void Clear() {
    present = false;
    width = 0;
    height = 0;
    chunks.clear();
    chunks.shrink_to_fit();
  }
};

// The cells of one piece of a width x height map.
struct GridPieceRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
};
GridPieceRect PieceRect(int32_t pieceColumn, int32_t pieceRow, int32_t gridWidth,
                        int32_t gridHeight);

// Cuts the live grid into pieces, sharing those of `reference` that did not
// change. A piece is compared with the reference's cell by cell, unless
// `watch` (begun on the grid's cells when `reference` was taken) shows that
// it was not written since: then it is shared unread. False when memory ran
// out (`out` is then unusable). Without a grid `out` is an empty snapshot.
bool TakeGridSnapshot(const MapGrid& grid, const GridSnapshot& reference, GridSnapshot& out,
                      const GridWatch* watch = nullptr);

// Writes the snapshot's cells into a block of its size. Pieces that
// `current` (a snapshot of those very cells) shares with it are already in
// place and are skipped.
void WriteGridSnapshot(const GridSnapshot& snapshot, MapCell* cells,
                       const GridSnapshot* current = nullptr);

// Hands the snapshot's cells to `put` in row-major order, one piece row at a
// time: `put` receives runs of consecutive cells of one map row.
template <typename Put>
void ForEachCellRun(const GridSnapshot& snapshot, Put&& put) {
  const int32_t columns = GridPiecesFor(snapshot.width);
  for (int32_t y = 0; y < snapshot.height; ++y) {
    const int32_t pieceRow = y / GridPieceSize;
    for (int32_t pieceColumn = 0; pieceColumn < columns; ++pieceColumn) {
      const GridPieceRect rect = PieceRect(pieceColumn, pieceRow, snapshot.width, snapshot.height);
      const size_t index = static_cast<size_t>(pieceRow) * static_cast<size_t>(columns) +
                           static_cast<size_t>(pieceColumn);
      put(snapshot.chunks[index].get() + static_cast<size_t>(y - rect.top) * rect.width,
          static_cast<size_t>(rect.width));
    }
  }
}

}  // namespace kelvor
