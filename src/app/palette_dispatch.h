#pragma once

#include <cstdint>

#include "app/editor_context.h"
#include "palette/palette_effect.h"

namespace kelvor {

// Runs a command of the palette window's menu: the palette's own commands,
// then the sheet items. True when the id was one of them.
bool DispatchPaletteCommand(EditorContext& context, int32_t id);

// Carries out what a palette operation asked of the shell.
void ApplyPaletteEffect(EditorContext& context, const PaletteEffect& effect);

// Loads every sheet of the chip-set folder again and rebuilds the palette's
// file menu, under the wait cursor.
void RescanChipFolder(EditorContext& context);

}  // namespace kelvor
