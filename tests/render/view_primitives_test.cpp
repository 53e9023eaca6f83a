#include "render/view_primitives.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/recording_canvas.h"

namespace kelvor {
namespace {

using test::RecordingCanvas;
using Points = std::vector<CanvasPoint>;

Points Square(int32_t x, int32_t y, int32_t side) {
  return {{x, y}, {x + side, y}, {x + side, y + side}, {x, y + side}, {x, y}};
}

TEST(ViewSizes, TruncatedAtEveryZoomWithPensAtLeastOnePixel) {
  struct Case {
    float zoom;
    int32_t cell, thin, thick;
  };
  const Case cases[] = {{0.25f, 8, 1, 1}, {0.5f, 16, 1, 1}, {0.75f, 24, 1, 1},
                        {1.0f, 32, 1, 2}, {1.5f, 48, 1, 3}, {2.0f, 64, 2, 4}};
  for (const Case& c : cases) {
    const ViewSizes sizes = ViewSizesAt(c.zoom);
    EXPECT_EQ(sizes.cell, c.cell) << c.zoom;
    EXPECT_EQ(sizes.thin, c.thin) << c.zoom;
    EXPECT_EQ(sizes.thick, c.thick) << c.zoom;
  }
}

TEST(DrawCellFrame, InsetAndSideFollowTheZoomAndTheScroll) {
  struct Case {
    float zoom;
    int32_t column, row, scrollX, scrollY;
    Points expected;
  };
  const Case cases[] = {
      {1.0f, 0, 0, 0, 0, Square(2, 2, 29)},  // 2 to 31 inside the cell
      {0.25f, 0, 0, 0, 0, Square(1, 1, 7)},
      {0.25f, 3, 2, 0, 0, Square(25, 17, 7)},
      {1.5f, 2, 1, 10, 5, Square(96 + 2 - 10, 48 + 2 - 5, 43)},
      {0.5f, 1, 0, 0, 0, Square(17, 1, 14)},
      {2.0f, 1, 1, 0, 0, Square(67, 67, 58)},
      {0.75f, 1, 1, 0, 0, Square(25, 25, 21)},
  };
  for (const Case& c : cases) {
    RecordingCanvas canvas(200, 200);
    canvas.SetPen({3, Rgb(1, 2, 3)});
    ViewPort view;
    view.scrollX = c.scrollX;
    view.scrollY = c.scrollY;
    DrawCellFrame(canvas, c.column, c.row, 32, c.zoom, view);
    ASSERT_EQ(canvas.calls.size(), 1u);
    EXPECT_EQ(canvas.calls[0].points, c.expected) << c.zoom << " " << c.column;
    EXPECT_EQ(canvas.calls[0].pen, (CanvasPen{3, Rgb(1, 2, 3)}));
  }
}

TEST(DrawWallHandle, StraddlesTheBoundaryBetweenNeighbours) {
  RecordingCanvas canvas(200, 200);
  ViewPort view;
  // East handle of cell (0, 0) and south handle of cell (1, 2) at 100%.
  DrawWallHandle(canvas, 0, 0, 24, 8, 16, 1.0f, view);
  DrawWallHandle(canvas, 2, 4, 8, 24, 16, 1.0f, view);
  // At 25% the square shrinks to side 3 and sits inside the 8-pixel cells.
  DrawWallHandle(canvas, 2, 0, 6, 2, 16, 0.25f, view);
  view.scrollX = 20;
  view.scrollY = 3;
  DrawWallHandle(canvas, 0, 0, 24, 8, 16, 1.0f, view);
  ASSERT_EQ(canvas.calls.size(), 4u);
  EXPECT_EQ(canvas.calls[0].points, Square(26, 10, 13));  // x 26..39, y 10..23
  EXPECT_EQ(canvas.calls[1].points, Square(32 + 10, 64 + 26, 13));
  EXPECT_EQ(canvas.calls[2].points, Square(8 + 6 + 1, 2 + 1, 3));
  EXPECT_EQ(canvas.calls[3].points, Square(6, 7, 13));
}

TEST(DrawGrid, LinesAtEveryCellEdgeInTheGivenPenWhichIsThenRestored) {
  RecordingCanvas canvas(500, 500);
  canvas.SetPen({4, Rgb(9, 9, 9)});
  ViewPort view;
  view.scrollX = 1;
  view.scrollY = 1;
  // Width 3 reaches one pixel past the line, so the lines at -1 still show.
  const CanvasPen pen{3, Rgb(255, 255, 0)};
  DrawGrid(canvas, 64, 32, 32, 1.5f, pen, view);  // 96 x 48 view pixels, step 48
  using Line = std::pair<CanvasPoint, CanvasPoint>;
  const std::vector<Line> expected = {
      {{-1, -1}, {-1, 47}}, {{47, -1}, {47, 47}}, {{95, -1}, {95, 47}},  // x = 0, 48, 96
      {{-1, -1}, {95, -1}}, {{-1, 47}, {95, 47}},                        // y = 0, 48
  };
  std::vector<Line> lines;
  for (const auto& call : canvas.calls) {
    ASSERT_EQ(call.kind, RecordingCanvas::Kind::Line);
    EXPECT_EQ(call.pen, pen);
    lines.emplace_back(call.points[0], call.points[1]);
  }
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(canvas.Pen(), (CanvasPen{4, Rgb(9, 9, 9)}));
}

TEST(DrawGrid, LeavesOutOnlyLinesThatCannotReachTheCanvas) {
  // 100 columns of 32 pixels scrolled to 1000 on a 100-pixel canvas: the line
  // at 992 paints 991..992 with width 2 and cannot show, nor those past 1100.
  RecordingCanvas canvas(100, 40);
  ViewPort view;
  view.scrollX = 1000;
  DrawGrid(canvas, 3200, 64, 32, 1.0f, {2, 0}, view);
  std::vector<int32_t> xs;
  for (const auto& call : canvas.calls) {
    if (call.points[0].x == call.points[1].x) xs.push_back(call.points[0].x + 1000);
  }
  EXPECT_EQ(xs, (std::vector<int32_t>{1024, 1056, 1088}));
  // A grid too small to have a step draws nothing rather than looping.
  RecordingCanvas tiny(10, 10);
  DrawGrid(tiny, 64, 64, 32, 0.01f, {1, 0}, ViewPort{});
  EXPECT_TRUE(tiny.calls.empty());
}

}  // namespace
}  // namespace kelvor
