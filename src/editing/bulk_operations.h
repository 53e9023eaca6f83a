#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "document/map_document.h"
#include "editing/undo_history.h"

namespace kelvor {

// The two groups of cell flags the flag clears work on.
enum class CellFlagGroup { Collision, Priority };

// How the chips' attributes are written into the cell flags.
enum AttributeKind : int32_t {
  AttributeKindCollision = 0,  // CellFlagCollision only
  AttributeKindPriority = 1,   // the priority group only
  AttributeKindBoth = 2,       // the whole flag byte
};

// Removes every chip of one level (LevelBackground or LevelLayer), recording
// one undo step first when there is anything to remove. True when a chip was
// removed (the caller refreshes the caption and repaints).
bool ClearLevel(MapGrid& grid, UndoHistory& undo, int32_t level);

// Clears one flag group on every cell. Not recorded in the undo history.
void ClearCellFlags(MapGrid& grid, CellFlagGroup group);

// Rewrites the flags of every cell from the attributes of its two chips, then
// clears the transient marks. False (nothing changed) without a grid or for
// an unknown kind.
bool ApplyChipAttributes(MapDocument& document, int32_t kind);

// Drops the chips no cell uses and the chip-set names no kept chip uses,
// compacts both tables, their atlases and the file list keeping the order,
// renumbers the cells to match, empties the undo history and clears the
// transient marks. Does nothing without a grid. The caller refreshes the title.
// True when a chip or a file name was dropped or moved, or a table's stored
// count changed.
bool OptimizeChipSet(MapDocument& document, UndoHistory& undo);

// The two grid passes of the optimisation. Where the processor has 64-byte
// byte-permute instructions they run on 16 cells at a time; `allowVector`
// false forces the plain loops (the results are the same).
using SlotMap = std::array<uint8_t, ChipTableSlots>;
struct SlotUse {
  SlotMap background{};  // 1 where some cell shows that background slot
  SlotMap layer{};
};
// Notes every slot index the cells use on each level.
void MarkUsedSlots(const std::vector<MapCell>& cells, SlotUse& use, bool allowVector = true);
// Maps both indices of every cell through the tables and clears the
// transient marks, keeping every other bit.
void RenumberCells(std::vector<MapCell>& cells, const SlotMap& background, const SlotMap& layer,
                   bool allowVector = true);

}  // namespace kelvor
