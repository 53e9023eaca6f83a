#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "document/map_document.h"
#include "editing/grid_snapshot.h"

namespace kelvor {

class BlockPacker;

// One piece of a stored grid state, packed with zstd, or raw when packing
// would not make it smaller. Never changed once made. When it is given a
// tally, the tally counts the memory it holds for as long as it lives.
class PackedPiece {
 public:
  PackedPiece(std::unique_ptr<uint8_t[]> bytes, uint32_t size, bool raw, uint64_t hash,
              std::atomic<uint64_t>* tally);
  ~PackedPiece();
  PackedPiece(const PackedPiece&) = delete;
  PackedPiece& operator=(const PackedPiece&) = delete;

  std::span<const uint8_t> bytes() const { return {bytes_.get(), size_}; }
  bool raw() const { return raw_; }
  // PieceHash of the cells it was made of.
  uint64_t hash() const { return hash_; }
  // The bytes plus the piece's own record and the count that shares it.
  uint64_t HeldBytes() const { return size_ + sizeof(PackedPiece) + 32; }

 private:
  std::unique_ptr<uint8_t[]> bytes_;
  uint32_t size_;
  bool raw_;
  uint64_t hash_;
  std::atomic<uint64_t>* tally_;
};

using PackedPiecePtr = std::shared_ptr<const PackedPiece>;

// A 64-bit hash of a width x height block of cells whose rows start
// `stride` cells apart, well mixed (four lanes of xxHash64 rounds): the
// history takes pieces of equal hash as equal.
uint64_t PieceHash(const MapCell* cells, size_t stride, int32_t width, int32_t height);

// Packs one piece's cells, of hash `hash`; null when memory ran out.
PackedPiecePtr PackPiece(std::span<const MapCell> cells, uint64_t hash, BlockPacker& packer,
                         std::atomic<uint64_t>* tally);
// Unpacks a piece into exactly as many cells as it was made of.
bool UnpackPiece(const PackedPiece& piece, std::span<MapCell> cells, BlockPacker& packer);

// A grid state cut into GridPieceSize x GridPieceSize pieces as GridSnapshot
// is, each piece packed; states that share pieces share them packed.
struct PackedSnapshot {
  bool present = false;  // false: no map
  int32_t width = 0;
  int32_t height = 0;
  std::vector<PackedPiecePtr> pieces;

  void Clear() {
    present = false;
    width = 0;
    height = 0;
    pieces.clear();
    pieces.shrink_to_fit();
  }
};

// Packs the live grid on all processors, sharing the pieces of `reference`
// whose cells hash the same as the grid's (every piece is hashed: no note of
// writes is trusted, since an edit may hold a pointer into the cells from
// before it was recorded). New pieces are counted in `tally`. False when
// memory ran out (`out` is then unusable). Without a grid `out` is an empty
// snapshot.
bool PackGrid(const MapGrid& grid, const PackedSnapshot& reference, PackedSnapshot& out,
              std::atomic<uint64_t>* tally);

// Unpacks the snapshot on all processors into a block of its size. Pieces
// that `current` (a snapshot of those very cells) shares with it are
// already in place and are skipped. False, before any cell is written, when
// memory for the work ran out.
bool UnpackGrid(const PackedSnapshot& snapshot, MapCell* cells,
                const PackedSnapshot* current = nullptr);

}  // namespace kelvor
