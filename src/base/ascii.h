#pragma once

#include <string_view>

namespace kelvor {

// Byte comparison ignoring ASCII letter case, as used to match sheet names.
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

// The text after the last '.' of a path equals `extension`, ignoring ASCII case.
bool HasExtension(std::string_view path, std::string_view extension);

}  // namespace kelvor
