#include "editing/undo_history.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <new>
#include <stdexcept>
#include <unordered_set>

namespace kelvor {

namespace {

constexpr uint64_t MiB = 1024 * 1024;
constexpr uint64_t LargestDefaultBudget = 4096 * MiB;
// Where the machine's memory is not known.
constexpr uint64_t UnknownMachineBudget = 1024 * MiB;

// Exchanges the live grid with `slot`: the slot receives the live grid and
// the grid the slot's old content. `reference` (taken when `watch` began)
// becomes the restored state. The pieces of the live grid written since are
// kept raw and listed in `unsettled`. Nothing changes when memory runs out.
bool ExchangeWithSlot(UndoSnapshot& slot, UndoSnapshot& reference, const GridWatch& watch,
                      std::atomic<uint64_t>& tally, MapGrid& grid, SelectionState& selection,
                      std::vector<std::shared_ptr<PackedPiece>>& unsettled) {
  UndoSnapshot stored;
  if (!PackGrid(grid, reference, stored, &tally, &watch, &unsettled)) return false;

  const size_t count = static_cast<size_t>(slot.width) * static_cast<size_t>(slot.height);
  const bool sameSize = grid.Exists() && grid.width == slot.width && grid.height == slot.height;
  if (sameSize) {
    std::vector<size_t> work;
    if (!PiecesToUnpack(slot, &stored, work)) return false;
    if (!UnpackPieces(slot, work, grid.cells.WritePieces(work, grid.width, grid.height))) {
      return false;
    }
  } else {
    std::vector<MapCell> fresh;
    try {
      fresh.resize(count);
    } catch (const std::bad_alloc&) {
      return false;
    } catch (const std::length_error&) {
      return false;
    }
    if (!UnpackGrid(slot, fresh.data())) return false;
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

uint64_t UndoBudgetFor(uint64_t physicalBytes, const char* megabytes) {
  if (megabytes != nullptr) {
    const char* end = megabytes + std::strlen(megabytes);
    uint64_t value = 0;
    const auto [rest, error] = std::from_chars(megabytes, end, value);
    if (error == std::errc() && rest == end && value > 0 && value <= UINT64_MAX / MiB) {
      return value * MiB;
    }
  }
  if (physicalBytes == 0) return UnknownMachineBudget;
  return std::min(physicalBytes / 4, LargestDefaultBudget);
}

bool UndoHistory::SlotFilled(int32_t index) const {
  return index >= 0 && index < UndoSlotCount && slots_[static_cast<size_t>(index)].present;
}

uint64_t UndoHistory::HeldBytes() const {
  std::unordered_set<const PackedPiece*> seen;
  uint64_t bytes = 0;
  const auto count = [&](const UndoSnapshot& snapshot) {
    bytes += snapshot.pieces.capacity() * sizeof(snapshot.pieces[0]);
    if (!snapshot.present) return;
    size_t index = 0;
    for (int32_t cy = 0; cy < GridPiecesFor(snapshot.height); ++cy) {
      for (int32_t cx = 0; cx < GridPiecesFor(snapshot.width); ++cx) {
        const PackedPiece* piece = snapshot.pieces[index++].get();
        if (!seen.insert(piece).second) continue;
        const GridPieceRect rect = PieceRect(cx, cy, snapshot.width, snapshot.height);
        // The cells plus the shared block's own bookkeeping.
        bytes += static_cast<uint64_t>(rect.width) * rect.height * sizeof(MapCell) + 32;
      }
    }
  };
  for (const UndoSnapshot& slot : slots_) count(slot);
  count(reference_);
  return bytes;
}

uint64_t UndoHistory::StoredBytes() const {
  uint64_t bytes = tally_.load(std::memory_order_relaxed);
  for (const UndoSnapshot& slot : slots_) bytes += slot.pieces.capacity() * sizeof(PackedPiecePtr);
  return bytes + reference_.pieces.capacity() * sizeof(PackedPiecePtr);
}

void UndoHistory::DropOldestStep() {
  std::move(slots_.begin() + 1, slots_.end(), slots_.begin());
  slots_.back().Clear();
  cursor_ -= 1;
  // Older states are gone, as after the slots ran out.
  wrapped_ = true;
}

void UndoHistory::KeepWithinBudget() {
  while (cursor_ > 0 && StoredBytes() > budget_) {
    if (!packer_.Idle()) {
      packer_.WaitUntilIdle();
      continue;
    }
    DropOldestStep();
  }
}

void UndoHistory::WatchFrom(const MapGrid& grid, bool amidEdit) {
  watch_ = amidEdit ? grid.cells.WatchAmidEdit(grid.width, grid.height)
                    : grid.cells.Watch(grid.width, grid.height);
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
  {
    const auto hold = history.packer_.Hold();
    if (!PackGrid(grid, history.reference_, snapshot, &history.tally_, &history.watch_)) return;
  }

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
  // The edit may still write through a reference it took before this call.
  history.WatchFrom(grid, true);
  history.KeepWithinBudget();
  history.NotifyStateChanged();
}

bool Undo(UndoHistory& history, MapGrid& grid, SelectionState& selection) {
  if (history.cursor_ <= -1) return false;
  UndoSnapshot& slot = history.slots_[static_cast<size_t>(history.cursor_)];
  if (!slot.present) return false;
  std::vector<std::shared_ptr<PackedPiece>> unsettled;
  {
    const auto hold = history.packer_.Hold();
    if (!ExchangeWithSlot(slot, history.reference_, history.watch_, history.tally_, grid,
                          selection, unsettled)) {
      return false;
    }
  }
  history.WatchFrom(grid, false);
  history.packer_.Add(unsettled);
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
    std::vector<std::shared_ptr<PackedPiece>> unsettled;
    bool exchanged = false;
    {
      const auto hold = history.packer_.Hold();
      exchanged = ExchangeWithSlot(slot, history.reference_, history.watch_, history.tally_, grid,
                                   selection, unsettled);
    }
    if (exchanged) {
      history.WatchFrom(grid, false);
      history.packer_.Add(unsettled);
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
