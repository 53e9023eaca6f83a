#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "document/map_document.h"
#include "editing/background_packer.h"
#include "editing/packed_snapshot.h"
#include "editing/selection.h"

namespace kelvor {

inline constexpr int32_t UndoSlotCount = 256;
// Edge length, in cells, of the square pieces a snapshot is cut into.
inline constexpr int32_t UndoChunkSize = GridPieceSize;

// One stored grid state, packed; equal pieces are shared between snapshots.
using UndoSnapshot = PackedSnapshot;

// The memory the history may hold when nothing else is said: a quarter of
// the machine's memory, at most 4 GiB, or `megabytes` (a positive whole
// number of MiB, as KELVOR_UNDO_BUDGET_MB gives it) when that is set.
// `physicalBytes` 0: unknown.
uint64_t UndoBudgetFor(uint64_t physicalBytes, const char* megabytes);

// 256 grid snapshots on either side of the live grid. Undo and Redo exchange
// the live grid with a slot. When a new step takes the memory held past the
// budget, the oldest steps go first, as when the slots run out; the newest
// step always stays, however big. Only the pieces of the map written since
// the last step are read. The state an undo or redo leaves is kept raw at
// first and packed on a thread of its own.
class UndoHistory {
 public:
  UndoHistory() = default;
  ~UndoHistory() = default;  // the packer's thread ends before the pieces go
  UndoHistory(const UndoHistory&) = delete;
  UndoHistory& operator=(const UndoHistory&) = delete;

  int32_t cursor() const { return cursor_; }
  bool undoDisabled() const { return undoDisabled_; }
  bool redoDisabled() const { return redoDisabled_; }
  bool wrapped() const { return wrapped_; }

  // Whether slot `index` holds a snapshot.
  bool SlotFilled(int32_t index) const;
  // Bytes of cell data and bookkeeping the history stands for, each shared
  // piece counted once and as its cells unpacked.
  uint64_t HeldBytes() const;
  // The memory the history really holds: packed pieces, pieces not packed
  // yet, and piece tables.
  uint64_t StoredBytes() const;
  // Waits until every piece left raw by an undo or redo is packed.
  void WaitForPacking() { packer_.WaitUntilIdle(); }

  uint64_t budget() const { return budget_; }
  // Takes effect at the next recorded step.
  void SetBudget(uint64_t bytes) { budget_ = bytes; }

  // Called whenever the greyed state may have changed (the shell pushes the
  // Undo and Redo menu states from it).
  std::function<void()> onStateChanged;

 private:
  friend void ResetUndo(UndoHistory&);
  friend void RecordUndo(UndoHistory&, const MapGrid&);
  friend bool Undo(UndoHistory&, MapGrid&, SelectionState&);
  friend bool Redo(UndoHistory&, MapGrid&, SelectionState&);

  void NotifyStateChanged() const {
    if (onStateChanged) onStateChanged();
  }

  void DropOldestStep();
  // Drops the oldest steps until the budget holds, first waiting for the
  // packer when what it has not packed yet is what passes the budget.
  void KeepWithinBudget();
  // The live grid was just stored to or restored from `reference_`.
  void WatchFrom(const MapGrid& grid, bool amidEdit);

  // What the live pieces hold; declared before them, which it outlives.
  std::atomic<uint64_t> tally_{0};
  uint64_t budget_ = UINT64_MAX;
  int32_t cursor_ = -1;
  bool undoDisabled_ = true;
  bool redoDisabled_ = true;
  bool wrapped_ = false;
  std::array<UndoSnapshot, UndoSlotCount> slots_;
  // The snapshot the live grid was last stored to or restored from: the
  // pieces a new snapshot can share when they did not change since.
  UndoSnapshot reference_;
  // Begun on the live grid's cells when `reference_` was taken.
  GridWatch watch_;
  // Declared last: its thread ends before anything above goes.
  BackgroundPacker packer_;
};

// Empties the history.
void ResetUndo(UndoHistory& history);
// Stores the live grid as a new step, just before an edit changes it.
void RecordUndo(UndoHistory& history, const MapGrid& grid);
// Step back / forward. True when the live grid was replaced (the caller then
// refreshes the caption and repaints). A restored grid of another size gets
// fresh selection flags.
bool Undo(UndoHistory& history, MapGrid& grid, SelectionState& selection);
bool Redo(UndoHistory& history, MapGrid& grid, SelectionState& selection);

}  // namespace kelvor
