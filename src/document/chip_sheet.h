#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/color.h"
#include "base/pixel_buffer.h"

namespace kelvor {

inline constexpr uint8_t ChipFlagSelected = 0x01;
inline constexpr uint8_t ChipFlagLayer = 0x02;
inline constexpr uint8_t ChipFlagCollision = 0x04;
inline constexpr uint8_t ChipFlagPriority = 0x08;

// One chip-set image cut into 32 x 32 chips. The size fields stay as they
// were when the slot is emptied by a rescan, so only `bitmap` and
// `chipFlags` tell whether a sheet is loaded.
struct ChipSheet {
  std::string fileName;  // name within the chip-set folder; empty = free slot
  PixelBuffer bitmap;    // empty = no image in this slot
  int32_t width = 0;
  int32_t height = 0;
  int32_t bitsPerPixel = 0;
  int32_t chipColumns = 0;
  int32_t chipRows = 0;
  int32_t transparent = 0;
  Color transparentColor = 0;
  // One byte per chip at row * chipColumns + column; the block holds
  // 4 * chipColumns * chipRows bytes and the documents store all of it.
  std::optional<std::vector<uint8_t>> chipFlags;

  bool HasBitmap() const { return !bitmap.Empty(); }
  bool HasFlags() const { return chipFlags.has_value(); }
  bool Loaded() const { return HasBitmap() && HasFlags(); }
  uint8_t& Flag(int32_t column, int32_t row) {
    return (*chipFlags)[static_cast<size_t>(row) * chipColumns + column];
  }
  uint8_t Flag(int32_t column, int32_t row) const {
    return (*chipFlags)[static_cast<size_t>(row) * chipColumns + column];
  }
  size_t FlagBlockSize() const { return static_cast<size_t>(chipColumns) * chipRows * 4; }
};

inline constexpr int32_t ChipSheetSlots = 256;

struct ChipSheetTable {
  std::array<ChipSheet, ChipSheetSlots> sheets;
  int32_t sheetCount = 0;    // slots 0..sheetCount-1 hold loaded sheets
  int32_t currentSheet = 0;  // shown in the palette

  ChipSheet& Current() { return sheets[static_cast<size_t>(currentSheet)]; }
  const ChipSheet& Current() const { return sheets[static_cast<size_t>(currentSheet)]; }
  // First loaded sheet whose name equals `name` ignoring ASCII case, or -1.
  int32_t FindIgnoringCase(const std::string& name) const;
  // First loaded sheet whose name equals `name` exactly, or -1.
  int32_t FindExact(const std::string& name) const;
};

}  // namespace kelvor
