#include <benchmark/benchmark.h>

#include "bench_targets.h"
#include "files/recovery_copy.h"
#include "platform/compression.h"
#include "stage_map.h"
#include "workspace/workspace.h"

namespace kelvor {
namespace {

constexpr int32_t Side = 4096;

// The editing thread's share of one recovery write: the snapshot of a
// 4096 x 4096 map after a one-cell edit (encoding and writing happen on
// another thread). Every cell holds chips on both levels.
void BM_RecoverySnapshot(benchmark::State& state) {
  Workspace ws;
  MapGrid& grid = ws.document.grid;
  grid.Allocate(Side, Side);
  uint32_t seed = 1;
  for (MapCell& cell : *grid.cells) {
    seed = seed * 1664525u + 1013904223u;
    cell = (1 + (seed >> 8) % 255) | ((1 + (seed >> 20) % 255) << 16);
  }
  auto previous = std::make_unique<RecoverySnapshot>();
  TakeRecoverySnapshot(ws, RecoverySnapshot{}, *previous, 0);
  int32_t step = 0;
  for (auto _ : state) {
    step = (step + 977) % (Side * Side);
    grid.At(step % Side, step / Side) ^= 1;
    auto next = std::make_unique<RecoverySnapshot>();
    TakeRecoverySnapshot(ws, *previous, *next, 0);
    benchmark::DoNotOptimize(next->grid.chunks.data());
    previous = std::move(next);
  }
}
BENCHMARK(BM_RecoverySnapshot)->Arg(Side)->Unit(benchmark::kMillisecond);

// Counts what is put to it.
class CountingSink final : public ByteSink {
 public:
  void Put(const void*, size_t size) override { bytes += size; }
  uint64_t bytes = 0;
};

// The size of the recovery copy of a generated 4096 x 4096 stage, packed as
// it is written, against the same copy unpacked.
void BM_RecoveryCopyBytes(benchmark::State& state) {
  Workspace ws;
  bench::GenerateStage(ws.document.grid, Side);
  RecoverySnapshot snapshot;
  TakeRecoverySnapshot(ws, RecoverySnapshot{}, snapshot, 0);
  double ratio = 0;
  for (auto _ : state) {
    CountingSink plain;
    SerializeRecoveryCopy(plain, snapshot);
    CountingSink packed;
    PackingSink packer(packed);
    SerializeRecoveryCopy(packer, snapshot);
    packer.Finish();
    ratio = static_cast<double>(packed.bytes) / static_cast<double>(plain.bytes);
  }
  state.counters["ratio"] = ratio;
}
BENCHMARK(BM_RecoveryCopyBytes)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kelvor

KELVOR_COUNTER_TARGET("recovery-copy-bytes-4096", "BM_RecoveryCopyBytes/iterations:1", "ratio",
                      0.1);

// The baseline is one plain copy of a map of the same size (undo_bench.cpp).
KELVOR_RATIO_TARGET("recovery-snapshot-4096", "BM_RecoverySnapshot/4096", "BM_UndoGridCopy/4096",
                    0.5);
