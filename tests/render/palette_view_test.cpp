#include "render/palette_view.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/recording_canvas.h"

namespace kelvor {
namespace {

using test::RecordingCanvas;
using Kind = RecordingCanvas::Kind;
using Points = std::vector<CanvasPoint>;

Points Square(int32_t x, int32_t y, int32_t side) {
  return {{x, y}, {x + side, y}, {x + side, y + side}, {x, y + side}, {x, y}};
}

void LoadSheet(Workspace& workspace, int32_t width, int32_t height) {
  ChipSheet& sheet = workspace.sheets.Current();
  sheet.fileName = "a.png";
  sheet.bitmap = PixelBuffer::Make(width, height);
  sheet.width = width;
  sheet.height = height;
  sheet.bitsPerPixel = 32;
  sheet.chipColumns = width / 32;
  sheet.chipRows = height / 32;
  sheet.chipFlags.emplace(sheet.FlagBlockSize(), 0);
  workspace.sheets.sheetCount = 1;
}

TEST(ComposePaletteView, SheetGridAndMarksScaleWithTheZoom) {
  struct Case {
    float zoom;
    int32_t image, step, gridWidth, frameSide, frameWidth;
  };
  const Case cases[] = {{0.5f, 128, 16, 1, 14, 1}, {2.0f, 512, 64, 2, 58, 4}};
  for (const Case& c : cases) {
    Workspace workspace;
    LoadSheet(workspace, 256, 256);
    workspace.display.paletteZoom = c.zoom;
    workspace.palette.mode = PaletteModeCollision;
    ChipSheet& sheet = workspace.sheets.Current();
    sheet.Flag(1, 0) = ChipFlagCollision;
    sheet.Flag(2, 3) = ChipFlagCollision | ChipFlagSelected;
    sheet.Flag(4, 4) = ChipFlagSelected | ChipFlagLayer;  // not the mode's bit
    RecordingCanvas canvas(1000, 1000);
    ComposePaletteView(workspace, canvas, false);

    const auto blends = canvas.Of(Kind::Blend);
    ASSERT_EQ(blends.size(), 1u);
    EXPECT_EQ(blends[0].source, (CanvasRect{0, 0, 256, 256}));
    EXPECT_EQ(blends[0].rect, (CanvasRect{0, 0, c.image, c.image}));

    const auto lines = canvas.Of(Kind::Line);
    ASSERT_EQ(lines.size(), 18u);  // 9 each way
    for (size_t i = 0; i < 9; ++i) {
      const auto x = static_cast<int32_t>(i) * c.step;
      EXPECT_EQ(lines[i].points, (Points{{x, 0}, {x, c.image}}));
      EXPECT_EQ(lines[i].pen, (CanvasPen{c.gridWidth, Rgb(255, 255, 0)}));
    }

    const auto frames = canvas.Of(Kind::Polyline);
    ASSERT_EQ(frames.size(), 2u);
    const int32_t inset = static_cast<int32_t>(c.zoom) + 1;
    EXPECT_EQ(frames[0].points, Square(c.step + inset, inset, c.frameSide));
    EXPECT_EQ(frames[1].points, Square(2 * c.step + inset, 3 * c.step + inset, c.frameSide));
    EXPECT_EQ(frames[0].pen, (CanvasPen{c.frameWidth, Rgb(255, 0, 0)}));
  }
}

TEST(ComposePaletteView, ScrolledSheetAndPartialStrip) {
  Workspace workspace;
  LoadSheet(workspace, 100, 70);  // 3 x 2 whole chips and a strip
  workspace.paletteView().scrollX = 40;
  workspace.paletteView().scrollY = 8;
  RecordingCanvas canvas(300, 300);
  ComposePaletteView(workspace, canvas, false);
  const auto blends = canvas.Of(Kind::Blend);
  ASSERT_EQ(blends.size(), 1u);
  EXPECT_EQ(blends[0].rect, (CanvasRect{-40, -8, 100, 70}));
  std::vector<Points> lines;
  for (const auto& call : canvas.Of(Kind::Line)) lines.push_back(call.points);
  // Grid lines at multiples of 32 up to 96, the last within the image (the
  // strip beyond stays open); those at 0 and 32 lie off the scrolled canvas.
  EXPECT_EQ(lines, (std::vector<Points>{{{24, -8}, {24, 62}},
                                        {{56, -8}, {56, 62}},
                                        {{-40, 24}, {60, 24}},
                                        {{-40, 56}, {60, 56}}}));
}

TEST(ComposePaletteView, DragRectangleTellsSetOrClearWhileTheMouseIsCaptured) {
  struct Case {
    bool capture, dragging, clears;
    size_t frames;
    Color color;
  };
  const Case cases[] = {
      {true, true, false, 6, Rgb(255, 0, 0)},
      {true, true, true, 6, Rgb(0, 255, 128)},
      {false, true, false, 0, 0},
      {true, false, false, 0, 0},
  };
  for (const Case& c : cases) {
    Workspace workspace;
    LoadSheet(workspace, 256, 256);
    PaletteState& palette = workspace.palette;
    palette.dragging = c.dragging;
    palette.dragClears = c.clears;
    palette.dragLeft = 1;
    palette.dragRight = 3;
    palette.dragTop = 2;
    palette.dragBottom = 3;
    RecordingCanvas canvas(400, 400);
    ComposePaletteView(workspace, canvas, c.capture);
    const auto frames = canvas.Of(Kind::Polyline);
    ASSERT_EQ(frames.size(), c.frames);
    if (c.frames == 0) continue;
    EXPECT_EQ(frames.front().points, Square(34, 66, 29));
    EXPECT_EQ(frames.back().points, Square(98, 98, 29));
    EXPECT_EQ(frames.back().pen, (CanvasPen{2, c.color}));
  }
}

TEST(ComposePaletteView, NothingWithoutASheet) {
  Workspace workspace;
  workspace.palette.dragging = true;
  RecordingCanvas canvas(100, 100);
  ComposePaletteView(workspace, canvas, false);
  EXPECT_TRUE(canvas.calls.empty());
  workspace.sheets.currentSheet = 900;  // never indexes past the table
  ComposePaletteView(workspace, canvas, false);
  EXPECT_TRUE(canvas.calls.empty());
}

}  // namespace
}  // namespace kelvor
