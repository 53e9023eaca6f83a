#include <benchmark/benchmark.h>

#include <chrono>
#include <numeric>
#include <random>

#include "bench_targets.h"
#include "editing/undo_history.h"
#include "render/overview_picture.h"

namespace kelvor {
namespace {

// A map using 255 chips on each level, with atlases of distinct colours.
MapDocument& SharedDocument(int32_t side) {
  static MapDocument document;
  if (document.grid.width != side) {
    document = MapDocument{};
    document.grid.Allocate(side, side);
    std::mt19937 random(11);
    for (MapCell& cell : *document.grid.cells) {
      cell = (1 + random() % 255) | ((1 + random() % 255) << 16);
    }
    for (ChipTable& table : document.tables) {
      table.atlas = PixelBuffer::Make(AtlasSize, AtlasSize);
      for (uint8_t& byte : table.atlas.pixels) byte = static_cast<uint8_t>(random());
      for (size_t i = 3; i < table.atlas.pixels.size(); i += 4) table.atlas.pixels[i] = 255;
      MarkAtlasChanged(table);
    }
  }
  return document;
}

// Baseline: one pass reading every cell (a plain sum).
void BM_OverviewGridSum(benchmark::State& state) {
  const MapDocument& document = SharedDocument(static_cast<int32_t>(state.range(0)));
  const std::vector<MapCell>& cells = *document.grid.cells;
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::accumulate(cells.begin(), cells.end(), uint64_t{0}));
  }
}
BENCHMARK(BM_OverviewGridSum)->Arg(16384)->Unit(benchmark::kMillisecond);

// The whole overview drawn from nothing, chip averages included.
void BM_OverviewFull(benchmark::State& state) {
  const MapDocument& document = SharedDocument(static_cast<int32_t>(state.range(0)));
  const DisplaySettings display;
  for (auto _ : state) {
    OverviewPicture picture;
    picture.Update(document, display, 256, 256);
    benchmark::DoNotOptimize(picture.pixels().pixels.data());
  }
}
BENCHMARK(BM_OverviewFull)->Arg(16384)->Unit(benchmark::kMillisecond);

// A 3 x 3 stamp at a random place, as the map tool makes it: the cells and
// the undo step.
void Stamp(MapGrid& grid, UndoHistory& history, std::mt19937& random) {
  const int32_t column = static_cast<int32_t>(random() % (grid.width - 3));
  const int32_t row = static_cast<int32_t>(random() % (grid.height - 3));
  for (int32_t y = row; y < row + 3; ++y) {
    for (int32_t x = column; x < column + 3; ++x) grid.At(x, y) = WithBackground(grid.At(x, y), 7);
  }
  RecordUndo(history, grid);
}

void BM_StampWork(benchmark::State& state) {
  MapDocument& document = SharedDocument(static_cast<int32_t>(state.range(0)));
  UndoHistory history;
  RecordUndo(history, document.grid);
  std::mt19937 random(5);
  for (auto _ : state) Stamp(document.grid, history, random);
  ResetUndo(history);
}
BENCHMARK(BM_StampWork)->Arg(4096)->Unit(benchmark::kMicrosecond);

// The overview catching up after each stamp; only its own work is timed.
// A fixed count: the untimed stamps take far longer than the timed part, so
// running until the timed part adds up to the minimum time would take hours.
void BM_OverviewAfterStamp(benchmark::State& state) {
  MapDocument& document = SharedDocument(static_cast<int32_t>(state.range(0)));
  const DisplaySettings display;
  UndoHistory history;
  RecordUndo(history, document.grid);
  OverviewPicture picture;
  picture.Update(document, display, 256, 256);
  std::mt19937 random(5);
  for (auto _ : state) {
    Stamp(document.grid, history, random);
    const auto start = std::chrono::steady_clock::now();
    picture.Update(document, display, 256, 256);
    const auto stop = std::chrono::steady_clock::now();
    state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
  }
  ResetUndo(history);
}
BENCHMARK(BM_OverviewAfterStamp)
    ->Arg(4096)
    ->UseManualTime()
    ->Iterations(200)
    ->Unit(benchmark::kMicrosecond);

KELVOR_RATIO_TARGET("overview-full-16384", "BM_OverviewFull/16384", "BM_OverviewGridSum/16384",
                    1.5);
KELVOR_RATIO_TARGET("overview-stamp-update-4096",
                    "BM_OverviewAfterStamp/4096/iterations:200/manual_time", "BM_StampWork/4096",
                    0.5);

}  // namespace
}  // namespace kelvor
