#pragma once

#include <cstdint>

namespace kelvor {

// One map cell: bits 0-7 background slot, 8-15 flags, 16-23 layer slot,
// 24-31 zero in every cell the program makes but kept as they are.
using MapCell = uint32_t;

inline constexpr MapCell CellFlagCollision = 0x0100;
inline constexpr MapCell CellFlagWallEast = 0x0200;
inline constexpr MapCell CellFlagWallSouth = 0x0400;
inline constexpr MapCell CellFlagCollisionMark = 0x0800;
inline constexpr MapCell CellFlagPriority = 0x1000;
inline constexpr MapCell CellFlagReserved2000 = 0x2000;
inline constexpr MapCell CellFlagReserved4000 = 0x4000;
inline constexpr MapCell CellFlagPriorityMark = 0x8000;
inline constexpr MapCell CellCollisionBits = 0x0F00;
inline constexpr MapCell CellPriorityBits = 0xF000;
// The marks and the two reserved bits: what ClearTransientMarks removes.
inline constexpr MapCell CellTransientBits = 0xE800;

inline constexpr MapCell CellBackgroundMask = 0x000000FF;
inline constexpr MapCell CellFlagsMask = 0x0000FF00;
inline constexpr MapCell CellLayerMask = 0x00FF0000;

// The two chip levels of a cell; also the index of their ChipTable.
enum ChipLevel : int32_t { LevelBackground = 0, LevelLayer = 1 };

constexpr uint8_t CellBackground(MapCell cell) { return static_cast<uint8_t>(cell & 0xFF); }
constexpr uint8_t CellLayer(MapCell cell) { return static_cast<uint8_t>((cell >> 16) & 0xFF); }
constexpr uint8_t CellFlags(MapCell cell) { return static_cast<uint8_t>((cell >> 8) & 0xFF); }
constexpr uint8_t CellChip(MapCell cell, int32_t level) {
  return level == LevelLayer ? CellLayer(cell) : CellBackground(cell);
}

constexpr MapCell WithBackground(MapCell cell, uint8_t chip) {
  return (cell & ~CellBackgroundMask) | chip;
}
constexpr MapCell WithLayer(MapCell cell, uint8_t chip) {
  return (cell & ~CellLayerMask) | (static_cast<MapCell>(chip) << 16);
}
constexpr MapCell WithChip(MapCell cell, int32_t level, uint8_t chip) {
  return level == LevelLayer ? WithLayer(cell, chip) : WithBackground(cell, chip);
}
constexpr MapCell WithFlags(MapCell cell, uint8_t flags) {
  return (cell & ~CellFlagsMask) | (static_cast<MapCell>(flags) << 8);
}

}  // namespace kelvor
