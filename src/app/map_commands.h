#pragma once

#include <cstdint>
#include <string>

#include "app/editor_context.h"
#include "files/open_document.h"

namespace kelvor {

// Runs a command of the map window's menu, its context menu or the
// accelerators. Returns true when the id is none of them (the caller then
// leaves it alone) and false when it was handled.
bool DispatchMapCommand(EditorContext& context, int32_t id);

// Carries out what a map tool asked for: caption, repaint, cursor.
void ApplyToolResult(EditorContext& context, const ToolResult& result);

// Opens a document (command line, drop, Open dialog) and refreshes what it
// changed: caption, scroll ranges and palette first, then the report of
// missing images. A file that cannot be read is reported and changes nothing.
void OpenDocumentAndRefresh(EditorContext& context, const std::string& path);
// Refreshes what an open changed, then shows the missing-image box, so the
// box never stands over a window still showing the last document.
void ApplyOpenRefresh(EditorContext& context, const OpenRefresh& refresh);

}  // namespace kelvor
