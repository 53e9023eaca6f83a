#include "files/map_data_export.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <iterator>
#include <new>

#include "base/ascii.h"
#include "files/byte_order.h"

namespace kelvor {

namespace {

// Walks little-endian 32-bit cells stored at any alignment.
class LittleEndianCells {
 public:
  using iterator_category = std::random_access_iterator_tag;
  using value_type = MapCell;
  using difference_type = std::ptrdiff_t;
  using pointer = const MapCell*;
  using reference = MapCell;

  LittleEndianCells() = default;
  LittleEndianCells(const uint8_t* base, uint64_t index)
      : at_(base + static_cast<size_t>(index) * sizeof(MapCell)) {}

  MapCell operator*() const {
    if constexpr (std::endian::native == std::endian::little) {
      MapCell cell;
      std::memcpy(&cell, at_, sizeof cell);
      return cell;
    } else {
      return LoadUint32(at_);
    }
  }
  MapCell operator[](difference_type n) const { return *(*this + n); }
  LittleEndianCells& operator++() {
    at_ += sizeof(MapCell);
    return *this;
  }
  LittleEndianCells operator++(int) {
    LittleEndianCells before = *this;
    ++*this;
    return before;
  }
  LittleEndianCells& operator--() {
    at_ -= sizeof(MapCell);
    return *this;
  }
  LittleEndianCells operator--(int) {
    LittleEndianCells before = *this;
    --*this;
    return before;
  }
  LittleEndianCells& operator+=(difference_type n) {
    at_ += n * static_cast<difference_type>(sizeof(MapCell));
    return *this;
  }
  LittleEndianCells& operator-=(difference_type n) { return *this += -n; }
  friend LittleEndianCells operator+(LittleEndianCells it, difference_type n) { return it += n; }
  friend LittleEndianCells operator+(difference_type n, LittleEndianCells it) { return it += n; }
  friend LittleEndianCells operator-(LittleEndianCells it, difference_type n) { return it -= n; }
  friend difference_type operator-(const LittleEndianCells& a, const LittleEndianCells& b) {
    return (a.at_ - b.at_) / static_cast<difference_type>(sizeof(MapCell));
  }
  friend bool operator==(const LittleEndianCells&, const LittleEndianCells&) = default;
  friend auto operator<=>(const LittleEndianCells&, const LittleEndianCells&) = default;

 private:
  const uint8_t* at_ = nullptr;
};

}  // namespace

void WriteMapData(ByteSink& sink, const MapGrid& grid) {
  if (!grid.Exists()) return;
  PutInt32(sink, grid.width);
  PutInt32(sink, grid.height);
  PutCells(sink, *grid.cells);
}

void PutCells(ByteSink& sink, std::span<const MapCell> cells) {
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
    // One pass straight from the file bytes, with no zero-fill first.
    cells.assign(LittleEndianCells(raw.data(), 0), LittleEndianCells(raw.data(), count));
  } catch (const std::bad_alloc&) {
    return false;
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
