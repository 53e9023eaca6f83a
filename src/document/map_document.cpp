#include "document/map_document.h"

#include <atomic>
#include <new>
#include <stdexcept>

namespace kelvor {

bool MapGrid::Allocate(int32_t newWidth, int32_t newHeight) {
  if (newWidth < 0 || newHeight < 0) return false;
  const uint64_t count = static_cast<uint64_t>(newWidth) * static_cast<uint64_t>(newHeight);
  std::vector<MapCell> fresh;
  try {
    fresh.assign(static_cast<size_t>(count), 0);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  cells = std::move(fresh);
  width = newWidth;
  height = newHeight;
  return true;
}

uint64_t NewAtlasRevision() {
  static std::atomic<uint64_t> last{0};
  return last.fetch_add(1, std::memory_order_relaxed) + 1;
}

void MapGrid::Release() {
  cells.reset();
  width = 0;
  height = 0;
}

int32_t ChipTable::UsedChips() const {
  int32_t used = 0;
  for (int32_t slot = 1; slot < ChipTableSlots; ++slot) {
    if (entries[slot].used != 0) ++used;
  }
  return used;
}

void ChipTable::ClearEntries() {
  entries.fill(ChipEntry{});
  count = 0;
}

void ClearAtlasRect(ChipTable& table, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  if (!table.HasAtlas()) return;
  table.atlas.ClearRect(left, top, right, bottom);
  MarkAtlasChanged(table);
}

int32_t ChipFileList::UsedNames() const {
  int32_t used = 0;
  for (const std::string& name : names) {
    if (!name.empty()) ++used;
  }
  return used;
}

void ChipFileList::Clear() {
  for (std::string& name : names) name.clear();
}

namespace {

bool IsSeparator(char c) {
#ifdef _WIN32
  return c == '\\' || c == '/' || c == ':';
#else
  return c == '/';
#endif
}

}  // namespace

void StoreDocumentPath(MapDocument& document, std::string_view path) {
  size_t split = 0;
  for (size_t i = path.size(); i > 0; --i) {
    if (IsSeparator(path[i - 1])) {
      split = i;
      break;
    }
  }
  document.documentPath.assign(path);
  document.documentFolder.assign(path.substr(0, split));
  document.documentFileName.assign(path.substr(split));
}
}  // namespace kelvor
