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

// The Save command: the chip-set optimisation, then the binary form to the
// document's file; a document without a file gets the Save As dialog.
void SaveDocument(EditorContext& context);
// The one gate before the open document is replaced (New, Open, a drop, a
// file handed over by a second start) or the editor ends: asks about
// unsaved changes, saving on Yes. False when the user kept them (Cancel,
// or a save that did not happen).
bool MayReplaceDocument(EditorContext& context);
// A file dropped on the window or handed over by a second start: the
// question first, then the open.
void ReplaceDocumentWith(EditorContext& context, const std::string& path);

// Opens a document (command line, drop, Open dialog) and refreshes what it
// changed: caption, scroll ranges and palette first, then the report of
// missing images. A file that cannot be read is reported and changes nothing.
void OpenDocumentAndRefresh(EditorContext& context, const std::string& path);
// Refreshes what an open changed, then shows the missing-image box, so the
// box never stands over a window still showing the last document.
void ApplyOpenRefresh(EditorContext& context, const OpenRefresh& refresh);

}  // namespace kelvor
