#pragma once

// The words and numbers of a text document's lines, read as C's conversions
// read them.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kelvor {

// Space, tab, vertical tab, form feed and CR.
bool IsBlank(char c);
void SkipBlanks(std::string_view& text);

// A decimal integer with an optional sign, after optional blanks.
bool TakeDecimal(std::string_view& text, int64_t& value);
bool TakeInt32(std::string_view& text, int32_t& value);
bool TakeHex(std::string_view& text, uint32_t& value);

// The word of a flag row at `at`, which ends at the next space, read as C's
// decimal conversion reads it: blanks, an optional sign, then digits up to
// the first other character; the rest of the word does not count and a
// word without digits is 0. Moves `at` past the word. False for a number
// beyond 32 bits.
bool TakeFlagWord(std::string_view line, size_t& at, int32_t& value);

// A line of one-digit words with one space between each two, as a flag row
// of flags below 10 is written, read into `values` (line.size() / 2 + 1 of
// them) without a branch per word. False for any other line, of which
// `values` then holds nothing of use.
bool SingleDigitWords(std::string_view line, uint8_t* values);

// The first blank-delimited word.
std::string_view FirstWord(std::string_view line);
// The line without the blanks around it.
std::string_view TrimBlanks(std::string_view line);
// Whether the text starts with a decimal number, as C's conversion would
// find one: blanks, an optional sign, a digit.
bool StartsWithNumber(std::string_view text);

}  // namespace kelvor
