#pragma once

#include <cstddef>
#include <functional>

namespace kelvor {

// The processors of this machine, at least one and at most `most`: the
// threads worth starting for work that holds memory per thread.
size_t ProcessorsUpTo(size_t most);

// Runs task(0) .. task(count - 1), each once, on the calling thread and on
// up to `threads` - 1 more (one per processor when 0). The calling thread
// runs task 0; then each thread takes the next index not yet taken, so the
// tasks start in increasing order. Returns when all have ended; the first
// exception a task threw is thrown again here. Without threads to be had,
// the calling thread runs them all.
void RunInParallel(size_t count, const std::function<void(size_t)>& task, size_t threads = 0);

}  // namespace kelvor
