#pragma once

#include <string>
#include <string_view>

namespace kelvor {

// Length of the valid UTF-8 sequence of a character from 0x80 on starting at
// `i` (2 to 4), or 0 when the bytes there are not one.
size_t Utf8SequenceLength(std::string_view text, size_t i);

// A JSON string literal. Names are the system's bytes: valid UTF-8 passes
// through, any other byte becomes the code point of the same value, so the
// output is always valid JSON.
std::string JsonString(std::string_view text);

}  // namespace kelvor
