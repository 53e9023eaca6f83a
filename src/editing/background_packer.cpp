#include "editing/background_packer.h"

#include <exception>
#include <new>
#include <system_error>

#include "base/parallel.h"
#include "platform/compression.h"

namespace kelvor {

BackgroundPacker::~BackgroundPacker() {
  {
    const std::lock_guard<std::mutex> lock(queueLock_);
    stopping_ = true;
    stop_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void BackgroundPacker::Add(const std::vector<std::shared_ptr<PackedPiece>>& pieces) {
  if (pieces.empty()) return;
  {
    const std::lock_guard<std::mutex> lock(queueLock_);
    try {
      if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
      queue_.insert(queue_.end(), pieces.begin(), pieces.end());
    } catch (const std::bad_alloc&) {
      return;
    } catch (const std::system_error&) {
      return;
    }
  }
  wake_.notify_one();
}

bool BackgroundPacker::Idle() {
  const std::lock_guard<std::mutex> lock(queueLock_);
  return !busy_ && queue_.empty();
}

void BackgroundPacker::WaitUntilIdle() {
  std::unique_lock<std::mutex> lock(queueLock_);
  idle_.wait(lock, [this] { return stopping_ || (!busy_ && queue_.empty()); });
}

void BackgroundPacker::Run() {
  for (;;) {
    std::vector<std::weak_ptr<PackedPiece>> batch;
    {
      std::unique_lock<std::mutex> lock(queueLock_);
      wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (stopping_) break;
      batch.swap(queue_);
      busy_ = true;
    }
    // A piece made a moment ago is usually packed before the user asks for
    // anything that reads it; all processors share the work.
    const size_t threads = ProcessorsUpTo(std::max<size_t>(batch.size() / 32, 1));
    std::atomic<size_t> next{0};
    try {
      RunInParallel(
          threads,
          [&](size_t) {
            BlockPacker packer;
            for (size_t i = next++; i < batch.size() && !stop_; i = next++) {
              if (const std::shared_ptr<PackedPiece> piece = batch[i].lock()) {
                piece->Settle(packer, pieces_);
              }
            }
          },
          threads);
    } catch (const std::exception&) {
      // Out of memory for a packer: what is left stays raw.
    }
    {
      const std::lock_guard<std::mutex> lock(queueLock_);
      busy_ = false;
    }
    idle_.notify_all();
  }
  idle_.notify_all();
}

}  // namespace kelvor
