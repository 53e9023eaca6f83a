#include "platform/band_pipeline.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "base/parallel.h"

namespace kelvor {
namespace {

using BandStep = std::function<bool(int64_t, int32_t)>;

// A step that throws (out of memory) failed; nothing may unwind past the
// threads of a run.
bool Guarded(const BandStep& step, int64_t band, int32_t slot) {
  try {
    return step(band, slot);
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

int32_t BandThreads() {
  // Beyond eight threads the disk or the memory bus is what a writer waits
  // for, and every thread holds bands in memory.
  return static_cast<int32_t>(ProcessorsUpTo(8));
}

bool RunBandPipeline(int64_t bands, int32_t slots, int32_t threads, const BandStep& make,
                     const BandStep& take) {
  if (bands <= 0) return true;
  slots = std::max(slots, 1);
  const auto slotOf = [slots](int64_t band) { return static_cast<int32_t>(band % slots); };

  std::mutex mutex;
  std::condition_variable changed;
  int64_t nextBand = 0;                                           // the next band a worker claims
  int64_t taken = 0;                                              // bands the caller has taken
  std::vector<int64_t> madeBand(static_cast<size_t>(slots), -1);  // per slot, -1: none
  bool stop = false;

  const auto work = [&] {
    for (;;) {
      int64_t band = 0;
      {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return stop || nextBand >= bands || nextBand < taken + slots; });
        if (stop || nextBand >= bands) return;
        band = nextBand++;
      }
      const bool made = Guarded(make, band, slotOf(band));
      {
        std::lock_guard lock(mutex);
        if (made) {
          madeBand[static_cast<size_t>(slotOf(band))] = band;
        } else {
          stop = true;
        }
      }
      changed.notify_all();
    }
  };

  std::vector<std::thread> workers;
  try {
    workers.reserve(static_cast<size_t>(std::max(threads, 0)));
    for (int32_t i = 0; i < threads; ++i) workers.emplace_back(work);
  } catch (const std::exception&) {
    // Fewer threads, or none: the run goes on with what there is.
  }

  bool ok = true;
  if (workers.empty()) {
    for (int64_t band = 0; band < bands && ok; ++band) {
      ok = Guarded(make, band, slotOf(band)) && Guarded(take, band, slotOf(band));
    }
    return ok;
  }
  for (int64_t band = 0; band < bands && ok; ++band) {
    const int32_t slot = slotOf(band);
    {
      std::unique_lock lock(mutex);
      changed.wait(lock, [&] { return stop || madeBand[static_cast<size_t>(slot)] == band; });
      ok = madeBand[static_cast<size_t>(slot)] == band;
    }
    if (ok) ok = Guarded(take, band, slot);
    {
      std::lock_guard lock(mutex);
      madeBand[static_cast<size_t>(slot)] = -1;
      taken = band + 1;
      if (!ok) stop = true;
    }
    changed.notify_all();
  }
  {
    std::lock_guard lock(mutex);
    stop = true;
  }
  changed.notify_all();
  for (std::thread& worker : workers) worker.join();
  return ok;
}

}  // namespace kelvor
