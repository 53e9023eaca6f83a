#pragma once

#include <cstdint>

#include "app/editor_context.h"

namespace kelvor {

// Runs a command of the map window's menu, its context menu or the
// accelerators. Returns true when the id is none of them (the caller then
// leaves it alone) and false when it was handled.
bool DispatchMapCommand(EditorContext& context, int32_t id);

// Carries out what a map tool asked for: caption, repaint, cursor.
void ApplyToolResult(EditorContext& context, const ToolResult& result);

}  // namespace kelvor
