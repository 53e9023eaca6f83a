// Runs every benchmark, then prints one line per registered target:
//   target NAME MEASURED LIMIT ok|MISSED
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <string>

#include "bench_targets.h"

namespace kelvor::bench {

std::vector<BenchTarget>& Targets() {
  static std::vector<BenchTarget> targets;
  return targets;
}

std::vector<SlowestOfTarget>& SlowestOfTargets() {
  static std::vector<SlowestOfTarget> targets;
  return targets;
}

namespace {

class RecordingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      // With repetitions the median stands for the benchmark: one slow
      // repetition on a busy machine moves it least.
      if (run.run_type == Run::RT_Aggregate) {
        if (run.aggregate_name != "median") continue;
        const std::string name = run.run_name.str();
        times[name] = run.GetAdjustedRealTime();
        for (const auto& [key, counter] : run.counters) counters[name][key] = counter.value;
        medians.insert(name);
        continue;
      }
      const std::string name = run.benchmark_name();
      if (medians.count(name) != 0) continue;
      times[name] = run.GetAdjustedRealTime();
      for (const auto& [key, counter] : run.counters) counters[name][key] = counter.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times;
  std::map<std::string, std::map<std::string, double>> counters;
  std::set<std::string> medians;
};

}  // namespace
}  // namespace kelvor::bench

int main(int argc, char** argv) {
  using namespace kelvor::bench;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RecordingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  std::printf("\n");
  for (const BenchTarget& target : Targets()) {
    double value = -1.0;
    if (!target.counter.empty()) {
      auto it = reporter.counters.find(target.measured);
      if (it != reporter.counters.end() && it->second.count(target.counter)) {
        value = it->second.at(target.counter);
      }
    } else if (reporter.times.count(target.measured) && reporter.times.count(target.baseline) &&
               reporter.times.at(target.baseline) > 0) {
      value = reporter.times.at(target.measured) / reporter.times.at(target.baseline);
    }
    if (value < 0) {
      std::printf("target %s not-run %.2f MISSED\n", target.name.c_str(), target.limit);
    } else {
      std::printf("target %s %.2f %.2f %s\n", target.name.c_str(), value, target.limit,
                  value <= target.limit ? "ok" : "MISSED");
    }
  }
  for (const SlowestOfTarget& target : SlowestOfTargets()) {
    // Not run when any of the benchmarks is missing.
    double slowest = target.measured.empty() ? -1.0 : 0.0;
    for (const std::string& name : target.measured) {
      if (!reporter.times.count(name)) {
        slowest = -1.0;
        break;
      }
      slowest = std::max(slowest, reporter.times.at(name));
    }
    double value = -1.0;
    if (slowest >= 0 && reporter.times.count(target.baseline) &&
        reporter.times.at(target.baseline) > 0) {
      value = slowest / reporter.times.at(target.baseline);
    }
    if (value < 0) {
      std::printf("target %s not-run %.2f MISSED\n", target.name.c_str(), target.limit);
    } else {
      std::printf("target %s %.2f %.2f %s\n", target.name.c_str(), value, target.limit,
                  value <= target.limit ? "ok" : "MISSED");
    }
  }
  return 0;
}
