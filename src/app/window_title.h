#pragma once

#include <string>

#include "document/map_document.h"

namespace kelvor {

// The map window caption: program name, chips used per level and chip-set
// files used, with the counts padded to fixed widths so the caption does not
// jump while the user edits. In the interface language.
std::string FormatMapTitle(const MapDocument& document);

}  // namespace kelvor
