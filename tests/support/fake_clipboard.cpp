#include "support/fake_clipboard.h"

namespace kelvor::test {

bool FakeClipboard::WriteBlocks(const std::vector<uint8_t>& blockSize,
                                const std::vector<uint8_t>& blockCells,
                                const std::vector<uint8_t>& blockMask) {
  if (failOpen) return false;
  ++writes;
  formats.clear();
  formats[ClipboardFormatBlockSize] = blockSize;
  formats[ClipboardFormatBlockCells] = blockCells;
  formats[ClipboardFormatBlockMask] = blockMask;
  return true;
}

ClipboardBlocks FakeClipboard::ReadBlocks() {
  ++reads;
  ClipboardBlocks blocks;
  auto take = [this](uint32_t format, std::optional<std::vector<uint8_t>>& out) {
    auto it = formats.find(format);
    if (it != formats.end()) out = it->second;
  };
  take(ClipboardFormatBlockSize, blocks.blockSize);
  take(ClipboardFormatBlockCells, blocks.blockCells);
  take(ClipboardFormatBlockMask, blocks.blockMask);
  return blocks;
}

}  // namespace kelvor::test
