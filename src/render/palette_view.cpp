#include "render/palette_view.h"

#include <algorithm>

#include "document/display_settings.h"
#include "render/view_primitives.h"

namespace kelvor {

namespace {

// Chips that can show on the canvas: a frame stays within its chip and one
// pixel beyond.
struct ChipSpan {
  int64_t first;
  int64_t last;
};
ChipSpan VisibleChips(int32_t scroll, int32_t extent, int32_t step) {
  const int64_t first = scroll >= 0 ? scroll / step : -((-int64_t{scroll} + step - 1) / step);
  return {first - 1, (int64_t{scroll} + extent) / step + 1};
}

}  // namespace

void ComposePaletteView(const Workspace& workspace, Canvas& canvas, bool holdsMouseCapture) {
  const ChipSheetTable& sheets = workspace.sheets;
  if (sheets.currentSheet < 0 || sheets.currentSheet >= ChipSheetSlots) return;
  const ChipSheet& sheet = sheets.Current();
  const DisplaySettings& display = workspace.display;
  const ViewPort& view = workspace.views[ViewPalette];
  const float zoom = display.paletteZoom;
  if (!(zoom > 0)) return;
  const ViewSizes sizes = ViewSizesAt(zoom);

  if (sheet.HasBitmap()) {
    const PixelBuffer& bitmap = sheet.bitmap;
    canvas.BlendImage(
        bitmap, {0, 0, bitmap.width, bitmap.height},
        {-view.scrollX, -view.scrollY, Zoomed(bitmap.width, zoom), Zoomed(bitmap.height, zoom)});
    DrawGrid(canvas, bitmap.width, bitmap.height, 32, zoom,
             {sizes.thin, display.paletteBorderColor}, view);
  }
  if (sizes.cell < 1) return;
  const CanvasPen markPen{sizes.thick, display.paletteSelectFrameColor};
  const CanvasPen dragPen{sizes.thick, workspace.palette.dragClears
                                           ? display.paletteDeselectFrameColor
                                           : display.paletteSelectFrameColor};
  const ChipSpan columns = VisibleChips(view.scrollX, canvas.Width(), sizes.cell);
  const ChipSpan rows = VisibleChips(view.scrollY, canvas.Height(), sizes.cell);

  const int32_t mode = workspace.palette.mode;
  if (sheet.HasFlags() && mode >= 0 && mode < 8 && sheet.chipColumns > 0 && sheet.chipRows > 0) {
    const uint8_t bit = static_cast<uint8_t>(1u << mode);
    const std::vector<uint8_t>& flags = *sheet.chipFlags;
    canvas.SetPen(markPen);
    const int64_t rowEnd = std::min<int64_t>(sheet.chipRows - 1, rows.last);
    const int64_t columnEnd = std::min<int64_t>(sheet.chipColumns - 1, columns.last);
    for (int64_t row = std::max<int64_t>(0, rows.first); row <= rowEnd; ++row) {
      for (int64_t column = std::max<int64_t>(0, columns.first); column <= columnEnd; ++column) {
        const auto index = static_cast<size_t>(row * sheet.chipColumns + column);
        if (index < flags.size() && (flags[index] & bit) != 0) {
          DrawCellFrame(canvas, static_cast<int32_t>(column), static_cast<int32_t>(row), 32, zoom,
                        view);
        }
      }
    }
  }

  const PaletteState& palette = workspace.palette;
  if (holdsMouseCapture && palette.dragging) {
    canvas.SetPen(dragPen);
    const int64_t top = std::max<int64_t>(palette.dragTop, rows.first);
    const int64_t bottom = std::min<int64_t>(palette.dragBottom, rows.last);
    const int64_t left = std::max<int64_t>(palette.dragLeft, columns.first);
    const int64_t right = std::min<int64_t>(palette.dragRight, columns.last);
    for (int64_t row = top; row <= bottom; ++row) {
      for (int64_t column = left; column <= right; ++column) {
        DrawCellFrame(canvas, static_cast<int32_t>(column), static_cast<int32_t>(row), 32, zoom,
                      view);
      }
    }
  }
}

}  // namespace kelvor
