#include "platform/compression.h"

#include <zstd.h>

#include <algorithm>
#include <new>

namespace kelvor {

namespace {

ZSTD_CCtx* Compressor(void* context) {
  return static_cast<ZSTD_CCtx*>(context);
}

ZSTD_DCtx* Decompressor(void* context) {
  return static_cast<ZSTD_DCtx*>(context);
}

}  // namespace

BlockPacker::BlockPacker() : compressor_(ZSTD_createCCtx()), decompressor_(ZSTD_createDCtx()) {
  if (compressor_ == nullptr || decompressor_ == nullptr) throw std::bad_alloc();
  ZSTD_CCtx_setParameter(Compressor(compressor_), ZSTD_c_compressionLevel, PackLevel);
  // The block's size is known to the reader; no checksum: a piece in memory
  // is not damaged on the way.
  ZSTD_CCtx_setParameter(Compressor(compressor_), ZSTD_c_contentSizeFlag, 1);
}

BlockPacker::~BlockPacker() {
  ZSTD_freeCCtx(Compressor(compressor_));
  ZSTD_freeDCtx(Decompressor(decompressor_));
}

size_t BlockPacker::Bound(size_t size) {
  return ZSTD_compressBound(size);
}

size_t BlockPacker::Pack(std::span<const uint8_t> source, std::span<uint8_t> target) {
  const size_t packed = ZSTD_compress2(Compressor(compressor_), target.data(), target.size(),
                                       source.data(), source.size());
  return ZSTD_isError(packed) ? 0 : packed;
}

bool BlockPacker::Unpack(std::span<const uint8_t> packed, std::span<uint8_t> target) {
  if (ZSTD_getFrameContentSize(packed.data(), packed.size()) != target.size()) return false;
  const size_t size = ZSTD_decompressDCtx(Decompressor(decompressor_), target.data(), target.size(),
                                          packed.data(), packed.size());
  return !ZSTD_isError(size) && size == target.size();
}

PackingSink::PackingSink(ByteSink& target) : target_(target), stream_(ZSTD_createCCtx()) {
  if (stream_ == nullptr) {
    failed_ = true;
    return;
  }
  ZSTD_CCtx* stream = Compressor(stream_);
  ZSTD_CCtx_setParameter(stream, ZSTD_c_compressionLevel, PackLevel);
  ZSTD_CCtx_setParameter(stream, ZSTD_c_checksumFlag, 1);
  // Two threads pack while this one serialises, where the library has them.
  ZSTD_CCtx_setParameter(stream, ZSTD_c_nbWorkers, 2);
  try {
    buffer_.resize(ZSTD_CStreamOutSize());
  } catch (const std::bad_alloc&) {
    failed_ = true;
  }
}

PackingSink::~PackingSink() {
  ZSTD_freeCCtx(Compressor(stream_));
}

bool PackingSink::Drain(int mode, const void* data, size_t size) {
  ZSTD_inBuffer input{data, size, 0};
  for (;;) {
    ZSTD_outBuffer output{buffer_.data(), buffer_.size(), 0};
    const size_t left = ZSTD_compressStream2(Compressor(stream_), &output, &input,
                                             static_cast<ZSTD_EndDirective>(mode));
    if (ZSTD_isError(left)) return false;
    if (output.pos > 0) target_.Put(buffer_.data(), output.pos);
    if (target_.Failed()) return false;
    const bool done = mode == ZSTD_e_continue ? input.pos == input.size : left == 0;
    if (done) return true;
  }
}

void PackingSink::Put(const void* data, size_t size) {
  if (failed_ || size == 0) return;
  if (!Drain(ZSTD_e_continue, data, size)) failed_ = true;
}

bool PackingSink::Finish() {
  if (!failed_ && !Drain(ZSTD_e_end, nullptr, 0)) failed_ = true;
  return !Failed();
}

bool IsPackedStream(std::span<const uint8_t> bytes) {
  return bytes.size() >= 4 && bytes[0] == 0x28 && bytes[1] == 0xB5 && bytes[2] == 0x2F &&
         bytes[3] == 0xFD;
}

bool UnpackStream(std::span<const uint8_t> packed, size_t limit, std::vector<uint8_t>& out) {
  out.clear();
  ZSTD_DCtx* stream = ZSTD_createDCtx();
  if (stream == nullptr) return false;
  // A hostile stream may ask for a window of gigabytes.
  ZSTD_DCtx_setParameter(stream, ZSTD_d_windowLogMax, 27);
  ZSTD_inBuffer input{packed.data(), packed.size(), 0};
  bool ok = false;
  try {
    const size_t step = ZSTD_DStreamOutSize();
    for (;;) {
      const size_t used = out.size();
      if (used > limit) break;
      // One byte past the limit is room enough to see it passed.
      const size_t room = limit - used;
      out.resize(used + (room >= step ? step : room + 1));
      ZSTD_outBuffer output{out.data() + used, out.size() - used, 0};
      const size_t left = ZSTD_decompressStream(stream, &output, &input);
      out.resize(used + output.pos);
      if (ZSTD_isError(left)) break;
      if (left == 0) {
        // One frame, nothing after it.
        ok = input.pos == input.size && out.size() <= limit;
        break;
      }
      if (input.pos == input.size && output.pos < output.size) break;  // cut short
    }
  } catch (const std::bad_alloc&) {
    ok = false;
  }
  ZSTD_freeDCtx(stream);
  if (!ok) out.clear();
  return ok;
}

}  // namespace kelvor
