#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "platform/clipboard.h"

namespace kelvor::test {

// A clipboard in memory, keyed by format number. Tests may put any bytes
// under any format to play another program.
class FakeClipboard : public Clipboard {
 public:
  bool WriteBlocks(const std::vector<uint8_t>& blockSize, const std::vector<uint8_t>& blockCells,
                   const std::vector<uint8_t>& blockMask) override;
  ClipboardBlocks ReadBlocks() override;
  void Empty() override { formats.clear(); }

  std::map<uint32_t, std::vector<uint8_t>> formats;
  bool failOpen = false;  // WriteBlocks then fails and changes nothing
  int writes = 0;
  int reads = 0;
};

}  // namespace kelvor::test
