#pragma once

#include <cstdint>
#include <span>
#include <string>

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
