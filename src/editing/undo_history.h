#pragma once

#include <cstdint>
#include <functional>

#include "document/map_document.h"
#include "editing/selection.h"

namespace kelvor {

inline constexpr int32_t UndoSlotCount = 256;

// 256 grid snapshots on either side of the live grid. Undo and Redo exchange
// the live grid with a slot.
class UndoHistory {
 public:
  UndoHistory() = default;
  ~UndoHistory() = default;
  UndoHistory(const UndoHistory&) = delete;
  UndoHistory& operator=(const UndoHistory&) = delete;

  int32_t cursor() const { return cursor_; }
  bool undoDisabled() const { return undoDisabled_; }
  bool redoDisabled() const { return redoDisabled_; }
  bool wrapped() const { return wrapped_; }

  // Called whenever the greyed state may have changed (the shell pushes the
  // Undo and Redo menu states from it).
  std::function<void()> onStateChanged;

 private:
  friend void ResetUndo(UndoHistory&);
  friend void RecordUndo(UndoHistory&, const MapGrid&);
  friend bool Undo(UndoHistory&, MapGrid&, SelectionState&);
  friend bool Redo(UndoHistory&, MapGrid&, SelectionState&);

  int32_t cursor_ = -1;
  bool undoDisabled_ = true;
  bool redoDisabled_ = true;
  bool wrapped_ = false;
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
