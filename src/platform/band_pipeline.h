#pragma once

#include <cstdint>
#include <functional>

namespace kelvor {

// Makes a long run of bands on worker threads while the calling thread takes
// them in band order, as a file writer needs them. `make(band, slot)` runs on
// a worker, `take(band, slot)` on the caller, band after band. At most
// `slots` bands are made ahead of the one being taken, so the memory in use
// stays bounded whatever the run's length; a band's results live in slot
// band % slots, which no other band uses until it was taken.
//
// `make` returns false when it could not make its band (out of memory),
// `take` when the run must stop (the file failed); either stops the run, and
// the result is false. An exception out of `make` counts as its failure.
// When no thread can be started the caller makes every band itself.
bool RunBandPipeline(int64_t bands, int32_t slots, int32_t threads,
                     const std::function<bool(int64_t band, int32_t slot)>& make,
                     const std::function<bool(int64_t band, int32_t slot)>& take);

// Worker threads worth starting for band work on this machine.
int32_t BandThreads();

}  // namespace kelvor
