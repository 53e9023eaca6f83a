#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kelvor {

// Where serialisers put their bytes: a file being saved, or memory.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void Put(const void* data, size_t size) = 0;
  // True once a write failed, so that a long writer can stop early.
  virtual bool Failed() const { return false; }
};

class VectorByteSink final : public ByteSink {
 public:
  void Put(const void* data, size_t size) override;
  std::vector<uint8_t> bytes;
};

enum class FileWriteStatus { Ok, CannotCreate, CannotWrite };

// Saves a file so that the previous one survives any failure: the bytes go
// to a temporary file beside the target, every write and the flush to disk
// are checked, and only then is the temporary renamed over the target. An
// uncommitted temporary file is removed when the object goes away.
class AtomicFile final : public ByteSink {
 public:
  AtomicFile() = default;
  ~AtomicFile() override;
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Creates the temporary file; false when it cannot be created.
  bool Open(const std::string& target);
  // Buffered; a failure is remembered and reported by Commit.
  void Put(const void* data, size_t size) override;
  // Flushes and syncs what was put so far without renaming, so that a writer
  // can finish the files that go with this one before it commits. False,
  // and Commit fails, when the bytes did not reach the disk.
  bool Sync();
  bool Failed() const override { return failed_ || fd_ < 0; }
  // Flushes, syncs, closes and renames over the target. On any failure the
  // temporary file is removed and the target is left as it was.
  FileWriteStatus Commit();
  void Discard();

 private:
  bool WriteAll(const uint8_t* data, size_t size);
  bool FlushBuffer();

  int fd_ = -1;
  bool failed_ = false;
  std::string target_;
  std::string temporary_;
  std::vector<uint8_t> buffer_;
  size_t buffered_ = 0;
  uint64_t written_ = 0;        // bytes in the file so far
  uint64_t writebackFrom_ = 0;  // where the disk was last asked to catch up
};

// Whether a save may put a file at `target`: no folder stands there, and a
// file already there is one the user may write (the folder alone would let
// a save rename over it).
bool MayReplace(const std::string& target);

// Writes `bytes` to `path` as AtomicFile does.
FileWriteStatus WriteFileAtomically(const std::string& path, const void* data, size_t size);

// The bytes of a regular file in a block of 32-bit words, the last one
// padded with zeros, so that a reader can turn part of it into map cells
// in place instead of copying them out. `size` is the file's byte count.
bool ReadFileIntoWords(const std::string& path, std::vector<uint32_t>& words, size_t& size);

// The bytes of a regular file, read in one go into a heap block that is not
// cleared first (the read fills it): the allocator can hand the same memory
// out again at the next read of a file that size, where freshly mapped
// memory would be faulted in anew every time. A file that changes while it
// is read gives the bytes that were there, never a fault.
class FileContents {
 public:
  // Sees the first bytes of the file (up to HeadBytes) before the rest is
  // read; false turns the file away unread.
  using HeadCheck = std::function<bool(std::span<const uint8_t> head)>;
  static constexpr size_t HeadBytes = 4096;

  FileContents() = default;
  FileContents(const FileContents&) = delete;
  FileContents& operator=(const FileContents&) = delete;

  // False when the file cannot be read or `wanted` turns it away.
  bool Open(const std::string& path, const HeadCheck& wanted = nullptr);
  const uint8_t* data() const { return block_.get(); }
  uint8_t* data() { return block_.get(); }
  size_t size() const { return size_; }

 private:
  std::unique_ptr<uint8_t[]> block_;
  size_t size_ = 0;
};

}  // namespace kelvor
