#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "base/pixel_buffer.h"

namespace kelvor {

class Messages;

// Largest image we take as a chip sheet, in either direction. Larger files
// are refused from their header, before any pixel memory is reserved.
inline constexpr int32_t MaxImageSide = 16384;

// Turns an image file into 32-bit blue-green-red-alpha pixels, colours
// premultiplied by alpha. A 32-bit BMP is the exception: its pixels come as
// stored, the fourth byte being the alpha. Anything that is not a readable
// image is refused (false) without a message; `out` is then left empty.
// `out` may come holding an earlier image whose memory the decoder reuses;
// its contents are ignored. Decode is called from several threads at once
// (a folder scan decodes its files on every processor).
class ImageDecoder {
 public:
  virtual ~ImageDecoder() = default;
  virtual bool Decode(const std::string& path, PixelBuffer& out) = 0;
};

// How the bytes handed to an encoder are to be read.
enum class PixelAlpha {
  Straight,       // written to the file exactly as they are
  Premultiplied,  // colours divided by alpha on the way out
};

// The image format an export picks from the path's extension.
enum class ImageFormat { None, Bmp, Gif, Jpeg, Png, Tiff, Unknown };

// The text after the last '.' of the path decides, ignoring letter case;
// None when the path has no '.', Unknown for any other extension (written as
// BMP after a warning).
ImageFormat ImageFormatForPath(std::string_view path);

// Divides every colour by its alpha (rounded), for writers of straight-alpha
// files. Fully transparent pixels become all zero.
void UnpremultiplyPixels(PixelBuffer& pixels);

// The order in which a band's buffer holds the picture's rows: BMP files
// keep theirs bottom-up.
enum class RowOrder { TopDown, BottomUp };

// A picture too large to hold at once, made a band of rows at a time.
// ComposeRows is called from several threads at once, for different bands.
class PictureSource {
 public:
  virtual ~PictureSource() = default;
  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;
  // Fills `band`, which comes `Width()` pixels wide and holding anything,
  // with the picture's rows from `top` on, row `top` in the band's first
  // row (TopDown) or its last (BottomUp). False when every pixel it wrote is
  // zero (transparent black), which lets an encoder skip the work.
  virtual bool ComposeRows(int32_t top, PixelBuffer& band, RowOrder order) const = 0;
};

// How writing a picture ended.
enum class PictureWrite {
  Written,
  NoEncoder,     // no extension, or a format this program cannot write
  Empty,         // nothing to draw: no map, or a side of 0
  TooLarge,      // more pixels than the format holds (see the limits below)
  CannotCreate,  // the file could not be created
  CannotWrite,   // writing failed or memory ran out; the old file is kept
};

// PNG holds up to 2^31 - 1 pixels a side. A band is at least one row, so a
// row, too, must stay within 2 GiB.
inline constexpr int64_t MaxPngSide = INT32_MAX;
inline constexpr int64_t MaxStreamedWidth = INT32_MAX / 4;
// Formats written through a whole picture in memory (JPEG, TIFF) take this
// many pixels at most (1 GiB); JPEG itself ends at 65535 pixels a side.
inline constexpr int64_t MaxWholePicturePixels = int64_t{1} << 28;
inline constexpr int64_t MaxJpegSide = 65535;

// Writes pixels to an image file in the format the path's extension names.
// An unknown extension warns through `messages` and writes a BMP under
// exactly the given name. Writing is atomic: a failure keeps the old file.
class ImageEncoder {
 public:
  virtual ~ImageEncoder() = default;
  virtual bool Encode(const std::string& path, const PixelBuffer& pixels, PixelAlpha alpha,
                      Messages& messages) = 0;
  // The same for a picture made band by band: PNG and BMP are written as
  // the bands come and never hold the whole picture; the other formats
  // compose it whole, up to MaxWholePicturePixels.
  virtual PictureWrite EncodeBands(const std::string& path, const PictureSource& source,
                                   PixelAlpha alpha, Messages& messages) = 0;
};

struct FolderEntry {
  std::string name;
  bool directory = false;
  bool regularFile = false;  // false for pipes, sockets and devices as well
};

// The entries of a folder in the order the file system returns them (no
// sorting). False when the folder cannot be read.
inline bool ListFolderEntries(const std::string& folder, std::vector<FolderEntry>& entries) {
  entries.clear();
  std::error_code error;
  std::filesystem::directory_iterator it(folder, error);
  if (error) return false;
  for (const std::filesystem::directory_iterator end; it != end; it.increment(error)) {
    if (error) break;
    FolderEntry entry;
    entry.name = it->path().filename().string();
    std::error_code typeError;
    entry.directory = it->is_directory(typeError);
    entry.regularFile = it->is_regular_file(typeError);
    entries.push_back(std::move(entry));
  }
  return true;
}

}  // namespace kelvor
