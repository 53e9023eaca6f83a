#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "document/map_cell.h"

namespace kelvor {

// Edge length, in cells, of the square pieces in which writes to a map are
// noted, and in which the undo history and the recovery copies keep a map.
inline constexpr int32_t GridPieceSize = 64;

// Pieces per row and per column of a width x height map.
inline constexpr int32_t GridPiecesFor(int32_t cells) {
  return cells > 0 ? (cells + GridPieceSize - 1) / GridPieceSize : 0;
}

// A moment in the life of a block of cells, as a piece-wise copy of it
// remembers it: what was written later can be asked for piece by piece.
struct GridWatch {
  uint64_t identity = 0;  // 0: never watched
  uint64_t generation = 0;
  int32_t width = 0;
  int32_t height = 0;
};

// The cells of a map, or none. Used as std::optional<std::vector<MapCell>>;
// in addition it notes which 64 x 64 pieces were written since a watch
// began, so that a copy of a big map can take only what changed. Every
// non-const access to the whole block counts as a write of every piece (the
// safe default for any loop over the cells); MapGrid::At counts one cell and
// WriteRows a band of rows. A reference or pointer obtained so is noted when
// it is obtained: write through it at once, not across a later watch.
// Replacing the block gives it a new identity.
class GridCells {
 public:
  GridCells() = default;
  GridCells(std::nullopt_t) {}                                         // NOLINT: as std::optional
  GridCells(std::vector<MapCell> cells) : cells_(std::move(cells)) {}  // NOLINT
  GridCells(const GridCells& other) : cells_(other.cells_) {}
  GridCells(GridCells&& other) noexcept : cells_(std::move(other.cells_)) { other.Replaced(); }
  GridCells& operator=(const GridCells& other);
  GridCells& operator=(GridCells&& other) noexcept;
  GridCells& operator=(std::vector<MapCell> cells);
  GridCells& operator=(std::nullopt_t);
  ~GridCells() = default;

  bool has_value() const { return cells_.has_value(); }
  explicit operator bool() const { return cells_.has_value(); }
  const std::vector<MapCell>& operator*() const { return *cells_; }
  const std::vector<MapCell>* operator->() const { return &*cells_; }
  std::vector<MapCell>& operator*() {
    WroteAll();
    return *cells_;
  }
  std::vector<MapCell>* operator->() {
    WroteAll();
    return &*cells_;
  }
  template <typename... Args>
  std::vector<MapCell>& emplace(Args&&... args) {
    cells_.emplace(std::forward<Args>(args)...);
    Replaced();
    return *cells_;
  }
  void reset() {
    cells_.reset();
    Replaced();
  }
  const std::optional<std::vector<MapCell>>& optional() const { return cells_; }
  operator const std::optional<std::vector<MapCell>>&() const { return cells_; }  // NOLINT

  friend bool operator==(const GridCells& a, const GridCells& b) { return a.cells_ == b.cells_; }
  friend bool operator==(const GridCells& a, const std::vector<MapCell>& b) {
    return a.cells_ == b;
  }

  // The cell at (column, row) of a map `width` cells wide, noted as written.
  MapCell& WriteCell(int32_t column, int32_t row, int32_t width);
  // Rows first..first+count-1 of a map `width` cells wide, noted as written;
  // the pointer is the first cell of row `first`.
  MapCell* WriteRows(int32_t first, int32_t count, int32_t width);

  // Pieces `pieces` (row-major over the pieces of a width x height map)
  // noted as written; the pointer is the first cell.
  MapCell* WritePieces(const std::vector<size_t>& pieces, int32_t width, int32_t height);

  // Starts a watch over the cells as a width x height map.
  GridWatch Watch(int32_t width, int32_t height) const;
  // As Watch, for a copy taken in the middle of an edit: a reference to the
  // whole block obtained since the last watch began may still be written
  // through, so the whole block counts as written after the new watch too.
  GridWatch WatchAmidEdit(int32_t width, int32_t height) const;
  // Whether piece `piece` (row-major over the pieces of the watched size)
  // may have been written since `watch` began. Always true for a watch of
  // another block or another size.
  bool WrittenSince(const GridWatch& watch, size_t piece) const;

 private:
  void WroteAll() { wholeWritten_ = wholeHandedOut_ = generation_; }
  void Replaced();

  std::optional<std::vector<MapCell>> cells_;
  uint64_t identity_ = NewIdentity();
  // Writes are stamped with the current generation; a watch starts a new one.
  mutable uint64_t generation_ = 1;
  mutable uint64_t wholeWritten_ = 0;
  uint64_t wholeHandedOut_ = 0;  // when the whole block was last handed out for writing
  mutable std::vector<uint64_t> pieceWritten_;
  mutable int32_t layoutWidth_ = -1;
  mutable int32_t layoutHeight_ = -1;

  static uint64_t NewIdentity();
};

}  // namespace kelvor
