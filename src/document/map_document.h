#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/pixel_buffer.h"
#include "document/grid_cells.h"
#include "document/map_cell.h"

namespace kelvor {

// Paths and names are byte strings of at most 259 bytes (260 with the NUL).
inline constexpr size_t MaxPathBytes = 259;

// The widest and highest map: both document readers refuse larger sides, so
// the size dialog does too. The views count pixels of such sides in 32 bits.
inline constexpr int32_t MaxMapSide = 16384;

// The map: width x height cells in row-major order, or no map at all.
// A grid of width or height 0 can exist (the size dialog accepts 0).
struct MapGrid {
  int32_t width = 0;
  int32_t height = 0;
  GridCells cells;  // nullopt: no map yet

  bool Exists() const { return cells.has_value(); }
  size_t CellCount() const { return cells ? cells->size() : 0; }
  MapCell& At(int32_t column, int32_t row) { return cells.WriteCell(column, row, width); }
  MapCell At(int32_t column, int32_t row) const {
    return (*cells)[static_cast<size_t>(column) + static_cast<size_t>(row) * width];
  }
  bool Contains(int32_t column, int32_t row) const {
    return Exists() && column >= 0 && row >= 0 && column < width && row < height;
  }
  // Replaces the grid by a zero-filled one. Returns false (grid untouched) for
  // negative sizes or when the cells cannot be allocated.
  bool Allocate(int32_t newWidth, int32_t newHeight);
  void Release();
};

inline constexpr uint8_t EntryFlagCollision = 0x01;
inline constexpr uint8_t EntryFlagPriority = 0x10;

struct ChipEntry {
  int32_t used = 0;
  int32_t file = 0;    // index into the ChipFileList
  int32_t column = 0;  // chip position in that image
  int32_t row = 0;
  uint8_t attributes = 0;

  friend bool operator==(const ChipEntry&, const ChipEntry&) = default;
};

inline constexpr int32_t ChipTableSlots = 256;
inline constexpr int32_t AtlasSize = 512;  // 16 x 16 chips of 32 x 32 pixels
inline constexpr int32_t ChipSize = 32;

// A number no atlas revision has had before in this process.
uint64_t NewAtlasRevision();

// One level's chips: slot 0 never holds a chip, slots 1..255 do. The atlas
// shows the chip of slot n at (32 * (n % 16), 32 * (n / 16)); an empty
// PixelBuffer means the atlas has not been made. Whatever changes the
// atlas's pixels gives it a new revision (MarkAtlasChanged), which is how
// the views know to redo their scaled copies; a copied table keeps the
// revision along with the equal pixels.
struct ChipTable {
  std::array<ChipEntry, ChipTableSlots> entries{};
  PixelBuffer atlas;
  uint64_t atlasRevision = NewAtlasRevision();
  int32_t count = 0;  // leading slots a document stores, slot 0 included

  bool HasAtlas() const { return !atlas.Empty(); }
  int32_t UsedChips() const;  // used slots 1..255
  void ClearEntries();        // every slot zero, count 0
};

inline void MarkAtlasChanged(ChipTable& table) {
  table.atlasRevision = NewAtlasRevision();
}

// Sets the atlas pixels with left <= x < right and top <= y < bottom to zero;
// nothing when the table has no atlas.
void ClearAtlasRect(ChipTable& table, int32_t left, int32_t top, int32_t right, int32_t bottom);

inline constexpr int32_t ChipFileSlots = 256;

// Names of chip-set images the tables refer to; an empty name is a free slot.
struct ChipFileList {
  std::array<std::string, ChipFileSlots> names;

  int32_t UsedNames() const;
  void Clear();
};

struct MapDocument {
  MapGrid grid;
  std::array<ChipTable, 2> tables;  // LevelBackground, LevelLayer
  ChipFileList fileList;
  std::string documentPath;      // last file opened or saved as a document
  std::string documentFolder;    // its folder, with the trailing separator
  std::string documentFileName;  // its file name with extension
};

// Records the path of the document file and splits it into folder and name.
void StoreDocumentPath(MapDocument& document, std::string_view path);

}  // namespace kelvor
