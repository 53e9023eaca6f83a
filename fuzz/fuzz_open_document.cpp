// The whole open sequence on any file: both readers, the re-keying of the
// sheets, the atlas rebuild against a small chip set held in memory and the
// missing-image report. A refused file must leave the workspace exactly as
// it was; an accepted one must leave it consistent.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "files/document_fixture.h"
#include "files/open_document.h"
#include "fuzz_checks.h"
#include "support/fakes.h"
#include "workspace/workspace.h"

namespace {

using namespace kelvor;

// A sheet whose pixels differ everywhere, so that a wrong atlas copy shows.
void AddSheet(Workspace& ws, const std::string& name, int32_t width, int32_t height) {
  ChipSheet& sheet = ws.sheets.sheets[static_cast<size_t>(ws.sheets.sheetCount++)];
  sheet.fileName = name;
  sheet.width = width;
  sheet.height = height;
  sheet.bitsPerPixel = 32;
  sheet.bitmap = PixelBuffer::Make(width, height);
  for (size_t i = 0; i < sheet.bitmap.pixels.size(); ++i) {
    sheet.bitmap.pixels[i] = static_cast<uint8_t>(i * 7 + i / 4096);
  }
  sheet.chipColumns = width / ChipSize;
  sheet.chipRows = height / ChipSize;
  sheet.chipFlags = std::vector<uint8_t>(sheet.FlagBlockSize(), 0x03);
}

// The workspace after start-up with three sheets and an open 4 x 3 map.
void Prepare(Workspace& ws) {
  ws.folders.exeFolder = "/kelvor";
  ws.folders.chipFolder = "/kelvor/map_chip";
  AddSheet(ws, "tiles.png", 64, 64);
  AddSheet(ws, "Big Sheet.bmp", 96, 32);
  AddSheet(ws, "odd.png", 40, 70);  // a partial strip on both sides
  CreateChipAtlases(ws.document);
  for (ChipTable& table : ws.document.tables) table.entries[0].used = 1;
  ws.document.fileList.names[0] = "tiles.png";
  ws.document.grid.Allocate(4, 3);
  ResetSelection(ws.selection, 4, 3);
  StoreDocumentPath(ws.document, "/kelvor/before.kv");
}

std::string FuzzFile() {
  char folder[] = "/tmp/kelvor-fuzz-open-XXXXXX";
  if (mkdtemp(folder) == nullptr) std::abort();
  return std::string(folder) + "/input.kv";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = FuzzFile();
  FILE* file = std::fopen(path.c_str(), "wb");
  FUZZ_CHECK(file != nullptr);
  FUZZ_CHECK(size == 0 || std::fwrite(data, 1, size, file) == size);
  FUZZ_CHECK(std::fclose(file) == 0);

  Workspace ws;
  Prepare(ws);
  const test::DocumentSnapshot before =
      test::DocumentSnapshot::Of(ws.document, ws.sheets, ws.selection);
  const PixelBuffer atlasBefore = ws.document.tables[0].atlas;
  const PixelBuffer sheetBefore = ws.sheets.sheets[0].bitmap;

  test::RecordingMessages messages;
  OpenRefresh refresh;
  const bool opened = OpenDocument(ws, path, messages, refresh);
  FUZZ_CHECK(messages.waitDepth == 0);
  if (!opened) {
    FUZZ_CHECK(test::DocumentSnapshot::Of(ws.document, ws.sheets, ws.selection) == before);
    FUZZ_CHECK(ws.document.tables[0].atlas.pixels == atlasBefore.pixels);
    FUZZ_CHECK(ws.sheets.sheets[0].bitmap.pixels == sheetBefore.pixels);
    FUZZ_CHECK(!messages.shown.empty());
    return 0;
  }
  const MapGrid& grid = ws.document.grid;
  FUZZ_CHECK(grid.Exists());
  FUZZ_CHECK(grid.CellCount() ==
             static_cast<uint64_t>(grid.width) * static_cast<uint64_t>(grid.height));
  FUZZ_CHECK(ws.selection.selectionFlags.size() == grid.CellCount());
  FUZZ_CHECK(ws.document.documentPath == path);
  for (const ChipTable& table : ws.document.tables) {
    FUZZ_CHECK(table.atlas.width == AtlasSize && table.atlas.height == AtlasSize);
    FUZZ_CHECK(table.atlas.pixels.size() == size_t{AtlasSize} * AtlasSize * 4);
  }
  for (int32_t i = 0; i < ws.sheets.sheetCount; ++i) {
    const ChipSheet& sheet = ws.sheets.sheets[static_cast<size_t>(i)];
    FUZZ_CHECK(sheet.chipFlags && sheet.chipFlags->size() == sheet.FlagBlockSize());
  }
  return 0;
}
