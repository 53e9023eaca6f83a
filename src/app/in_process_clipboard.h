#pragma once

#include <vector>

#include "platform/clipboard.h"

namespace kelvor {

// Keeps the copied blocks inside this process: for tests, which must not
// touch the desktop's clipboard.
class InProcessClipboard : public Clipboard {
 public:
  bool WriteBlocks(const std::vector<uint8_t>& blockSize, const std::vector<uint8_t>& blockCells,
                   const std::vector<uint8_t>& blockMask) override {
    blocks_.blockSize = blockSize;
    blocks_.blockCells = blockCells;
    blocks_.blockMask = blockMask;
    return true;
  }
  ClipboardBlocks ReadBlocks() override { return blocks_; }
  void Empty() override { blocks_ = ClipboardBlocks{}; }

 private:
  ClipboardBlocks blocks_;
};

}  // namespace kelvor
