#include "platform/png_writer.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <span>
#include <vector>

#include "platform/band_pipeline.h"

namespace kelvor {
namespace {

// A band of about this many pixel bytes: small enough that the bands in
// flight stay a few MiB, large enough that starting a fresh deflate block
// per band costs nothing worth measuring.
constexpr size_t BandBytes = size_t{1} << 20;
// Bands made ahead of the one being written, beyond one per thread.
constexpr int32_t SpareSlots = 2;
// Level 3: on maps, rows of repeated chips, it comes close to zlib's default
// level in size at a third of its time.
constexpr int CompressionLevel = 3;
// zlib header for a 32 KiB window at a fast level (FLEVEL 1).
constexpr std::array<uint8_t, 2> ZlibHeader = {0x78, 0x5E};
// zlib takes 32-bit counts; larger inputs and outputs go in slices.
constexpr size_t ZlibSlice = size_t{1} << 30;
// Chunks stay well below the 2^31 - 1 bytes the format allows.
constexpr size_t MaxIdatBytes = size_t{1} << 30;
// 100 dots per inch, what Qt's writer declared in the map pictures
// kelvor-cli made before, without a screen to ask.
constexpr uint32_t DotsPerMetre = 3937;

void PutBig32(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value >> 24);
  at[1] = static_cast<uint8_t>(value >> 16);
  at[2] = static_cast<uint8_t>(value >> 8);
  at[3] = static_cast<uint8_t>(value);
}

// One chunk whose data is the pieces in order: length, type, data, CRC-32
// of type and data.
void PutChunk(ByteSink& sink, const char* type,
              std::initializer_list<std::span<const uint8_t>> pieces) {
  size_t size = 0;
  for (const std::span<const uint8_t> piece : pieces) size += piece.size();
  uint8_t head[8];
  PutBig32(head, static_cast<uint32_t>(size));
  std::memcpy(head + 4, type, 4);
  uLong crc = crc32_z(0, head + 4, 4);
  sink.Put(head, sizeof head);
  for (const std::span<const uint8_t> piece : pieces) {
    if (piece.empty()) continue;  // zlib takes a null buffer as a request to start over
    crc = crc32_z(crc, piece.data(), piece.size());
    sink.Put(piece.data(), piece.size());
  }
  uint8_t tail[4];
  PutBig32(tail, static_cast<uint32_t>(crc));
  sink.Put(tail, sizeof tail);
}

// Blue, green, red, alpha to the file's red, green, blue, alpha; `rgba` may
// be `bgra`.
void ToRgba(const uint8_t* bgra, uint8_t* rgba, size_t pixels) {
  for (size_t i = 0; i < pixels; ++i) {
    uint32_t p;
    std::memcpy(&p, bgra + i * 4, 4);
    p = (p & 0xFF00FF00u) | ((p >> 16) & 0xFFu) | ((p & 0xFFu) << 16);
    std::memcpy(rgba + i * 4, &p, 4);
  }
}

// One band's rows as the zlib stream holds them, compressed.
struct CompressedBand {
  std::vector<uint8_t> bytes;
  size_t used = 0;
  uLong adler = 0;      // of the filtered rows
  uint64_t length = 0;  // bytes of filtered rows
};

class DeflateStream {
 public:
  DeflateStream() = default;
  ~DeflateStream() {
    if (open_) deflateEnd(&z_);
  }
  DeflateStream(const DeflateStream&) = delete;
  DeflateStream& operator=(const DeflateStream&) = delete;

