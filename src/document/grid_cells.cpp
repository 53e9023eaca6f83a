#include "document/grid_cells.h"

#include <atomic>

namespace kelvor {

uint64_t GridCells::NewIdentity() {
  static std::atomic<uint64_t> last{0};
  return last.fetch_add(1, std::memory_order_relaxed) + 1;
}

void GridCells::Replaced() {
  identity_ = NewIdentity();
}

GridCells& GridCells::operator=(const GridCells& other) {
  if (this != &other) cells_ = other.cells_;
  Replaced();
  return *this;
}

GridCells& GridCells::operator=(GridCells&& other) noexcept {
  if (this != &other) {
    cells_ = std::move(other.cells_);
    other.Replaced();
  }
  Replaced();
  return *this;
}

GridCells& GridCells::operator=(std::vector<MapCell> cells) {
  cells_ = std::move(cells);
  Replaced();
  return *this;
}

GridCells& GridCells::operator=(std::nullopt_t) {
  reset();
  return *this;
}

MapCell& GridCells::WriteCell(int32_t column, int32_t row, int32_t width) {
  const size_t piece =
      static_cast<size_t>(row / GridPieceSize) * static_cast<size_t>(GridPiecesFor(layoutWidth_)) +
      static_cast<size_t>(column / GridPieceSize);
  if (width != layoutWidth_ || row >= layoutHeight_ || piece >= pieceWritten_.size()) {
    WroteAll();
  } else {
    pieceWritten_[piece] = generation_;
  }
  return (*cells_)[static_cast<size_t>(column) + static_cast<size_t>(row) * width];
}

MapCell* GridCells::WriteRows(int32_t first, int32_t count, int32_t width) {
  if (width != layoutWidth_ || first < 0 || count < 0 || first + count > layoutHeight_) {
    WroteAll();
  } else if (count > 0) {
    const size_t columns = static_cast<size_t>(GridPiecesFor(width));
    for (int32_t pieceRow = first / GridPieceSize; pieceRow <= (first + count - 1) / GridPieceSize;
         ++pieceRow) {
      for (size_t column = 0; column < columns; ++column) {
        pieceWritten_[static_cast<size_t>(pieceRow) * columns + column] = generation_;
      }
    }
  }
  return cells_->data() + static_cast<size_t>(first) * static_cast<size_t>(width);
}

GridWatch GridCells::Watch(int32_t width, int32_t height) const {
  if (width != layoutWidth_ || height != layoutHeight_) {
    // Notes of the old layout cannot be mapped onto the new one: to every
    // watch begun before now, everything counts as written.
    wholeWritten_ = generation_;
    pieceWritten_.assign(
        static_cast<size_t>(GridPiecesFor(width)) * static_cast<size_t>(GridPiecesFor(height)), 0);
    layoutWidth_ = width;
    layoutHeight_ = height;
  }
  ++generation_;
  return GridWatch{identity_, generation_, width, height};
}

GridWatch GridCells::WatchAmidEdit(int32_t width, int32_t height) const {
  const bool handedOut = wholeHandedOut_ == generation_;
  const GridWatch watch = Watch(width, height);
  if (handedOut) wholeWritten_ = generation_;
  return watch;
}

MapCell* GridCells::WritePieces(const std::vector<size_t>& pieces, int32_t width,
                                int32_t height) {
  if (width != layoutWidth_ || height != layoutHeight_) {
    WroteAll();
  } else {
    for (const size_t piece : pieces) {
      if (piece < pieceWritten_.size()) pieceWritten_[piece] = generation_;
    }
  }
  return cells_->data();
}

bool GridCells::WrittenSince(const GridWatch& watch, size_t piece) const {
  if (watch.identity != identity_ || watch.width != layoutWidth_ || watch.height != layoutHeight_ ||
      piece >= pieceWritten_.size()) {
    return true;
  }
  return wholeWritten_ >= watch.generation || pieceWritten_[piece] >= watch.generation;
}

}  // namespace kelvor
