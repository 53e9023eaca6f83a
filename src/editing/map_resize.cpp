#include "editing/map_resize.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>
#include <vector>

namespace kelvor {

int32_t ParseSizeField(std::string_view text) {
  text = text.substr(0, static_cast<size_t>(MapSizeFieldChars));
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int32_t value = 0;  // five characters never overflow
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

MapSizeResult ApplyMapSize(MapGrid& grid, SelectionState& selection, int32_t width, int32_t height,
                           bool newMap) {
  if (width < 0 || height < 0 || width > MaxMapSide || height > MaxMapSide) {
    return {MapSizeStatus::OutOfRange, false};
  }
  std::vector<MapCell> fresh;
  try {
    fresh.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
  } catch (const std::bad_alloc&) {
    return {MapSizeStatus::OutOfMemory, false};
  } catch (const std::length_error&) {
    return {MapSizeStatus::OutOfMemory, false};
  }

  if (!newMap && grid.Exists()) {
    const std::vector<MapCell>& old = *grid.cells;
    const int32_t keepColumns = std::min(width, grid.width);
    const int32_t keepRows = std::min(height, grid.height);
    for (int32_t row = 0; row < keepRows; ++row) {
      const size_t from = static_cast<size_t>(row) * static_cast<size_t>(grid.width);
      if (keepColumns <= 0 || from + static_cast<size_t>(keepColumns) > old.size()) break;
      std::memcpy(fresh.data() + static_cast<size_t>(row) * static_cast<size_t>(width),
                  old.data() + from, static_cast<size_t>(keepColumns) * sizeof(MapCell));
    }
  }
  grid.cells = std::move(fresh);
  grid.width = width;
  grid.height = height;
  ResetSelection(selection, width, height);
  return {MapSizeStatus::Applied, true};
}

MapSizeResult ApplyNewMap(MapDocument& document, SelectionState& selection, int32_t width,
                          int32_t height) {
  const MapSizeResult result = ApplyMapSize(document.grid, selection, width, height, true);
  if (result.status == MapSizeStatus::Applied) StoreDocumentPath(document, "");
  return result;
}

}  // namespace kelvor
