#include "editing/bulk_operations.h"

#include <array>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define KELVOR_BYTE_PERMUTE 1
#endif

namespace kelvor {

namespace {

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
  MarkAtlasChanged(table);
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

// Table lookups do not vectorise on the baseline instruction set, and GCC's
// attempt (element by element through the stack) is several times slower
// than the plain loop.
#if defined(__GNUC__) && !defined(__clang__)
#define KELVOR_PLAIN_LOOP __attribute__((optimize("no-tree-vectorize")))
#else
#define KELVOR_PLAIN_LOOP
#endif

KELVOR_PLAIN_LOOP void MarkPlain(const MapCell* cells, size_t count, SlotUse& use) {
  for (size_t i = 0; i < count; ++i) {
    use.background[CellBackground(cells[i])] = 1;
    use.layer[CellLayer(cells[i])] = 1;
  }
}

KELVOR_PLAIN_LOOP void RenumberPlain(MapCell* cells, size_t count, const SlotMap& background,
                                     const SlotMap& layer) {
  std::array<MapCell, ChipTableSlots> backgroundWide{};
  std::array<MapCell, ChipTableSlots> layerShifted{};
  for (size_t v = 0; v < ChipTableSlots; ++v) {
    backgroundWide[v] = background[v];
    layerShifted[v] = static_cast<MapCell>(layer[v]) << 16;
  }
  const MapCell keep = ~(CellBackgroundMask | CellLayerMask | CellTransientBits);
  for (size_t i = 0; i < count; ++i) {
    const MapCell cell = cells[i];
    cells[i] = (cell & keep) | backgroundWide[CellBackground(cell)] | layerShifted[CellLayer(cell)];
  }
}

#ifdef KELVOR_BYTE_PERMUTE

#define KELVOR_PERMUTE_TARGET __attribute__((target("avx512f,avx512bw,avx512vbmi")))

bool HasBytePermute() {
  static const bool supported = __builtin_cpu_supports("avx512f") &&
                                __builtin_cpu_supports("avx512bw") &&
                                __builtin_cpu_supports("avx512vbmi");
  return supported;
}

// A 256-entry byte table in four registers; Look() maps every byte of a
// vector through it.
struct ByteTable {
  __m512i part[4];

  KELVOR_PERMUTE_TARGET void Load(const uint8_t* table) {
    for (int i = 0; i < 4; ++i) part[i] = _mm512_loadu_si512(table + 64 * i);
  }
  KELVOR_PERMUTE_TARGET __m512i Look(__m512i bytes) const {
    const __m512i low = _mm512_permutex2var_epi8(part[0], bytes, part[1]);
    const __m512i high = _mm512_permutex2var_epi8(part[2], bytes, part[3]);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(bytes), low, high);
  }
};

// Byte 0 (background) and byte 2 (layer) of each of 16 cells.
constexpr __mmask64 BackgroundBytes = 0x1111111111111111ull;
constexpr __mmask64 LayerBytes = 0x4444444444444444ull;

// Once every index of a block has been seen the block needs no stores; the
// seen sets fill up after a few blocks, so most of the pass is lookups only.
KELVOR_PERMUTE_TARGET size_t MarkVector(const MapCell* cells, size_t count, SlotUse& use) {
  ByteTable seenBackground;
  ByteTable seenLayer;
  seenBackground.Load(use.background.data());
  seenLayer.Load(use.layer.data());
  size_t i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m512i block = _mm512_loadu_si512(cells + i);
    const __m512i backgroundFlags = seenBackground.Look(block);
    const __m512i layerFlags = seenLayer.Look(block);
    const __mmask64 backgroundSeen = _mm512_test_epi8_mask(backgroundFlags, backgroundFlags);
    const __mmask64 layerSeen = _mm512_test_epi8_mask(layerFlags, layerFlags);
    if ((backgroundSeen & BackgroundBytes) == BackgroundBytes &&
        (layerSeen & LayerBytes) == LayerBytes) {
      continue;
    }
    MarkPlain(cells + i, 16, use);
    seenBackground.Load(use.background.data());
    seenLayer.Load(use.layer.data());
  }
  return i;
}

KELVOR_PERMUTE_TARGET size_t RenumberVector(MapCell* cells, size_t count, const SlotMap& background,
                                            const SlotMap& layer) {
  ByteTable backgroundTable;
  ByteTable layerTable;
  backgroundTable.Load(background.data());
  layerTable.Load(layer.data());
  const __m512i keep = _mm512_set1_epi32(
      static_cast<int>(~(CellBackgroundMask | CellLayerMask | CellTransientBits)));
  size_t i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m512i block = _mm512_loadu_si512(cells + i);
    __m512i result = _mm512_and_si512(block, keep);
    result = _mm512_mask_mov_epi8(result, BackgroundBytes, backgroundTable.Look(block));
    result = _mm512_mask_mov_epi8(result, LayerBytes, layerTable.Look(block));
    _mm512_storeu_si512(cells + i, result);
  }
  return i;
}

#endif  // KELVOR_BYTE_PERMUTE

}  // namespace

void MarkUsedSlots(const std::vector<MapCell>& cells, SlotUse& use, bool allowVector) {
  size_t done = 0;
#ifdef KELVOR_BYTE_PERMUTE
  if (allowVector && HasBytePermute()) done = MarkVector(cells.data(), cells.size(), use);
#else
  (void)allowVector;
#endif
  MarkPlain(cells.data() + done, cells.size() - done, use);
}

void RenumberCells(std::vector<MapCell>& cells, const SlotMap& background, const SlotMap& layer,
                   bool allowVector) {
  size_t done = 0;
#ifdef KELVOR_BYTE_PERMUTE
  if (allowVector && HasBytePermute()) {
    done = RenumberVector(cells.data(), cells.size(), background, layer);
  }
#else
  (void)allowVector;
#endif
  RenumberPlain(cells.data() + done, cells.size() - done, background, layer);
}

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

bool OptimizeChipSet(MapDocument& document, UndoHistory& undo) {
  MapGrid& grid = document.grid;
  if (!grid.Exists()) return false;
  std::vector<MapCell>& cells = *grid.cells;
  const std::array<ChipTable, 2>& tables = document.tables;
  const std::array<std::array<ChipEntry, ChipTableSlots>, 2> entriesBefore = {tables[0].entries,
                                                                              tables[1].entries};
  const std::array<int32_t, 2> countsBefore = {tables[0].count, tables[1].count};
  const ChipFileList namesBefore = document.fileList;

  // Which slots the cells use, per level.
  SlotUse use;
  MarkUsedSlots(cells, use);
  const std::array<const uint8_t*, 2> usedBy = {use.background.data(), use.layer.data()};

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

  RenumberCells(cells, backgroundMap, layerMap);
  ResetUndo(undo);
  // The cells follow the tables, so the tables alone tell whether anything
  // a save stores moved or went away.
  return entriesBefore[0] != tables[0].entries || entriesBefore[1] != tables[1].entries ||
         countsBefore[0] != tables[0].count || countsBefore[1] != tables[1].count ||
         namesBefore.names != document.fileList.names;
}

}  // namespace kelvor
