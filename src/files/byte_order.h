#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <span>

#include "platform/atomic_file.h"

namespace kelvor {

// Document files store integers as 32-bit little-endian values.
inline void PutUint32(ByteSink& sink, uint32_t value) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  sink.Put(bytes, 4);
}
inline void PutInt32(ByteSink& sink, int32_t value) {
  PutUint32(sink, static_cast<uint32_t>(value));
}

inline uint32_t LoadUint32(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
         (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

// Reads from a byte span without ever passing its end: a read that would
// fails and leaves the position where it was.
class ByteReader {
 public:
  explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  size_t Remaining() const { return bytes_.size() - position_; }
  size_t Position() const { return position_; }

  bool Uint32(uint32_t& value) {
    if (Remaining() < 4) return false;
    value = LoadUint32(bytes_.data() + position_);
    position_ += 4;
    return true;
  }
  bool Int32(int32_t& value) {
    uint32_t raw = 0;
    if (!Uint32(raw)) return false;
    value = static_cast<int32_t>(raw);
    return true;
  }
  bool Take(size_t size, std::span<const uint8_t>& out) {
    if (Remaining() < size) return false;
    out = bytes_.subspan(position_, size);
    position_ += size;
    return true;
  }
  bool Skip(size_t size) {
    if (Remaining() < size) return false;
    position_ += size;
    return true;
  }

 private:
  std::span<const uint8_t> bytes_;
  size_t position_ = 0;
};

}  // namespace kelvor
