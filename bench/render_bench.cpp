// Painting a full-HD map window over a 4096 x 4096 map at every zoom,
// against blending one window-sized picture over the same back buffer.
#include <benchmark/benchmark.h>

#include <memory>

#include "bench_targets.h"
#include "editing/selection.h"
#include "platform/qt/qt_canvas.h"
#include "render/map_view.h"
#include "workspace/workspace.h"

namespace kelvor {
namespace {

constexpr int32_t MapSide = 4096;
constexpr int32_t ViewWidth = 1920;
constexpr int32_t ViewHeight = 1080;

// Opaque background chips; layer chips with clear, half and fully covered
// pixels, the mix real layer sets have.
PixelBuffer MakeAtlas(bool layer, int32_t width = AtlasSize, int32_t height = AtlasSize) {
  PixelBuffer atlas = PixelBuffer::Make(width, height);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      uint8_t* p = atlas.At(x, y);
      const auto shade = static_cast<uint8_t>((x * 7 + y * 3) & 0xFF);
      uint8_t alpha = 255;
      if (layer) {
        const int32_t inChip = (x % 32) + (y % 32);
        alpha = inChip < 20 ? 0 : (inChip < 40 ? 128 : 255);
      }
      p[0] = static_cast<uint8_t>(shade * alpha / 255);
      p[1] = static_cast<uint8_t>((255 - shade) * alpha / 255);
      p[2] = static_cast<uint8_t>((shade / 2) * alpha / 255);
      p[3] = alpha;
    }
  }
  return atlas;
}

Workspace& BenchWorkspace() {
  static std::unique_ptr<Workspace> workspace = [] {
    auto made = std::make_unique<Workspace>();
    MapGrid& grid = made->document.grid;
    grid.Allocate(MapSide, MapSide);
    for (int32_t row = 0; row < MapSide; ++row) {
      for (int32_t column = 0; column < MapSide; ++column) {
        const auto background = static_cast<uint8_t>(1 + (column + row) % 255);
        const auto layer = static_cast<uint8_t>(1 + (column * 3 + row) % 255);
        grid.At(column, row) =
            WithLayer(WithBackground(0, background), layer) | CellFlagWallEast | CellFlagWallSouth;
      }
    }
    made->document.tables[LevelBackground].atlas = MakeAtlas(false);
    made->document.tables[LevelLayer].atlas = MakeAtlas(true);
    ResetSelection(made->selection, MapSide, MapSide);
    made->palette.mode = PaletteModeCollision;
    return made;
  }();
  return *workspace;
}

// For comparison only: the back buffer filled with one colour, as fast as
// the memory takes stores.
void BM_MapFill(benchmark::State& state) {
  PixelBuffer back = PixelBuffer::Make(ViewWidth, ViewHeight);
  QtCanvas canvas(back);
  for (auto _ : state) {
    canvas.FillRect({0, 0, ViewWidth, ViewHeight}, Rgb(128, 128, 128));
    benchmark::DoNotOptimize(back.pixels.data());
  }
}
BENCHMARK(BM_MapFill)->Unit(benchmark::kMicrosecond);

// The baseline of the compose targets: the back buffer filled, then one
// window-sized picture of layer chips blended over it on the calling
// thread, so every pixel is read, blended and written once by the canvas
// that draws the chips. The fill alone only measures how fast the memory
// takes stores, many times faster than any blend on some processors, so a
// ratio against it judged the processor rather than the drawing.
void BM_MapBlendWindow(benchmark::State& state) {
  PixelBuffer back = PixelBuffer::Make(ViewWidth, ViewHeight);
  const PixelBuffer picture = MakeAtlas(true, ViewWidth, ViewHeight);
  QtCanvas canvas(back);
  canvas.SetTwinsEnabled(false);
  for (auto _ : state) {
    canvas.FillRect({0, 0, ViewWidth, ViewHeight}, Rgb(128, 128, 128));
    canvas.BlendImage(picture, {0, 0, ViewWidth, ViewHeight}, {0, 0, ViewWidth, ViewHeight});
    benchmark::DoNotOptimize(back.pixels.data());
  }
}
BENCHMARK(BM_MapBlendWindow)->Unit(benchmark::kMicrosecond);

