#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "bench_targets.h"
#include "editing/undo_history.h"
#include "stage_map.h"

namespace kelvor {
namespace {

constexpr int32_t Size = 4096;

// A 4096 x 4096 map using 255 chips on each level.
MapGrid BigMap() {
  MapGrid grid;
  grid.width = Size;
  grid.height = Size;
  grid.cells.emplace(static_cast<size_t>(Size) * Size);
  std::mt19937 random(7);
  for (MapCell& cell : *grid.cells) {
    cell = (1 + random() % 255) | ((1 + random() % 255) << 16);
  }
  return grid;
}

MapGrid& SharedMap() {
  static MapGrid grid = BigMap();
  return grid;
}

// Baseline: one plain copy of the cells into a buffer made beforehand.
void BM_UndoGridCopy(benchmark::State& state) {
  const MapGrid& grid = SharedMap();
  std::vector<MapCell> copy(grid.CellCount());
  for (auto _ : state) {
    std::copy(grid.cells->begin(), grid.cells->end(), copy.begin());
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_UndoGridCopy)->Arg(Size)->Unit(benchmark::kMillisecond);

// A recorded one-cell edit, as a stamp makes it, in a running history.
void BM_RecordUndo(benchmark::State& state) {
  MapGrid& grid = SharedMap();
  UndoHistory history;
  RecordUndo(history, grid);
  std::mt19937 random(3);
  for (auto _ : state) {
    grid.At(static_cast<int32_t>(random() % Size), static_cast<int32_t>(random() % Size)) ^= 1;
    RecordUndo(history, grid);
  }
  ResetUndo(history);
}
BENCHMARK(BM_RecordUndo)->Arg(Size)->Unit(benchmark::kMillisecond);

// Every cell changed since the last step (a whole-map fill): a full copy.
void BM_RecordUndoAllChanged(benchmark::State& state) {
  MapGrid& grid = SharedMap();
  UndoHistory history;
  RecordUndo(history, grid);
  for (auto _ : state) {
    state.PauseTiming();
    for (MapCell& cell : *grid.cells) cell ^= 0x00010000;
    state.ResumeTiming();
    RecordUndo(history, grid);
  }
  ResetUndo(history);
}
BENCHMARK(BM_RecordUndoAllChanged)->Arg(Size)->Unit(benchmark::kMillisecond);

// Undo and Redo of a one-cell edit.
void BM_UndoRedo(benchmark::State& state) {
  MapGrid& grid = SharedMap();
  UndoHistory history;
  SelectionState selection;
  ResetSelection(selection, Size, Size);
  RecordUndo(history, grid);
  grid.At(5, 5) ^= 1;
  for (auto _ : state) {
    Undo(history, grid, selection);
    Redo(history, grid, selection);
  }
  ResetUndo(history);
}
BENCHMARK(BM_UndoRedo)->Arg(Size)->Unit(benchmark::kMillisecond);

// Memory held by a full history of one-cell edits, in MiB.
void BM_UndoMemory256Edits(benchmark::State& state) {
  MapGrid& grid = SharedMap();
  double mib = 0;
  for (auto _ : state) {
    UndoHistory history;
    std::mt19937 random(11);
    for (int edit = 0; edit < 256; ++edit) {
      RecordUndo(history, grid);
      grid.At(static_cast<int32_t>(random() % Size), static_cast<int32_t>(random() % Size)) ^= 2;
    }
    mib = static_cast<double>(history.StoredBytes()) / (1024.0 * 1024.0);
  }
  state.counters["MiB"] = mib;
}
BENCHMARK(BM_UndoMemory256Edits)->Iterations(1)->Unit(benchmark::kMillisecond);

// Undo of a whole-map fill of a generated stage, right after the fill: the
// filled map is packed, the stage unpacked.
void BM_UndoWholeMap(benchmark::State& state) {
  MapGrid grid;
  bench::GenerateStage(grid, Size);
  UndoHistory history;
  SelectionState selection;
  ResetSelection(selection, Size, Size);
  uint32_t chip = 0;
  for (auto _ : state) {
    state.PauseTiming();
    RecordUndo(history, grid);
    bench::FillBackground(grid, 30 + chip++ % 8);
    state.ResumeTiming();
    Undo(history, grid, selection);
  }
}
BENCHMARK(BM_UndoWholeMap)->Arg(Size)->Unit(benchmark::kMillisecond);

// The memory a history holds after eight whole-map fills of a generated
// 16384 x 16384 stage, against one plain copy of its cells (1 GiB).
void BM_UndoMemory16384Fills(benchmark::State& state) {
  constexpr int32_t Side = 16384;
  double ratio = 0;
  for (auto _ : state) {
    MapGrid grid;
    bench::GenerateStage(grid, Side);
    UndoHistory history;
    for (uint32_t fill = 0; fill < 8; ++fill) {
      RecordUndo(history, grid);
      bench::FillBackground(grid, 30 + fill);
    }
    ratio = static_cast<double>(history.StoredBytes()) /
            (static_cast<double>(Side) * Side * sizeof(MapCell));
  }
  state.counters["ratio"] = ratio;
}
BENCHMARK(BM_UndoMemory16384Fills)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kelvor

KELVOR_RATIO_TARGET("undo-whole-map-4096", "BM_UndoWholeMap/4096", "BM_UndoGridCopy/4096", 2.0);
KELVOR_COUNTER_TARGET("undo-memory-16384-fills", "BM_UndoMemory16384Fills/iterations:1", "ratio",
                      0.25);
KELVOR_RATIO_TARGET("record-undo-4096", "BM_RecordUndo/4096", "BM_UndoGridCopy/4096", 2.0);
KELVOR_COUNTER_TARGET("undo-memory-256-edits", "BM_UndoMemory256Edits/iterations:1", "MiB", 256);
