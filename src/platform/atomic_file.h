#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kelvor {

// Where serialisers put their bytes: a file being saved, or memory.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void Put(const void* data, size_t size) = 0;
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
};

// Writes `bytes` to `path` as AtomicFile does.
FileWriteStatus WriteFileAtomically(const std::string& path, const void* data, size_t size);

// The whole content of a regular file, or nothing when it cannot be read.
std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path);

// A regular file mapped read-only for parsing: no copy of its bytes is made
// before the parser looks at them.
class MappedFile {
 public:
  MappedFile() = default;
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  bool Open(const std::string& path);
  const uint8_t* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  void Close();

  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  void* mapping_ = nullptr;
  std::vector<uint8_t> fallback_;  // for files that cannot be mapped
};

}  // namespace kelvor
