#include "files/text_values.h"

#include <charconv>

namespace kelvor {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}

void SkipBlanks(std::string_view& text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  text.remove_prefix(i);
}

bool TakeDecimal(std::string_view& text, int64_t& value) {
  SkipBlanks(text);
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  uint64_t magnitude = 0;
  const std::from_chars_result done =
      std::from_chars(text.data(), text.data() + text.size(), magnitude);
  if (done.ec != std::errc() || magnitude > (uint64_t{1} << 40)) return false;
  text.remove_prefix(static_cast<size_t>(done.ptr - text.data()));
  value = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

bool TakeInt32(std::string_view& text, int32_t& value) {
  int64_t wide = 0;
  if (!TakeDecimal(text, wide) || wide < INT32_MIN || wide > INT32_MAX) return false;
  value = static_cast<int32_t>(wide);
  return true;
}

bool TakeHex(std::string_view& text, uint32_t& value) {
  SkipBlanks(text);
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
  }
  const std::from_chars_result done =
      std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (done.ec != std::errc()) return false;
  text.remove_prefix(static_cast<size_t>(done.ptr - text.data()));
  return true;
}

bool TakeFlagWord(std::string_view line, size_t& at, int32_t& value) {
  size_t i = at;
  while (i < line.size() && line[i] != ' ' && IsBlank(line[i])) ++i;
  bool negative = false;
  if (i < line.size() && (line[i] == '+' || line[i] == '-')) negative = line[i++] == '-';
  int64_t magnitude = 0;
  for (; i < line.size() && static_cast<unsigned>(line[i] - '0') < 10; ++i) {
    magnitude = magnitude * 10 + (line[i] - '0');
    if (magnitude > int64_t{INT32_MAX} + 1) return false;
  }
  while (i < line.size() && line[i] != ' ') ++i;
  at = i;
  const int64_t signedValue = negative ? -magnitude : magnitude;
  if (signedValue > INT32_MAX) return false;
  value = static_cast<int32_t>(signedValue);
  return true;
}

bool SingleDigitWords(std::string_view line, uint8_t* values) {
  const size_t count = line.size() / 2 + 1;
  unsigned bad = 0;
  for (size_t i = 0; i < count; ++i) {
    const auto digit = static_cast<uint8_t>(line[2 * i] - '0');
    bad |= digit > 9 ? 1u : 0u;
    values[i] = digit;
  }
  for (size_t i = 1; i < count; ++i) bad |= line[2 * i - 1] != ' ' ? 1u : 0u;
  return bad == 0;
}

std::string_view FirstWord(std::string_view line) {
  SkipBlanks(line);
  size_t end = 0;
  while (end < line.size() && !IsBlank(line[end])) ++end;
  return line.substr(0, end);
}

std::string_view TrimBlanks(std::string_view line) {
  SkipBlanks(line);
  size_t end = line.size();
  while (end > 0 && IsBlank(line[end - 1])) --end;
  return line.substr(0, end);
}

bool StartsWithNumber(std::string_view text) {
  SkipBlanks(text);
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) text.remove_prefix(1);
  return !text.empty() && static_cast<unsigned>(text[0] - '0') < 10;
}

}  // namespace kelvor
