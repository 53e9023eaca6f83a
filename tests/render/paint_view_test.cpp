#include "render/paint_view.h"

#include <gtest/gtest.h>

#include <cstring>

#include "editing/selection.h"
#include "platform/qt/qt_canvas.h"
#include "render/map_view.h"

namespace kelvor {
namespace {

uint32_t PixelAt(const PixelBuffer& buffer, int32_t x, int32_t y) {
  uint32_t value;
  std::memcpy(&value, buffer.At(x, y), 4);
  return value;
}

TEST(PaintView, EmptyClientPaintsNothing) {
  Workspace workspace;
  ScaledAtlasCache atlases;
  int made = 0;
  const CanvasFactory factory = [&](PixelBuffer& target) {
    ++made;
    return MakeQtCanvas(target);
  };
  for (auto [width, height] : {std::pair{0, 0}, {0, 10}, {10, 0}, {-5, 5}, {100000, 10}}) {
    const PixelBuffer picture =
        PaintView(workspace, {ViewMap, width, height, false}, factory, atlases);
    EXPECT_TRUE(picture.Empty()) << width << " x " << height;
  }
  EXPECT_EQ(made, 0);
}

TEST(PaintView, EachWindowFillsWithItsOwnBackgroundAndComposesOverIt) {
  Workspace workspace;
  ASSERT_TRUE(workspace.document.grid.Allocate(2, 2));
  ResetSelection(workspace.selection, 2, 2);
  workspace.display.mapBackgroundColor = Rgb(10, 20, 30);
  workspace.display.paletteBackgroundColor = Rgb(40, 50, 60);
  workspace.mapView().pageWidth = 100;
  workspace.mapView().pageHeight = 80;
  UpdateVisibleCells(workspace.document.grid, 1.0f, workspace.mapView());
  ScaledAtlasCache atlases;

  const PixelBuffer map = PaintView(workspace, {ViewMap, 100, 80, false}, MakeQtCanvas, atlases);
  ASSERT_EQ(map.width, 100);
  ASSERT_EQ(map.height, 80);
  EXPECT_EQ(PixelAt(map, 10, 10), 0xff0a141eu);
  EXPECT_EQ(PixelAt(map, 99, 79), 0xff0a141eu);
  EXPECT_EQ(PixelAt(map, 32, 10), 0xffffff00u);  // the map's grid

  // The palette has no sheet: background only, in its own colour, whatever
  // the size, with nothing left over from an earlier paint.
  for (int32_t size : {30, 120}) {
    const PixelBuffer palette =
        PaintView(workspace, {ViewPalette, size, size, true}, MakeQtCanvas, atlases);
    ASSERT_EQ(palette.width, size);
    for (int32_t y = 0; y < size; ++y) {
      for (int32_t x = 0; x < size; ++x) ASSERT_EQ(PixelAt(palette, x, y), 0xff28323cu);
    }
  }
}

}  // namespace
}  // namespace kelvor
