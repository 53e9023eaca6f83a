#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "document/map_document.h"
#include "editing/grid_snapshot.h"

namespace kelvor {

class BlockPacker;

// One block of memory holding the raw cells of many unsettled pieces, made
// in one allocation (of large pages where the system offers them), so that
// keeping a whole map raw costs little more than copying it. Counted in its
// tally for as long as it lives; freed when the last piece in it settles.
class RawBlock {
 public:
  // Null when memory ran out.
  static std::shared_ptr<RawBlock> Make(size_t size, std::atomic<uint64_t>* tally);
  RawBlock(uint8_t* bytes, size_t size, std::atomic<uint64_t>* tally);
  ~RawBlock();
  RawBlock(const RawBlock&) = delete;
  RawBlock& operator=(const RawBlock&) = delete;

  uint8_t* data() const { return bytes_; }

 private:
  uint8_t* bytes_;
  size_t size_;
  std::atomic<uint64_t>* tally_;
};

// One piece of a stored grid state, packed with zstd, or raw when packing
// would not make it smaller. A piece made settled never changes; a piece
// made unsettled holds its cells raw until Settle hashes and packs them.
// Whoever reads a piece that may be unsettled holds the lock Settle is given,
// for as long as it uses what it read. When it is given a tally, the tally
// counts the memory it holds for as long as it lives.
class PackedPiece {
 public:
  PackedPiece(std::unique_ptr<uint8_t[]> bytes, uint32_t size, bool raw, uint64_t hash,
              std::atomic<uint64_t>* tally);
  // Unsettled: the cells of a width x height piece, row by row, at `cells`
  // in `block`.
  PackedPiece(std::shared_ptr<RawBlock> block, const uint8_t* cells, int32_t width, int32_t height,
              std::atomic<uint64_t>* tally);
  ~PackedPiece();
  PackedPiece(const PackedPiece&) = delete;
  PackedPiece& operator=(const PackedPiece&) = delete;

  std::span<const uint8_t> bytes() const {
    return {inBlock_ ? unsettled_->cells : own_, size_};
  }
  bool raw() const { return raw_; }
  bool settled() const { return settled_; }
  // PieceHash of the cells it was made of; known once settled.
  uint64_t hash() const { return hash_; }
  // The bytes it owns (not those of a block) plus the piece's own record and
  // the count that shares it.
  uint64_t HeldBytes() const {
    return (inBlock_ ? sizeof(Unsettled) : size_) + sizeof(PackedPiece) + 32;
  }

  // Hashes and packs an unsettled piece with `packer` and puts the result in
  // place under `lock`. The piece stays raw (settled) when packing does not
  // pay or memory runs out. Called once, by one thread.
  void Settle(BlockPacker& packer, std::mutex& lock);

 private:
  // Where the cells of a piece still in its block are.
  struct Unsettled {
    std::shared_ptr<RawBlock> block;
    const uint8_t* cells;
    int32_t width;
    int32_t height;
  };

  // A big history holds many pieces: the record is kept to 32 bytes.
  union {
    uint8_t* own_;          // !inBlock_: the bytes, owned
    Unsettled* unsettled_;  // inBlock_, owned
  };
  uint32_t size_;
  bool raw_;
  bool settled_;
  bool inBlock_;
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
// that did not change. A piece that `watch` (begun on the grid's cells when
// `reference` was taken) shows unwritten since is shared unread; any other
// is compared with the reference's piece (by hash, or cell by cell while that
// one is unsettled). New pieces are counted in `tally`. With `unsettled`,
// the pieces written since (up to 64 MiB of them; more are packed as usual)
// are not compared or packed but kept raw, and listed there to be settled
// later. False when memory ran out (`out` is then
// unusable). Without a grid `out` is an empty snapshot.
bool PackGrid(const MapGrid& grid, const PackedSnapshot& reference, PackedSnapshot& out,
              std::atomic<uint64_t>* tally, const GridWatch* watch = nullptr,
              std::vector<std::shared_ptr<PackedPiece>>* unsettled = nullptr);

// The pieces of `snapshot` that differ from `current` (a snapshot of the
// cells to be written), row-major: all of them without `current`. False
// when memory ran out.
bool PiecesToUnpack(const PackedSnapshot& snapshot, const PackedSnapshot* current,
                    std::vector<size_t>& work);

// Unpacks the pieces `work` of the snapshot on all processors into a block
// of its size. False, before any cell is written, when memory for the work
// ran out; false too when a piece proves damaged.
bool UnpackPieces(const PackedSnapshot& snapshot, const std::vector<size_t>& work,
                  MapCell* cells);

// Unpacks the snapshot into a block of its size, skipping the pieces that
// `current` (a snapshot of those very cells) shares with it.
bool UnpackGrid(const PackedSnapshot& snapshot, MapCell* cells,
                const PackedSnapshot* current = nullptr);

}  // namespace kelvor
