#pragma once

#include <cstdint>

namespace kelvor {

// The machine's physical memory in bytes; 0 when it cannot be told.
uint64_t PhysicalMemoryBytes();

}  // namespace kelvor
