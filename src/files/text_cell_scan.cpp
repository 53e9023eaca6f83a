#include "files/text_cell_scan.h"

#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kelvor {

namespace {

// Eight bytes of text as a word whose lowest byte is the first character.
uint64_t LoadWord(const char* text) {
  uint64_t word;
  std::memcpy(&word, text, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  return word;
}

// Eight bytes of text as digit values: '0'..'9' become 0..9, every other
// byte something above 9.
uint64_t DigitValues(uint64_t word) {
  return word ^ 0x3030303030303030u;
}

// Whether every byte of `values` (from DigitValues) is a digit: adding
// 0x76 carries into bit 7 from 10 on. A carry out of a byte only follows a
// byte that is marked itself.
bool AllDigits(uint64_t values) {
  return (((values + 0x7676767676767676u) | values) & 0x8080808080808080u) == 0;
}

// The number eight digit values spell, the first in the lowest byte: joined
// in pairs, fours, then eights.
uint32_t EightDigitsValue(uint64_t values) {
  values = (values * 2561) >> 8;
  values = ((values & 0x00FF00FF00FF00FFu) * 6553601) >> 16;
  return static_cast<uint32_t>(((values & 0x0000FFFF0000FFFFu) * 42949672960001u) >> 32);
}

// The last n bytes of a word, for n = 0..8.
constexpr uint64_t LastBytes[9] = {0,
                                   0xFF00000000000000u,
                                   0xFFFF000000000000u,
                                   0xFFFFFF0000000000u,
                                   0xFFFFFFFF00000000u,
                                   0xFFFFFFFFFF000000u,
                                   0xFFFFFFFFFFFF0000u,
                                   0xFFFFFFFFFFFFFF00u,
                                   0xFFFFFFFFFFFFFFFFu};

// Bit i for every line feed among the 64 bytes from `text`.
uint64_t LineEnds(const char* text) {
#if defined(__SSE2__)
  const __m128i feed = _mm_set1_epi8('\n');
  uint64_t ends = 0;
  for (int part = 0; part < 4; ++part) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + 16 * part));
    const auto found = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, feed)));
    ends |= uint64_t{found} << (16 * part);
  }
  return ends;
#else
  uint64_t ends = 0;
  for (int i = 0; i < 64; ++i) ends |= uint64_t{text[i] == '\n'} << i;
  return ends;
#endif
}

}  // namespace

ShortCells ReadShortCells(const char* text, size_t from, size_t to, size_t size, uint64_t room,
                          std::vector<MapCell>& cells) {
  size_t start = from;  // of the line being read
  size_t count = 0;
  // The first lines of the text have fewer than eight bytes before their end.
  if (from < 8 || room == 0) return {start, count};
  for (size_t window = from; window < to && window + 64 <= size; window += 64) {
    uint64_t ends = LineEnds(text + window);
    if (to - window < 64) ends &= (uint64_t{1} << (to - window)) - 1;
    for (; ends != 0; ends &= ends - 1) {
      const size_t end = window + static_cast<size_t>(std::countr_zero(ends));
      const size_t last = end - (text[end - 1] == '\r' ? 1 : 0);  // just after the digits
      const size_t digits = last - start;
      if (digits - 1 >= 8) return {start, count};  // none, or more than eight
      // The bytes before the line count as leading zeros.
      const uint64_t values = DigitValues(LoadWord(text + last - 8)) & LastBytes[digits];
      if (!AllDigits(values)) return {start, count};
      cells.push_back(EightDigitsValue(values));
      start = end + 1;
      if (++count == room) return {start, count};
    }
  }
  return {start, count};
}

}  // namespace kelvor
