#include "app/view_scroll.h"

#include <gtest/gtest.h>

#include "workspace/workspace.h"

namespace kelvor {
namespace {

// A 20 x 15 map (640 x 480 view pixels at 100 %) in a window of the given size.
struct MapViewFixture {
  Workspace ws;
  ViewScroll scroll{&ws.mapView()};

  MapViewFixture(int32_t clientWidth, int32_t clientHeight) {
    ws.document.grid.Allocate(20, 15);
    scroll.Init();
    scroll.UpdatePage(clientWidth, clientHeight);
    RefreshMapExtent(ws, scroll);
  }
  void Zoom(float zoom) {
    ws.display.mapZoom = zoom;
    RefreshMapExtent(ws, scroll);
  }
};

TEST(ViewScrollTest, ContentThatFitsHasNoBars) {
  for (auto [width, height] : {std::pair{640, 480}, std::pair{800, 600}}) {
    MapViewFixture f(width, height);
    EXPECT_FALSE(f.scroll.HorizontalVisible()) << width;
    EXPECT_FALSE(f.scroll.VerticalVisible()) << height;
    EXPECT_EQ(f.scroll.scrollX, 0);
  }
  MapViewFixture tight(639, 479);
  EXPECT_TRUE(tight.scroll.HorizontalVisible());
  EXPECT_TRUE(tight.scroll.VerticalVisible());
}

TEST(ViewScrollTest, RangeAndStepsOfANarrowWindow) {
  MapViewFixture f(400, 480);
  EXPECT_EQ(f.scroll.horizontal.max, 639);
  EXPECT_EQ(f.scroll.horizontal.page, 400u);
  EXPECT_TRUE(f.scroll.HorizontalVisible());

  struct Step {
    ScrollRequest request;
    int32_t thumb;
    int32_t expected;
  };
  const Step steps[] = {
      {ScrollRequest::LineForward, 0, 1},   {ScrollRequest::LineForward, 0, 2},
      {ScrollRequest::LineBack, 0, 1},      {ScrollRequest::PageForward, 0, 240},
      {ScrollRequest::LineForward, 0, 240}, {ScrollRequest::Thumb, 100, 100},
      {ScrollRequest::PageBack, 0, 0},      {ScrollRequest::LineForward, 0, 1},
      {ScrollRequest::LineBack, 0, 0},      {ScrollRequest::LineBack, 0, 0},
      {ScrollRequest::ToEnd, 0, 240},       {ScrollRequest::None, 0, 240},
      {ScrollRequest::ToStart, 0, 0},       {ScrollRequest::Thumb, 100000, 240},
      {ScrollRequest::Thumb, -5, 0},
  };
  for (const Step& step : steps) {
    f.scroll.Scroll(ScrollAxis::Horizontal, step.request, step.thumb);
    EXPECT_EQ(f.scroll.scrollX, step.expected) << static_cast<int>(step.request);
    EXPECT_EQ(f.ws.mapView().scrollX, step.expected);
  }
  EXPECT_EQ(f.scroll.scrollY, 0);
}

TEST(ViewScrollTest, ScrollReportsOnlyRealMoves) {
  MapViewFixture f(400, 300);
  EXPECT_FALSE(f.scroll.Scroll(ScrollAxis::Vertical, ScrollRequest::LineBack));
  EXPECT_TRUE(f.scroll.Scroll(ScrollAxis::Vertical, ScrollRequest::PageForward));
  EXPECT_EQ(f.scroll.scrollY, 180);
  EXPECT_FALSE(f.scroll.Scroll(ScrollAxis::Vertical, ScrollRequest::PageForward));
}

TEST(ViewScrollTest, RequestedPositionSurvivesZoomChanges) {
  MapViewFixture f(400, 480);
  f.scroll.Scroll(ScrollAxis::Horizontal, ScrollRequest::ToEnd);
  ASSERT_EQ(f.scroll.scrollX, 240);
  f.Zoom(0.5f);
  EXPECT_EQ(f.scroll.horizontal.max, 319);
  EXPECT_FALSE(f.scroll.HorizontalVisible());
  EXPECT_EQ(f.scroll.scrollX, 0);
  f.Zoom(1.0f);
  EXPECT_EQ(f.scroll.scrollX, 240);
  // At 200 % the same request is reachable as it is.
  f.Zoom(2.0f);
  EXPECT_EQ(f.scroll.horizontal.max, 1279);
  EXPECT_EQ(f.scroll.scrollX, 240);
}

TEST(ViewScrollTest, WideningUntilFitForgetsThePosition) {
  MapViewFixture f(400, 480);
  f.scroll.Scroll(ScrollAxis::Horizontal, ScrollRequest::Thumb, 200);
  f.scroll.UpdatePage(600, 480);
  EXPECT_EQ(f.scroll.scrollX, 40);  // clamped, request kept
  f.scroll.UpdatePage(400, 480);
  EXPECT_EQ(f.scroll.scrollX, 200);
  f.scroll.UpdatePage(700, 480);
  EXPECT_EQ(f.scroll.scrollX, 0);
  f.scroll.UpdatePage(400, 480);
  EXPECT_EQ(f.scroll.scrollX, 0);
}

TEST(ViewScrollTest, BarsComingAndGoingKeepTheRequest) {
  MapViewFixture f(400, 460);
  f.scroll.Scroll(ScrollAxis::Horizontal, ScrollRequest::ToEnd);
  f.Zoom(0.5f);
  // The horizontal bar went away and the client grew by its height.
  f.scroll.UpdatePage(400, 480, false);
  EXPECT_EQ(f.scroll.scrollX, 0);
  f.Zoom(1.0f);
  f.scroll.UpdatePage(400, 460, false);
  EXPECT_EQ(f.scroll.scrollX, 240);
}

TEST(ViewScrollTest, MinimisedWindowChangesNothing) {
  MapViewFixture f(400, 300);
  f.scroll.Scroll(ScrollAxis::Horizontal, ScrollRequest::Thumb, 50);
  EXPECT_FALSE(f.scroll.UpdatePage(0, 0));
  EXPECT_EQ(f.scroll.horizontal.page, 400u);
  EXPECT_EQ(f.scroll.scrollX, 50);
}

TEST(ViewScrollTest, PositionsBeyondSixteenBits) {
  Workspace ws;
  ViewScroll scroll(&ws.mapView());
  ws.document.grid.Allocate(4096, 4);
  scroll.UpdatePage(1000, 100);
  ws.display.mapZoom = 2.0f;
  RefreshMapExtent(ws, scroll);
  EXPECT_EQ(scroll.horizontal.max, 4096 * 64 - 1);
  scroll.Scroll(ScrollAxis::Horizontal, ScrollRequest::Thumb, 200000);
  EXPECT_EQ(scroll.scrollX, 200000);
  scroll.Scroll(ScrollAxis::Horizontal, ScrollRequest::ToEnd);
  EXPECT_EQ(scroll.scrollX, 4096 * 64 - 1000);
}

TEST(ViewScrollTest, NoMapKeepsEmptyRanges) {
  Workspace ws;
  ViewScroll scroll(&ws.mapView());
  scroll.UpdatePage(300, 200);
  RefreshMapExtent(ws, scroll);
  EXPECT_EQ(scroll.horizontal.max, 0);
  EXPECT_FALSE(scroll.HorizontalVisible());
  // An empty grid is a map of no pixels: no bars, no offsets.
  ws.document.grid.Allocate(0, 0);
  RefreshMapExtent(ws, scroll);
  EXPECT_FALSE(scroll.HorizontalVisible());
  EXPECT_EQ(scroll.scrollX, 0);
  EXPECT_EQ(ws.mapView().visibleColumns, 0);
}

TEST(ViewScrollTest, VisibleCellsFollowPageAndZoom) {
  struct Case {
    float zoom;
    int32_t pageWidth;
    int32_t pageHeight;
    int32_t columns;
    int32_t rows;
  };
  const Case cases[] = {
      {1.0f, 400, 300, 13, 10},  // 12.5 and 9.4 cells: partial cells count
      {1.0f, 640, 480, 20, 15}, {1.0f, 2000, 2000, 20, 15},  // capped at the map
      {0.25f, 100, 64, 13, 8},  {1.5f, 96, 95, 2, 2},
  };
  for (const Case& c : cases) {
    MapViewFixture f(c.pageWidth, c.pageHeight);
    f.Zoom(c.zoom);
    EXPECT_EQ(f.ws.mapView().visibleColumns, c.columns) << c.zoom << " " << c.pageWidth;
    EXPECT_EQ(f.ws.mapView().visibleRows, c.rows) << c.zoom << " " << c.pageHeight;
    EXPECT_EQ(f.ws.mapView().pageWidth, c.pageWidth);
  }
}

TEST(ViewScrollTest, PaletteKeepsRequestedOffsetsAcrossSheets) {
  Workspace ws;
  ViewScroll scroll(&ws.paletteView());
  ws.sheets.sheetCount = 2;
  for (int i = 0; i < 2; ++i) {
    ChipSheet& sheet = ws.sheets.sheets[static_cast<size_t>(i)];
    sheet.bitmap = PixelBuffer::Make(i == 0 ? 1024 : 600, 1024);
    sheet.width = sheet.bitmap.width;
    sheet.height = sheet.bitmap.height;
  }
  scroll.UpdatePage(513, 513);
  RefreshPaletteExtent(ws, scroll);
  scroll.Scroll(ScrollAxis::Horizontal, ScrollRequest::Thumb, 400);
  EXPECT_EQ(scroll.scrollX, 400);
  ws.sheets.currentSheet = 1;
  RefreshPaletteExtent(ws, scroll);
  EXPECT_EQ(scroll.scrollX, 87);  // 600 - 513
  ws.sheets.currentSheet = 0;
  RefreshPaletteExtent(ws, scroll);
  EXPECT_EQ(scroll.scrollX, 400);
  ws.display.paletteZoom = 0.5f;
  RefreshPaletteExtent(ws, scroll);
  EXPECT_FALSE(scroll.HorizontalVisible());
  EXPECT_EQ(ws.paletteView().scrollX, 0);
  // A sheet slot without an image leaves the view as it is.
  ws.display.paletteZoom = 1.0f;
  RefreshPaletteExtent(ws, scroll);
  ws.sheets.currentSheet = 5;
  RefreshPaletteExtent(ws, scroll);
  EXPECT_EQ(scroll.scrollX, 400);
}

}  // namespace
}  // namespace kelvor