// Gives every cell the collision flag, or takes it away, so that the
// collision mode draws a flag frame per cell and pass, or none.
void SetCollisionFlags(Workspace& workspace, bool set) {
  for (MapCell& cell : *workspace.document.grid.cells) {
    cell = set ? (cell | CellFlagCollision) : (cell & ~CellFlagCollision);
  }
}

// Argument: the zoom in percent. The view is scrolled into the middle of
// the map by part of a cell, so the extra column and row are drawn too.
void ComposeAtZoom(benchmark::State& state, bool collisionCells, bool threads = true) {
  Workspace& workspace = BenchWorkspace();
  SetCollisionFlags(workspace, collisionCells);
  workspace.display.mapZoom = static_cast<float>(state.range(0)) / 100.0f;
  const int32_t cell = Zoomed(32, workspace.display.mapZoom);
  ViewPort& view = workspace.mapView();
  view.pageWidth = ViewWidth;
  view.pageHeight = ViewHeight;
  view.scrollX = cell * 1500 + cell / 2;
  view.scrollY = cell * 2000 + cell / 2;
  UpdateVisibleCells(workspace.document.grid, workspace.display.mapZoom, view);
  PixelBuffer back = PixelBuffer::Make(ViewWidth, ViewHeight);
  QtCanvas canvas(back);
  canvas.SetTwinsEnabled(threads);
  ScaledAtlasCache atlases;
  for (auto _ : state) {
    canvas.FillRect({0, 0, ViewWidth, ViewHeight}, workspace.display.mapBackgroundColor);
    ComposeMapView(workspace, canvas, atlases);
    benchmark::DoNotOptimize(back.pixels.data());
  }
}
// Both chips and both walls on every cell, in collision mode.
void BM_MapCompose(benchmark::State& state) {
  ComposeAtZoom(state, false);
}
// The same with the collision flag on every cell as well: two more frames
// per cell.
void BM_MapComposeCollisionCells(benchmark::State& state) {
  ComposeAtZoom(state, true);
}

// The same on the calling thread alone, for comparison: the editor draws
// a big view in bands on all processors.
void BM_MapComposeOneThread(benchmark::State& state) {
  ComposeAtZoom(state, false, false);
}

// The six map zooms, in percent.
void AtEveryZoom(benchmark::internal::Benchmark* family) {
  for (int zoom : {25, 50, 75, 100, 150, 200}) family->Arg(zoom);
  family->Unit(benchmark::kMicrosecond);
}
BENCHMARK(BM_MapCompose)->Apply(AtEveryZoom);
BENCHMARK(BM_MapComposeOneThread)->Apply(AtEveryZoom);
BENCHMARK(BM_MapComposeCollisionCells)->Apply(AtEveryZoom);

KELVOR_SLOWEST_RATIO_TARGET("compose-worst-zoom-vs-100",
                            ({"BM_MapCompose/25", "BM_MapCompose/50", "BM_MapCompose/75",
                              "BM_MapCompose/100", "BM_MapCompose/150", "BM_MapCompose/200"}),
                            "BM_MapCompose/100", 1.5);
// The slowest zoom against one blended window: drawing both levels, the
// frames and the grid costs a few blends of the window, on any processor.
KELVOR_SLOWEST_RATIO_TARGET("compose-slowest-vs-blend",
                            ({"BM_MapCompose/25", "BM_MapCompose/50", "BM_MapCompose/75",
                              "BM_MapCompose/100", "BM_MapCompose/150", "BM_MapCompose/200"}),
                            "BM_MapBlendWindow", 3);
KELVOR_SLOWEST_RATIO_TARGET("compose-one-thread-slowest-vs-blend",
                            ({"BM_MapComposeOneThread/25", "BM_MapComposeOneThread/50",
                              "BM_MapComposeOneThread/75", "BM_MapComposeOneThread/100",
                              "BM_MapComposeOneThread/150", "BM_MapComposeOneThread/200"}),
                            "BM_MapBlendWindow", 4);

}  // namespace
}  // namespace kelvor
