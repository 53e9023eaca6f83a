#include "editing/clipboard_block.h"

#include <algorithm>
#include <limits>
#include <new>
#include <stdexcept>

namespace kelvor {

namespace {

void PutUint32(std::vector<uint8_t>& out, size_t offset, uint32_t value) {
  out[offset] = static_cast<uint8_t>(value);
  out[offset + 1] = static_cast<uint8_t>(value >> 8);
  out[offset + 2] = static_cast<uint8_t>(value >> 16);
  out[offset + 3] = static_cast<uint8_t>(value >> 24);
}

uint32_t GetUint32(std::span<const uint8_t> in, size_t offset) {
  return static_cast<uint32_t>(in[offset]) | (static_cast<uint32_t>(in[offset + 1]) << 8) |
         (static_cast<uint32_t>(in[offset + 2]) << 16) |
         (static_cast<uint32_t>(in[offset + 3]) << 24);
}

}  // namespace

ClipboardBlockBytes EncodeClipboardBlock(int32_t width, int32_t height,
                                         std::span<const MapCell> cells,
                                         std::span<const uint8_t> mask) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  ClipboardBlockBytes bytes;
  bytes.blockSize.assign(8, 0);
  PutUint32(bytes.blockSize, 0, static_cast<uint32_t>(width));
  PutUint32(bytes.blockSize, 4, static_cast<uint32_t>(height));
  bytes.blockCells.assign(count * 4, 0);
  for (size_t i = 0; i < count && i < cells.size(); ++i)
    PutUint32(bytes.blockCells, i * 4, cells[i]);
  bytes.blockMask.assign(count, 0);
  std::copy_n(mask.begin(), std::min(count, mask.size()), bytes.blockMask.begin());
  return bytes;
}

bool ParseClipboardBlock(std::span<const uint8_t> blockSize, std::span<const uint8_t> blockCells,
                         std::span<const uint8_t> blockMask, PasteBlock& block) {
  if (blockSize.size() < 8) return false;
  const auto width = static_cast<int32_t>(GetUint32(blockSize, 0));
  const auto height = static_cast<int32_t>(GetUint32(blockSize, 4));
  if (width < 0 || height < 0) return false;
  // Both factors are below 2^31, so neither product overflows 64 bits.
  const uint64_t count = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  if (count > std::numeric_limits<size_t>::max() / 4) return false;
  if (blockCells.size() / 4 < count || blockMask.size() < count) return false;

  // Only data that is really there gets copied, so the allocation is bounded
  // by what the clipboard holds, not by what its sizes claim.
  std::vector<uint32_t> cells;
  std::vector<uint8_t> mask;
  try {
    cells.resize(static_cast<size_t>(count));
    mask.assign(blockMask.begin(), blockMask.begin() + static_cast<ptrdiff_t>(count));
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  for (size_t i = 0; i < cells.size(); ++i) cells[i] = GetUint32(blockCells, i * 4);

  block.blockWidth = width;
  block.blockHeight = height;
  block.blockCells = std::move(cells);
  block.blockMask = std::move(mask);
  block.hasBlock = true;
  return true;
}

}  // namespace kelvor
