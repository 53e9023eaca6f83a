#include "base/ascii.h"

namespace kelvor {

namespace {

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

bool HasExtension(std::string_view path, std::string_view extension) {
  const size_t dot = path.rfind('.');
  if (dot == std::string_view::npos) return false;
  return EqualsIgnoringAsciiCase(path.substr(dot + 1), extension);
}

}  // namespace kelvor
