#pragma once

#include <string>

#include "document/chip_sheet.h"
#include "document/sheet_menu.h"

namespace kelvor {

class ImageDecoder;

// The default chip-set folder: map_chip beside the executable; when that
// folder does not exist, ../share/kelvor/map_chip from the executable (where
// an installed copy keeps its chip set). When neither exists the first is
// named, so a report points the user at the documented place.
std::string DefaultChipFolder(const std::string& exeFolder);

// The folder the chip sheets come from: `chipFolder`, or the default folder
// when it is empty. Built with the native separator.
std::string ChipFolderPath(const std::string& exeFolder, const std::string& chipFolder);
// The full path of one sheet file in that folder.
std::string ChipSheetPath(const std::string& exeFolder, const std::string& chipFolder,
                          const std::string& fileName);

// Frees every sheet, then loads every file of the chip-set folder, in the
// order the file system lists them, into slots 0, 1, ... (at most 256 sheets;
// files that do not decode are skipped and their slot reused). Names, sizes
// and transparency settings of the slots stay until overwritten. Ends by
// rebuilding the sheet menu, whose model it returns.
SheetMenu ScanChipFolder(ChipSheetTable& sheets, const std::string& exeFolder,
                         const std::string& chipFolder, ImageDecoder& decoder);

// Decodes `path` into the sheet. With `allocateFlags` the flag block is made
// afresh (zero) and the layer flags are computed; without it the flags stay,
// unless the block does not fit the new image's chip count, in which case it
// is made afresh as well. The previous image is dropped
// even when the new one fails; the chip grid is then 0 x 0.
bool LoadChipSheet(ChipSheet& sheet, const std::string& path, bool allocateFlags,
                   ImageDecoder& decoder);

// Recomputes ChipFlagLayer of every chip: set when the chip has a pixel whose
// alpha is below 255. False when the sheet has no image or no flags.
bool InitLayerFlags(ChipSheet& sheet);

// Makes every pixel whose colour equals the sheet's colour key (alpha not
// compared) transparent black, when the key is on.
void ApplyTransparentColor(ChipSheet& sheet);

}  // namespace kelvor
