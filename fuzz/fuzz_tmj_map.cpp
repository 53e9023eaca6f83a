// A TMJ map with an external tileset, read and turned into a document.
#include <cstddef>
#include <cstdint>

#include "engine_map_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kelvor::fuzz::FuzzEngineMap(data, size, kelvor::ParseTmj);
  return 0;
}
