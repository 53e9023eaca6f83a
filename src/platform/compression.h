#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/atomic_file.h"

namespace kelvor {

// zstd at a fast level: maps are repetitive, and what is packed is packed
// while the user waits.
inline constexpr int PackLevel = 1;

// Packs and unpacks small blocks, reusing its working memory from one block
// to the next. One per thread.
class BlockPacker {
 public:
  BlockPacker();
  ~BlockPacker();
  BlockPacker(const BlockPacker&) = delete;
  BlockPacker& operator=(const BlockPacker&) = delete;

  // The largest packed size of `size` bytes.
  static size_t Bound(size_t size);
  // Packs `source` into `target` (at least Bound bytes); the packed size, or
  // 0 when it failed.
  size_t Pack(std::span<const uint8_t> source, std::span<uint8_t> target);
  // Unpacks `packed` into exactly `target.size()` bytes; false when the
  // packed bytes are damaged or hold another size.
  bool Unpack(std::span<const uint8_t> packed, std::span<uint8_t> target);

 private:
  void* compressor_ = nullptr;
  void* decompressor_ = nullptr;
};

// Passes everything put to it on to `target` packed as one zstd stream,
// which ends with Finish. A failure to pack is reported by Failed.
class PackingSink final : public ByteSink {
 public:
  explicit PackingSink(ByteSink& target);
  ~PackingSink() override;
  PackingSink(const PackingSink&) = delete;
  PackingSink& operator=(const PackingSink&) = delete;

  void Put(const void* data, size_t size) override;
  bool Failed() const override { return failed_ || target_.Failed(); }
  // Ends the stream; false when anything failed.
  bool Finish();

 private:
  bool Drain(int mode, const void* data, size_t size);

  ByteSink& target_;
  void* stream_ = nullptr;
  std::vector<uint8_t> buffer_;
  bool failed_ = false;
};

// Whether `bytes` start as a zstd stream does.
bool IsPackedStream(std::span<const uint8_t> bytes);
// Unpacks a whole zstd stream, growing `out` only as bytes come out and
// never past `limit`. False when the stream is damaged, cut short, followed
// by other bytes or unpacks to more than `limit`.
bool UnpackStream(std::span<const uint8_t> packed, size_t limit, std::vector<uint8_t>& out);

}  // namespace kelvor
