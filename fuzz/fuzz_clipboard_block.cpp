// Clipboard blocks written by any program: the input is split into the
// three blocks by two leading length bytes. A refused block must leave the
// previous paste block exactly as it was; an accepted one must match the
// bytes it came from and encode back to them.
#include <cstddef>
#include <cstdint>
#include <span>

#include "editing/clipboard_block.h"
#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kelvor;
  if (size < 2) return 0;
  std::span<const uint8_t> rest(data + 2, size - 2);
  const size_t sizeLength = std::min<size_t>(data[0] % 16, rest.size());
  const std::span<const uint8_t> blockSize = rest.first(sizeLength);
  rest = rest.subspan(sizeLength);
  const size_t cellsLength = std::min<size_t>(static_cast<size_t>(data[1]) * 4, rest.size());
  const std::span<const uint8_t> blockCells = rest.first(cellsLength);
  const std::span<const uint8_t> blockMask = rest.subspan(cellsLength);

  PasteBlock block;
  block.blockWidth = 1;
  block.blockHeight = 1;
  block.hasBlock = true;
  block.blockCells = {0x12345678};
  block.blockMask = {1};
  if (!ParseClipboardBlock(blockSize, blockCells, blockMask, block)) {
    FUZZ_CHECK(block.blockWidth == 1 && block.blockHeight == 1 && block.hasBlock);
    FUZZ_CHECK(block.blockCells.size() == 1 && block.blockCells[0] == 0x12345678);
    FUZZ_CHECK(block.blockMask.size() == 1 && block.blockMask[0] == 1);
    return 0;
  }
  FUZZ_CHECK(block.hasBlock && block.blockWidth >= 0 && block.blockHeight >= 0);
  const size_t count =
      static_cast<size_t>(block.blockWidth) * static_cast<size_t>(block.blockHeight);
  FUZZ_CHECK(block.blockCells.size() == count && block.blockMask.size() == count);
  FUZZ_CHECK(count * 4 <= blockCells.size() && count <= blockMask.size());

  const ClipboardBlockBytes encoded = EncodeClipboardBlock(
      block.blockWidth, block.blockHeight,
      std::span<const MapCell>(block.blockCells.data(), block.blockCells.size()), block.blockMask);
  FUZZ_CHECK(std::equal(encoded.blockSize.begin(), encoded.blockSize.end(), blockSize.begin()));
  FUZZ_CHECK(std::equal(encoded.blockCells.begin(), encoded.blockCells.end(), blockCells.begin()));
  FUZZ_CHECK(std::equal(encoded.blockMask.begin(), encoded.blockMask.end(), blockMask.begin()));
  return 0;
}
