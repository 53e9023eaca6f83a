#include "editing/grid_snapshot.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace kelvor {

namespace {

bool ChunkEquals(const MapCell* grid, int32_t gridWidth, const GridPieceRect& rect,
                 const MapCell* chunk) {
  const size_t rowBytes = static_cast<size_t>(rect.width) * sizeof(MapCell);
  for (int32_t y = 0; y < rect.height; ++y) {
    const MapCell* source =
        grid + static_cast<size_t>(rect.top + y) * static_cast<size_t>(gridWidth) + rect.left;
    if (std::memcmp(source, chunk + static_cast<size_t>(y) * rect.width, rowBytes) != 0) {
      return false;
    }
  }
  return true;
}

}  // namespace

GridPieceRect PieceRect(int32_t pieceColumn, int32_t pieceRow, int32_t gridWidth,
                        int32_t gridHeight) {
  GridPieceRect rect;
  rect.left = pieceColumn * GridPieceSize;
  rect.top = pieceRow * GridPieceSize;
  rect.width = std::min(GridPieceSize, gridWidth - rect.left);
  rect.height = std::min(GridPieceSize, gridHeight - rect.top);
  return rect;
}

bool TakeGridSnapshot(const MapGrid& grid, const GridSnapshot& reference, GridSnapshot& out,
                      const GridWatch* watch) {
  out = GridSnapshot{};
  if (!grid.Exists()) return true;
  const int32_t width = grid.width;
  const int32_t height = grid.height;
  if (width < 0 || height < 0 ||
      grid.cells->size() != static_cast<size_t>(width) * static_cast<size_t>(height)) {
    return false;
  }
  const bool comparable =
      reference.present && reference.width == width && reference.height == height;
  const int32_t columns = GridPiecesFor(width);
  const int32_t rows = GridPiecesFor(height);
  const MapCell* cells = grid.cells->data();
  try {
    out.chunks.reserve(static_cast<size_t>(columns) * static_cast<size_t>(rows));
    for (int32_t cy = 0; cy < rows; ++cy) {
      for (int32_t cx = 0; cx < columns; ++cx) {
        const GridPieceRect rect = PieceRect(cx, cy, width, height);
        const size_t index = out.chunks.size();
        if (comparable && ((watch != nullptr && !grid.cells.WrittenSince(*watch, index)) ||
                           ChunkEquals(cells, width, rect, reference.chunks[index].get()))) {
          out.chunks.push_back(reference.chunks[index]);
          continue;
        }
        auto chunk = std::make_shared_for_overwrite<MapCell[]>(static_cast<size_t>(rect.width) *
                                                               rect.height);
        for (int32_t y = 0; y < rect.height; ++y) {
          const MapCell* source =
              cells + static_cast<size_t>(rect.top + y) * static_cast<size_t>(width) + rect.left;
          std::memcpy(chunk.get() + static_cast<size_t>(y) * rect.width, source,
                      static_cast<size_t>(rect.width) * sizeof(MapCell));
        }
        out.chunks.push_back(std::move(chunk));
      }
    }
  } catch (const std::bad_alloc&) {
    out = GridSnapshot{};
    return false;
  }
  out.present = true;
  out.width = width;
  out.height = height;
  return true;
}

void WriteGridSnapshot(const GridSnapshot& snapshot, MapCell* cells, const GridSnapshot* current) {
  const int32_t columns = GridPiecesFor(snapshot.width);
  const int32_t rows = GridPiecesFor(snapshot.height);
  size_t index = 0;
  for (int32_t cy = 0; cy < rows; ++cy) {
    for (int32_t cx = 0; cx < columns; ++cx, ++index) {
      const MapCell* chunk = snapshot.chunks[index].get();
      if (current != nullptr && current->chunks[index].get() == chunk) continue;
      const GridPieceRect rect = PieceRect(cx, cy, snapshot.width, snapshot.height);
      for (int32_t y = 0; y < rect.height; ++y) {
        std::memcpy(cells +
                        static_cast<size_t>(rect.top + y) * static_cast<size_t>(snapshot.width) +
                        rect.left,
                    chunk + static_cast<size_t>(y) * rect.width,
                    static_cast<size_t>(rect.width) * sizeof(MapCell));
      }
    }
  }
}

}  // namespace kelvor
