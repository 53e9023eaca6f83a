#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "editing/packed_snapshot.h"

namespace kelvor {

// Settles unsettled pieces (hashes and packs them) on a thread of its own,
// so that whoever made them raw need not wait. Pieces change under the lock
// Hold gives: whoever reads pieces that may be unsettled holds it meanwhile.
// Destroying the packer stops the thread first; what it had not reached stays
// raw.
class BackgroundPacker {
 public:
  BackgroundPacker() = default;
  ~BackgroundPacker();
  BackgroundPacker(const BackgroundPacker&) = delete;
  BackgroundPacker& operator=(const BackgroundPacker&) = delete;

  [[nodiscard]] std::unique_lock<std::mutex> Hold() {
    return std::unique_lock<std::mutex>(pieces_);
  }

  // Queues the pieces. Those that nobody else holds any more when their turn
  // comes are let go unpacked. When the queue or the thread cannot be had
  // the pieces stay raw, which is only bigger.
  void Add(const std::vector<std::shared_ptr<PackedPiece>>& pieces);
  // Waits until everything queued is settled or let go. Not while holding
  // the lock Hold gives.
  void WaitUntilIdle();
  bool Idle();

 private:
  void Run();

  std::mutex pieces_;
  std::mutex queueLock_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::vector<std::weak_ptr<PackedPiece>> queue_;
  bool busy_ = false;
  bool stopping_ = false;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace kelvor
