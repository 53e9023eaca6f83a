#pragma once

#include <string>
#include <vector>

namespace kelvor::bench {

// A performance goal checked at the end of a run. A ratio target divides the
// real time of one benchmark by another's from the same run; a counter target
// reads a user counter of one benchmark.
struct BenchTarget {
  std::string name;
  std::string measured;   // benchmark name, as reported
  std::string baseline;   // benchmark name for ratios; empty for counters
  std::string counter;    // counter name for counter targets
  double limit = 0.0;
};

std::vector<BenchTarget>& Targets();

// A ratio target over the slowest of several benchmarks of the same run
// (e.g. the worst of several zooms) against one baseline.
struct SlowestOfTarget {
  std::string name;
  std::vector<std::string> measured;
  std::string baseline;
  double limit = 0.0;
};

std::vector<SlowestOfTarget>& SlowestOfTargets();

struct SlowestOfRegistrar {
  explicit SlowestOfRegistrar(SlowestOfTarget target) {
    SlowestOfTargets().push_back(std::move(target));
  }
};

struct TargetRegistrar {
  explicit TargetRegistrar(BenchTarget target) { Targets().push_back(std::move(target)); }
};

}  // namespace kelvor::bench

#define KELVOR_BENCH_CONCAT2(a, b) a##b
#define KELVOR_BENCH_CONCAT(a, b) KELVOR_BENCH_CONCAT2(a, b)
// KELVOR_RATIO_TARGET("binary-save-4096", "BM_X/4096", "BM_Baseline/4096", 2.0)
#define KELVOR_RATIO_TARGET(name, measured, baseline, limit)                   \
  static ::kelvor::bench::TargetRegistrar KELVOR_BENCH_CONCAT(target_, __LINE__)( \
      ::kelvor::bench::BenchTarget{name, measured, baseline, "", limit})
// KELVOR_SLOWEST_RATIO_TARGET("x-worst", ({"BM_X/1", "BM_X/2"}), "BM_Base", 1.5)
#define KELVOR_SLOWEST_RATIO_TARGET(name, measuredList, baseline, limit)         \
  static ::kelvor::bench::SlowestOfRegistrar KELVOR_BENCH_CONCAT(target_, __LINE__)( \
      ::kelvor::bench::SlowestOfTarget{name, std::vector<std::string> measuredList, baseline, limit})
// KELVOR_COUNTER_TARGET("undo-memory-256-edits", "BM_Undo", "MiB", 256)
#define KELVOR_COUNTER_TARGET(name, measured, counter, limit)                  \
  static ::kelvor::bench::TargetRegistrar KELVOR_BENCH_CONCAT(target_, __LINE__)( \
      ::kelvor::bench::BenchTarget{name, measured, "", counter, limit})
