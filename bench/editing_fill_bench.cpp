// Area fill on a 4096 x 4096 map, against one plain pass over the same grid.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "bench_targets.h"
#include "document/map_document.h"
#include "editing/area_fill.h"

namespace kelvor {
namespace {

constexpr int32_t kSize = 4096;

// A document as the editor holds it for a big map: 255 chips in each table,
// cells with both levels and some flags in use.
std::unique_ptr<MapDocument> MakeBigDocument() {
  auto document = std::make_unique<MapDocument>();
  for (ChipTable& table : document->tables) {
    table.entries[0].used = 1;
    for (int32_t slot = 1; slot < ChipTableSlots; ++slot) {
      table.entries[static_cast<size_t>(slot)] = {1, 0, slot % 16, slot / 16, 0};
    }
  }
  document->grid.Allocate(kSize, kSize);
  std::mt19937 random(7);
  for (MapCell& cell : *document->grid.cells) {
    const uint32_t bits = random();
    cell = ((bits & 0xFF) << 16) | (bits & 0x1100);
  }
  return document;
}

// Walls of chip 200 with a one-cell-wide corridor of chip 0 spiralling from
// the top-left corner to the middle: legs n-1, n-1, n-1, n-3, n-3, n-5, ...
void CarveSpiral(MapGrid& grid) {
  for (MapCell& cell : *grid.cells) cell = WithBackground(cell, 200);
  int32_t column = 0;
  int32_t row = 0;
  grid.At(0, 0) = WithBackground(grid.At(0, 0), 0);
  const int32_t dx[] = {1, 0, -1, 0};
  const int32_t dy[] = {0, 1, 0, -1};
  int32_t length = kSize - 1;
  for (int32_t leg = 0; length > 0; ++leg) {
    for (int32_t step = 0; step < length; ++step) {
      column += dx[leg % 4];
      row += dy[leg % 4];
      grid.At(column, row) = WithBackground(grid.At(column, row), 0);
    }
    if (leg >= 2 && leg % 2 == 0) length -= 2;
  }
}

void BM_FillBaselinePass(benchmark::State& state) {
  const auto document = MakeBigDocument();
  const std::vector<MapCell>& cells = *document->grid.cells;
  for (auto _ : state) {
    uint64_t sum = 0;
    for (MapCell cell : cells) sum += cell;
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_FillBaselinePass)->Arg(kSize)->Unit(benchmark::kMillisecond);

void BM_AreaFillWholeMap(benchmark::State& state) {
  const auto document = MakeBigDocument();
  MapGrid& grid = document->grid;
  for (MapCell& cell : *grid.cells) cell = WithBackground(cell, 1);
  uint8_t chip = 2;
  for (auto _ : state) {
    AreaFill(grid, LevelBackground, kSize / 2, kSize / 2, chip);
    chip = chip == 2 ? 1 : 2;
  }
  if (CellBackground(grid.At(kSize - 1, kSize - 1)) != (chip == 2 ? 1 : 2)) {
    state.SkipWithError("the fill did not reach the whole map");
  }
}
BENCHMARK(BM_AreaFillWholeMap)->Arg(kSize)->Unit(benchmark::kMillisecond);

void BM_AreaFillSpiral(benchmark::State& state) {
  const auto document = MakeBigDocument();
  MapGrid& grid = document->grid;
  CarveSpiral(grid);
  int64_t corridor = 0;
  for (MapCell cell : *grid.cells) corridor += CellBackground(cell) == 0;
  uint8_t chip = 0;
  for (auto _ : state) {
    chip = chip == 1 ? 0 : 1;
    AreaFill(grid, LevelBackground, 0, 0, chip);
  }
  // Every fill must follow the corridor to its inner end.
  int64_t reached = 0;
  for (MapCell cell : *grid.cells) reached += CellBackground(cell) == chip;
  if (reached != corridor) state.SkipWithError("the fill did not follow the whole corridor");
  state.counters["corridorCells"] = static_cast<double>(corridor);
}
BENCHMARK(BM_AreaFillSpiral)->Arg(kSize)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kelvor

KELVOR_RATIO_TARGET("fill-whole-4096", "BM_AreaFillWholeMap/4096", "BM_FillBaselinePass/4096", 6.0);
KELVOR_RATIO_TARGET("fill-spiral-4096", "BM_AreaFillSpiral/4096", "BM_FillBaselinePass/4096", 15.0);
