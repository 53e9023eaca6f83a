#include "support/png_rows.h"

#include <png.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace kelvor::test {
namespace {

// Reads with libpng's jump-based error handling; nothing with a destructor
// lives in this frame, as a jump back into it would skip it.
bool ReadRows(std::FILE* file, png_structp png, png_infop info, PngHeader& header,
              std::vector<uint8_t>& buffer,
              const std::function<void(uint32_t, const uint8_t*)>& row) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_init_io(png, file);
  png_read_info(png, info);
  png_uint_32 width = 0, height = 0;
  png_get_IHDR(png, info, &width, &height, &header.bitDepth, &header.colorType, &header.interlace,
               nullptr, nullptr);
  header.width = width;
  header.height = height;
  buffer.resize(png_get_rowbytes(png, info));
  for (png_uint_32 y = 0; y < height; ++y) {
    png_read_row(png, buffer.data(), nullptr);
    row(y, buffer.data());
  }
  png_read_end(png, nullptr);
  return true;
}

}  // namespace

bool ReadPngRows(const std::string& path, PngHeader& header,
                 const std::function<void(uint32_t y, const uint8_t* row)>& row) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                             &std::fclose);
  if (!file) return false;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  std::vector<uint8_t> buffer;
  const bool read = info != nullptr && ReadRows(file.get(), png, info, header, buffer, row);
  png_destroy_read_struct(&png, &info, nullptr);
  return read;
}

}  // namespace kelvor::test
