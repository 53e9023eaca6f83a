#include "files/map_data_export.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "files/byte_order.h"

namespace kelvor {

void WriteMapData(ByteSink& sink, const MapGrid& grid) {
  if (!grid.Exists()) return;
  PutInt32(sink, grid.width);
  PutInt32(sink, grid.height);
  const std::vector<MapCell>& cells = *grid.cells;
  if constexpr (std::endian::native == std::endian::little) {
    sink.Put(cells.data(), cells.size() * sizeof(MapCell));
  } else {
    for (MapCell cell : cells) PutUint32(sink, cell);
  }
}

bool ReadMapDataChunk(std::span<const uint8_t> bytes, MapGrid& grid, size_t& consumed) {
  ByteReader reader(bytes);
  int32_t width = 0;
  int32_t height = 0;
  if (!reader.Int32(width) || !reader.Int32(height)) return false;
  if (width < 0 || height < 0) return false;
  const uint64_t count = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  // The size is believed only when the cells are really there.
  if (count > reader.Remaining() / sizeof(MapCell)) return false;
  std::span<const uint8_t> raw;
  reader.Take(static_cast<size_t>(count) * sizeof(MapCell), raw);
  std::vector<MapCell> cells;
  try {
    cells.resize(static_cast<size_t>(count));
  } catch (const std::bad_alloc&) {
    return false;
  }
  if constexpr (std::endian::native == std::endian::little) {
    if (!raw.empty()) std::memcpy(cells.data(), raw.data(), raw.size());
  } else {
    for (size_t i = 0; i < cells.size(); ++i) cells[i] = LoadUint32(raw.data() + 4 * i);
  }
  grid.width = width;
  grid.height = height;
  grid.cells = std::move(cells);
  consumed = reader.Position();
  return true;
}

bool ExportMapData(const std::string& path, const MapGrid& grid) {
  if (!grid.Exists()) return false;
  if (!HasExtension(path, "bin")) return false;
  AtomicFile file;
  if (!file.Open(path)) return false;
  WriteMapData(file, grid);
  return file.Commit() == FileWriteStatus::Ok;
}

}  // namespace kelvor
