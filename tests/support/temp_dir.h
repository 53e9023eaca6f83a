#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kelvor::test {

// A fresh folder under the system temp folder, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string File(std::string_view name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// A numbered name such as "f12.png", built by appending: GCC 12 at -O3 warns
// (falsely) about `"f" + std::to_string(n)`.
inline std::string Numbered(std::string_view prefix, int number, std::string_view suffix = "") {
  std::string name(prefix);
  name += std::to_string(number);
  name += suffix;
  return name;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
void WriteFileText(const std::string& path, std::string_view text);

}  // namespace kelvor::test
