#include "app/view_navigation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "resources/menu_tables.h"
#include "workspace/workspace.h"

namespace kelvor {
namespace {

struct MapView {
  Workspace ws;
  ViewScroll scroll{&ws.mapView()};

  MapView(int32_t columns, int32_t rows, int32_t clientWidth, int32_t clientHeight) {
    ws.document.grid.Allocate(columns, rows);
    scroll.Init();
    scroll.UpdatePage(clientWidth, clientHeight);
    RefreshMapExtent(ws, scroll);
  }
  void Zoom(float zoom) {
    ws.display.mapZoom = zoom;
    RefreshMapExtent(ws, scroll);
  }
  int32_t Cell() const { return Zoomed(ChipSize, ws.display.mapZoom); }
};

// Every step to every step, anchored at the corners and the middle of the
// client, on a map smaller and one larger than the window: the content pixel
// under the anchor is the old one at the new scale (integer arithmetic on
// whole cells), unless an edge holds the view.
TEST(ViewNavigationTest, ZoomKeepsThePointUnderTheAnchor) {
  constexpr int32_t Width = 640;
  constexpr int32_t Height = 480;
  const std::pair<int32_t, int32_t> anchors[] = {
      {0, 0}, {Width - 1, 0}, {0, Height - 1}, {Width - 1, Height - 1}, {Width / 2, Height / 2}};
  for (auto [columns, rows] : {std::pair{12, 9}, std::pair{300, 200}}) {
    for (float from : MapZoomSteps) {
      for (float to : MapZoomSteps) {
        for (auto [ax, ay] : anchors) {
          MapView v(columns, rows, Width, Height);
          v.Zoom(from);
          // Somewhere in the middle of what can be reached.
          v.scroll.Scroll(ScrollAxis::Horizontal, ScrollRequest::Thumb, 1000);
          v.scroll.Scroll(ScrollAxis::Vertical, ScrollRequest::Thumb, 777);
          const int32_t oldX = v.scroll.scrollX;
          const int32_t oldY = v.scroll.scrollY;
          const int32_t oldCell = v.Cell();
          v.Zoom(to);
          ScrollToAnchor(v.scroll, oldX, oldY, from, to, ax, ay);
          const int32_t newCell = v.Cell();
          auto expected = [&](int32_t offset, int32_t anchor, int32_t cells, int32_t page) {
            const int64_t point = (static_cast<int64_t>(offset) + anchor) * newCell / oldCell;
            const int64_t reach = std::max<int64_t>(0, int64_t{cells} * newCell - page);
            return std::clamp<int64_t>(point - anchor, 0, reach);
          };
          const auto where = ::testing::Message() << columns << "x" << rows << " " << from << "->"
                                                  << to << " at " << ax << "," << ay;
          EXPECT_EQ(v.scroll.scrollX, expected(oldX, ax, columns, Width)) << where;
          EXPECT_EQ(v.scroll.scrollY, expected(oldY, ay, rows, Height)) << where;
          // Unless held by an edge, the same cell is under the anchor.
          const int64_t pointX = int64_t{v.scroll.scrollX} + ax;
          if (v.scroll.scrollX > 0 && pointX < int64_t{columns} * newCell &&
              v.scroll.scrollX < int64_t{columns} * newCell - Width) {
            EXPECT_EQ(pointX / newCell, (oldX + ax) / oldCell) << where;
          }
        }
      }
    }
  }
}

TEST(ViewNavigationTest, ZoomStepsStayInsideTheList) {
  const std::span<const float> map(MapZoomSteps);
  EXPECT_EQ(SteppedZoom(map, 1.0f, 1), 1.5f);
  EXPECT_EQ(SteppedZoom(map, 1.0f, -3), 0.25f);
  EXPECT_EQ(SteppedZoom(map, 0.25f, -1), 0.25f);
  EXPECT_EQ(SteppedZoom(map, 2.0f, 5), 2.0f);
  EXPECT_EQ(SteppedZoom(std::span<const float>(PaletteZoomSteps), 0.5f, -1), 0.5f);
  // A zoom between the steps counts from the nearest one.
  EXPECT_EQ(ZoomStepIndex(map, 0.8f), 2);
}

// High-resolution wheels send fractions of a notch: they add up to exactly
// the notch, in both directions, and the zoom gesture counts whole notches.
TEST(ViewNavigationTest, WheelFractionsAddUpToNotches) {
  for (float zoom : {1.0f, 0.75f, 0.25f}) {
    MapView v(300, 300, 640, 480);
    v.Zoom(zoom);
    v.scroll.Scroll(ScrollAxis::Vertical, ScrollRequest::Thumb, 1000);
    WheelRemainder rest;
    for (int i = 0; i < 120; ++i) ScrollByWheel(v.scroll, rest, WheelInput{0, -1}, v.Cell());
    EXPECT_EQ(v.scroll.scrollY, 1000 + 3 * v.Cell()) << zoom;
    for (int i = 0; i < 8; ++i) ScrollByWheel(v.scroll, rest, WheelInput{0, 15}, v.Cell());
    EXPECT_EQ(v.scroll.scrollY, 1000) << zoom;
    EXPECT_EQ(rest.y, 0);
  }
  int32_t rest = 0;
  int32_t steps = 0;
  for (int i = 0; i < 119; ++i) steps += WheelZoomSteps(rest, 1);
  EXPECT_EQ(steps, 0);
  EXPECT_EQ(WheelZoomSteps(rest, 1), 1);
  EXPECT_EQ(WheelZoomSteps(rest, -240), -2);
}

TEST(ViewNavigationTest, WheelAxesPixelsAndEdges) {
  MapView v(300, 300, 640, 480);
  WheelRemainder rest;
  // Shift turns the vertical wheel into a horizontal one.
  EXPECT_TRUE(ScrollByWheel(v.scroll, rest, WheelInput{0, -120, 0, 0, true}, v.Cell()));
  EXPECT_EQ(v.scroll.scrollX, 96);
  EXPECT_EQ(v.scroll.scrollY, 0);
  // A horizontal wheel, and a touchpad's exact pixels.
  ScrollByWheel(v.scroll, rest, WheelInput{-120, 0}, v.Cell());
  EXPECT_EQ(v.scroll.scrollX, 192);
  ScrollByWheel(v.scroll, rest, WheelInput{0, -120, 0, -7}, v.Cell());
  EXPECT_EQ(v.scroll.scrollY, 7);
  // The edges hold, as for the bars.
  EXPECT_TRUE(ScrollByWheel(v.scroll, rest, WheelInput{0, 1200}, v.Cell()));
  EXPECT_EQ(v.scroll.scrollY, 0);
  EXPECT_FALSE(ScrollByWheel(v.scroll, rest, WheelInput{0, 120}, v.Cell()));
  ScrollByWheel(v.scroll, rest, WheelInput{0, -120000}, v.Cell());
  EXPECT_EQ(v.scroll.scrollY, 300 * 32 - 480);
}

TEST(ViewNavigationTest, KeysPanAndCentre) {
  MapView v(300, 200, 640, 480);
  v.Zoom(1.5f);  // cells of 48 pixels; content 14400 x 9600
  struct Step {
    NavigationKey key;
    int32_t x, y;
  };
  const Step steps[] = {
      {NavigationKey::Right, 48, 0},
      {NavigationKey::Down, 48, 48},
      {NavigationKey::PageDown, 48, 528},
      {NavigationKey::Left, 0, 528},
      {NavigationKey::Left, 0, 528},
      {NavigationKey::End, 14400 - 640, 528},
      {NavigationKey::PageUp, 14400 - 640, 48},
      {NavigationKey::Home, 0, 48},
      {NavigationKey::LastCorner, 14400 - 640, 9600 - 480},
      {NavigationKey::Up, 14400 - 640, 9600 - 528},
      {NavigationKey::FirstCorner, 0, 0},
  };
  for (const Step& step : steps) {
    ScrollByKey(v.scroll, step.key, v.Cell());
    EXPECT_EQ(v.scroll.scrollX, step.x) << static_cast<int>(step.key);
    EXPECT_EQ(v.scroll.scrollY, step.y) << static_cast<int>(step.key);
  }
  // Dragging right and down shows what is to the left and above.
  v.scroll.Scroll(ScrollAxis::Horizontal, ScrollRequest::Thumb, 500);
  v.scroll.Scroll(ScrollAxis::Vertical, ScrollRequest::Thumb, 500);
  EXPECT_TRUE(PanView(v.scroll, 500, 500, 30, -40));
  EXPECT_EQ(v.scroll.scrollX, 470);
  EXPECT_EQ(v.scroll.scrollY, 540);
  PanView(v.scroll, 500, 500, 900, -100000);
  EXPECT_EQ(v.scroll.scrollX, 0);
  EXPECT_EQ(v.scroll.scrollY, 9600 - 480);
  // The overview's click centres the view, held by the edges.
  CentreViewOn(v.scroll, 5000, 100);
  EXPECT_EQ(v.scroll.scrollX, 5000 - 320);
  EXPECT_EQ(v.scroll.scrollY, 0);
}

}  // namespace
}  // namespace kelvor
