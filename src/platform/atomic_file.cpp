#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <new>
#include <optional>
#include <stdexcept>
#include <system_error>

#include "base/parallel.h"

namespace kelvor {

namespace {

constexpr size_t BufferSize = size_t{1} << 20;
constexpr uint64_t WritebackChunk = uint64_t{8} << 20;

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Saving through a symbolic link replaces the file it points to, not the link.
std::string ResolveTarget(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::is_symlink(path, error)) return path;
  const std::filesystem::path resolved = std::filesystem::weakly_canonical(path, error);
  return error ? path : resolved.string();
}

void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);  // best effort: the rename is done either way
  ::close(fd);
}

}  // namespace

void VectorByteSink::Put(const void* data, size_t size) {
  const auto* begin = static_cast<const uint8_t*>(data);
  bytes.insert(bytes.end(), begin, begin + size);
}

AtomicFile::~AtomicFile() {
  Discard();
}

bool MayReplace(const std::string& target) {
  std::error_code error;
  if (std::filesystem::is_directory(target, error)) return false;
  struct stat existing {};
  return ::stat(target.c_str(), &existing) != 0 || ::access(target.c_str(), W_OK) == 0;
}

bool AtomicFile::Open(const std::string& target) {
  Discard();
  target_ = ResolveTarget(target);
  failed_ = false;
  buffered_ = 0;
  written_ = 0;
  writebackFrom_ = 0;
  if (target_.empty() || !MayReplace(target_)) return false;

  // Keep the permissions of the file being replaced; a new file gets the
  // usual 0666 less the umask through open().
  mode_t mode = 0666;
  struct stat existing {};
  const bool replacing = ::stat(target_.c_str(), &existing) == 0;
  if (replacing) mode = existing.st_mode & 07777;

  const std::string folder = FolderOf(target_);
  const std::string base = target_.substr(target_.rfind('/') + 1);
  const std::string stem = (folder == "." && target_.find('/') == std::string::npos)
                               ? "." + base
                               : folder + (folder == "/" ? "" : "/") + "." + base;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    std::string candidate =
        stem + "." + std::to_string(::getpid()) + "." + std::to_string(attempt) + ".tmp";
    const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0) {
      fd_ = fd;
      temporary_ = std::move(candidate);
      if (replacing) ::fchmod(fd_, mode);
      try {
        buffer_.resize(BufferSize);
      } catch (const std::bad_alloc&) {
        Discard();
        return false;
      }
      return true;
    }
    if (errno != EEXIST) break;
  }
  return false;
}

bool AtomicFile::WriteAll(const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd_, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (written == 0) return false;
    data += written;
    size -= static_cast<size_t>(written);
    written_ += static_cast<uint64_t>(written);
  }
#ifdef __linux__
  // Big files go to the disk while the rest is still being made, so that
  // the flush at the end has little left to wait for. Only a hint: the
  // flush reports any failure.
  if (written_ - writebackFrom_ >= WritebackChunk) {
    ::sync_file_range(fd_, static_cast<off_t>(writebackFrom_),
                      static_cast<off_t>(written_ - writebackFrom_), SYNC_FILE_RANGE_WRITE);
    writebackFrom_ = written_;
  }
#endif
  return true;
}

bool AtomicFile::FlushBuffer() {
  if (buffered_ == 0) return true;
  const bool ok = WriteAll(buffer_.data(), buffered_);
  buffered_ = 0;
  return ok;
}

void AtomicFile::Put(const void* data, size_t size) {
  if (fd_ < 0 || failed_) {
    failed_ = true;
    return;
  }
  const auto* bytes = static_cast<const uint8_t*>(data);
  // Blocks a writer has gathered itself go out as they are.
  if (buffered_ == 0 && size >= buffer_.size() / 2) {
    if (!WriteAll(bytes, size)) failed_ = true;
    return;
  }
  if (buffered_ + size <= buffer_.size()) {
    std::memcpy(buffer_.data() + buffered_, bytes, size);
    buffered_ += size;
    return;
  }
  if (!FlushBuffer()) {
    failed_ = true;
    return;
  }
  if (size >= buffer_.size()) {
    if (!WriteAll(bytes, size)) failed_ = true;
    return;
  }
  std::memcpy(buffer_.data(), bytes, size);
  buffered_ = size;
}

bool AtomicFile::Sync() {
  if (fd_ < 0 || failed_ || !FlushBuffer() || ::fsync(fd_) != 0) failed_ = true;
  return !failed_;
}

