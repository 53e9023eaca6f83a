#include "base/parallel.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace kelvor {

size_t ProcessorsUpTo(size_t most) {
  return std::clamp<size_t>(std::thread::hardware_concurrency(), 1, std::max<size_t>(most, 1));
}

void RunInParallel(size_t count, const std::function<void(size_t)>& task, size_t threads) {
  if (count == 0) return;
  if (threads == 0) threads = ProcessorsUpTo(count);
  std::atomic<size_t> next{0};
  std::mutex failureLock;
  std::exception_ptr failure;
  const auto run = [&](size_t i) {
    try {
      task(i);
    } catch (...) {
      const std::lock_guard<std::mutex> lock(failureLock);
      if (!failure) failure = std::current_exception();
    }
  };
  const auto work = [&] {
    for (size_t i = next++; i < count; i = next++) run(i);
  };
  const size_t own = next++;  // task 0 is the calling thread's
  std::vector<std::thread> helpers;
  const size_t wanted = std::min(threads, count) - 1;
  try {
    helpers.reserve(wanted);
    for (size_t i = 0; i < wanted; ++i) helpers.emplace_back(work);
  } catch (const std::exception&) {
    // Fewer threads: the ones there are share the tasks.
  }
  run(own);
  work();
  for (std::thread& helper : helpers) helper.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace kelvor
