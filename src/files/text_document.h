#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "document/chip_sheet.h"
#include "document/map_document.h"
#include "editing/selection.h"
#include "files/document_staging.h"
#include "platform/atomic_file.h"
#include "platform/messages.h"

namespace kelvor {

// The text document: tag lines and values, CR LF between lines on every
// system and none after the last line.
void SerializeTextDocument(ByteSink& sink, const MapDocument& document,
                           const ChipSheetTable& sheets);

// Parses a text document (CR LF or LF line ends, lines of any length)
// without touching any open document. Ok with a map section that holds a
// cell or is closed by its tag, and no version older than this program reads.
ParseResult ParseTextDocument(std::span<const uint8_t> bytes);

bool WriteTextDocument(const std::string& path, MapDocument& document, const ChipSheetTable& sheets,
                       Messages& messages);
bool ReadTextDocument(const std::string& path, MapDocument& document, ChipSheetTable& sheets,
                      SelectionState& selection, Messages& messages);

}  // namespace kelvor
