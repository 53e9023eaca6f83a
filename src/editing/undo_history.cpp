#include "editing/undo_history.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>
#include <unordered_set>

namespace kelvor {

namespace {

struct ChunkLayout {
  int32_t columns = 0;  // chunks per chunk row
  int32_t rows = 0;
};

ChunkLayout LayoutFor(int32_t width, int32_t height) {
  const auto chunksFor = [](int32_t cells) {
    return cells > 0 ? (cells + UndoChunkSize - 1) / UndoChunkSize : 0;
  };
  return {chunksFor(width), chunksFor(height)};
}

struct ChunkRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
};

ChunkRect RectOf(int32_t chunkColumn, int32_t chunkRow, int32_t gridWidth, int32_t gridHeight) {
  ChunkRect rect;
  rect.left = chunkColumn * UndoChunkSize;
  rect.top = chunkRow * UndoChunkSize;
  rect.width = std::min(UndoChunkSize, gridWidth - rect.left);
  rect.height = std::min(UndoChunkSize, gridHeight - rect.top);
  return rect;
}

bool ChunkEquals(const MapCell* grid, int32_t gridWidth, const ChunkRect& rect,
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

// Cuts the live grid into pieces, sharing those of `reference` that are
// unchanged. False when memory ran out (`out` is then unusable).
bool TakeSnapshot(const MapGrid& grid, const UndoSnapshot& reference, UndoSnapshot& out) {
  out = UndoSnapshot{};
  if (!grid.Exists()) return true;  // no map: the slot stays empty
  const int32_t width = grid.width;
  const int32_t height = grid.height;
  if (width < 0 || height < 0 ||
      grid.cells->size() != static_cast<size_t>(width) * static_cast<size_t>(height)) {
    return false;
  }
  const bool comparable =
      reference.present && reference.width == width && reference.height == height;
  const ChunkLayout layout = LayoutFor(width, height);
  const MapCell* cells = grid.cells->data();
  try {
    out.chunks.reserve(static_cast<size_t>(layout.columns) * static_cast<size_t>(layout.rows));
    for (int32_t cy = 0; cy < layout.rows; ++cy) {
      for (int32_t cx = 0; cx < layout.columns; ++cx) {
        const ChunkRect rect = RectOf(cx, cy, width, height);
        const size_t index = out.chunks.size();
        if (comparable && ChunkEquals(cells, width, rect, reference.chunks[index].get())) {
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
    out = UndoSnapshot{};
    return false;
  }
  out.present = true;
  out.width = width;
  out.height = height;
  return true;
}

// Writes the snapshot's cells into a grid of its size. Pieces that `current`
// (a snapshot of those very cells) shares with it are already in place.
void WriteSnapshot(const UndoSnapshot& snapshot, MapCell* cells,
                   const UndoSnapshot* current = nullptr) {
  const ChunkLayout layout = LayoutFor(snapshot.width, snapshot.height);
  size_t index = 0;
  for (int32_t cy = 0; cy < layout.rows; ++cy) {
    for (int32_t cx = 0; cx < layout.columns; ++cx) {
      const ChunkRect rect = RectOf(cx, cy, snapshot.width, snapshot.height);
      const MapCell* chunk = snapshot.chunks[index].get();
      if (current != nullptr && current->chunks[index].get() == chunk) {
        ++index;
        continue;
      }
      ++index;
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

// Exchanges the live grid with `slot`: the slot receives the live grid and
// the grid the slot's old content. `reference` becomes the restored state.
// Nothing changes when memory runs out.
bool ExchangeWithSlot(UndoSnapshot& slot, UndoSnapshot& reference, MapGrid& grid,
                      SelectionState& selection) {
  UndoSnapshot stored;
  if (!TakeSnapshot(grid, reference, stored)) return false;

  const size_t count = static_cast<size_t>(slot.width) * static_cast<size_t>(slot.height);
  const bool sameSize = grid.Exists() && grid.width == slot.width && grid.height == slot.height;
  if (sameSize) {
    WriteSnapshot(slot, grid.cells->data(), &stored);
  } else {
    std::vector<MapCell> fresh;
    try {
      fresh.resize(count);
    } catch (const std::bad_alloc&) {
      return false;
    } catch (const std::length_error&) {
      return false;
    }
    WriteSnapshot(slot, fresh.data());
    grid.cells = std::move(fresh);
    grid.width = slot.width;
    grid.height = slot.height;
  }
  if (!sameSize || selection.selectionFlags.size() != count) {
    ResetSelection(selection, grid.width, grid.height);
  }
  reference = std::move(slot);
  slot = std::move(stored);
  return true;
}

}  // namespace

bool UndoHistory::SlotFilled(int32_t index) const {
  return index >= 0 && index < UndoSlotCount && slots_[static_cast<size_t>(index)].present;
}

uint64_t UndoHistory::HeldBytes() const {
  std::unordered_set<const MapCell*> seen;
  uint64_t bytes = 0;
  const auto count = [&](const UndoSnapshot& snapshot) {
    bytes += snapshot.chunks.capacity() * sizeof(snapshot.chunks[0]);
    if (!snapshot.present) return;
    const ChunkLayout layout = LayoutFor(snapshot.width, snapshot.height);
    size_t index = 0;
    for (int32_t cy = 0; cy < layout.rows; ++cy) {
      for (int32_t cx = 0; cx < layout.columns; ++cx) {
        const MapCell* chunk = snapshot.chunks[index++].get();
        if (!seen.insert(chunk).second) continue;
        const ChunkRect rect = RectOf(cx, cy, snapshot.width, snapshot.height);
        // The cells plus the shared block's own bookkeeping.
        bytes += static_cast<uint64_t>(rect.width) * rect.height * sizeof(MapCell) + 32;
      }
    }
  };
  for (const UndoSnapshot& slot : slots_) count(slot);
  count(reference_);
  return bytes;
}

void ResetUndo(UndoHistory& history) {
  for (UndoSnapshot& slot : history.slots_) slot.Clear();
  history.reference_.Clear();
  history.cursor_ = -1;
  history.undoDisabled_ = true;
  history.redoDisabled_ = true;
  history.wrapped_ = false;
  history.NotifyStateChanged();
}

void RecordUndo(UndoHistory& history, const MapGrid& grid) {
  // The snapshot is made first: when memory runs out the edit simply goes
  // unrecorded and the history stays as it was.
  UndoSnapshot snapshot;
  if (!TakeSnapshot(grid, history.reference_, snapshot)) return;

  history.cursor_ += 1;
  for (int32_t slot = history.cursor_ + 1; slot < UndoSlotCount; ++slot) {
    history.slots_[static_cast<size_t>(slot)].Clear();
  }
  if (history.cursor_ == 0) history.undoDisabled_ = false;
  history.redoDisabled_ = true;
  if (history.cursor_ >= UndoSlotCount) {
    history.cursor_ = 0;
    history.wrapped_ = true;
    for (int32_t slot = 1; slot < UndoSlotCount; ++slot) {
      history.slots_[static_cast<size_t>(slot)].Clear();
    }
  }
  UndoSnapshot& target = history.slots_[static_cast<size_t>(history.cursor_)];
  target = std::move(snapshot);
  history.reference_ = target;
  history.NotifyStateChanged();
}

bool Undo(UndoHistory& history, MapGrid& grid, SelectionState& selection) {
  if (history.cursor_ <= -1) return false;
  UndoSnapshot& slot = history.slots_[static_cast<size_t>(history.cursor_)];
  if (!slot.present) return false;
  if (!ExchangeWithSlot(slot, history.reference_, grid, selection)) return false;
  history.cursor_ -= 1;
  if (history.cursor_ == -1 && !history.wrapped_) history.undoDisabled_ = true;
  history.redoDisabled_ = false;
  history.NotifyStateChanged();
  return true;
}

bool Redo(UndoHistory& history, MapGrid& grid, SelectionState& selection) {
  bool changed = false;
  if (history.cursor_ < UndoSlotCount - 1 && history.SlotFilled(history.cursor_ + 1)) {
    UndoSnapshot& slot = history.slots_[static_cast<size_t>(history.cursor_ + 1)];
    if (ExchangeWithSlot(slot, history.reference_, grid, selection)) {
      history.cursor_ += 1;
      history.undoDisabled_ = false;
      changed = true;
    }
  }
  if (history.cursor_ == UndoSlotCount - 1 || !history.SlotFilled(history.cursor_ + 1)) {
    history.redoDisabled_ = true;
  }
  history.NotifyStateChanged();
  return changed;
}

}  // namespace kelvor
