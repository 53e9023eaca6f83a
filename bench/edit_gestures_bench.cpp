// Moving a selection, selecting alike and replacing a chip on a 4096 x 4096
// map, each as the editor does it (the replace with its undo step).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "bench_targets.h"
#include "document/map_document.h"
#include "editing/chip_match.h"
#include "editing/selection_move.h"
#include "editing/undo_history.h"

namespace kelvor {
namespace {

constexpr int32_t kSize = 4096;
constexpr int32_t kBlock = 1024;
constexpr int32_t kChip = 5;

// Random chips on both levels, with chip 5 on the background of every cell
// of the top half: a field that covers half the map.
MapGrid MakeMap() {
  MapGrid grid;
  grid.Allocate(kSize, kSize);
  std::mt19937 random(11);
  std::vector<MapCell>& cells = *grid.cells;
  for (size_t i = 0; i < cells.size(); ++i) {
    const uint32_t bits = random();
    const uint32_t background = i < cells.size() / 2 ? kChip : 8 + bits % 200;
    cells[i] = background | ((bits >> 8 & 0xFF) << 16) | (bits & 0x1100);
  }
  return grid;
}

std::vector<uint8_t> BlockSelection() {
  std::vector<uint8_t> flags(static_cast<size_t>(kSize) * kSize, 0);
  for (int32_t row = 1000; row < 1000 + kBlock; ++row) {
    std::memset(flags.data() + static_cast<size_t>(row) * kSize + 1000, 1, kBlock);
  }
  return flags;
}

// Baseline: the selected cells copied once into a buffer made beforehand.
void BM_MoveBaselineCopy(benchmark::State& state) {
  const MapGrid grid = MakeMap();
  std::vector<MapCell> copy(static_cast<size_t>(kBlock) * kBlock);
  for (auto _ : state) {
    for (int32_t row = 0; row < kBlock; ++row) {
      std::memcpy(copy.data() + static_cast<size_t>(row) * kBlock,
                  grid.cells->data() + static_cast<size_t>(row + 1000) * kSize + 1000,
                  kBlock * sizeof(MapCell));
    }
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_MoveBaselineCopy)->Arg(kSize)->Unit(benchmark::kMillisecond);

// The drop of a move: the cells moved by (37, 19), and back on the next
// round. The block's bounds are found when the drag starts (below).
void BM_MoveSelection(benchmark::State& state) {
  MapGrid grid = MakeMap();
  std::vector<uint8_t> flags = BlockSelection();
  int32_t sign = 1;
  SelectionRect bounds = SelectedBounds(grid, flags);
  for (auto _ : state) {
    if (!MoveSelectedCells(grid, flags, bounds, 37 * sign, 19 * sign)) {
      state.SkipWithError("the move failed");
    }
    bounds = {bounds.left + 37 * sign, bounds.top + 19 * sign, bounds.right + 37 * sign,
              bounds.bottom + 19 * sign};
    sign = -sign;
  }
}
BENCHMARK(BM_MoveSelection)->Arg(kSize)->Unit(benchmark::kMillisecond);

// The press that starts a move: the selection's bounds over the whole map.
void BM_MoveSelectionBounds(benchmark::State& state) {
  const MapGrid grid = MakeMap();
  const std::vector<uint8_t> flags = BlockSelection();
  for (auto _ : state) benchmark::DoNotOptimize(SelectedBounds(grid, flags));
}
BENCHMARK(BM_MoveSelectionBounds)->Arg(kSize)->Unit(benchmark::kMillisecond);

// Baseline: one plain pass over the grid.
void BM_GestureGridPass(benchmark::State& state) {
  const MapGrid grid = MakeMap();
  for (auto _ : state) {
    uint64_t sum = 0;
    for (MapCell cell : *grid.cells) sum += cell;
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_GestureGridPass)->Arg(kSize)->Unit(benchmark::kMillisecond);

void BM_SelectAlike(benchmark::State& state) {
  const MapGrid grid = MakeMap();
  std::vector<uint8_t> flags(grid.CellCount());
  for (auto _ : state) {
    const int64_t count = SelectAlike(grid, LevelBackground, 0, 0, false, flags);
    if (count != static_cast<int64_t>(grid.CellCount() / 2)) state.SkipWithError("wrong count");
    benchmark::DoNotOptimize(flags.data());
  }
}
BENCHMARK(BM_SelectAlike)->Arg(kSize)->Unit(benchmark::kMillisecond);

// Chip 5 for 7 and back: the check that something changes and the replace.
void BM_ReplaceChip(benchmark::State& state) {
  MapGrid grid = MakeMap();
  ChipReplacement replacement{LevelBackground, kChip, LevelBackground, 7};
  for (auto _ : state) {
    if (!AnyReplaced(grid, replacement, nullptr)) state.SkipWithError("nothing to replace");
    if (ReplaceChip(grid, replacement, nullptr) != static_cast<int64_t>(grid.CellCount() / 2)) {
      state.SkipWithError("wrong count");
    }
    std::swap(replacement.fromChip, replacement.toChip);
  }
}
BENCHMARK(BM_ReplaceChip)->Arg(kSize)->Unit(benchmark::kMillisecond);

// The same with its undo step in a running history; the counter is what one
// step adds to the history (the changed half of the map).
void BM_ReplaceChipWithUndo(benchmark::State& state) {
  MapGrid grid = MakeMap();
  UndoHistory history;
  RecordUndo(history, grid);
  ChipReplacement replacement{LevelBackground, kChip, LevelBackground, 7};
  uint64_t grown = 0;
  int64_t steps = 0;
  for (auto _ : state) {
    if (!AnyReplaced(grid, replacement, nullptr)) state.SkipWithError("nothing to replace");
    const uint64_t before = history.HeldBytes();
    RecordUndo(history, grid);
    grown += history.HeldBytes() - before;
    ++steps;
    if (ReplaceChip(grid, replacement, nullptr) != static_cast<int64_t>(grid.CellCount() / 2)) {
      state.SkipWithError("wrong count");
    }
    std::swap(replacement.fromChip, replacement.toChip);
    if (history.cursor() >= UndoSlotCount - 2) {
      state.PauseTiming();
      ResetUndo(history);
      RecordUndo(history, grid);
      state.ResumeTiming();
    }
  }
  state.counters["undo-step-MiB"] =
      steps > 0 ? static_cast<double>(grown) / static_cast<double>(steps) / (1 << 20) : 0.0;
}
BENCHMARK(BM_ReplaceChipWithUndo)->Arg(kSize)->Unit(benchmark::kMillisecond);

}  // namespace

KELVOR_RATIO_TARGET("move-selection-4096", "BM_MoveSelection/4096", "BM_MoveBaselineCopy/4096",
                    3.0);
KELVOR_RATIO_TARGET("select-alike-4096", "BM_SelectAlike/4096", "BM_GestureGridPass/4096", 2.0);
KELVOR_RATIO_TARGET("replace-chip-4096", "BM_ReplaceChip/4096", "BM_GestureGridPass/4096", 3.0);

}  // namespace kelvor
