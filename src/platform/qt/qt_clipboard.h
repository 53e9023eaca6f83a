#pragma once

#include "platform/clipboard.h"

namespace kelvor {

// The copied blocks on the desktop's clipboard, one private MIME type per
// block, so another running editor can paste them. The bytes travel exactly
// as the editing core made them.
class QtClipboard : public Clipboard {
 public:
  bool WriteBlocks(const std::vector<uint8_t>& blockSize, const std::vector<uint8_t>& blockCells,
                   const std::vector<uint8_t>& blockMask) override;
  ClipboardBlocks ReadBlocks() override;
  // Clears the clipboard only while it holds our blocks: whatever the user
  // copied in another program since then is not ours to throw away.
  void Empty() override;
};

}  // namespace kelvor
