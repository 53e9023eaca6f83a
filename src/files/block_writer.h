#pragma once

#include <charconv>
#include <cstddef>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/atomic_file.h"

namespace kelvor {

// Text gathered in a block and handed to the sink in large pieces: the map
// of a big document is hundreds of megabytes of digits, and writers that
// format it put their characters straight into the block.
class BlockWriter {
 public:
  explicit BlockWriter(ByteSink& sink) : sink_(sink), buffer_(Size) {}
  ~BlockWriter() { Flush(); }
  BlockWriter(const BlockWriter&) = delete;
  BlockWriter& operator=(const BlockWriter&) = delete;

  void Append(std::string_view text) {
    if (text.size() > Size - used_) {
      Flush();
      if (text.size() >= Size) {
        sink_.Put(text.data(), text.size());
        return;
      }
    }
    std::memcpy(buffer_.data() + used_, text.data(), text.size());
    used_ += text.size();
  }
  template <typename Integer>
  void Number(Integer value, int base = 10) {
    char* at = Reserve(NumberRoom);
    Commit(std::to_chars(at, at + NumberRoom, value, base).ptr);
  }
  BlockWriter& operator<<(std::string_view text) {
    Append(text);
    return *this;
  }
  BlockWriter& operator<<(int64_t value) {
    Number(value);
    return *this;
  }

  // Room for `bytes` (up to a megabyte) at the end of the block, to write
  // into directly; Commit says how far the caller wrote.
  char* Reserve(size_t bytes) {
    if (Size - used_ < bytes) Flush();
    return buffer_.data() + used_;
  }
  void Commit(const char* end) { used_ = static_cast<size_t>(end - buffer_.data()); }

  void Flush() {
    if (used_ > 0) sink_.Put(buffer_.data(), used_);
    used_ = 0;
  }

 private:
  static constexpr size_t Size = size_t{1} << 20;
  static constexpr size_t NumberRoom = 24;

  ByteSink& sink_;
  std::vector<char> buffer_;
  size_t used_ = 0;
};

}  // namespace kelvor
