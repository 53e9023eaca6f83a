#include "editing/bulk_operations.h"

#include <array>
#include <cstring>

namespace kelvor {

namespace {

using SlotMap = std::array<uint8_t, ChipTableSlots>;

SlotMap IdentityMap() {
  SlotMap map{};
  for (int32_t v = 0; v < ChipTableSlots; ++v)
    map[static_cast<size_t>(v)] = static_cast<uint8_t>(v);
  return map;
}

void CopyAtlasCell(PixelBuffer& atlas, int32_t fromSlot, int32_t toSlot) {
  const int32_t fromX = ChipSize * (fromSlot % 16);
  const int32_t fromY = ChipSize * (fromSlot / 16);
  const int32_t toX = ChipSize * (toSlot % 16);
  const int32_t toY = ChipSize * (toSlot / 16);
  if (fromX + ChipSize > atlas.width || fromY + ChipSize > atlas.height ||
      toX + ChipSize > atlas.width || toY + ChipSize > atlas.height) {
    return;
  }
  for (int32_t y = 0; y < ChipSize; ++y) {
    std::memcpy(atlas.At(toX, toY + y), atlas.At(fromX, fromY + y), ChipSize * 4);
  }
}

void ClearAtlasCell(ChipTable& table, int32_t slot) {
  const int32_t x = ChipSize * (slot % 16);
  const int32_t y = ChipSize * (slot / 16);
  ClearAtlasRect(table, x, y, x + ChipSize, y + ChipSize);
}

// Moves every used entry down into the free slots before it, keeping their
// order, and returns how the cells' indices change. Each move: the free slot
// j takes entry k (the next used one) with its atlas picture; indices equal
// to j become 0 and indices equal to k become j.
SlotMap CompactTable(ChipTable& table) {
  SlotMap remap = IdentityMap();
  for (int32_t j = 1; j < ChipTableSlots; ++j) {
    if (table.entries[static_cast<size_t>(j)].used != 0) continue;
    ClearAtlasCell(table, j);
    int32_t k = j + 1;
    while (k < ChipTableSlots && table.entries[static_cast<size_t>(k)].used == 0) ++k;
    if (k >= ChipTableSlots) continue;
    table.entries[static_cast<size_t>(j)] = table.entries[static_cast<size_t>(k)];
    table.entries[static_cast<size_t>(k)] = ChipEntry{};
    // The picture is copied onto the cleared cell, so this is an exact copy.
    CopyAtlasCell(table.atlas, k, j);
    for (uint8_t& value : remap) {
      if (value == j) {
        value = 0;
      } else if (value == k) {
        value = static_cast<uint8_t>(j);
      }
    }
  }
  return remap;
}

void CompactFileList(MapDocument& document) {
  auto& names = document.fileList.names;
  for (int32_t i = 0; i < ChipFileSlots; ++i) {
    if (!names[static_cast<size_t>(i)].empty()) continue;
    int32_t j = i + 1;
    while (j < ChipFileSlots && names[static_cast<size_t>(j)].empty()) ++j;
    if (j >= ChipFileSlots) break;  // no later name: nothing more moves
    names[static_cast<size_t>(i)] = std::move(names[static_cast<size_t>(j)]);
    names[static_cast<size_t>(j)].clear();
    for (ChipTable& table : document.tables) {
      for (ChipEntry& entry : table.entries) {
        if (entry.file == i) {
          entry.file = 0;
        } else if (entry.file == j) {
          entry.file = i;
        }
      }
    }
  }
}

}  // namespace

bool ClearLevel(MapGrid& grid, UndoHistory& undo, int32_t level) {
  if (!grid.Exists() || (level != LevelBackground && level != LevelLayer)) return false;
  const MapCell mask = level == LevelLayer ? CellLayerMask : CellBackgroundMask;
  std::vector<MapCell>& cells = *grid.cells;
  bool any = false;
  for (MapCell cell : cells) {
    if ((cell & mask) != 0) {
      any = true;
      break;
    }
  }
  if (!any) return false;
  RecordUndo(undo, grid);
  for (MapCell& cell : cells) cell &= ~mask;
  return true;
}

void ClearCellFlags(MapGrid& grid, CellFlagGroup group) {
  if (!grid.Exists()) return;
  const MapCell mask = group == CellFlagGroup::Collision ? CellCollisionBits : CellPriorityBits;
  for (MapCell& cell : *grid.cells) cell &= ~mask;
}

bool ApplyChipAttributes(MapDocument& document, int32_t kind) {
  MapGrid& grid = document.grid;
  if (!grid.Exists()) return false;
  if (kind < AttributeKindCollision || kind > AttributeKindBoth) return false;
  std::array<MapCell, ChipTableSlots> background{};
  std::array<MapCell, ChipTableSlots> layer{};
  for (size_t slot = 1; slot < ChipTableSlots; ++slot) {
    background[slot] = document.tables[LevelBackground].entries[slot].attributes;
    layer[slot] = document.tables[LevelLayer].entries[slot].attributes;
  }
  for (MapCell& cell : *grid.cells) {
    const MapCell a = background[CellBackground(cell)] | layer[CellLayer(cell)];
    switch (kind) {
      case AttributeKindCollision:
        cell =
            (cell & ~CellFlagCollision) | ((a & EntryFlagCollision) != 0 ? CellFlagCollision : 0);
        break;
      case AttributeKindPriority:
        cell = (cell & ~CellPriorityBits) | ((a & 0xF0) << 8);
        break;
      default:
        cell = (cell & ~CellFlagsMask) | (a << 8);
        break;
    }
    cell &= ~CellTransientBits;
  }
  return true;
}

void OptimizeChipSet(MapDocument& document, UndoHistory& undo) {
  MapGrid& grid = document.grid;
  if (!grid.Exists()) return;
  std::vector<MapCell>& cells = *grid.cells;

  // Which slots the cells use, per level.
  std::array<uint8_t, ChipTableSlots> usedBackground{};
  std::array<uint8_t, ChipTableSlots> usedLayer{};
  for (MapCell cell : cells) {
    usedBackground[CellBackground(cell)] = 1;
    usedLayer[CellLayer(cell)] = 1;
  }
  const std::array<const uint8_t*, 2> usedBy = {usedBackground.data(), usedLayer.data()};

  // Keep the entries that hold a chip some cell shows, and the files they use.
  // A cell index naming a free slot keeps nothing alive, so `count` is
  // exactly the number of kept chips plus slot 0.
  std::array<bool, ChipFileSlots> usedFiles{};
  for (size_t level = 0; level < 2; ++level) {
    ChipTable& table = document.tables[level];
    table.count = 1;
    table.entries[0].used = 1;
    for (size_t slot = 1; slot < ChipTableSlots; ++slot) {
      ChipEntry& entry = table.entries[slot];
      if (usedBy[level][slot] != 0 && entry.used != 0) {
        if (entry.file >= 0 && entry.file < ChipFileSlots) {
          usedFiles[static_cast<size_t>(entry.file)] = true;
        }
        table.count += 1;
      } else {
        entry.used = 0;
      }
    }
  }
  for (size_t file = 0; file < ChipFileSlots; ++file) {
    if (!usedFiles[file]) document.fileList.names[file].clear();
  }

  SlotMap backgroundMap = IdentityMap();
  SlotMap layerMap = IdentityMap();
  if (document.tables[LevelBackground].HasAtlas() && document.tables[LevelLayer].HasAtlas()) {
    backgroundMap = CompactTable(document.tables[LevelBackground]);
    layerMap = CompactTable(document.tables[LevelLayer]);
  }
  CompactFileList(document);

  // One pass renumbers both levels and clears the transient marks.
  const MapCell keep = ~(CellBackgroundMask | CellLayerMask | CellTransientBits);
  for (MapCell& cell : cells) {
    cell = (cell & keep) | backgroundMap[CellBackground(cell)] |
           (static_cast<MapCell>(layerMap[CellLayer(cell)]) << 16);
  }
  ResetUndo(undo);
}

}  // namespace kelvor