FileWriteStatus AtomicFile::Commit() {
  if (fd_ < 0) return FileWriteStatus::CannotCreate;
  bool ok = !failed_ && FlushBuffer();
  ok = ok && ::fsync(fd_) == 0;
  const int closed = ::close(fd_);
  fd_ = -1;
  ok = ok && closed == 0;
  ok = ok && ::rename(temporary_.c_str(), target_.c_str()) == 0;
  if (!ok) {
    Discard();
    return FileWriteStatus::CannotWrite;
  }
  temporary_.clear();
  SyncFolder(FolderOf(target_));
  buffer_.clear();
  buffer_.shrink_to_fit();
  return FileWriteStatus::Ok;
}

void AtomicFile::Discard() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temporary_.empty()) {
    ::unlink(temporary_.c_str());
    temporary_.clear();
  }
  buffered_ = 0;
  buffer_.clear();
  buffer_.shrink_to_fit();
}

FileWriteStatus WriteFileAtomically(const std::string& path, const void* data, size_t size) {
  AtomicFile file;
  if (!file.Open(path)) return FileWriteStatus::CannotCreate;
  file.Put(data, size);
  return file.Commit();
}

namespace {

// Opens a regular file for reading and tells its size; -1 for anything else
// (a folder, a pipe or a device would block or lie about its size).
int OpenRegularFile(const std::string& path, size_t& size) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0 ||
      static_cast<uint64_t>(info.st_size) > SIZE_MAX / 2) {
    ::close(fd);
    return -1;
  }
  size = static_cast<size_t>(info.st_size);
  return fd;
}

// Reads up to `expected` bytes; the count read (less when the file shrank
// meanwhile), or nothing on a read error. Closes the file either way.
std::optional<size_t> ReadAndClose(int fd, uint8_t* into, size_t expected) {
  size_t done = 0;
  while (done < expected) {
    const ssize_t got = ::read(fd, into + done, expected - done);
    if (got < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return std::nullopt;
    }
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  ::close(fd);
  return done;
}

// Up to `count` bytes from `offset` on, without moving the file position;
// fewer at the end of the file, nothing on a read error.
std::optional<size_t> ReadAt(int fd, uint8_t* into, size_t count, size_t offset) {
  size_t done = 0;
  while (done < count) {
    const ssize_t got = ::pread(fd, into + done, count - done, static_cast<off_t>(offset + done));
    if (got < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (got == 0) break;
    done += static_cast<size_t>(got);
  }
  return done;
}

// Bytes from which a file is read in two halves at once.
constexpr size_t ReadInHalvesFrom = size_t{4} << 20;

}  // namespace

bool ReadFileIntoWords(const std::string& path, std::vector<uint32_t>& words, size_t& size) {
  size_t expected = 0;
  const int fd = OpenRegularFile(path, expected);
  if (fd < 0) return false;
  try {
    words.assign((expected + 3) / 4, 0);
  } catch (const std::bad_alloc&) {
    ::close(fd);
    return false;
  } catch (const std::length_error&) {
    ::close(fd);
    return false;
  }
  const std::optional<size_t> read =
      ReadAndClose(fd, reinterpret_cast<uint8_t*>(words.data()), expected);
  if (!read) return false;
  size = *read;
  return true;
}

bool FileContents::Open(const std::string& path, const HeadCheck& wanted) {
  block_.reset();
  size_ = 0;
  size_t expected = 0;
  const int fd = OpenRegularFile(path, expected);
  if (fd < 0) return false;
  block_.reset(new (std::nothrow) uint8_t[expected == 0 ? 1 : expected]);
  if (!block_) {
    ::close(fd);
    return false;
  }
  size_t done = 0;
  if (wanted) {
    // The head first, so that a file of another form is turned away
    // before the rest of it is read.
    const size_t head = std::min(expected, HeadBytes);
    while (done < head) {
      const ssize_t got = ::read(fd, block_.get() + done, head - done);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) break;
      done += static_cast<size_t>(got);
    }
    if (!wanted(std::span<const uint8_t>(block_.get(), done))) {
      ::close(fd);
      block_.reset();
      return false;
    }
  }
  if (expected - done >= ReadInHalvesFrom) {
    // The copy out of the page cache is most of reading a big file that is
    // cached: its two halves are copied at once.
    const size_t middle = done + (expected - done) / 2;
    std::optional<size_t> halves[2];
    RunInParallel(2, [&](size_t part) {
      const size_t from = part == 0 ? done : middle;
      const size_t to = part == 0 ? middle : expected;
      halves[part] = ReadAt(fd, block_.get() + from, to - from, from);
    });
    ::close(fd);
    if (!halves[0] || !halves[1]) {
      block_.reset();
      return false;
    }
    // A file that shrank meanwhile ends where the first gap is.
    size_ = *halves[0] < middle - done ? done + *halves[0] : middle + *halves[1];
    return true;
  }
  const std::optional<size_t> read = ReadAndClose(fd, block_.get() + done, expected - done);
  if (!read) {
    block_.reset();
    return false;
  }
  size_ = done + *read;
  return true;
}

}  // namespace kelvor
