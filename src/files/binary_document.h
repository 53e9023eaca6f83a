#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "document/chip_sheet.h"
#include "document/map_document.h"
#include "editing/selection.h"
#include "files/document_staging.h"
#include "platform/atomic_file.h"
#include "platform/messages.h"

namespace kelvor {

// The binary document: 'K', 'V', 0, 0, a chunk count and named chunks.
inline constexpr int32_t BinaryChunkCount = 11;
inline constexpr const char* BinaryChunkNames[BinaryChunkCount] = {
    "version",         "bmp2_count", "bmp2_name",  "bmp2_transparent",
    "bmp2_chip_count", "bmp2_flag",  "bmp1_count", "bmp1_name",
    "chip1_count",     "chip1",      "mapdata_bin"};
inline constexpr const char* DocumentVersion = "1.41";

// Name length, name with its NUL, payload size.
void WriteChunkHeader(ByteSink& sink, int32_t chunk, int32_t payloadSize);
void WriteChunkHeader(ByteSink& sink, std::string_view name, int32_t payloadSize);

// One loaded sheet's settings as the binary form stores them.
struct StoredSheetView {
  std::string_view name;
  int32_t transparent = 0;
  Color transparentColor = 0;
  int32_t chipColumns = 0;
  int32_t chipRows = 0;
  std::span<const uint8_t> flags;
};

// What a binary document holds, wherever it is kept: in the open document,
// or in a copy of it taken to be written on another thread.
struct BinaryDocumentParts {
  std::vector<StoredSheetView> sheets;
  std::span<const std::string> fileNames;            // the names stored: slots 0..F-1
  std::array<std::span<const ChipEntry>, 2> tables;  // the slots stored of each table
  int32_t width = 0;
  int32_t height = 0;
  uint64_t cellCount = 0;
  // Puts the `cellCount` cells, row-major, as little-endian 32-bit values.
  std::function<void(ByteSink&)> putCells;
  int32_t extraChunks = 0;  // chunks the caller appends after the map
};

void SerializeBinaryParts(ByteSink& sink, const BinaryDocumentParts& parts);

// The whole document in binary form. The grid must exist.
void SerializeBinaryDocument(ByteSink& sink, const MapDocument& document,
                             const ChipSheetTable& sheets);

// Parses a binary document without touching any open document. The result
// is Ok only for a file read whole: magic, an accepted version and the map.
ParseResult ParseBinaryDocument(std::span<const uint8_t> bytes);

bool WriteBinaryDocument(const std::string& path, MapDocument& document,
                         const ChipSheetTable& sheets, Messages& messages);
bool ReadBinaryDocument(const std::string& path, MapDocument& document, ChipSheetTable& sheets,
                        SelectionState& selection, Messages& messages);

}  // namespace kelvor
