#pragma once

#include <span>
#include <string>

#include "document/map_document.h"
#include "platform/atomic_file.h"

namespace kelvor {

// int32 width, int32 height, then the cells row-major as uint32; nothing at
// all when there is no grid. Also the payload of the "mapdata_bin" chunk.
void WriteMapData(ByteSink& sink, const MapGrid& grid);
// Cells as little-endian 32-bit values.
void PutCells(ByteSink& sink, std::span<const MapCell> cells);

// Reads what WriteMapData wrote from the front of `bytes`; the size must be
// non-negative and the cells all present. Advances `consumed` past them.
bool ReadMapDataChunk(std::span<const uint8_t> bytes, MapGrid& grid, size_t& consumed);

// Writes the bare map to a ".bin" file, atomically. Fails silently (no grid,
// another extension, the file cannot be written); never changes the document.
bool ExportMapData(const std::string& path, const MapGrid& grid);

}  // namespace kelvor
