#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "document/chip_sheet.h"
#include "document/map_document.h"
#include "document/sheet_menu.h"
#include "files/document_staging.h"

namespace kelvor {

struct Workspace;
class ImageDecoder;
class Messages;

// One flag per ChipFileList index: a used chip names this file but no loaded
// sheet of that name has an image.
using MissingImageList = std::array<bool, ChipFileSlots>;

// Both tables get a fresh 512 x 512 atlas, all transparent black.
void CreateChipAtlases(MapDocument& document);

// Redraws every atlas square (slots 1..255) from the loaded sheets, looking
// sheets up by name ignoring ASCII case. A chip whose square does not lie
// wholly inside its image stays empty and is not counted as missing.
void RebuildChipAtlases(MapDocument& document, const ChipSheetTable& sheets,
                        MissingImageList& missing);

// Which file names the used chips refer to without a loaded image, by the
// rule the atlas rebuild uses.
MissingImageList FindMissingImages(const MapDocument& document, const ChipSheetTable& sheets);

// One line per missing name in index order: folder, separator, name, line feed.
std::string MissingImageText(const MissingImageList& missing, const ChipFileList& fileList,
                             const std::string& chipFolderPath);

// What the shell must refresh after an open, and then report.
struct OpenRefresh {
  bool title = false;          // the caption's usage counts
  bool scrollExtents = false;  // both views' scroll ranges
  bool palette = false;        // the palette shows re-keyed sheets
  bool sheetMenu = false;      // sheets were added: the palette's file menu
  size_t copiedImages = 0;     // tileset images copied into the chip-set folder
  // The chip-set images the document names but the folder lacks, one line
  // each (MissingImageText); empty when none is missing.
  std::string missingImages;
};

// Reads a document (text form first, then binary), then re-keys the sheets,
// rebuilds the atlases, records the path, clears the current sheet's
// placement marks, resets the undo history and lists the missing images. A
// file neither reader takes gives "ファイルを読み込めません" and changes
// nothing. The missing images are left for the caller to show with
// ShowMissingImages once the caption and the scroll ranges are refreshed, so
// that the box never stands over a window still showing the last document.
bool OpenDocument(Workspace& workspace, const std::string& path, Messages& messages,
                  OpenRefresh& refresh);
// What follows every successful read: sheets re-keyed, atlases rebuilt,
// `documentPath` recorded (empty: none), placement marks of the current sheet
// cleared, undo history emptied, the missing images listed in `refresh`.
void FinishOpen(Workspace& workspace, const std::string& documentPath, OpenRefresh& refresh);

// OpenDocument for a document parsed already (the command-line tool's info
// reads the file once): commits it as a reader would, then does the same.
bool OpenParsedDocument(Workspace& workspace, const std::string& path, StagedDocument&& staged,
                        Messages& messages, OpenRefresh& refresh);

// The missing-image box of an open: no icon, the list as its text.
void ShowMissingImages(const OpenRefresh& refresh, Messages& messages);

struct StartupResult {
  SheetMenu sheetMenu;
  bool chipFolderExists = false;  // else the shell reports it
};

// The start-up order of the document side: reset everything, set the
// folders, scan the chip sheets, make the atlases, reserve slot 0 of both
// tables and propose a 20 x 15 map without making one. An empty
// `chipFolder` means the default folder (map_chip beside the executable, or
// the installed chip set).
StartupResult InitializeWorkspace(Workspace& workspace, const std::string& exeFolder,
                                  ImageDecoder& decoder, const std::string& chipFolder = "");

}  // namespace kelvor
