#pragma once

// Helpers that make files, folders and memory fail on purpose, in ways that
// hold for root as well (tests and CI run as root, which ignores permission
// bits).
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <string>

namespace kelvor::test {

// Sets the immutable attribute on a folder: nobody, root included, can
// create, rename or remove entries in it until it is cleared again.
class ImmutableFolder {
 public:
  explicit ImmutableFolder(const std::filesystem::path& folder) : folder_(folder) {
    applied_ = SetImmutable(true);
  }
  ~ImmutableFolder() {
    if (applied_) SetImmutable(false);
  }
  ImmutableFolder(const ImmutableFolder&) = delete;
  ImmutableFolder& operator=(const ImmutableFolder&) = delete;

  // False when the file system or the process cannot do it.
  bool applied() const { return applied_; }

 private:
  bool SetImmutable(bool on) {
    const int fd = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
      flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
      ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
  }

  std::filesystem::path folder_;
  bool applied_ = false;
};

// The names in a folder, to show that a failed save left no stray files.
inline std::set<std::string> NamesIn(const std::filesystem::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// Address-space limits cannot be used under AddressSanitizer, which reserves
// terabytes of shadow memory up front.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool AddressSpaceLimitsWork = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool AddressSpaceLimitsWork = false;
#else
inline constexpr bool AddressSpaceLimitsWork = true;
#endif
#else
inline constexpr bool AddressSpaceLimitsWork = true;
#endif

// Address space the process maps now, in bytes.
inline uint64_t MappedBytes() {
  FILE* statm = std::fopen("/proc/self/statm", "r");
  if (statm == nullptr) return 0;
  unsigned long long pages = 0;
  const int read = std::fscanf(statm, "%llu", &pages);
  std::fclose(statm);
  return read == 1 ? pages * static_cast<uint64_t>(::sysconf(_SC_PAGESIZE)) : 0;
}

// Runs `body` in a child process whose address space may grow by at most
// `budget` bytes beyond what it maps at the start. Returns the child's exit
// status, or -1 when it was killed or could not be started. An allocation
// beyond the budget throws std::bad_alloc in the child; uncaught, that ends
// it with a signal.
inline int RunWithMemoryBudget(uint64_t budget, const std::function<int()>& body) {
  const pid_t child = ::fork();
  if (child < 0) return -1;
  if (child == 0) {
    struct rlimit limit {};
    limit.rlim_cur = limit.rlim_max = MappedBytes() + budget;
    if (::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(101);
    int status = 100;
    try {
      status = body();
    } catch (...) {
      status = 102;
    }
    ::_exit(status);
  }
  int status = 0;
  if (::waitpid(child, &status, 0) != child) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace kelvor::test
