#pragma once

#include <string>
#include <string_view>

namespace kelvor::cli {

// A JSON string literal. Names are the system's bytes: valid UTF-8 passes
// through, any other byte becomes the code point of the same value, so the
// output is always valid JSON.
std::string JsonString(std::string_view text);

}  // namespace kelvor::cli
