#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace kelvor {

// Copied map cells travel as three private blocks, so another running editor
// can paste them: the block size, the cells of the bounding box, the mask.
inline constexpr uint32_t ClipboardFormatBlockSize = 0x0301;
inline constexpr uint32_t ClipboardFormatBlockCells = 0x0302;
inline constexpr uint32_t ClipboardFormatBlockMask = 0x0303;

// The names under which the editor stores the three blocks on the system clipboard.
inline constexpr std::string_view ClipboardMimeBlockSize = "application/x-kelvor-0301";
inline constexpr std::string_view ClipboardMimeBlockCells = "application/x-kelvor-0302";
inline constexpr std::string_view ClipboardMimeBlockMask = "application/x-kelvor-0303";

// The three blocks as bytes; a block the clipboard does not hold is absent.
struct ClipboardBlocks {
  std::optional<std::vector<uint8_t>> blockSize;
  std::optional<std::vector<uint8_t>> blockCells;
  std::optional<std::vector<uint8_t>> blockMask;

  bool HasAll() const { return blockSize && blockCells && blockMask; }
};

// The system clipboard as the editing core sees it. The editor implements it
// on its toolkit's clipboard; tests use a fake.
class Clipboard {
 public:
  virtual ~Clipboard() = default;
  // Replaces whatever the clipboard holds by the three blocks. False when the
  // clipboard could not be opened (it is then left as it was).
  virtual bool WriteBlocks(const std::vector<uint8_t>& blockSize,
                           const std::vector<uint8_t>& blockCells,
                           const std::vector<uint8_t>& blockMask) = 0;
  // Whatever of the three blocks the clipboard holds now (data of other
  // programs included, so it must be validated before use).
  virtual ClipboardBlocks ReadBlocks() = 0;
  // Empties the clipboard, so the blocks do not outlive the program.
  virtual void Empty() = 0;
};

}  // namespace kelvor
