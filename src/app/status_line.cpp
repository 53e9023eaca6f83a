#include "app/status_line.h"

#include <cmath>
#include <cstdlib>

#include "app/translations.h"
#include "workspace/workspace.h"

namespace kelvor {
namespace {

constexpr std::string_view Separator = "    ";

// The cell under a client point of a view showing `contentWidth` x
// `contentHeight` pixels in cells of `cellPixels`.
std::optional<CellPoint> CellUnder(const ViewPort& view, int32_t x, int32_t y, int32_t contentWidth,
                                   int32_t contentHeight, int32_t cellPixels) {
  if (cellPixels <= 0 || x < 0 || y < 0 || x >= view.pageWidth || y >= view.pageHeight) {
    return std::nullopt;
  }
  const int64_t cx = int64_t{x} + view.scrollX;
  const int64_t cy = int64_t{y} + view.scrollY;
  if (cx >= contentWidth || cy >= contentHeight) return std::nullopt;
  return CellPoint{static_cast<int32_t>(cx / cellPixels), static_cast<int32_t>(cy / cellPixels)};
}

std::string Format(std::string_view japanese, std::initializer_list<TextArg> args) {
  return FormatText(japanese, std::span<const TextArg>(args.begin(), args.size()));
}

std::string Translated(std::string_view japanese) {
  return Tr(japanese).toStdString();
}

// "背景 3：grass.png (2, 5)" or "背景：なし".
std::string SlotText(const MapDocument& document, int32_t level, uint8_t slot) {
  const std::string_view name = level == LevelLayer ? "ﾚｲﾔｰ" : "背景";
  const ChipEntry& entry = document.tables[static_cast<size_t>(level)].entries[slot];
  if (slot == 0 || entry.used == 0) {
    return Format("%s：なし", {Translated(name)});
  }
  const bool named = entry.file >= 0 && entry.file < ChipFileSlots;
  const std::string& file = named ? document.fileList.names[static_cast<size_t>(entry.file)] : "";
  return Format("%s %d：%s (%d, %d)", {Translated(name), slot, file, entry.column, entry.row});
}

std::string FlagText(MapCell cell) {
  static constexpr std::pair<MapCell, std::string_view> Words[] = {
      {CellFlagCollision, "当たり判定"},
      {CellFlagWallEast, "右境界"},
      {CellFlagWallSouth, "下境界"},
      {CellFlagPriority, "ﾚｲﾔｰ優先度"},
  };
  std::string words;
  for (const auto& [flag, word] : Words) {
    if ((cell & flag) == 0) continue;
    if (!words.empty()) words += ", ";
    words += Translated(word);
  }
  if (words.empty()) words = Translated("なし");
  return Format("ﾌﾗｸﾞ：%s", {words});
}

std::string ZoomText(float zoom) {
  return Format("%d%%", {static_cast<int>(std::lround(zoom * 100.0f))});
}

}  // namespace

std::optional<CellPoint> MapCellUnder(const Workspace& ws, int32_t x, int32_t y) {
  const MapGrid& grid = ws.document.grid;
  if (!grid.Exists()) return std::nullopt;
  const int32_t cell = Zoomed(ChipSize, ws.display.mapZoom);
  return CellUnder(ws.views[ViewMap], x, y, grid.width * cell, grid.height * cell, cell);
}

std::optional<CellPoint> PaletteChipUnder(const Workspace& ws, int32_t x, int32_t y) {
  const ChipSheet& sheet = ws.sheets.Current();
  if (!sheet.HasBitmap()) return std::nullopt;
  const float zoom = ws.display.paletteZoom;
  const std::optional<CellPoint> chip =
      CellUnder(ws.views[ViewPalette], x, y, Zoomed(sheet.width, zoom),
                Zoomed(std::abs(sheet.height), zoom), Zoomed(ChipSize, zoom));
  // The ragged right and bottom strips of a sheet are no chips.
  if (chip && (chip->column >= sheet.chipColumns || chip->row >= sheet.chipRows)) {
    return std::nullopt;
  }
  return chip;
}

std::string FormatMapStatus(const Workspace& ws, std::optional<CellPoint> cell) {
  const MapDocument& document = ws.document;
  std::string line;
  if (cell && document.grid.Contains(cell->column, cell->row)) {
    const MapCell value = document.grid.At(cell->column, cell->row);
    line += Format("%d, %d", {cell->column, cell->row});
    line += Separator;
    line += SlotText(document, LevelBackground, CellBackground(value));
    line += Separator;
    line += SlotText(document, LevelLayer, CellLayer(value));
    line += Separator;
    line += FlagText(value);
    line += Separator;
  }
  if (document.grid.Exists()) {
    line += Format("%d x %d", {document.grid.width, document.grid.height});
    line += Separator;
  }
  line += ZoomText(ws.display.mapZoom);
  line += Separator;
  line +=
      document.documentFileName.empty() ? Translated("（名前なし）") : document.documentFileName;
  if (ws.unsaved.changed) {
    line += Separator;
    line += Translated("変更あり");
  }
  if (ws.gestures.randomPlacement) {
    line += Separator;
    line += Translated("ﾗﾝﾀﾞﾑ配置");
  }
  return line;
}

std::string FormatPaletteStatus(const Workspace& ws, std::optional<CellPoint> chip) {
  const ChipSheet& sheet = ws.sheets.Current();
  std::string line;
  if (chip) {
    line += Format("%s (%d, %d)", {sheet.fileName, chip->column, chip->row});
    // Where the chip is registered, by its file's slot in the file list.
    const ChipFileList& files = ws.document.fileList;
    for (int32_t level : {LevelBackground, LevelLayer}) {
      const ChipTable& table = ws.document.tables[static_cast<size_t>(level)];
      for (int32_t slot = 1; slot < ChipTableSlots; ++slot) {
        const ChipEntry& entry = table.entries[static_cast<size_t>(slot)];
        if (entry.used == 0 || entry.column != chip->column || entry.row != chip->row ||
            entry.file < 0 || entry.file >= ChipFileSlots ||
            files.names[static_cast<size_t>(entry.file)] != sheet.fileName) {
          continue;
        }
        line += Separator;
        line += Format("%s %d", {Translated(level == LevelLayer ? "ﾚｲﾔｰ" : "背景"), slot});
      }
    }
    line += Separator;
  }
  line += ZoomText(ws.display.paletteZoom);
  return line;
}

}  // namespace kelvor
