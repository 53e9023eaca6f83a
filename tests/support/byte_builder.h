#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace kelvor::test {

// Spells out file bytes field by field, the way the layouts are documented:
// little-endian 32-bit integers, length-prefixed strings with their NUL.
class ByteBuilder {
 public:
  // Byte by byte: GCC 12 at -O3 sees a false overflow in a range insert.
  ByteBuilder& Raw(std::initializer_list<uint8_t> values) {
    for (uint8_t value : values) bytes.push_back(value);
    return *this;
  }
  ByteBuilder& Text(std::string_view text) {
    for (char c : text) bytes.push_back(static_cast<uint8_t>(c));
    return *this;
  }
  ByteBuilder& I32(int64_t value) {
    const auto v = static_cast<uint32_t>(value);
    return Raw({static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)});
  }
  // Length including the NUL, the bytes, the NUL.
  ByteBuilder& Str(std::string_view text) {
    I32(static_cast<int64_t>(text.size()) + 1);
    Text(text);
    return Raw({0});
  }
  // A chunk header: name length, name with NUL, payload size.
  ByteBuilder& Chunk(std::string_view name, int64_t payloadSize) {
    I32(static_cast<int64_t>(name.size()) + 1);
    Text(name);
    Raw({0});
    return I32(payloadSize);
  }
  ByteBuilder& Entry(int32_t used, int32_t file, int32_t column, int32_t row, uint8_t attributes) {
    I32(used).I32(file).I32(column).I32(row);
    return Raw({attributes, 0, 0, 0});
  }

  std::vector<uint8_t> bytes;
};

}  // namespace kelvor::test
