#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace kelvor::test {

struct PngHeader {
  uint32_t width = 0;
  uint32_t height = 0;
  int bitDepth = 0;
  int colorType = 0;
  int interlace = 0;
};

// Reads a PNG file with libpng one row at a time, so that pictures larger
// than memory can be checked: `row(y, rgba)` sees every row in order, 4
// bytes a pixel for an 8-bit RGBA file. False on anything libpng refuses,
// checksums and the end of the file included.
bool ReadPngRows(const std::string& path, PngHeader& header,
                 const std::function<void(uint32_t y, const uint8_t* row)>& row);

}  // namespace kelvor::test
