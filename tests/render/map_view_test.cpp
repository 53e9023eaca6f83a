#include "render/map_view.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "editing/selection.h"
#include "platform/qt/qt_canvas.h"
#include "render/view_primitives.h"
#include "support/recording_canvas.h"

namespace kelvor {
namespace {

using test::RecordingCanvas;
using Kind = RecordingCanvas::Kind;
using Points = std::vector<CanvasPoint>;

Points Square(int32_t x, int32_t y, int32_t side) {
  return {{x, y}, {x + side, y}, {x + side, y + side}, {x, y + side}, {x, y}};
}

void SetUpMap(Workspace& workspace, int32_t width, int32_t height, float zoom = 1.0f,
              int32_t pageWidth = 640, int32_t pageHeight = 480) {
  ASSERT_TRUE(workspace.document.grid.Allocate(width, height));
  workspace.document.tables[LevelBackground].atlas = PixelBuffer::Make(AtlasSize, AtlasSize);
  workspace.document.tables[LevelLayer].atlas = PixelBuffer::Make(AtlasSize, AtlasSize);
  ResetSelection(workspace.selection, width, height);
  workspace.display.mapZoom = zoom;
  workspace.mapView().pageWidth = pageWidth;
  workspace.mapView().pageHeight = pageHeight;
  UpdateVisibleCells(workspace.document.grid, zoom, workspace.mapView());
}

TEST(UpdateVisibleCells, PageOverCellRoundedUpAndCappedAtTheMap) {
  struct Case {
    float zoom;
    int32_t pageWidth, pageHeight, mapWidth, mapHeight;
    int32_t columns, rows;
  };
  const Case cases[] = {
      {1.0f, 640, 480, 100, 100, 20, 15}, {1.0f, 100, 33, 100, 100, 4, 2},
      {1.0f, 640, 480, 5, 3, 5, 3},       {0.25f, 100, 100, 100, 100, 13, 13},
      {1.5f, 100, 96, 100, 100, 3, 2},    {2.0f, 0, 0, 100, 100, 0, 0},
  };
  for (const Case& c : cases) {
    MapGrid grid;
    ASSERT_TRUE(grid.Allocate(c.mapWidth, c.mapHeight));
    ViewPort view;
    view.pageWidth = c.pageWidth;
    view.pageHeight = c.pageHeight;
    UpdateVisibleCells(grid, c.zoom, view);
    EXPECT_EQ(view.visibleColumns, c.columns) << c.zoom << " " << c.pageWidth;
    EXPECT_EQ(view.visibleRows, c.rows) << c.zoom << " " << c.pageHeight;
  }
}

TEST(ComposeMapView, ScrolledByPartOfACellDrawsOneMoreColumnButNotPastTheMap) {
  struct Case {
    int32_t mapWidth, scrollX;
    std::vector<int32_t> columns;
  };
  const Case cases[] = {
      {10, 0, {0, 1}},
      {10, 16, {0, 1, 2}},
      {10, 32, {1, 2}},
      {3, 48, {1, 2}},
  };
  for (const Case& c : cases) {
    Workspace workspace;
    SetUpMap(workspace, c.mapWidth, 1, 1.0f, 64, 32);
    for (int32_t column = 0; column < c.mapWidth; ++column) {
      workspace.document.grid.At(column, 0) = WithBackground(0, 1);
    }
    workspace.mapView().scrollX = c.scrollX;
    RecordingCanvas canvas(64, 32);
    ComposeMapView(workspace, canvas);
    std::vector<int32_t> columns;
    for (const auto& call : canvas.Of(Kind::Blend)) {
      columns.push_back((call.rect.left + c.scrollX) / 32);
    }
    EXPECT_EQ(columns, c.columns) << "width " << c.mapWidth << " scroll " << c.scrollX;
  }
}

TEST(ComposeMapView, LayerChipAloneAndHiddenLayer) {
  for (bool showLayer : {true, false}) {
    Workspace workspace;
    SetUpMap(workspace, 2, 2, 1.5f);
    workspace.document.grid.At(1, 1) = WithLayer(0, 5);
    workspace.display.showLayer = showLayer;
    RecordingCanvas canvas(200, 200);
    ScaledAtlasCache atlases;
    ComposeMapView(workspace, canvas, atlases);
    const auto blends = canvas.Of(Kind::Blend);
    if (!showLayer) {
      EXPECT_TRUE(blends.empty());
      continue;
    }
    ASSERT_EQ(blends.size(), 1u);
    // The layer atlas scaled to 48-pixel chips, one above the other; chip 5
    // is the sixth square.
    EXPECT_EQ(blends[0].source, (CanvasRect{0, 5 * 48, 48, 48}));
    EXPECT_EQ(blends[0].rect, (CanvasRect{48, 48, 48, 48}));
    EXPECT_EQ(blends[0].image->width, 48);
    EXPECT_EQ(blends[0].image->height, 256 * 48);
  }
}

TEST(ComposeMapView, FlagFramesOfTheEditModeFollowTheirChipPass) {
  // (0,0): both chips, collision and priority; (1,0): collision, no chips;
  // (2,0): background chip and priority only.
  struct Case {
    int32_t mode;
    std::vector<std::pair<int, Points>> framesInPass;  // pass, frame
  };
  const Points frame00 = Square(2, 2, 29);
  const Case cases[] = {
      {PaletteModePlacement, {}},
      {PaletteModeLayer, {}},
      {PaletteModeCollision, {{0, frame00}, {1, frame00}}},  // in both passes
      {PaletteModePriority, {{1, frame00}}},                 // layer pass only
  };
  for (const Case& c : cases) {
    Workspace workspace;
    SetUpMap(workspace, 3, 1);
    MapGrid& grid = workspace.document.grid;
    grid.At(0, 0) = WithLayer(WithBackground(0, 1), 2) | CellFlagCollision | CellFlagPriority;
    grid.At(1, 0) = CellFlagCollision;
    grid.At(2, 0) = WithBackground(0, 3) | CellFlagPriority;
    workspace.palette.mode = c.mode;
    RecordingCanvas canvas(200, 100);
    ComposeMapView(workspace, canvas);
    // A frame belongs to the pass of the chips drawn before it: the first
    // atlas blended is the background's.
    std::vector<std::pair<int, Points>> frames;
    std::vector<const PixelBuffer*> atlases;
    for (const auto& call : canvas.calls) {
      if (call.kind == Kind::Blend) atlases.push_back(call.image);
      if (call.kind == Kind::Polyline && call.pen == CanvasPen{2, Rgb(255, 0, 0)}) {
        ASSERT_FALSE(atlases.empty());
        frames.emplace_back(atlases.back() == atlases.front() ? 0 : 1, call.points);
      }
    }
    ASSERT_EQ(atlases.size(), 3u);
    EXPECT_EQ(atlases[0], atlases[1]);  // two background chips, then the layer chip
    EXPECT_NE(atlases[1], atlases[2]);
    EXPECT_EQ(frames, c.framesInPass) << "mode " << c.mode;
  }
}

TEST(ComposeMapView, GridAlwaysDrawnBehindOrInFrontByShowGrid) {
  std::vector<RecordingCanvas::Call> gridLines[2];
  for (bool showGrid : {false, true}) {
    Workspace workspace;
    SetUpMap(workspace, 2, 2, 0.25f);
    workspace.document.grid.At(0, 0) = WithBackground(0, 1);
    workspace.document.grid.At(1, 1) = WithBackground(0, 1);
    workspace.selection.selectionFlags[0] = 1;
    workspace.display.showGrid = showGrid;
    RecordingCanvas canvas(100, 100);
    ComposeMapView(workspace, canvas);
    size_t firstLine = canvas.calls.size(), lastLine = 0, firstOther = canvas.calls.size(),
           lastOther = 0;
    for (size_t i = 0; i < canvas.calls.size(); ++i) {
      if (canvas.calls[i].kind == Kind::Line) {
        firstLine = std::min(firstLine, i);
        lastLine = i;
        gridLines[showGrid].push_back(canvas.calls[i]);
      } else {
        firstOther = std::min(firstOther, i);
        lastOther = i;
      }
    }
    if (showGrid) {
      EXPECT_GT(firstLine, lastOther);  // over the chips and the selection frame
    } else {
      EXPECT_LT(lastLine, firstOther);
    }
  }
  ASSERT_EQ(gridLines[0].size(), 6u);  // 3 vertical, 3 horizontal over 16 x 16 pixels
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(gridLines[0][i].points, gridLines[1][i].points);
    EXPECT_EQ(gridLines[0][i].pen, (CanvasPen{1, Rgb(255, 255, 0)}));
  }
  EXPECT_EQ(gridLines[0][2].points, (Points{{16, 0}, {16, 16}}));
}

TEST(ComposeMapView, SelectedCellsAndTheDragRectangle) {
  struct Case {
    bool dragActive, deselects;
    size_t dragFrames;
    Color dragColor;
  };
  const Case cases[] = {
      {false, false, 0, 0}, {true, false, 8, Rgb(0, 0, 255)}, {true, true, 8, Rgb(0, 255, 128)}};
  for (const Case& c : cases) {
    Workspace workspace;
    // Only one cell fits the page, but the drag rectangle is drawn wherever
    // it falls on the canvas.
    SetUpMap(workspace, 10, 10, 1.0f, 32, 32);
    workspace.selection.selectionFlags[0] = 1;
    workspace.selection.selectionFlags[55] = 1;  // outside the drawn range
    workspace.selection.selectionDragActive = c.dragActive;
    workspace.selection.dragDeselects = c.deselects;
    workspace.selection.selectionRect = {1, 2, 4, 3};
    RecordingCanvas canvas(200, 200);
    ComposeMapView(workspace, canvas);
    const auto selected = canvas.PolylinesWith({2, Rgb(0, 0, 255)});
    const size_t expectedSelected = 1 + (c.dragActive && !c.deselects ? c.dragFrames : 0);
    ASSERT_EQ(selected.size(), expectedSelected);
    EXPECT_EQ(selected[0].points, Square(2, 2, 29));
    if (c.dragActive) {
      const auto drag = canvas.PolylinesWith({2, c.dragColor});
      ASSERT_EQ(drag.size() - (c.deselects ? 0 : 1), c.dragFrames);
      EXPECT_EQ(drag.back().points, Square(4 * 32 + 2, 3 * 32 + 2, 29));
    }
  }
}

TEST(ComposeMapView, WallHandlesInCollisionModeOnly) {
  const CanvasPen outline{1, Rgb(0, 255, 255)};
  const CanvasPen set{2, Rgb(255, 0, 0)};
  {
    Workspace workspace;  // a single cell has no neighbour to wall off
    SetUpMap(workspace, 1, 1);
    workspace.document.grid.At(0, 0) = CellFlagWallEast | CellFlagWallSouth;
    workspace.palette.mode = PaletteModeCollision;
    RecordingCanvas canvas(100, 100);
    ComposeMapView(workspace, canvas);
    EXPECT_TRUE(canvas.Of(Kind::Polyline).empty());
  }
  for (int32_t mode : {PaletteModeCollision, PaletteModePriority}) {
    Workspace workspace;
    SetUpMap(workspace, 2, 2);
    workspace.document.grid.At(0, 0) = CellFlagWallEast;
    workspace.document.grid.At(1, 0) = CellFlagWallSouth;
    workspace.palette.mode = mode;
    RecordingCanvas canvas(100, 100);
    ComposeMapView(workspace, canvas);
    if (mode != PaletteModeCollision) {
      EXPECT_TRUE(canvas.Of(Kind::Polyline).empty());
      continue;
    }
    // The set handles' outlines would be painted over by their thicker
    // second drawing: only the unset ones get one.
    const std::vector<Points> outlines = {Square(26, 42, 13), Square(10, 26, 13)};
    std::vector<Points> drawn;
    for (const auto& call : canvas.PolylinesWith(outline)) drawn.push_back(call.points);
    EXPECT_EQ(drawn, outlines);
    drawn.clear();
    for (const auto& call : canvas.PolylinesWith(set)) drawn.push_back(call.points);
    EXPECT_EQ(drawn, (std::vector<Points>{Square(26, 10, 13), Square(42, 26, 13)}));
    // The handles come last, over the grid.
    EXPECT_EQ(canvas.calls.back().pen, set);
  }
}

TEST(ComposeMapView, DrawsNothingWithoutWhatItNeeds) {
  struct Case {
    const char* name;
    void (*spoil)(Workspace&);
  };
  const Case cases[] = {
      {"no map", [](Workspace& w) { w.document.grid.Release(); }},
      {"no selection flags", [](Workspace& w) { w.selection.hasFlags = false; }},
      {"selection of another size", [](Workspace& w) { w.selection.selectionFlags.resize(3); }},
      {"zoom 0", [](Workspace& w) { w.display.mapZoom = 0; }},
      {"cells below a pixel", [](Workspace& w) { w.display.mapZoom = 0.01f; }},
      {"negative mode", [](Workspace& w) { w.palette.mode = -1; }},
  };
  for (const Case& c : cases) {
    Workspace workspace;
    SetUpMap(workspace, 4, 4);
    workspace.document.grid.At(1, 1) = WithBackground(CellFlagCollision, 1);
    workspace.palette.mode = PaletteModeCollision;
    c.spoil(workspace);
    RecordingCanvas canvas(100, 100);
    ComposeMapView(workspace, canvas);
    EXPECT_TRUE(canvas.calls.empty()) << c.name;
  }
}

std::vector<uint8_t> Pixels(const PixelBuffer& buffer) {
  return buffer.pixels;
}

// Handles, the drag rectangle and grid lines are only issued where they can
// touch the canvas. The picture must equal drawing every one of them.
TEST(ComposeMapView, SkippingUnseenShapesChangesNoPixel) {
  constexpr int32_t width = 40, height = 30;
  std::mt19937 random(3);
  for (float zoom : {0.25f, 0.5f, 0.75f, 1.0f, 1.5f, 2.0f}) {
    for (int32_t scrollCells : {0, 7}) {
      Workspace workspace;
      SetUpMap(workspace, width, height, zoom, 120, 90);
      for (MapCell& cell : *workspace.document.grid.cells) {
        cell = static_cast<MapCell>(random() % 4) << 9;  // east and south walls
      }
      workspace.palette.mode = PaletteModeCollision;
      workspace.selection.selectionDragActive = true;
      workspace.selection.selectionRect = {2, 1, 35, 27};
      const ViewSizes sizes = ViewSizesAt(zoom);
      ViewPort& view = workspace.mapView();
      view.scrollX = scrollCells * sizes.cell + sizes.cell / 3;
      view.scrollY = scrollCells * sizes.cell / 2 + 1;

      PixelBuffer composed = PixelBuffer::Make(120, 90);
      {
        QtCanvas canvas(composed);
        ComposeMapView(workspace, canvas);
      }
      PixelBuffer reference = PixelBuffer::Make(120, 90);
      {
        QtCanvas canvas(reference);
        canvas.SetPen({sizes.thick, workspace.display.mapCopyFrameColor});
        for (int32_t row = 1; row <= 27; ++row) {
          for (int32_t column = 2; column <= 35; ++column) {
            DrawCellFrame(canvas, column, row, 32, zoom, view);
          }
        }
        canvas.SetPen({sizes.thin, workspace.display.mapBorderColor});
        const int32_t w = Zoomed(width * 32, zoom), h = Zoomed(height * 32, zoom);
        for (int32_t x = 0; x <= w; x += sizes.cell) {
          canvas.MoveTo({x - view.scrollX, -view.scrollY});
          canvas.LineTo({x - view.scrollX, h - view.scrollY});
        }
        for (int32_t y = 0; y <= h; y += sizes.cell) {
          canvas.MoveTo({-view.scrollX, y - view.scrollY});
          canvas.LineTo({w - view.scrollX, y - view.scrollY});
        }
        const int32_t offset24 = Zoomed(24, zoom), offset8 = Zoomed(8, zoom);
        for (int32_t pass = 0; pass < 2; ++pass) {
          canvas.SetPen(pass == 0 ? CanvasPen{sizes.thin, workspace.display.mapCollisionFrameColor}
                                  : CanvasPen{sizes.thick, workspace.display.mapAttrFrameColor});
          for (int32_t row = 0; row < height; ++row) {
            for (int32_t column = 0; column + 1 < width; ++column) {
              if (pass == 0 || (workspace.document.grid.At(column, row) & CellFlagWallEast)) {
                DrawWallHandle(canvas, column * 2, row * 2, offset24, offset8, 16, zoom, view);
              }
            }
          }
          for (int32_t row = 0; row + 1 < height; ++row) {
            for (int32_t column = 0; column < width; ++column) {
              if (pass == 0 || (workspace.document.grid.At(column, row) & CellFlagWallSouth)) {
                DrawWallHandle(canvas, column * 2, row * 2, offset8, offset24, 16, zoom, view);
              }
            }
          }
        }
      }
      EXPECT_EQ(Pixels(composed), Pixels(reference))
          << "zoom " << zoom << " scroll " << scrollCells;
    }
  }
}

// Chips, flag frames, grid and handles together against the literal order
// of drawing, with partly transparent chips and, at 25%, frames that reach
// one pixel into the next row and column. Without frames between a cell's
// two chips both are blended in one pass over the cells.
TEST(ComposeMapView, RowByRowPassesPaintWhatTwoWholePassesPaint) {
  constexpr int32_t width = 12, height = 9;
  std::mt19937 random(11);
  for (float zoom : {0.25f, 0.5f, 1.0f, 2.0f}) {
    for (int32_t mode : {PaletteModePlacement, PaletteModeCollision, PaletteModePriority}) {
      Workspace workspace;
      SetUpMap(workspace, width, height, zoom, 200, 150);
      for (auto& table : workspace.document.tables) {
        for (size_t i = 0; i < table.atlas.pixels.size(); i += 4) {
          const auto alpha = static_cast<uint8_t>((i / 4) % 3 == 0 ? 0 : random() % 256);
          for (int c = 0; c < 3; ++c) {
            table.atlas.pixels[i + c] = static_cast<uint8_t>(random() % (alpha + 1));
          }
          table.atlas.pixels[i + 3] = alpha;
        }
      }
      for (MapCell& cell : *workspace.document.grid.cells) {
        cell = WithLayer(WithBackground(0, static_cast<uint8_t>(random() % 4)),
                         static_cast<uint8_t>(random() % 4)) |
               (random() % 2 ? CellFlagCollision : 0) | (random() % 2 ? CellFlagPriority : 0);
      }
      workspace.palette.mode = mode;
      // The grid behind the chips, or it would hide the pixels frames put
      // into the next row.
      workspace.display.showGrid = false;
      const ViewSizes sizes = ViewSizesAt(zoom);
      ViewPort& view = workspace.mapView();
      view.scrollX = sizes.cell + 3;
      view.scrollY = 2;
      UpdateVisibleCells(workspace.document.grid, zoom, view);

      PixelBuffer composed = PixelBuffer::Make(200, 150);
      {
        QtCanvas canvas(composed);
        ComposeMapView(workspace, canvas);
      }
      PixelBuffer reference = PixelBuffer::Make(200, 150);
      {
        QtCanvas canvas(reference);
        DrawGrid(canvas, width * 32, height * 32, 32, zoom,
                 {sizes.thin, workspace.display.mapBorderColor}, view);
        canvas.SetPen({sizes.thick, workspace.display.mapAttrFrameColor});
        const DrawnRange range = MapDrawnRange(workspace.document.grid, sizes.cell, view);
        for (int32_t pass = 0; pass < 2; ++pass) {
          const PixelBuffer atlas =
              ChipStrip(workspace.document.tables[static_cast<size_t>(pass)].atlas, sizes.cell);
          for (int32_t row = range.firstRow; row < range.endRow; ++row) {
            for (int32_t column = range.firstColumn; column < range.endColumn; ++column) {
              const MapCell value = workspace.document.grid.At(column, row);
              const int32_t chip = CellChip(value, pass);
              if (chip == 0) continue;
              canvas.BlendImage(atlas, {0, sizes.cell * chip, sizes.cell, sizes.cell},
                                {column * sizes.cell - view.scrollX,
                                 row * sizes.cell - view.scrollY, sizes.cell, sizes.cell});
              if ((mode == PaletteModeCollision && (value & CellFlagCollision)) ||
                  (mode == PaletteModePriority && pass == 1 && (value & CellFlagPriority))) {
                DrawCellFrame(canvas, column, row, 32, zoom, view);
              }
            }
          }
        }
        if (mode == PaletteModeCollision) {
          canvas.SetPen({sizes.thin, workspace.display.mapCollisionFrameColor});
          const int32_t offset24 = Zoomed(24, zoom), offset8 = Zoomed(8, zoom);
          for (int32_t row = 0; row < height; ++row) {
            for (int32_t column = 0; column + 1 < width; ++column) {
              DrawWallHandle(canvas, column * 2, row * 2, offset24, offset8, 16, zoom, view);
            }
          }
          for (int32_t row = 0; row + 1 < height; ++row) {
            for (int32_t column = 0; column < width; ++column) {
              DrawWallHandle(canvas, column * 2, row * 2, offset8, offset24, 16, zoom, view);
            }
          }
        }
      }
      EXPECT_EQ(Pixels(composed), Pixels(reference)) << "zoom " << zoom << " mode " << mode;
    }
  }
}

// A view taller than one band is drawn in bands on several threads; the
// picture must be the one a single thread draws, also where frames, handles
// and the drag rectangle cross from one band into the next.
TEST(ComposeMapView, BandsOnThreadsPaintWhatOneThreadPaints) {
  constexpr int32_t width = 70, height = 60, pageWidth = 260, pageHeight = 420;
  std::mt19937 random(5);
  for (float zoom : {0.25f, 0.5f, 0.75f, 1.0f, 1.5f, 2.0f}) {
    for (int32_t mode : {PaletteModeCollision, PaletteModePriority}) {
      Workspace workspace;
      SetUpMap(workspace, width, height, zoom, pageWidth, pageHeight);
      for (auto& table : workspace.document.tables) {
        for (size_t i = 0; i < table.atlas.pixels.size(); i += 4) {
          const auto alpha = static_cast<uint8_t>((i / 4) % 3 == 0 ? 0 : random() % 256);
          for (int c = 0; c < 3; ++c) {
            table.atlas.pixels[i + c] = static_cast<uint8_t>(random() % (alpha + 1));
          }
          table.atlas.pixels[i + 3] = alpha;
        }
      }
      for (size_t i = 0; i < workspace.document.grid.CellCount(); ++i) {
        MapCell& cell = (*workspace.document.grid.cells)[i];
        cell = WithLayer(WithBackground(0, static_cast<uint8_t>(random() % 6)),
                         static_cast<uint8_t>(random() % 6)) |
               (random() % 2 ? CellFlagCollision : 0) | (random() % 2 ? CellFlagPriority : 0) |
               (static_cast<MapCell>(random() % 4) << 9);
        workspace.selection.selectionFlags[i] = random() % 5 == 0 ? 1 : 0;
      }
      workspace.palette.mode = mode;
      workspace.display.showGrid = mode == PaletteModePriority;
      workspace.selection.selectionDragActive = true;
      workspace.selection.selectionRect = {3, 2, 40, 50};
      const ViewSizes sizes = ViewSizesAt(zoom);
      ViewPort& view = workspace.mapView();
      view.scrollX = sizes.cell * 2 + sizes.cell / 3;
      view.scrollY = sizes.cell * 3 + sizes.cell / 2;
      UpdateVisibleCells(workspace.document.grid, zoom, view);

      auto painted = [&](bool threads) {
        PixelBuffer back = PixelBuffer::Make(pageWidth, pageHeight);
        QtCanvas canvas(back);
        canvas.SetTwinsEnabled(threads);
        canvas.SetPen({3, Rgb(1, 2, 3)});
        canvas.SetClip({0, 7, pageWidth, pageHeight - 7});
        ComposeMapView(workspace, canvas);
        EXPECT_EQ(canvas.Clip(), (CanvasRect{0, 7, pageWidth, pageHeight - 7}));
        return back.pixels;
      };
      EXPECT_TRUE(painted(true) == painted(false)) << "zoom " << zoom << " mode " << mode;
    }
  }
}

uint32_t PixelAt(const PixelBuffer& buffer, int32_t x, int32_t y) {
  uint32_t value;
  std::memcpy(&value, buffer.At(x, y), 4);
  return value;
}

void PaintChip(PixelBuffer& atlas, int32_t chip, uint32_t pixel, uint32_t corner) {
  for (int32_t y = 0; y < 32; ++y) {
    for (int32_t x = 0; x < 32; ++x) {
      const uint32_t value = (x < 16 && y < 16) ? corner : pixel;
      std::memcpy(atlas.At(32 * (chip % 16) + x, 32 * (chip / 16) + y), &value, 4);
    }
  }
}

TEST(ComposeMapView, ChipsBlendAtEveryZoomAndFollowAtlasChanges) {
  for (float zoom : {0.25f, 0.5f, 0.75f, 1.0f, 1.5f, 2.0f}) {
    Workspace workspace;
    SetUpMap(workspace, 3, 3, zoom);
    workspace.display.showGrid = false;
    workspace.document.grid.At(1, 1) = WithLayer(WithBackground(0, 17), 3);
    // Opaque blue background chip with a white top-left quarter; layer chip
    // half-covering red, clear in its top-left quarter.
    PaintChip(workspace.document.tables[LevelBackground].atlas, 17, 0xff0000ffu, 0xffffffffu);
    PaintChip(workspace.document.tables[LevelLayer].atlas, 3, 0x80800000u, 0);
    const int32_t cell = ViewSizesAt(zoom).cell;
    PixelBuffer back = PixelBuffer::Make(3 * cell, 3 * cell);
    ScaledAtlasCache atlases;
    {
      QtCanvas canvas(back);
      ComposeMapView(workspace, canvas, atlases);
    }
    EXPECT_EQ(PixelAt(back, cell, cell), 0xffffffffu) << zoom;  // quarter shows through
    EXPECT_EQ(PixelAt(back, cell + cell / 2 - 1, cell + cell / 2 - 1), 0xffffffffu) << zoom;
    // 0x80 red over blue: blue x 127 / 255 = 0x7f, red 0x80.
    EXPECT_EQ(PixelAt(back, cell + cell / 2, cell + cell / 2), 0xff80007fu) << zoom;
    EXPECT_EQ(PixelAt(back, 2 * cell - 1, 2 * cell - 1), 0xff80007fu) << zoom;
    EXPECT_EQ(PixelAt(back, 2 * cell + cell / 2, 2 * cell + cell / 2), 0u) << zoom;  // bare cell

    // The atlas changes in place (as a registration changes it); the next
    // paint shows it.
    PaintChip(workspace.document.tables[LevelBackground].atlas, 17, 0xff00ff00u, 0xff00ff00u);
    MarkAtlasChanged(workspace.document.tables[LevelBackground]);
    {
      QtCanvas canvas(back);
      ComposeMapView(workspace, canvas, atlases);
    }
    EXPECT_EQ(PixelAt(back, cell, cell), 0xff00ff00u) << zoom;
  }
}

}  // namespace
}  // namespace kelvor