  // Starts the raw deflate blocks of a band, a stream of their own.
  bool Begin() {
    if (open_) return deflateReset(&z_) == Z_OK;
    open_ = deflateInit2(&z_, CompressionLevel, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    return open_;
  }

  // Compresses `input` after the band's bytes so far, then does `flush`:
  // Z_SYNC_FLUSH ends a band on a byte boundary for the next band's blocks,
  // Z_FINISH marks the last block of the file.
  bool Add(std::span<const uint8_t> input, int flush, CompressedBand& out) {
    do {
      const size_t slice = std::min(input.size(), ZlibSlice);
      const int mode = slice == input.size() ? flush : Z_NO_FLUSH;
      z_.next_in = const_cast<Bytef*>(input.data());
      z_.avail_in = static_cast<uInt>(slice);
      input = input.subspan(slice);
      for (;;) {
        if (out.bytes.size() - out.used < 4096) {
          out.bytes.resize(out.bytes.size() + std::max(out.bytes.size() / 2, size_t{65536}));
        }
        const size_t room = std::min(out.bytes.size() - out.used, ZlibSlice);
        z_.next_out = out.bytes.data() + out.used;
        z_.avail_out = static_cast<uInt>(room);
        const int result = deflate(&z_, mode);
        out.used += room - z_.avail_out;
        if (result == Z_STREAM_ERROR) return false;
        if (mode == Z_FINISH ? result == Z_STREAM_END : z_.avail_in == 0 && z_.avail_out != 0) {
          break;
        }
      }
    } while (!input.empty());
    return true;
  }

 private:
  z_stream z_{};
  bool open_ = false;
};

// What a band in flight owns; slots are reused band after band.
struct BandSlot {
  PixelBuffer pixels;
  CompressedBand compressed;
  DeflateStream stream;
  bool blank = false;  // all zero: the shared blank band stands in
};

// The rows turned into the file's byte order in place, filtered (type 0,
// None) and compressed. Maps are chips repeated along the rows; deflate
// finds those repeats in the bytes as they are, where the predicting
// filters would blur them.
bool CompressPixels(PixelBuffer& pixels, bool last, DeflateStream& stream, CompressedBand& out) {
  static constexpr uint8_t NoFilter[1] = {0};
  const size_t rowBytes = static_cast<size_t>(pixels.width) * 4;
  out.used = 0;
  out.adler = adler32_z(0, nullptr, 0);
  out.length = (rowBytes + 1) * static_cast<size_t>(pixels.height);
  if (!stream.Begin()) return false;
  for (int32_t y = 0; y < pixels.height; ++y) {
    uint8_t* row = pixels.Row(y);
    ToRgba(row, row, static_cast<size_t>(pixels.width));
    const int flush = y + 1 < pixels.height ? Z_NO_FLUSH : last ? Z_FINISH : Z_SYNC_FLUSH;
    if (!stream.Add(NoFilter, Z_NO_FLUSH, out) || !stream.Add({row, rowBytes}, flush, out)) {
      return false;
    }
    out.adler = adler32_z(adler32_z(out.adler, NoFilter, 1), row, rowBytes);
  }
  return true;
}

}  // namespace

bool WritePngBands(const PictureSource& source, ByteSink& sink) {
  const int32_t width = source.Width();
  const int32_t height = source.Height();
  if (width < 1 || height < 1 || width > MaxStreamedWidth) return false;
  const size_t rowBytes = static_cast<size_t>(width) * 4;
  const int32_t bandRows = static_cast<int32_t>(
      std::clamp<size_t>(BandBytes / rowBytes, 1, static_cast<size_t>(height)));
  const int64_t bands = (int64_t{height} + bandRows - 1) / bandRows;

  static constexpr uint8_t Signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  sink.Put(Signature, sizeof Signature);
  uint8_t header[13] = {};
  PutBig32(header, static_cast<uint32_t>(width));
  PutBig32(header + 4, static_cast<uint32_t>(height));
  header[8] = 8;  // bits per channel
  header[9] = 6;  // red, green, blue, alpha
  PutChunk(sink, "IHDR", {header});
  uint8_t resolution[9] = {};
  PutBig32(resolution, DotsPerMetre);
  PutBig32(resolution + 4, DotsPerMetre);
  resolution[8] = 1;  // per metre
  PutChunk(sink, "pHYs", {resolution});

  // Empty stretches of a map give all-zero bands; they are compressed once
  // and their bytes repeated. The last band ends the stream and is made
  // as it comes.
  CompressedBand blank;
  const bool haveBlank = bands > 1;
  std::vector<BandSlot> slots;
  try {
    if (haveBlank) {
      BandSlot scratch;
      scratch.pixels = PixelBuffer::Make(width, bandRows);
      if (!CompressPixels(scratch.pixels, false, scratch.stream, blank)) {
        return false;
      }
    }
    slots = std::vector<BandSlot>(static_cast<size_t>(BandThreads() + SpareSlots));
  } catch (const std::exception&) {
    return false;
  }

  uLong adler = adler32_z(0, nullptr, 0);
  const auto make = [&](int64_t band, int32_t slot) {
    BandSlot& s = slots[static_cast<size_t>(slot)];
    const int64_t top = band * bandRows;
    const int32_t rows = static_cast<int32_t>(std::min<int64_t>(bandRows, height - top));
    const bool last = band == bands - 1;
    if (s.pixels.height != rows) s.pixels = PixelBuffer::Make(width, rows);
    const bool drawn = source.ComposeRows(static_cast<int32_t>(top), s.pixels, RowOrder::TopDown);
    s.blank = !drawn && !last && haveBlank && rows == bandRows;
    return s.blank || CompressPixels(s.pixels, last, s.stream, s.compressed);
  };
  const auto take = [&](int64_t band, int32_t slot) {
    const BandSlot& s = slots[static_cast<size_t>(slot)];
    const CompressedBand& compressed = s.blank ? blank : s.compressed;
    adler = adler32_combine(adler, compressed.adler, static_cast<z_off_t>(compressed.length));
    uint8_t check[4];
    PutBig32(check, static_cast<uint32_t>(adler));
    std::span<const uint8_t> rest(compressed.bytes.data(), compressed.used);
    const bool last = band == bands - 1;
    bool first = band == 0;
    do {
      const std::span<const uint8_t> slice = rest.first(std::min(rest.size(), MaxIdatBytes));
      rest = rest.subspan(slice.size());
      const std::span<const uint8_t> none;
      PutChunk(sink, "IDAT",
               {first ? std::span<const uint8_t>(ZlibHeader) : none, slice,
                last && rest.empty() ? std::span<const uint8_t>(check) : none});
      first = false;
    } while (!rest.empty());
    return !sink.Failed();
  };
  if (!RunBandPipeline(bands, static_cast<int32_t>(slots.size()), BandThreads(), make, take)) {
    return false;
  }
  PutChunk(sink, "IEND", {});
  return !sink.Failed();
}

}  // namespace kelvor
