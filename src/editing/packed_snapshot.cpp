#include "editing/packed_snapshot.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "base/parallel.h"
#include "platform/compression.h"

namespace kelvor {

namespace {

constexpr size_t PieceCells = static_cast<size_t>(GridPieceSize) * GridPieceSize;

// Fresh memory is slow to touch for the first time on some systems (about a
// second per GiB, and far worse for large pages), while packing needs little
// of it: more changed pieces than this are packed at once instead.
constexpr size_t MostBytesKeptUnsettled = size_t{64} << 20;

// What one thread works with: its own codec and room for one piece.
struct PieceWorker {
  BlockPacker packer;
  std::vector<MapCell> cells = std::vector<MapCell>(PieceCells);
};

// One thread per processor, though not for a handful of pieces: a thread
// is worth starting for a few dozen.
std::vector<std::unique_ptr<PieceWorker>> Workers(size_t pieces) {
  if (pieces == 0) return {};
  std::vector<std::unique_ptr<PieceWorker>> workers(
      ProcessorsUpTo(std::max<size_t>(pieces / 32, 1)));
  for (auto& worker : workers) worker = std::make_unique<PieceWorker>();
  return workers;
}

// Runs `task` (worker, piece) for every piece of `work`, spread over the
// workers.
template <typename Task>
void ForEachPiece(const std::vector<size_t>& work,
                  std::vector<std::unique_ptr<PieceWorker>>& workers, Task&& task) {
  if (workers.empty()) return;
  std::atomic<size_t> next{0};
  RunInParallel(
      workers.size(),
      [&](size_t w) {
        for (size_t i = next++; i < work.size(); i = next++) task(*workers[w], work[i]);
      },
      workers.size());
}

// The rows of one piece of the grid, into one block and back.
void GatherPiece(const MapCell* grid, int32_t gridWidth, const GridPieceRect& rect,
                 MapCell* piece) {
  for (int32_t y = 0; y < rect.height; ++y) {
    std::memcpy(
        piece + static_cast<size_t>(y) * rect.width,
        grid + static_cast<size_t>(rect.top + y) * static_cast<size_t>(gridWidth) + rect.left,
        static_cast<size_t>(rect.width) * sizeof(MapCell));
  }
}

void ScatterPiece(const MapCell* piece, const GridPieceRect& rect, MapCell* grid,
                  int32_t gridWidth) {
  for (int32_t y = 0; y < rect.height; ++y) {
    std::memcpy(
        grid + static_cast<size_t>(rect.top + y) * static_cast<size_t>(gridWidth) + rect.left,
        piece + static_cast<size_t>(y) * rect.width,
        static_cast<size_t>(rect.width) * sizeof(MapCell));
  }
}

// Whether the grid's cells under `rect` are the raw cells `piece`.
bool SameCells(const MapCell* first, int32_t gridWidth, const GridPieceRect& rect,
               std::span<const uint8_t> piece) {
  const size_t rowBytes = static_cast<size_t>(rect.width) * sizeof(MapCell);
  if (piece.size() != rowBytes * static_cast<size_t>(rect.height)) return false;
  for (int32_t y = 0; y < rect.height; ++y) {
    if (std::memcmp(first + static_cast<size_t>(y) * static_cast<size_t>(gridWidth),
                    piece.data() + static_cast<size_t>(y) * rowBytes, rowBytes) != 0) {
      return false;
    }
  }
  return true;
}

GridPieceRect RectOf(size_t index, int32_t width, int32_t height) {
  const auto columns = static_cast<size_t>(GridPiecesFor(width));
  return PieceRect(static_cast<int32_t>(index % columns), static_cast<int32_t>(index / columns),
                   width, height);
}

}  // namespace

std::shared_ptr<RawBlock> RawBlock::Make(size_t size, std::atomic<uint64_t>* tally) {
  constexpr size_t LargePage = size_t{2} << 20;
  const bool large = size >= LargePage;
  const size_t rounded = large ? (size + LargePage - 1) / LargePage * LargePage : size;
  void* bytes = large ? std::aligned_alloc(LargePage, rounded) : std::malloc(std::max<size_t>(size, 1));
  if (bytes == nullptr) return nullptr;
#ifdef MADV_HUGEPAGE
  // Fewer, larger faults: the block is written whole right away.
  if (large) madvise(bytes, rounded, MADV_HUGEPAGE);
#endif
  try {
    return std::make_shared<RawBlock>(static_cast<uint8_t*>(bytes), rounded, tally);
  } catch (const std::bad_alloc&) {
    std::free(bytes);
    return nullptr;
  }
}

RawBlock::RawBlock(uint8_t* bytes, size_t size, std::atomic<uint64_t>* tally)
    : bytes_(bytes), size_(size), tally_(tally) {
  if (tally_ != nullptr) tally_->fetch_add(size_, std::memory_order_relaxed);
}

RawBlock::~RawBlock() {
  std::free(bytes_);
  if (tally_ != nullptr) tally_->fetch_sub(size_, std::memory_order_relaxed);
}

static_assert(sizeof(PackedPiece) <= 32, "a big history holds millions of pieces");

PackedPiece::PackedPiece(std::unique_ptr<uint8_t[]> bytes, uint32_t size, bool raw, uint64_t hash,
                         std::atomic<uint64_t>* tally)
    : own_(bytes.release()),
      size_(size),
      raw_(raw),
      settled_(true),
      inBlock_(false),
      hash_(hash),
      tally_(tally) {
  if (tally_ != nullptr) tally_->fetch_add(HeldBytes(), std::memory_order_relaxed);
}

PackedPiece::PackedPiece(std::shared_ptr<RawBlock> block, const uint8_t* cells, int32_t width,
                         int32_t height, std::atomic<uint64_t>* tally)
    : unsettled_(new Unsettled{std::move(block), cells, width, height}),
      size_(static_cast<uint32_t>(width * height) * sizeof(MapCell)),
      raw_(true),
      settled_(false),
      inBlock_(true),
      hash_(0),
      tally_(tally) {
  if (tally_ != nullptr) tally_->fetch_add(HeldBytes(), std::memory_order_relaxed);
}

PackedPiece::~PackedPiece() {
  if (tally_ != nullptr) tally_->fetch_sub(HeldBytes(), std::memory_order_relaxed);
  if (inBlock_) {
    delete unsettled_;
  } else {
    delete[] own_;
  }
}

void PackedPiece::Settle(BlockPacker& packer, std::mutex& lock) {
  if (settled_ || !inBlock_) return;
  // Only this call moves the piece out of its block, so it is read without
  // the lock.
  const Unsettled& where = *unsettled_;
  const auto* cells = reinterpret_cast<const MapCell*>(where.cells);
  const uint64_t hash = PieceHash(cells, static_cast<size_t>(where.width), where.width,
                                  where.height);
  std::unique_ptr<uint8_t[]> own;
  size_t size = size_;
  bool packed = false;
  try {
    thread_local std::vector<uint8_t> room;
    room.resize(BlockPacker::Bound(size_));
    const size_t made = packer.Pack(bytes(), room);
    packed = made != 0 && made < size_;
    if (packed) size = made;
    // Either way the piece leaves the block, which goes when all have left.
    own = std::make_unique_for_overwrite<uint8_t[]>(size);
    std::memcpy(own.get(), packed ? room.data() : where.cells, size);
  } catch (const std::bad_alloc&) {
    own.reset();
  }
  std::unique_ptr<Unsettled> left;
  const std::lock_guard<std::mutex> hold(lock);
  hash_ = hash;
  settled_ = true;
  if (!own) return;  // stays in the block, raw
  const uint64_t before = HeldBytes();
  left.reset(unsettled_);
  own_ = own.release();
  inBlock_ = false;
  size_ = static_cast<uint32_t>(size);
  raw_ = !packed;
  if (tally_ != nullptr) {
    tally_->fetch_add(HeldBytes(), std::memory_order_relaxed);
    tally_->fetch_sub(before, std::memory_order_relaxed);
  }
}

uint64_t PieceHash(const MapCell* cells, size_t stride, int32_t width, int32_t height) {
  constexpr uint64_t P1 = 0x9E3779B185EBCA87ull;
  constexpr uint64_t P2 = 0xC2B2AE3D27D4EB4Full;
  constexpr uint64_t P3 = 0x165667B19E3779F9ull;
  const auto round = [](uint64_t acc, uint64_t input) {
    acc += input * P2;
    acc = (acc << 31) | (acc >> 33);
    return acc * P1;
  };
  uint64_t lanes[4] = {P1 + P2, P2, 0, 0 - P1};
  for (int32_t y = 0; y < height; ++y) {
    const MapCell* row = cells + static_cast<size_t>(y) * stride;
    int32_t x = 0;
    for (; x + 8 <= width; x += 8) {
      for (int lane = 0; lane < 4; ++lane) {
        const uint64_t word = row[x + 2 * lane] | static_cast<uint64_t>(row[x + 2 * lane + 1])
                                                      << 32;
        lanes[lane] = round(lanes[lane], word);
      }
    }
    for (; x < width; ++x) lanes[0] = round(lanes[0], row[x]);
  }
  uint64_t hash = ((lanes[0] << 1) | (lanes[0] >> 63)) + ((lanes[1] << 7) | (lanes[1] >> 57)) +
                  ((lanes[2] << 12) | (lanes[2] >> 52)) + ((lanes[3] << 18) | (lanes[3] >> 46));
  for (const uint64_t lane : lanes) hash = (hash ^ round(0, lane)) * P1 + P3;
  hash ^= static_cast<uint64_t>(width) << 32 | static_cast<uint32_t>(height);
  hash ^= hash >> 33;
  hash *= P2;
  hash ^= hash >> 29;
  hash *= P3;
  return hash ^ (hash >> 32);
}

PackedPiecePtr PackPiece(std::span<const MapCell> cells, uint64_t hash, BlockPacker& packer,
                         std::atomic<uint64_t>* tally) {
  const std::span<const uint8_t> source(reinterpret_cast<const uint8_t*>(cells.data()),
                                        cells.size_bytes());
  try {
    // Room to pack into, kept by each thread.
    thread_local std::vector<uint8_t> packed;
    packed.resize(BlockPacker::Bound(source.size()));
    size_t size = packer.Pack(source, packed);
    const bool raw = size == 0 || size >= source.size();
    if (raw) size = source.size();
    auto bytes = std::make_unique_for_overwrite<uint8_t[]>(size);
    std::memcpy(bytes.get(), raw ? source.data() : packed.data(), size);
    return std::make_shared<const PackedPiece>(std::move(bytes), static_cast<uint32_t>(size), raw,
                                               hash, tally);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

bool UnpackPiece(const PackedPiece& piece, std::span<MapCell> cells, BlockPacker& packer) {
  const std::span<uint8_t> target(reinterpret_cast<uint8_t*>(cells.data()), cells.size_bytes());
  if (!piece.raw()) return packer.Unpack(piece.bytes(), target);
  if (piece.bytes().size() != target.size()) return false;
  std::memcpy(target.data(), piece.bytes().data(), target.size());
  return true;
}

bool PackGrid(const MapGrid& grid, const PackedSnapshot& reference, PackedSnapshot& out,
              std::atomic<uint64_t>* tally, const GridWatch* watch,
              std::vector<std::shared_ptr<PackedPiece>>* unsettled) {
  out = PackedSnapshot{};
  if (!grid.Exists()) return true;
  const int32_t width = grid.width;
  const int32_t height = grid.height;
  if (width < 0 || height < 0 ||
      grid.cells->size() != static_cast<size_t>(width) * static_cast<size_t>(height)) {
    return false;
  }
  const bool comparable = reference.present && reference.width == width &&
                          reference.height == height &&
                          reference.pieces.size() == static_cast<size_t>(GridPiecesFor(width)) *
                                                         static_cast<size_t>(GridPiecesFor(height));
  const size_t count =
      static_cast<size_t>(GridPiecesFor(width)) * static_cast<size_t>(GridPiecesFor(height));
  const MapCell* cells = std::as_const(grid).cells->data();
  try {
    out.pieces.resize(count);
    // Only the pieces written since the reference was taken are read.
    std::vector<size_t> work;
    for (size_t i = 0; i < count; ++i) {
      if (comparable && watch != nullptr && !grid.cells.WrittenSince(*watch, i)) {
        out.pieces[i] = reference.pieces[i];
      } else {
        work.push_back(i);
      }
    }
    if (unsettled != nullptr &&
        work.size() * PieceCells * sizeof(MapCell) <= MostBytesKeptUnsettled) {
      std::vector<std::shared_ptr<PackedPiece>> kept(work.size());
      std::vector<size_t> offsets(work.size() + 1, 0);
      for (size_t k = 0; k < work.size(); ++k) {
        const GridPieceRect rect = RectOf(work[k], width, height);
        offsets[k + 1] =
            offsets[k] + static_cast<size_t>(rect.width) * rect.height * sizeof(MapCell);
      }
      const std::shared_ptr<RawBlock> block = RawBlock::Make(offsets.back(), tally);
      if (!block) throw std::bad_alloc();
      const size_t parts = ProcessorsUpTo(std::max<size_t>(work.size() / 32, 1));
      RunInParallel(
          parts,
          [&](size_t part) {
            for (size_t k = part; k < work.size(); k += parts) {
              const GridPieceRect rect = RectOf(work[k], width, height);
              uint8_t* bytes = block->data() + offsets[k];
              GatherPiece(cells, width, rect, reinterpret_cast<MapCell*>(bytes));
              kept[k] = std::make_shared<PackedPiece>(block, bytes, rect.width, rect.height, tally);
              out.pieces[work[k]] = kept[k];
            }
          },
          parts);
      unsettled->insert(unsettled->end(), kept.begin(), kept.end());
    } else {
      auto workers = Workers(work.size());
      ForEachPiece(work, workers, [&](PieceWorker& worker, size_t i) {
        const GridPieceRect rect = RectOf(i, width, height);
        const MapCell* first =
            cells + static_cast<size_t>(rect.top) * static_cast<size_t>(width) + rect.left;
        uint64_t hash = 0;
        bool hashed = false;
        if (comparable) {
          const PackedPiece& known = *reference.pieces[i];
          bool same = false;
          if (known.settled()) {
            hash = PieceHash(first, static_cast<size_t>(width), rect.width, rect.height);
            hashed = true;
            same = known.hash() == hash;
          } else {
            same = SameCells(first, width, rect, known.bytes());
          }
          if (same) {
            out.pieces[i] = reference.pieces[i];
            return;
          }
        }
        if (!hashed) hash = PieceHash(first, static_cast<size_t>(width), rect.width, rect.height);
        const size_t size = static_cast<size_t>(rect.width) * static_cast<size_t>(rect.height);
        GatherPiece(cells, width, rect, worker.cells.data());
        out.pieces[i] = PackPiece(std::span(worker.cells.data(), size), hash, worker.packer, tally);
        if (!out.pieces[i]) throw std::bad_alloc();
      });
    }
  } catch (const std::bad_alloc&) {
    out = PackedSnapshot{};
    return false;
  }
  out.present = true;
  out.width = width;
  out.height = height;
  return true;
}

bool PiecesToUnpack(const PackedSnapshot& snapshot, const PackedSnapshot* current,
                    std::vector<size_t>& work) {
  work.clear();
  const bool comparable = current != nullptr && current->pieces.size() == snapshot.pieces.size();
  try {
    for (size_t i = 0; i < snapshot.pieces.size(); ++i) {
      if (!comparable || current->pieces[i] != snapshot.pieces[i]) work.push_back(i);
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool UnpackPieces(const PackedSnapshot& snapshot, const std::vector<size_t>& work,
                  MapCell* cells) {
  const int32_t width = snapshot.width;
  const int32_t height = snapshot.height;
  std::vector<std::unique_ptr<PieceWorker>> workers;
  try {
    workers = Workers(work.size());
  } catch (const std::bad_alloc&) {
    return false;
  }
  std::atomic<bool> damaged{false};
  ForEachPiece(work, workers, [&](PieceWorker& worker, size_t i) {
    const GridPieceRect rect = RectOf(i, width, height);
    const size_t size = static_cast<size_t>(rect.width) * static_cast<size_t>(rect.height);
    if (!UnpackPiece(*snapshot.pieces[i], std::span(worker.cells.data(), size), worker.packer)) {
      damaged = true;
      return;
    }
    ScatterPiece(worker.cells.data(), rect, cells, width);
  });
  return !damaged;
}

bool UnpackGrid(const PackedSnapshot& snapshot, MapCell* cells, const PackedSnapshot* current) {
  std::vector<size_t> work;
  return PiecesToUnpack(snapshot, current, work) && UnpackPieces(snapshot, work, cells);
}

}  // namespace kelvor
