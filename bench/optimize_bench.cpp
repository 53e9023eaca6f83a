#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "bench_targets.h"
#include "editing/bulk_operations.h"

namespace kelvor {
namespace {

constexpr int32_t Size = 4096;

// 255 chips in each table; the cells use only every other slot, so the
// optimisation drops half the chips and moves the rest down one by one.
void BuildDocument(MapDocument& doc) {
  for (int32_t level = 0; level < 2; ++level) {
    ChipTable& table = doc.tables[static_cast<size_t>(level)];
    table.atlas = PixelBuffer::Make(AtlasSize, AtlasSize);
    table.entries[0].used = 1;
    for (int32_t slot = 1; slot < ChipTableSlots; ++slot) {
      table.entries[static_cast<size_t>(slot)] = ChipEntry{1, slot % 200, slot % 16, level, 0};
    }
  }
  for (int32_t file = 0; file < 200; ++file) {
    doc.fileList.names[static_cast<size_t>(file)] = "sheet" + std::to_string(file) + ".png";
  }
  doc.grid.width = Size;
  doc.grid.height = Size;
  doc.grid.cells.emplace(static_cast<size_t>(Size) * Size);
  std::mt19937 random(5);
  for (MapCell& cell : *doc.grid.cells) {
    cell = (1 + 2 * (random() % 127)) | ((1 + 2 * (random() % 127)) << 16) | 0x0100;
  }
}

// Baseline: one plain pass over the grid rewriting every cell.
void BM_OptimizeGridPass(benchmark::State& state) {
  MapDocument doc;
  BuildDocument(doc);
  for (auto _ : state) {
    for (MapCell& cell : *doc.grid.cells) cell &= ~CellTransientBits;
    benchmark::DoNotOptimize(doc.grid.cells->data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_OptimizeGridPass)->Arg(Size)->Unit(benchmark::kMillisecond);

void BM_OptimizeChipSet(benchmark::State& state) {
  MapDocument original;
  BuildDocument(original);
  MapDocument doc;
  UndoHistory undo;
  for (auto _ : state) {
    state.PauseTiming();
    doc.grid = original.grid;
    doc.tables[0].entries = original.tables[0].entries;
    doc.tables[1].entries = original.tables[1].entries;
    doc.tables[0].atlas = original.tables[0].atlas;
    doc.tables[1].atlas = original.tables[1].atlas;
    doc.fileList = original.fileList;
    state.ResumeTiming();
    OptimizeChipSet(doc, undo);
  }
}
BENCHMARK(BM_OptimizeChipSet)->Arg(Size)->Unit(benchmark::kMillisecond);

// The optimisation's two grid passes as processors without 64-byte byte
// permutes run them (the tables are small and left out).
void BM_OptimizePlainPasses(benchmark::State& state) {
  MapDocument doc;
  BuildDocument(doc);
  SlotMap identity{};
  for (size_t v = 0; v < identity.size(); ++v) identity[v] = static_cast<uint8_t>(v);
  for (auto _ : state) {
    SlotUse use;
    MarkUsedSlots(*doc.grid.cells, use, false);
    RenumberCells(*doc.grid.cells, identity, identity, false);
    benchmark::DoNotOptimize(use);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_OptimizePlainPasses)->Arg(Size)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kelvor

KELVOR_RATIO_TARGET("optimize-4096", "BM_OptimizeChipSet/4096", "BM_OptimizeGridPass/4096", 3.0);
